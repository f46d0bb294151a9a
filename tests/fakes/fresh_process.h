// A test process runs many launches; each starts from what a new process
// would have: an empty in-memory machine, a fresh fake VM and the launcher's
// globals as static initialisation leaves them.
#pragma once

#include <cstring>

#include "diag/launch_observer.h"
#include "fake_jni.h"
#include "fake_platform.h"
#include "launcher/instance_guard.h"
#include "platform/trace_outlet.h"
#include "runtime/java_runtime.h"
#include "vmconfig/class_path.h"

inline void startFreshProcess() {
  fake::reset();
  fakejni::reset();
  std::memset(jreCurrentVersion, 0, sizeof jreCurrentVersion);
  std::memset(javaHomeDir, 0, sizeof javaHomeDir);
  std::memset(runtimeLibPath, 0, sizeof runtimeLibPath);
  classPath.clear();
  instanceMutex = nullptr;
  platform::closeTraceOutput();
  platform::takePlatformRemarks();
  setLaunchObserver(nullptr);
}
