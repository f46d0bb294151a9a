// The VM's own words in the trace: its print, exit and abort hooks.
#pragma once

#include "runtime/jni_invocation.h"

// With the trace on, a creation entry that records the options exactly as
// handed over, adds the VM's print, exit and abort hooks (so a VM that ends
// the process during creation still leaves its words and exit code in the
// trace) and times the call. With the trace off, entry itself.
CreateJavaVmFunction captureVmOutput(CreateJavaVmFunction entry);
