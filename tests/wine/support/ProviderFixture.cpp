#include "ProviderFixture.h"

#include "ChildProcess.h"

#include <fstream>
#include <iterator>

namespace corvisk::test {

std::wstring ProviderPath() { return ProgramFolder() + L"CorviskFSP.dll"; }

std::wstring TestFax(const wchar_t* name) { return ProgramFolder() + L"..\\testdata\\" + name; }

void ProviderTest::SetUp() {
  testbed::CaptureDebugOutput();
  host_ = std::make_unique<testbed::ProviderHost>(ProviderPath());
  ASSERT_TRUE(host_->Loaded()) << "cannot load the provider, error " << GetLastError();
  testbed::ClearCapture();
}

void ProviderTest::TearDown() {
  if (started_) ShutDown();
}

void ProviderTest::StartService() {
  ASSERT_TRUE(host_->Start());
  started_ = true;
  testbed::ClearCapture();
}

HANDLE ProviderTest::StartJob(ULONG_PTR key) {
  HANDLE job = nullptr;
  SetLastError(kUntouched);
  EXPECT_TRUE(host_->FaxDevStartJob(0, testbed::kServiceDeviceId, &job, host_->Port(), key));
  EXPECT_EQ(GetLastError(), 0u);
  return job;
}

void ProviderTest::EndJob(HANDLE job) {
  SetLastError(kUntouched);
  EXPECT_TRUE(host_->FaxDevEndJob(job));
  EXPECT_EQ(GetLastError(), 0u);
}

void ProviderTest::ShutDown() {
  started_ = false;
  EXPECT_EQ(host_->FaxDevShutdown(), S_OK);
  host_->TakePackets();
  EXPECT_EQ(testbed::LiveProviderBlocks(), 0u) << "provider blocks left on the service heap";
  for (const std::string& fault : testbed::HeapFaults()) ADD_FAILURE() << fault;
}

FAX_SEND ProviderTest::SendFor(const wchar_t* number) {
  FAX_SEND send{};
  send.SizeOfStruct = sizeof send;
  send.FileName = tiff_.data();
  send.ReceiverNumber = const_cast<wchar_t*>(number);
  return send;
}

// What faxtiff makes of a document: the bytes the gateway must receive.
std::string RestructuredByFaxtiff(const std::wstring& document) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring output = std::wstring(folder) + L"expected-t37.tif";
  const ChildResult result =
      RunChild(L"\"" + ProgramFolder() + L"faxtiff.exe\" restructure \"" + document + L"\" \"" + output + L"\"");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  std::string bytes;
  {
    std::ifstream file(output.c_str(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  DeleteFileW(output.c_str());
  return bytes;
}

}  // namespace corvisk::test
