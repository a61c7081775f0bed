// EnableProviderDevice and AccessBanner on both object models, against the
// fax COM stand-ins seeded with modems, the provider's device and one whose
// name differs from it only in letter case.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "FaxComState.h"
#include "StandInState.h"
#include "config/FaxServerIntegration.h"

using namespace corvisk;
using namespace corvisk::test;
namespace standin = corvisk::testbed::faxstandin;

namespace {

constexpr LONG kNoIndex = -7;
constexpr char kStale[] = "stale text from an earlier call";

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
  DWORD size = ARRAYSIZE(name);
  GetComputerNameW(name, &size);
  return name;
}

class FaxServerIntegrationTest : public ::testing::Test {
 protected:
  BOOL Enable(FaxObjectModel model, BOOL useOnly) {
    error_ = kStale;
    index_ = kNoIndex;
    return EnableProviderDevice(model, useOnly, FALSE, error_, &index_);
  }
  BOOL Banner(FaxObjectModel model, BOOL read, BOOL& banner) {
    error_ = kStale;
    return AccessBanner(model, read, banner, error_);
  }

  FaxServerState state_;
  std::string error_;
  LONG index_ = kNoIndex;
};

class ExtendedDevicesTest : public FaxServerIntegrationTest {
 protected:
  // Two modems, the provider's device, and a look-alike.
  void SetUp() override {
    SeedDevice(1, L"Modem 1", 1, 1);
    SeedDevice(2, L"CorviskFSP0", 0, 1);
    SeedDevice(3, L"corviskfsp0", 1, 0);
    SeedDevice(4, L"Modem 2", 1, 2);
  }
};

TEST_F(ExtendedDevicesTest, UseOnlyMakesTheProviderDeviceTheOnlySender) {
  ASSERT_TRUE(Enable(FaxObjectModel::Extended, TRUE)) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(index_, 1) << "the zero-based position of CorviskFSP0";
  EXPECT_EQ(ConnectedServerName(), L"") << "the local server";
  for (int modem : {1, 3, 4}) {
    EXPECT_EQ(DeviceNumber(modem, L"SendEnabled"), 0u) << modem;
    EXPECT_EQ(DeviceNumber(modem, L"Saves"), 1u) << modem;
  }
  EXPECT_EQ(DeviceNumber(1, L"ReceiveMode"), 1u) << "other devices keep their receive mode";
  EXPECT_EQ(DeviceNumber(2, L"SendEnabled"), 1u);
  EXPECT_EQ(DeviceNumber(2, L"ReceiveMode"), 0u) << "no answer";
  EXPECT_EQ(DeviceNumber(2, L"Saves"), 1u);
}

TEST_F(ExtendedDevicesTest, WithoutUseOnlyOnlyTheProviderDeviceIsTouched) {
  ASSERT_TRUE(Enable(FaxObjectModel::Extended, FALSE)) << error_;
  EXPECT_EQ(index_, kNoIndex);
  for (int other : {1, 3, 4}) {
    EXPECT_EQ(DeviceNumber(other, L"SendEnabled"), 1u) << other;
    EXPECT_EQ(DeviceNumber(other, L"Saves"), 0u) << other;
  }
  EXPECT_EQ(DeviceNumber(2, L"SendEnabled"), 0u) << "its send setting is left as it was";
  EXPECT_EQ(DeviceNumber(2, L"ReceiveMode"), 0u);
  EXPECT_EQ(DeviceNumber(2, L"Saves"), 1u);
}

TEST_F(FaxServerIntegrationTest, MissingProviderDeviceIsNoError) {
  SeedDevice(1, L"Modem 1", 1, 1);
  SeedDevice(2, L"Modem 2", 1, 1);
  ASSERT_TRUE(Enable(FaxObjectModel::Extended, TRUE)) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(index_, kNoIndex);
  EXPECT_EQ(DeviceNumber(1, L"SendEnabled"), 0u);
  EXPECT_EQ(DeviceNumber(2, L"SendEnabled"), 0u);
}

