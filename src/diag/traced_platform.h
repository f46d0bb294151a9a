// The seam and JNI calls whose answers explain a launch, each reporting its
// request and its result to the launch trace. With the trace off each is
// the platform call and nothing else.
#pragma once

#include <string>

#include "platform/platform.h"
#include "vm/jni_invocation.h"

namespace traced {

long regOpenKey(const char* subKey, platform::RegKey* key);
long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size);
// A text value that the reader turned down because it does not fit its
// buffer of capacity bytes.
void registryValueTooLarge(platform::RegKey key, const char* name, unsigned long capacity);

int statPath(const char* path, bool* isDirectory);
int unlinkFile(const char* path);
platform::FileHandle createPrivateFile(const char* path);

platform::LibraryHandle loadLibrary(const char* path);
platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name);

// The JNI calls that show how the application ran.

// Says whether the class was found and, when not, which exception is pending.
jclass findClass(JNIEnv* env, const char* name);
// Calls the static void method with one argument; times it and names the
// class of an exception it leaves pending (which stays pending).
void callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, jobjectArray argument);
jint destroyJavaVm(JavaVM* vm);

}  // namespace traced
