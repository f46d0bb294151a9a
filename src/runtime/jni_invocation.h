// What the launcher uses of the Java runtime's invocation interface.
#pragma once

#include <jni.h>

// The signature of the VM library's "JNI_CreateJavaVM" export.
using CreateJavaVmFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* initArgs);
