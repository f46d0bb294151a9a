// The trace's output as both real platforms keep it: a C stream, flushed
// after every line, with the clock the trace's times count from. Each
// platform's outlet opens the stream its own way and hands it over here;
// the routines of trace_outlet.h that write, close and time are the same.
#pragma once

#include <cstdio>

namespace platform {

// Takes stream as the trace's output; standardError when it is the
// process's own standard error, which closing leaves open.
void adoptTraceStream(std::FILE* stream, bool standardError);

// True while the trace goes to the process's standard error.
bool traceGoesToStandardError();

}  // namespace platform
