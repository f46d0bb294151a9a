// The fixture every launcher test starts from: empty fakes, the launcher's
// globals as at process start, and checks that nothing misused the fakes.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fake_jni.h"
#include "fake_platform.h"

namespace paths {
constexpr const char* kInstallDir = "C:\\Apps\\Veltrana";
constexpr const char* kProfile = "C:\\Users\\ann";
constexpr const char* kSessionLog = "C:\\Users\\ann\\Logs\\Veltrana Session Log.txt";
constexpr const char* kTemp = "C:\\Temp";
constexpr const char* kPolicyFile = "C:\\Temp\\Veltrana.exe.policy";
constexpr const char* kStartDir = "C:\\Work";
constexpr const char* kVendorKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr const char* kVendorVersionKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.6";
constexpr const char* kMakerKey = "SOFTWARE\\Orrindale";
constexpr const char* kQuickTimeKey = "SOFTWARE\\Apple Computer, Inc.\\QuickTime";
constexpr const char* kVendorHome = "C:\\Java\\jre6";
constexpr const char* kVendorVm = "C:\\Java\\jre6\\bin\\client\\jvm.dll";
}  // namespace paths

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // For tests that run several cases: checks the case just run, then
  // starts the next from a clean machine.
  void startOver();

  // A machine on which a launch goes through: the executable in
  // C:\Apps\Veltrana, the vendor's runtime C:\Java\jre6, profile
  // C:\Users\ann, TEMP C:\Temp, PATH C:\Windows\system32;C:\Windows\,
  // ProgramFiles C:\Program Files, no maker key, no QuickTime key.
  void setUpWorkingMachine();

  // Registers the vendor's runtime with these values.
  void setVendorRuntime(const std::string& javaHome, const std::string& runtimeLib);

  // runLauncher's result, or the code the process was ended with.
  int launch();

  // The session log's bytes (empty when there is none).
  std::string sessionLog();
};

// The VM option at index (from 0) as creation received it, or "" when the
// VM was not created with that many.
std::string vmOption(std::size_t index);

// Runs step and returns the code the process was ended with, or kReturned
// when step came back normally.
constexpr int kReturned = -1;
template <typename Step>
int exitCodeOf(Step step) {
  try {
    step();
    return kReturned;
  } catch (const fake::ProcessExit& exit) {
    return exit.code;
  }
}
