// The fax COM stand-ins as the configuration program will drive them:
// devices and the banner of the extended server, ports and the banner of
// the legacy one, each change reaching the state only when the platform's
// object would apply it.
#include <gtest/gtest.h>
#include <objbase.h>

#include "FaxComState.h"
#include "StandInState.h"
#include "platform/FaxCom.h"
#include "platform/FaxComEx.h"
#include "win32/ComCreate.h"
#include "win32/Variant.h"

using namespace corvisk;
using namespace corvisk::test;
namespace standin = corvisk::testbed::faxstandin;

namespace {

template <typename T>
HRESULT CreateFromProgId(const wchar_t* progId, com_ptr<T>& object) {
  CLSID clsid;
  const HRESULT result = CLSIDFromProgID(progId, &clsid);
  return FAILED(result) ? result : CreateRunningObject(clsid, __uuidof(T), object.put_void());
}

template <typename T>
com_ptr<T> FromDispatch(const unique_variant& holder) {
  com_ptr<T> object;
  if (holder.type() == VT_DISPATCH && holder.get().pdispVal)
    holder.get().pdispVal->QueryInterface(__uuidof(T), object.put_void());
  return object;
}

class FaxComStandInTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  FaxServerState state_;
};

TEST_F(FaxComStandInTest, ExtendedDeviceChangesLandAtSave) {
  SeedDevice(1, L"Modem", 1, 1);
  SeedDevice(2, L"CorviskFSP0", 0, 1);
  com_ptr<faxcomex::IFaxServer> server;
  ASSERT_EQ(CreateFromProgId(faxcomex::kFaxServerProgId, server), S_OK);
  com_ptr<faxcomex::IFaxDevices> devices;
  EXPECT_EQ(server->GetDevices(devices.put()), HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED));
  const unique_bstr local(SysAllocString(L""));
  ASSERT_EQ(server->Connect(local.get()), S_OK);
  ASSERT_EQ(server->GetDevices(devices.put()), S_OK);
  long count = 0;
  ASSERT_EQ(devices->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  com_ptr<faxcomex::IFaxDevice> device;
  ASSERT_EQ(devices->get_Item(unique_variant::FromLong(2).get(), device.put()), S_OK);
  unique_bstr name;
  ASSERT_EQ(device->get_DeviceName(name.put()), S_OK);
  EXPECT_STREQ(name.get(), L"CorviskFSP0");
  EXPECT_EQ(device->put_SendEnabled(VARIANT_TRUE), S_OK);
  EXPECT_EQ(device->put_ReceiveMode(faxcomex::fdrmNO_ANSWER), S_OK);
  EXPECT_EQ(standin::ReadNumber(L"Devices\\2", L"SendEnabled"), 0u) << "not saved yet";
  ASSERT_EQ(device->Save(), S_OK);
  EXPECT_EQ(standin::ReadNumber(L"Devices\\2", L"SendEnabled"), 1u);
  EXPECT_EQ(standin::ReadNumber(L"Devices\\2", L"ReceiveMode"), 0u);
  EXPECT_EQ(standin::ReadNumber(L"Devices\\2", L"Saves"), 1u);
  EXPECT_EQ(standin::ReadNumber(L"Devices\\1", L"Saves"), 0u);
}

TEST_F(FaxComStandInTest, ExtendedBannerLandsAtTheQueuesSave) {
  com_ptr<faxcomex::IFaxServer> server;
  ASSERT_EQ(CreateFromProgId(faxcomex::kFaxServerProgId, server), S_OK);
  const unique_bstr local(SysAllocString(L""));
  ASSERT_EQ(server->Connect(local.get()), S_OK);
  com_ptr<faxcomex::IFaxFolders> folders;
  ASSERT_EQ(server->get_Folders(folders.put()), S_OK);
  com_ptr<faxcomex::IFaxOutgoingQueue> queue;
  ASSERT_EQ(folders->get_OutgoingQueue(queue.put()), S_OK);
  VARIANT_BOOL branding = VARIANT_TRUE;
  ASSERT_EQ(queue->get_Branding(&branding), S_OK);
  EXPECT_EQ(branding, VARIANT_FALSE);
  ASSERT_EQ(queue->put_Branding(VARIANT_TRUE), S_OK);
  EXPECT_EQ(standin::ReadNumber(L"", L"Branding"), 0u);
  ASSERT_EQ(queue->Save(), S_OK);
  EXPECT_EQ(standin::ReadNumber(L"", L"Branding"), 1u);
  EXPECT_EQ(standin::ReadNumber(L"", L"QueueSaves"), 1u);
}

TEST_F(FaxComStandInTest, LegacyPortsAndBannerApplyAtOnce) {
  standin::WriteText(L"Ports\\1", L"Name", L"CorviskFSP0");
  com_ptr<faxcom::IFaxServer> server;
  ASSERT_EQ(CreateFromProgId(faxcom::kFaxServerProgId, server), S_OK);
  const unique_bstr host(SysAllocString(L"FAXHOST"));
  ASSERT_EQ(server->Connect(host.get()), S_OK);
  EXPECT_EQ(standin::ReadText(L"", L"LegacyConnected"), L"FAXHOST");
  unique_variant portsHolder;
  ASSERT_EQ(server->GetPorts(portsHolder.put()), S_OK);
  const com_ptr<faxcom::IFaxPorts> ports = FromDispatch<faxcom::IFaxPorts>(portsHolder);
  ASSERT_TRUE(ports);
  long count = 0;
  ASSERT_EQ(ports->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  unique_variant portHolder;
  ASSERT_EQ(ports->get_Item(1, portHolder.put()), S_OK);
  const com_ptr<faxcom::IFaxPort> port = FromDispatch<faxcom::IFaxPort>(portHolder);
  ASSERT_TRUE(port);
  unique_bstr name;
  ASSERT_EQ(port->get_Name(name.put()), S_OK);
  EXPECT_STREQ(name.get(), L"CorviskFSP0");
  ASSERT_EQ(port->put_Send(TRUE), S_OK);
  EXPECT_EQ(standin::ReadNumber(L"Ports\\1", L"Send"), 1u);
  ASSERT_EQ(server->put_Branding(TRUE), S_OK);
  BOOL branding = FALSE;
  ASSERT_EQ(server->get_Branding(&branding), S_OK);
  EXPECT_TRUE(branding);
}

}  // namespace
