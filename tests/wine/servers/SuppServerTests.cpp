// QuendrySuppDetails.exe and QuendrySuppEmail.exe as their callers meet
// them: registered with -RegServer, started by COM on the first call,
// answering through the type-library marshaler from their own process.
#include <gtest/gtest.h>
#include <objbase.h>
#include <sddl.h>

#include <vector>

#include "ChildProcess.h"
#include "FaxComState.h"
#include "SuppServerSupport.h"
#include "servers/QuendrySupp.h"
#include "win32/AnsiText.h"
#include "win32/ComCreate.h"
#include "win32/Handles.h"

using namespace corvisk;
using namespace corvisk::test;

namespace {

constexpr wchar_t kDetailsProgram[] = L"QuendrySuppDetails.exe";
constexpr wchar_t kEmailProgram[] = L"QuendrySuppEmail.exe";
constexpr LONG kLookupDeviceId = 0x77000000;
constexpr HRESULT kFailedToConnect = static_cast<HRESULT>(0x80040213);

std::string Text(const unique_bstr& text) { return ToAnsi(text.get(), static_cast<int>(text.length())); }

unique_bstr Bstr(const std::string& text) { return ToBstr(text); }

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

bool ClassesKeyExists(const std::wstring& key) {
  unique_hkey handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

std::wstring ClassesDefault(const std::wstring& key) {
  wchar_t value[MAX_PATH] = L"";
  LONG bytes = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &bytes) != ERROR_SUCCESS) return L"(missing)";
  return value;
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
  wchar_t value[MAX_PATH] = L"";
  DWORD bytes = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
    return L"(missing)";
  return value;
}

// A stored COM permission, as SDDL text. Wine does not enforce these, so
// reading them back is what can be tested.
std::string ClassesPermission(const std::wstring& key, const wchar_t* name) {
  std::vector<BYTE> descriptor(1024);
  DWORD bytes = static_cast<DWORD>(descriptor.size());
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_BINARY, nullptr, descriptor.data(), &bytes) !=
      ERROR_SUCCESS)
    return "(missing)";
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.data(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &text, nullptr))
    return "(not a security descriptor)";
  const std::string sddl = text;
  LocalFree(text);
  return sddl;
}

struct ServerProgram {
  const wchar_t* program;
  const wchar_t* progId;
  const CLSID& clsid;
  const IID& iid;
  const GUID& libid;
};

const ServerProgram kServers[] = {
    {kDetailsProgram, L"QuendrySuppDetails.SuppDetails", CLSID_SuppDetails, IID_ISuppDetails,
     LIBID_QuendrySuppDetailsLib},
    {kEmailProgram, L"QuendrySuppEmail.SuppEmail", CLSID_SuppEmail, IID_ISuppEmail, LIBID_QuendrySuppEmailLib},
};

bool ProgIdResolves(const ServerProgram& server) {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(server.progId, &clsid)) && clsid == server.clsid;
}

void ExpectRegistered(const ServerProgram& server) {
  EXPECT_TRUE(ProgIdResolves(server)) << ToAnsi(server.progId);
  const std::wstring classKey = L"CLSID\\" + GuidText(server.clsid);
  EXPECT_EQ(ClassesDefault(classKey + L"\\LocalServer32"), L"\"" + ProgramFolder() + server.program + L"\"");
  const std::wstring interfaceKey = L"Interface\\" + GuidText(server.iid);
  EXPECT_EQ(ClassesDefault(interfaceKey + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}")
      << "the automation marshaler carries the calls";
  EXPECT_EQ(ClassesDefault(interfaceKey + L"\\TypeLib"), GuidText(server.libid));
  // Only Administrators, SYSTEM and NETWORK SERVICE may start and call it.
  EXPECT_EQ(ClassesValue(classKey, L"AppID"), GuidText(server.clsid));
  const std::wstring appIdKey = L"AppID\\" + GuidText(server.clsid);
  EXPECT_EQ(ClassesPermission(appIdKey, L"LaunchPermission"), "O:BAG:BAD:(A;;CCDCSW;;;BA)(A;;CCDCSW;;;SY)(A;;CCDCSW;;;NS)");
  EXPECT_EQ(ClassesPermission(appIdKey, L"AccessPermission"), "O:BAG:BAD:(A;;CCDC;;;BA)(A;;CCDC;;;SY)(A;;CCDC;;;NS)");
}

void ExpectUnregistered(const ServerProgram& server) {
  EXPECT_FALSE(ProgIdResolves(server));
  EXPECT_FALSE(ClassesKeyExists(L"CLSID\\" + GuidText(server.clsid)));
  EXPECT_FALSE(ClassesKeyExists(L"AppID\\" + GuidText(server.clsid)));
  EXPECT_FALSE(ClassesKeyExists(L"Interface\\" + GuidText(server.iid)));
  EXPECT_FALSE(ClassesKeyExists(L"TypeLib\\" + GuidText(server.libid)));
}

class SuppServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (const ServerProgram& server : kServers) RunServer(server.program, L"-RegServer");
  }
  void TearDown() override {
    // Every object is gone: each server ends by itself.
    EXPECT_TRUE(WaitForProcessCount(kDetailsProgram, 0, 10000));
    EXPECT_TRUE(WaitForProcessCount(kEmailProgram, 0, 10000));
  }

  template <typename T>
  HRESULT Create(REFCLSID clsid, REFIID iid, com_ptr<T>& object) {
    return CreateRunningObject(clsid, iid, object.put_void());
  }

  FaxServerState state_;
};

