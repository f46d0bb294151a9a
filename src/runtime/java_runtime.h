// Finding the Java runtime (a private runtime first, else the one the Java
// vendor registered) and loading its VM library.
#pragma once

#include <string>

#include "platform/platform.h"
#include "runtime/jni_invocation.h"

constexpr unsigned long kJreCurrentVersionSize = 80;
constexpr unsigned long kRuntimePathSize = 1024;

// Filled by findJavaRuntime; zero-filled at process start.
extern char jreCurrentVersion[kJreCurrentVersionSize];
extern char javaHomeDir[kRuntimePathSize];
extern char runtimeLibPath[kRuntimePathSize];

// Decides on javaHomeDir and runtimeLibPath and tells the launch observer
// which runtime it chose and why. Does not return when no runtime can be
// located.
void findJavaRuntime(const std::string& installDir);

// Pre-loads the runtime's support library, loads the VM library and returns
// its JNI_CreateJavaVM. Does not return when the VM library cannot be used.
CreateJavaVmFunction loadJavaRuntime();
