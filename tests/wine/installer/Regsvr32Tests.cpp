// Registration through Wine's own regsvr32, in a process of its own: what
// an installer or an administrator sees.
#include "ProviderFixture.h"
#include "RegistrationSupport.h"

using namespace corvisk::test;

namespace {

class Regsvr32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveRegistration();
    fax_service::Restore();
    ASSERT_EQ(fax_service::State(), static_cast<DWORD>(SERVICE_STOPPED)) << "the Fax stand-in is not installed";
  }
  void TearDown() override {
    RemoveRegistration();
    fax_service::Restore();
  }

  // Silent: regsvr32 reports only through its exit code.
  static unsigned long Regsvr32(const std::wstring& options) {
    return RunWithoutOutput(L"regsvr32.exe " + options + L" \"" + ProviderPath() + L"\"");
  }
};

TEST_F(Regsvr32Test, RegistersTwiceThenUnregistersStoppingTheRunningService) {
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(fax_service::Start());
    EXPECT_EQ(Regsvr32(L"/s"), 0u);
    EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
  }
  EXPECT_TRUE(KeyExists(kFaxProviderKey));
  const std::optional<TextValue> messageFile = ReadText(kEventSourceKey, L"EventMessageFile");
  ASSERT_TRUE(messageFile.has_value());
  EXPECT_EQ(messageFile->type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(messageFile->text, ProviderPath());
  EXPECT_EQ(ReadDword(kEventSourceKey, L"TypesSupported"), std::optional<DWORD>(7));
  EXPECT_EQ(ReadDword(kControlPanelKey, kAppletValue), std::optional<DWORD>(2));

  ASSERT_TRUE(fax_service::Start());
  EXPECT_EQ(Regsvr32(L"/u /s"), 0u);
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
  EXPECT_FALSE(KeyExists(kEventSourceKey));
  EXPECT_FALSE(ReadDword(kControlPanelKey, kAppletValue).has_value());
  EXPECT_TRUE(fax_service::WaitForState(SERVICE_STOPPED));
}

TEST_F(Regsvr32Test, WithoutWinFaxRegistrationSucceedsAndTheProcessSurvives) {
  WinFaxSwap noWinFax;
  ASSERT_TRUE(noWinFax.Done());
  EXPECT_EQ(Regsvr32(L"/s"), 0u);
  EXPECT_FALSE(KeyExists(kFaxProviderKey));
  EXPECT_TRUE(KeyExists(kEventSourceKey));
  EXPECT_EQ(Regsvr32(L"/u /s"), 0u);
  EXPECT_FALSE(KeyExists(kEventSourceKey));
}

}  // namespace
