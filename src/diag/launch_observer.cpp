#include "diag/launch_observer.h"

namespace {

LaunchObserver silent;
LaunchObserver* current = &silent;

}  // namespace

const char* stageName(Stage stage) {
  switch (stage) {
    case Stage::SingleInstanceGuard:
      return "single-instance guard";
    case Stage::ReleaseWorker:
      return "release worker";
    case Stage::InstallFolder:
      return "install folder";
    case Stage::JavaRuntime:
      return "Java runtime";
    case Stage::SearchPathAndQuickTime:
      return "search path and QuickTime folder";
    case Stage::SecurityPolicyFile:
      return "security policy file";
    case Stage::LibraryPathAndClassPath:
      return "library path and class path";
    case Stage::VmCreation:
      return "VM options and creation";
    case Stage::MainAndShutdown:
      return "main class and shutdown";
    case Stage::Exit:
      return "exit";
  }
  return "";
}

LaunchObserver& launchObserver() { return *current; }

void setLaunchObserver(LaunchObserver* observer) {
  current = observer != nullptr ? observer : &silent;
}

bool launchObserved() { return current != &silent; }
