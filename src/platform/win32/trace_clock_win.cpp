// The trace's clock on Windows: the performance counter, which is monotonic
// and finer than a microsecond on every Windows version. The system time
// the C++ library's steady clock reads here moves in steps of up to 16 ms
// on older systems and follows clock changes.
#include <windows.h>

#include "platform/trace_outlet.h"

namespace platform {

namespace {

long long counterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

long long counterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

// Taken while the program's static data is set up, before main runs.
const long long started = counterNow();

}  // namespace

long long traceClockMicroseconds() {
  long long ticks = counterNow() - started;
  // Asked each time: a fixed value, but a static one could still be unset
  // when another file's static data reads the clock.
  long long perSecond = counterFrequency();
  // In two parts, so that a counter of several MHz cannot overflow.
  return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
}

}  // namespace platform
