#pragma once
// A test drives the provider DLL as the fax service does, through the host
// library, and reads what it wrote to the debugger and the event log.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HostCapture.h"
#include "ProviderHost.h"

namespace corvisk::test {

inline constexpr DWORD kUnexpected = 0x8000FFFF;
inline constexpr DWORD kUntouched = 0xdeadbeef;

class ProviderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Heap, port, FaxDevInitialize and FaxDevVirtualDeviceCreation.
  void StartService();
  HANDLE StartJob(ULONG_PTR key = 1);
  void EndJob(HANDLE job);
  // Shuts the provider down, if started, and checks the heap ledger.
  void ShutDown();
  FAX_SEND SendFor(const wchar_t* number = L"123");
  std::vector<testbed::StatusPacket> TakePackets() { return host_->TakePackets(); }

  testbed::ProviderHost& Host() { return *host_; }

 private:
  std::unique_ptr<testbed::ProviderHost> host_;
  std::wstring tiff_ = L"C:\\nonexistent.tif";
  bool started_ = false;
};

std::wstring ProviderPath();
using testbed::JobTempFiles;
// What faxtiff makes of a document: the bytes the gateway must receive.
std::string RestructuredByFaxtiff(const std::wstring& document);
// A fax document the build made for the tests.
std::wstring TestFax(const wchar_t* name);

}  // namespace corvisk::test
