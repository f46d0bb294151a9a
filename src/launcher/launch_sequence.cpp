#include "launcher/launch_sequence.h"

#include "diag/launch_observer.h"
#include "launcher/instance_guard.h"
#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "runtime/java_runtime.h"
#include "trace/launch_trace.h"
#include "trace/vm_output_capture.h"
#include "vm/main_invocation.h"
#include "vm/vm_creation.h"
#include "vmconfig/class_path.h"
#include "vmconfig/library_path.h"
#include "vmconfig/policy_file.h"
#include "vmconfig/search_path.h"

void showLastError() {
  std::string text = platform::formatMessage(platform::getLastError());
  platform::messageBox(text.c_str(), "Error");
}

std::string findInstallDir() {
  std::string executablePath;
  if (!platform::getModuleFileName(executablePath)) {
    // Shown, not fatal: the launch goes on with what the path gives.
    showLastError();
  }
  std::string installDir;
  if (ansi_text::beforeLastSeparator(executablePath, conventions::kSeparatorChar,
                                     platform::isLeadByte, installDir)) {
    return installDir;
  }
  // No folder in the path at all: the current folder is the best guess.
  std::string currentDir;
  if (platform::getCurrentDirectory(currentDir)) {
    ansi_text::trimTrailingSeparators(currentDir, conventions::kSeparatorChar, 1,
                                      platform::isLeadByte);
    return currentDir;
  }
  return ".";
}

namespace {

// The last word of a launch that returns; gives back code.
int finishLaunch(int code) {
  launchObserver().exitCode(code);
  return code;
}

}  // namespace

int runLauncher() {
  // Off unless VELTRANA_TRACE is set; then the trace observes every stage.
  if (LaunchObserver* trace = startLaunchTrace()) {
    setLaunchObserver(trace);
  }
  LaunchObserver& observer = launchObserver();

  // 1. Single-instance guard.
  observer.stageBegun(Stage::SingleInstanceGuard);
  bool guardHeld = acquireInstanceGuard();
  observer.guardTaken(kInstanceGuardName, guardHeld);
  if (!guardHeld) {
    return finishLaunch(1);
  }
  // 2. The worker that gives the name up after 30 seconds.
  observer.stageBegun(Stage::ReleaseWorker);
  startReleaseWorker();

  // 3. Install folder.
  observer.stageBegun(Stage::InstallFolder);
  std::string installDir = findInstallDir();
  observer.installFolderFound(installDir);

  // 4. Java runtime.
  observer.stageBegun(Stage::JavaRuntime);
  findJavaRuntime(installDir);
  // With the trace on, the VM's output, exit and abort reach it too.
  CreateJavaVmFunction createJavaVmEntry = captureVmOutput(loadJavaRuntime());

  // 5. Search path and QuickTime folder.
  observer.stageBegun(Stage::SearchPathAndQuickTime);
  std::string searchPath = readSearchPath();
  std::string quickTimeDir = findQuickTimeDir();

  // 6. Security policy file.
  observer.stageBegun(Stage::SecurityPolicyFile);
  std::string policyFilePath = writePolicyFile(installDir, quickTimeDir);
  const std::string policyFile = policyFilePath;  // the URL form replaces it below
  std::string securityManagerOption;
  std::string securityPolicyOption;
  buildSecurityOptions(policyFilePath, securityManagerOption, securityPolicyOption);

  // 7. Library path and class path.
  observer.stageBegun(Stage::LibraryPathAndClassPath);
  std::string libraryPath = buildLibraryPath(installDir, searchPath, quickTimeDir);
  buildClassPath(installDir, quickTimeDir, javaHomeDir);

  // 8. VM options and creation.
  observer.stageBegun(Stage::VmCreation);
  std::vector<std::string> options = buildVmOptions(classPath, libraryPath, securityManagerOption,
                                                    securityPolicyOption, policyFile);
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  createJavaVm(createJavaVmEntry, options, &vm, &env);

  // 9. The application's main, then shutdown.
  observer.stageBegun(Stage::MainAndShutdown);
  invokeMain(vm, env, mainArchiveEntry(installDir));

  // 10. The launch ends with the application.
  observer.stageBegun(Stage::Exit);
  return finishLaunch(0);
}
