// The trace's clock on POSIX systems: the monotonic clock.
#include <chrono>

#include "platform/trace_outlet.h"

namespace platform {

namespace {

// Taken while the program's static data is set up, before main runs.
const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

}  // namespace

long long traceClockMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               started)
      .count();
}

}  // namespace platform
