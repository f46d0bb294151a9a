// Calling the application's main with the command-line arguments, then
// shutting the VM down.
#pragma once

#include "runtime/jni_invocation.h"

// Runs com.kvn.vt.Veltrana.main on this thread and destroys the VM when it
// returns. A missing main class is fatal.
void invokeMain(JavaVM* vm, JNIEnv* env);
