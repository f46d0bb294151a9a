// The seam and JNI calls whose answers explain a launch: each is the call
// itself, then its request and result told to the launch observer. Nothing
// here words anything; the last error is as the call left it.
#pragma once

#include <jni.h>

#include "platform/platform.h"

namespace observed {

long regOpenKey(const char* subKey, platform::RegKey* key);
long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size);

int statPath(const char* path, bool* isDirectory);
int unlinkFile(const char* path);
bool setCurrentDirectory(const char* path);

platform::LibraryHandle loadLibrary(const char* path);
platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name);

// The JNI calls that show how the application ran.
jclass findClass(JNIEnv* env, const char* name);
void callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, jobjectArray argument);
jint destroyJavaVm(JavaVM* vm);

}  // namespace observed
