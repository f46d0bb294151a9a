// The name of the exception the VM has pending, for the trace.
#pragma once

#include <jni.h>

#include <string>

// The class of the pending exception, which stays pending afterwards;
// empty when none is pending.
std::string pendingExceptionClass(JNIEnv* env);
