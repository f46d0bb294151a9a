// The seam and JNI calls whose answers explain a launch: each is the call
// itself, then its request and result told to the launch observer. Nothing
// here words anything; the last error is as the call left it.
#pragma once

#include <jni.h>

#include <string>

#include "platform/platform.h"

namespace observed {

long regOpenKey(const char* subKey, platform::RegKey* key);
// The size query of a value: its type and size into type and size. accepts
// is the stage's rule for the type; its verdict is told with the answer.
long regQueryValueSize(platform::RegKey key, const char* name, unsigned long* type,
                       unsigned long* size, bool (*accepts)(unsigned long type));
long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size);

int statPath(const char* path, bool* isDirectory);
platform::EntryType pathType(const char* path);
int unlinkFile(const char* path);
bool setCurrentDirectory(const char* path);

platform::LibraryHandle loadLibrary(const char* path);
platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name);

// The JNI calls that show how the application ran. For a main class not
// found, whether anything stands at archive, the first place the class
// path names, is told with it.
jclass findMainClass(JNIEnv* env, const char* name, const std::string& archive);
void callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, jobjectArray argument);
jint destroyJavaVm(JavaVM* vm);

}  // namespace observed
