// What the opt-in launch trace needs from the system beyond the seam: a
// place to write its lines, a clock, the process id, and on Windows a look
// into the 64-bit registry view. Writing the trace never fails a launch:
// every routine here quietly does nothing when its output is gone.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Opens the trace output: the file at path, appended to, or standard error
// when path is null. On Windows a file also receives what the process
// writes to its standard output and standard error from then on. Returns
// false (and the trace stays off) when the file cannot be opened.
bool openTraceOutput(const char* path);

// True between a successful openTraceOutput and closeTraceOutput.
bool traceOutputOpen();

// Writes text as it is and flushes it at once, so the lines survive the
// process being ended by someone else (the VM may exit on its own).
void writeTraceText(const std::string& text);

// A remark of the platform layer about an answer it had to adjust (a path
// the code page cannot carry left out, a fallback folder used), so that the
// trace can say why. Kept only while the trace is open; the trace writes
// the remarks with its next line.
void notePlatformRemark(const std::string& text);
std::vector<std::string> takePlatformRemarks();

// Closes the output; the trace is off again.
void closeTraceOutput();

// True when the trace goes to standard error.
bool traceOutputIsStandardError();

// Microseconds since the launcher's code started running.
long long traceClockMicroseconds();

unsigned long currentProcessId();

// On Windows: what the 64-bit registry view holds under subKey (below
// HKEY_LOCAL_MACHINE), as a short text for the trace; empty elsewhere.
std::string describeKeyIn64BitView(const char* subKey);

}  // namespace platform