TEST_F(ExtendedDevicesTest, FailureMidLoopKeepsEarlierSavesAndCarriesTheDescription) {
  InjectFailure(L"DeviceSave", E_ACCESSDENIED, L"The device is in use", 2);
  EXPECT_FALSE(Enable(FaxObjectModel::Extended, TRUE));
  EXPECT_EQ(error_, "Failed to enable CorviskFSP: The device is in use");
  EXPECT_EQ(DeviceNumber(1, L"Saves"), 1u);
  EXPECT_EQ(DeviceNumber(1, L"SendEnabled"), 0u) << "what was saved stays saved";
  EXPECT_EQ(DeviceNumber(2, L"Saves"), 1u);
  EXPECT_EQ(DeviceNumber(3, L"Saves"), 0u) << "the third save failed";
  EXPECT_EQ(DeviceNumber(4, L"SendEnabled"), 1u) << "nothing after the failure";
}

TEST_F(ExtendedDevicesTest, ReceiveModeFailureIsIgnoredAndLeavesNoDescriptionBehind) {
  InjectFailure(L"ReceiveMode", E_NOTIMPL, L"This device cannot answer calls");
  // The look-alike's save, right after the provider's, fails without a text.
  InjectFailure(L"DeviceSave", E_FAIL, nullptr, 2);
  EXPECT_FALSE(Enable(FaxObjectModel::Extended, TRUE));
  EXPECT_EQ(error_, "Failed to enable CorviskFSP");
  EXPECT_EQ(DeviceNumber(2, L"SendEnabled"), 1u);
  EXPECT_EQ(DeviceNumber(2, L"ReceiveMode"), 1u) << "the device kept its mode";
  EXPECT_EQ(DeviceNumber(2, L"Saves"), 1u) << "saved although the mode was refused";
}

TEST_F(ExtendedDevicesTest, EveryOtherFailingStepEndsTheRoutine) {
  struct Case {
    const wchar_t* member;
    HRESULT result;
    const wchar_t* description;
    const char* text;
  };
  const Case cases[] = {
      {L"Connect", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), L"The fax server is not running",
       "Failed to enable CorviskFSP: The fax server is not running"},
      {L"GetDevices", E_ACCESSDENIED, nullptr, "Failed to enable CorviskFSP"},
      {L"DeviceCount", E_FAIL, L"No count", "Failed to enable CorviskFSP: No count"},
      {L"DeviceItem", 0, nullptr, "Failed to enable CorviskFSP"},  // no object
      {L"DeviceName", E_FAIL, L"Nameless", "Failed to enable CorviskFSP: Nameless"},
      {L"SendEnabled", E_ACCESSDENIED, L"Denied", "Failed to enable CorviskFSP: Denied"},
  };
  for (const Case& c : cases) {
    InjectFailure(c.member, c.result, c.description);
    EXPECT_FALSE(Enable(FaxObjectModel::Extended, TRUE)) << c.text;
    EXPECT_EQ(error_, c.text);
    standin::ClearState();
    SetUp();
  }
}

class LegacyPortsTest : public FaxServerIntegrationTest {
 protected:
  void SetUp() override {
    SeedPort(1, L"Modem 1", 1, 1);
    SeedPort(2, L"corviskfsp0", 1, 1);
    SeedPort(3, L"CorviskFSP0", 0, 1);
  }
};

TEST_F(LegacyPortsTest, UseOnlyAppliesAtOnceOnTheComputersServer) {
  ASSERT_TRUE(Enable(FaxObjectModel::Legacy, TRUE)) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(index_, 2);
  EXPECT_EQ(standin::ReadText(L"", L"LegacyConnected"), ComputerName());
  EXPECT_EQ(PortNumber(1, L"Send"), 0u);
  EXPECT_EQ(PortNumber(1, L"Receive"), 1u);
  EXPECT_EQ(PortNumber(2, L"Send"), 0u) << "a name that differs in case is another port";
  EXPECT_EQ(PortNumber(3, L"Send"), 1u);
  EXPECT_EQ(PortNumber(3, L"Receive"), 0u);
}

TEST_F(LegacyPortsTest, WithoutUseOnlyOnlyTheProviderPortReceivesNothing) {
  ASSERT_TRUE(Enable(FaxObjectModel::Legacy, FALSE)) << error_;
  EXPECT_EQ(index_, kNoIndex);
  EXPECT_EQ(PortNumber(1, L"Send"), 1u);
  EXPECT_EQ(PortNumber(2, L"Send"), 1u);
  EXPECT_EQ(PortNumber(3, L"Send"), 0u);
  EXPECT_EQ(PortNumber(3, L"Receive"), 0u);
}

