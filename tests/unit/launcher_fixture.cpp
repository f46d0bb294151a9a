#include "launcher_fixture.h"

#include "fresh_process.h"
#include "launcher/launch_sequence.h"

// The release worker and its runnable are never destroyed, by design: in a
// real process they live until exit. Many launches in one test process
// would otherwise be reported as leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:startReleaseWorker\n"; }

void LauncherTest::SetUp() { startFreshProcess(); }

void LauncherTest::TearDown() {
  for (const std::string& misuse : fake::misuses()) {
    ADD_FAILURE() << "platform misuse: " << misuse;
  }
  for (const std::string& misuse : fakejni::misuses()) {
    ADD_FAILURE() << "JNI misuse: " << misuse;
  }
  EXPECT_EQ(fake::openFileCount(), 0) << "a file was left open";
  EXPECT_EQ(fake::openListingCount(), 0) << "a folder listing was left open";
}

void LauncherTest::startOver() {
  TearDown();
  SetUp();
}

void LauncherTest::setVendorRuntime(const std::string& javaHome, const std::string& runtimeLib) {
  fake::setRegistryText(paths::kVendorKey, "CurrentVersion", "1.6");
  fake::setRegistryText(paths::kVendorVersionKey, "JavaHome", javaHome);
  fake::setRegistryText(paths::kVendorVersionKey, "RuntimeLib", runtimeLib);
}

void LauncherTest::setUpWorkingMachine() {
  fake::setModulePath("C:\\Apps\\Veltrana\\Veltrana.exe");
  fake::addFile("C:\\Apps\\Veltrana\\Veltrana.exe", "MZ");
  fake::addFile("C:\\Apps\\Veltrana\\Veltrana.jar", "PK");
  fake::addFolder(paths::kProfile);
  fake::addFolder(paths::kTemp);
  fake::addFolder(paths::kStartDir);
  fake::setCurrentDirectoryValue(paths::kStartDir);
  fake::setEnv("USERPROFILE", paths::kProfile);
  fake::setEnv("TEMP", paths::kTemp);
  fake::setEnv("PATH", "C:\\Windows\\system32;C:\\Windows\\");
  fake::setEnv("ProgramFiles", "C:\\Program Files");
  setVendorRuntime(paths::kVendorHome, paths::kVendorVm);
  fakejni::installVmLibrary(paths::kVendorVm);
}

int LauncherTest::launch() {
  try {
    return runLauncher();
  } catch (const fake::ProcessExit& exit) {
    return exit.code;
  }
}

std::string LauncherTest::sessionLog() { return fake::fileContents(paths::kSessionLog); }

std::string vmOption(std::size_t index) {
  const std::vector<std::string>& options = fakejni::creation().options;
  return index < options.size() ? options[index] : std::string();
}