TEST_F(SuppServerTest, RegistersAndUnregistersCleanly) {
  for (const ServerProgram& server : kServers) {
    const ServerProgram& other = &server == &kServers[0] ? kServers[1] : kServers[0];
    EXPECT_EQ(RunServer(server.program, L"-UnregServer"), 0u);
    ExpectUnregistered(server);
    EXPECT_TRUE(ProgIdResolves(other)) << "the other server keeps its registration";
    EXPECT_EQ(RunServer(server.program, L"/unregserver"), 0u) << "removing what is gone succeeds";
    EXPECT_EQ(RunServer(server.program, L"/REGSERVER"), 0u);
    ExpectRegistered(server);
    EXPECT_EQ(RunServer(server.program, L"-RegServer"), 0u) << "registering again succeeds";
    ExpectRegistered(server);
  }
}

TEST_F(SuppServerTest, CallStartsTheServerAndReleaseEndsIt) {
  ASSERT_TRUE(WaitForProcessCount(kDetailsProgram, 0, 10000));
  com_ptr<ISuppDetails> details;
  ASSERT_EQ(Create(CLSID_SuppDetails, IID_ISuppDetails, details), S_OK);
  EXPECT_EQ(CountProcesses(kDetailsProgram), 1);
  details.reset();
  EXPECT_TRUE(WaitForProcessCount(kDetailsProgram, 0, 10000)) << "the server outlived its last object";
}

TEST_F(SuppServerTest, GetJobDetailsAnswersFromTheServerProcess) {
  SeedDefaultSender(L"default@example.com");
  SeedJobs({{L"101", kProviderDevice, kPending, L"waiting@example.com"},
            {L"102", kProviderDevice, kInProgress, L""},
            {L"103", kProviderDevice, kInProgress, L"later@example.com"}});
  com_ptr<ISuppDetails> details;
  ASSERT_EQ(Create(CLSID_SuppDetails, IID_ISuppDetails, details), S_OK);
  unique_bstr jobId, email, diagnostic;
  EXPECT_EQ(details->GetJobDetails(kLookupDeviceId, jobId.put(), email.put(), diagnostic.put()), S_OK);
  EXPECT_EQ(Text(jobId), "102");
  EXPECT_EQ(Text(email), "default@example.com");
  EXPECT_EQ(Text(diagnostic), "");
  EXPECT_EQ(ConnectCount(), 1u);
}

TEST_F(SuppServerTest, GetJobDetailsFailureCarriesItsTextAcrossTheProcesses) {
  SeedJobs({{L"111", kProviderDevice, kInProgress, L"a@example.com"}});
  InjectFailure(L"GetJobs", E_ACCESSDENIED, L"No rights to the fax queue");
  com_ptr<ISuppDetails> details;
  ASSERT_EQ(Create(CLSID_SuppDetails, IID_ISuppDetails, details), S_OK);
  unique_bstr jobId, email, diagnostic;
  EXPECT_EQ(details->GetJobDetails(kLookupDeviceId, jobId.put(), email.put(), diagnostic.put()), E_ACCESSDENIED);
  EXPECT_EQ(Text(jobId), "");
  EXPECT_EQ(Text(diagnostic), "Failed in GetJobID : No rights to the fax queue\r\n");
}

