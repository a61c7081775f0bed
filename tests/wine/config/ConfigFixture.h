#pragma once
// The state every configuration program test starts from and leaves behind
// in the shared prefix: a complete settings key, the "Fax" stand-in service
// stopped and on demand, the provider registered with the fax service, the
// helper servers registered where they were built.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ConfigProgram.h"
#include "config/Resource.h"

namespace corvisk::test {

class ConfigProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A value of the settings key; nothing when it is missing.
  static std::optional<std::string> Setting(const char* name);
  // Registers the provider with the fax service as self-registration would.
  static void RegisterProviderKey();
  // Runs a helper server with -RegServer or -UnregServer from the build.
  static void RegisterHelperServer(const wchar_t* name, bool registered);
  // Registers a helper server from the build unless it already is.
  static void RestoreHelperServer(const wchar_t* name, const wchar_t* progId);
  static bool ProgIdResolves(const wchar_t* progId);
  // True when the program, like this test, runs under WOW64: the x86 tree's
  // programs do on 64-bit Wine.
  static bool RunsUnderWow64();
  // The system folder the program looks in for its files: the 32-bit one
  // under WOW64.
  static std::string ProgramSystemFolder();
  // The copy of a helper server in that folder, which the test prefix
  // installs there (a test of a missing server hides it with HiddenFile).
  static std::wstring InstalledServer(const wchar_t* name);

  // The end of an apply run that went well shows nothing more.
  static void FinishApply(ConfigProgram& program);
  // The shell tells that it found no file to start before the program says
  // what to do about it.
  static void ExpectShellFileNotFound(ConfigProgram& program);
  // The next message box must carry this text; it is answered with button.
  static void ExpectMessage(ConfigProgram& program, const std::string& text, UINT icon, int button = IDOK);
};

}  // namespace corvisk::test
