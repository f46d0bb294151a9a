// What the opt-in launch trace needs from the system: a place to write its
// lines, a clock, the process id, and the few facts only the system can
// tell (the trace's setting, the executable, the local time, an error
// code's words, the 64-bit registry view, why a library did not load). The
// trace calls the system through nothing else. Each platform layer has its
// own outlet; the in-memory one keeps the trace in memory. Writing the trace never fails or holds
// up a launch: every routine here quietly does nothing when its output is gone.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Opens the trace output: the file at path, appended to, or standard error
// when path is null. Only a regular file or a terminal (a disk file or a
// character device on Windows) is taken, and opening never waits, so a
// pipe with no reader cannot hold the launch. On Windows a file also
// receives what the process writes to its standard output and standard
// error from then on. Returns false (and the trace stays off) otherwise.
bool openTraceOutput(const char* path);

// openTraceOutput for the file the environment variable names, read in the
// system's own form of its text (UTF-16 on Windows), so that a new file in a
// folder whose name the ANSI code page cannot carry is still created. False
// when the variable is unset or empty.
bool openTraceOutputNamedBy(const char* variable);

// True between a successful openTraceOutput and closeTraceOutput.
bool traceOutputOpen();

// Writes text as it is and flushes it at once, so the lines survive the
// process being ended by someone else (the VM may exit on its own).
void writeTraceText(const std::string& text);

// Closes the output; the trace is off again.
void closeTraceOutput();

// A remark of the platform layer about an answer it had to adjust (a path
// the code page cannot carry left out, a fallback folder used), so that the
// trace can say why. Kept only while the trace is open; the trace writes
// the remarks with its next line.
void notePlatformRemark(const std::string& text);
std::vector<std::string> takePlatformRemarks();

// Microseconds since the launcher's code started running.
long long traceClockMicroseconds();

unsigned long currentProcessId();

// The environment variable that sets the trace, null when unset.
const char* traceSetting(const char* variable);

// The running executable's path, as far as the system gives it.
std::string traceExecutablePath();

// The local time as asctime writes it, without its line end.
std::string traceLocalTime();

// The system's words for an error code, without their line end.
std::string systemErrorText(unsigned long code);

// On Windows: what the 64-bit registry view holds under subKey (below
// HKEY_LOCAL_MACHINE), as a short text for the trace; empty elsewhere.
std::string describeKeyIn64BitView(const char* subKey);

// Why the library at path did not load, code being the last error its
// loading left: the system's words, and on Windows a hint when the file is
// a program image for another kind of machine. Each line of the answer is
// one line of the trace.
std::vector<std::string> describeLoadFailure(const char* path, unsigned long code);

// Whether text the VM prints to stream must still be written there once
// the trace has its copy: not where the stream leads to the trace itself.
bool vmTextGoesOnTo(std::FILE* stream);

}  // namespace platform