TEST_F(SuppServerTest, DualInterfaceAnswersByNameToo) {
  com_ptr<IDispatch> mail;
  ASSERT_EQ(Create(CLSID_SuppEmail, IID_IDispatch, mail), S_OK);
  wchar_t name[] = L"GetVersion";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(mail->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(mail->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"3.0.1");
  VariantClear(&result);
}

TEST_F(SuppServerTest, MailServerRunsUnderTheCallersAccount) {
  com_ptr<ISuppEmail> mail;
  ASSERT_EQ(Create(CLSID_SuppEmail, IID_ISuppEmail, mail), S_OK);
  unique_bstr account;
  ASSERT_EQ(mail->GetAccountName(account.put()), S_OK);
  wchar_t own[257] = L"";
  DWORD length = ARRAYSIZE(own);
  ASSERT_TRUE(GetUserNameW(own, &length));
  EXPECT_STREQ(account.get(), own);
}

class SuppEmailTest : public SuppServerTest {
 protected:
  void SetUp() override { ASSERT_EQ(Create(CLSID_SuppEmail, IID_ISuppEmail, mail_), S_OK); }
  void TearDown() override {
    mail_.reset();
    SuppServerTest::TearDown();
  }

  HRESULT SendFaxMail(int port, const std::string& subject, const std::wstring& attachment, unique_bstr& error,
                      LONG timeout = 10) {
    const unique_bstr server = Bstr("127.0.0.1"), to = Bstr("0299991234@t37gw.corvisk.example"),
                      from = Bstr("sender@example.com"), title = Bstr(subject),
                      path(SysAllocString(attachment.c_str())),
                      header = Bstr("urn:schemas:mailheader:X-Corvisk-fax-password"), value = Bstr("gateway-secret");
    return mail_->SendFaxMail(server.get(), port, timeout, to.get(), from.get(), title.get(), path.get(), header.get(),
                              value.get(), 0, 0, 0, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE, error.put());
  }

  com_ptr<ISuppEmail> mail_;
};

TEST_F(SuppEmailTest, FaxMailReachesTheGatewayWithItsAttachmentAndNoAccount) {
  const std::wstring fax = ProgramFolder() + L"..\\testdata\\fine3.tif";
  unique_bstr error;
  const HRESULT result = SendFaxMail(GatewayServer("open").Port(), "0299991234 JobID:7", fax, error);
  ASSERT_EQ(result, S_OK) << Text(error);
  const auto message = FindBySubject(GatewayServer("open"), "0299991234 JobID:7");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->authLogin, "");
  EXPECT_EQ(message->Header("X-Corvisk-fax-password"), "gateway-secret");
  EXPECT_EQ(message->AttachmentBytes("fine3.tif"), ReadWholeFile(fax)) << "the attachment arrives intact";
}

TEST_F(SuppEmailTest, TestMailWithoutNtlmReachesTheGatewayAnonymously) {
  const unique_bstr server = Bstr("127.0.0.1"), to = Bstr("test@t37gw.corvisk.example"),
                    from = Bstr("sender@example.com"), subject = Bstr("SuppEmail test mail"), body = Bstr("It works.");
  unique_bstr error;
  ASSERT_EQ(mail_->SendMail(server.get(), GatewayServer("open").Port(), 10, to.get(), from.get(), subject.get(),
                            body.get(), 0, 0, 0, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, error.put()),
            S_OK)
      << Text(error);
  EXPECT_EQ(error.get(), nullptr);
  const auto message = FindBySubject(GatewayServer("open"), "SuppEmail test mail");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->recipients, std::vector<std::string>{"test@t37gw.corvisk.example"});
  EXPECT_EQ(message->authLogin, "");
  EXPECT_EQ(message->body, "It works.\r\n");
}

TEST_F(SuppEmailTest, MailFailureTextComesBackFromTheServer) {
  unique_bstr error;
  EXPECT_EQ(SendFaxMail(UnusedPort(), "unreachable", ProgramFolder() + L"..\\testdata\\fine3.tif", error),
            kFailedToConnect);
  EXPECT_EQ(Text(error).rfind("error 0x80040213  : ", 0), 0u) << Text(error);
}

}  // namespace