TEST_F(LegacyPortsTest, PortThatCannotBeListedIsPassedOver) {
  InjectFailure(L"PortItem", E_FAIL, L"Port busy", 1, 1);
  ASSERT_TRUE(Enable(FaxObjectModel::Legacy, TRUE)) << error_;
  EXPECT_EQ(PortNumber(1, L"Send"), 0u);
  EXPECT_EQ(PortNumber(2, L"Send"), 1u) << "skipped";
  EXPECT_EQ(PortNumber(3, L"Send"), 1u);
}

TEST_F(LegacyPortsTest, FailingPutEndsWithItsDescription) {
  InjectFailure(L"PortReceive", E_ACCESSDENIED, L"Receiving is managed by policy");
  EXPECT_FALSE(Enable(FaxObjectModel::Legacy, TRUE));
  EXPECT_EQ(error_, "Failed to enable CorviskFSP: Receiving is managed by policy");
  EXPECT_EQ(PortNumber(1, L"Send"), 0u) << "applied before the failure";
  EXPECT_EQ(PortNumber(3, L"Send"), 1u);
}

TEST_F(FaxServerIntegrationTest, ExtendedBannerIsReadAndSavedWithTheQueue) {
  standin::WriteNumber(L"", L"Branding", 1);
  BOOL banner = FALSE;
  ASSERT_TRUE(Banner(FaxObjectModel::Extended, TRUE, banner)) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(banner, TRUE);
  banner = FALSE;
  ASSERT_TRUE(Banner(FaxObjectModel::Extended, FALSE, banner)) << error_;
  EXPECT_EQ(standin::ReadNumber(L"", L"Branding"), 0u);
  EXPECT_EQ(standin::ReadNumber(L"", L"QueueSaves"), 1u);
  ASSERT_TRUE(Banner(FaxObjectModel::Extended, TRUE, banner));
  EXPECT_EQ(banner, FALSE);
  banner = 2;  // any non-zero state means on
  ASSERT_TRUE(Banner(FaxObjectModel::Extended, FALSE, banner));
  EXPECT_EQ(standin::ReadNumber(L"", L"Branding"), 1u);
}

TEST_F(FaxServerIntegrationTest, LegacyBannerIsPassedAsItIs) {
  standin::WriteNumber(L"", L"LegacyBranding", 1);
  BOOL banner = FALSE;
  ASSERT_TRUE(Banner(FaxObjectModel::Legacy, TRUE, banner)) << error_;
  EXPECT_EQ(banner, TRUE);
  banner = FALSE;
  ASSERT_TRUE(Banner(FaxObjectModel::Legacy, FALSE, banner));
  EXPECT_EQ(standin::ReadNumber(L"", L"LegacyBranding"), 0u);
  EXPECT_EQ(standin::ReadText(L"", L"LegacyConnected"), ComputerName());
}

TEST_F(FaxServerIntegrationTest, BannerFailuresNameTheDirection) {
  BOOL banner = FALSE;
  InjectFailure(L"get_Branding", E_ACCESSDENIED, L"No rights to the queue");
  EXPECT_FALSE(Banner(FaxObjectModel::Extended, TRUE, banner));
  EXPECT_EQ(error_, "Failed obtaining banner property - No rights to the queue");
  InjectFailure(L"QueueSave", E_ACCESSDENIED, L"Queue is locked");
  EXPECT_FALSE(Banner(FaxObjectModel::Extended, FALSE, banner));
  EXPECT_EQ(error_, "Failed setting banner property - Queue is locked");
  InjectFailure(L"Folders", 0);
  EXPECT_FALSE(Banner(FaxObjectModel::Extended, FALSE, banner));
  EXPECT_EQ(error_, "Failed setting banner property - ") << "no folders object, no description";
  InjectFailure(L"get_LegacyBranding", E_FAIL, L"Legacy says no");
  EXPECT_FALSE(Banner(FaxObjectModel::Legacy, TRUE, banner));
  EXPECT_EQ(error_, "Failed obtaining banner property - Legacy says no");
  InjectFailure(L"put_LegacyBranding", E_FAIL);
  EXPECT_FALSE(Banner(FaxObjectModel::Legacy, FALSE, banner));
  EXPECT_EQ(error_, "Failed setting banner property - ");
}

}  // namespace
