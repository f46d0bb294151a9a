// The opt-in launch trace. With VELTRANA_TRACE unset or empty, every routine
// here returns at once and the launch is exactly what it is without them.
// Turned on, the trace writes one block per launch: a header, then one line
// per event, each prefixed by the microseconds since the launcher started.
//
// The events come from two places only: the traced seam calls
// (diag/traced_platform.h), which report what the launch asked of the
// system and what it got, and the markers below, one at the start of each
// stage plus a note of what the stage decided.
#pragma once

#include <string>

#include "vm/jni_invocation.h"

// Reads VELTRANA_TRACE: "1" means the default place (standard error on
// POSIX, %USERPROFILE%\Logs\Veltrana Launch Trace.txt on Windows), any
// other text names the file to append to.
void startLaunchTrace();

// One line of the trace.
void traceEvent(const std::string& text);

// Ends the stage before (with its time) and begins stage number.
void traceStage(int number);

// What the stages decided.
void traceGuard(bool guardHeld);
void traceInstallDir(const std::string& installDir);
void traceRuntimeChosen(const std::string& installDir);
void tracePolicyFile(const std::string& policyFilePath);
void traceClassPathScan(const std::string& installDir);
// The last line of a launch that returns; gives back code.
int traceExit(int code);
// A report for the session log, and for a fatal one the exit that follows.
void traceReport(const std::string& errorText, bool fatal);

// In trace mode, a creation entry that records the options exactly as
// handed over, adds the VM's print, exit and abort hooks (so a VM that ends the
// process during creation still leaves its words and exit code in the
// trace) and times the call. Otherwise entry itself.
CreateJavaVmFunction traceCreation(CreateJavaVmFunction entry);

// The main class lookup, main's run and the VM's destruction.
void traceMainClass(JNIEnv* env, jclass mainClass);
void traceMainStarts();
void traceMainReturned(JNIEnv* env);
void traceVmDestroyed();
