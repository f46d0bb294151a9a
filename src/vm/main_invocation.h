// Calling the application's main with the command-line arguments, then
// shutting the VM down.
#pragma once

#include <string>

#include "runtime/jni_invocation.h"

// Runs com.kvn.vt.Veltrana.main on this thread and destroys the VM when it
// returns. A missing main class is fatal; mainArchive, where the class path
// first looks for it, is what the launch observer hears about then.
void invokeMain(JavaVM* vm, JNIEnv* env, const std::string& mainArchive);
