// The launch trace's outlet on POSIX: a file or standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

// Taken while the program's static data is set up, before main runs.
const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

std::FILE* output = nullptr;
bool toStandardError = false;

// The trace file, opened without waiting (a FIFO with no reader would hold
// the launch forever otherwise) and taken only when it is a regular file
// or a terminal; -1 otherwise.
int openTraceFile(const char* path) {
  int descriptor = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return -1;
  }
  struct stat status;
  if (::fstat(descriptor, &status) != 0 ||
      !(S_ISREG(status.st_mode) || (S_ISCHR(status.st_mode) && ::isatty(descriptor) == 1))) {
    ::close(descriptor);
    return -1;
  }
  // Writes wait as usual from here on, so no line is lost half-written.
  int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

}  // namespace

bool openTraceOutput(const char* path) {
  closeTraceOutput();
  if (path == nullptr) {
    output = stderr;
    toStandardError = true;
    return true;
  }
  int descriptor = openTraceFile(path);
  if (descriptor < 0) {
    return false;
  }
  output = ::fdopen(descriptor, "a");
  if (output == nullptr) {
    ::close(descriptor);
    return false;
  }
  return true;
}

bool openTraceOutputNamedBy(const char* variable) {
  const char* path = std::getenv(variable);
  return path != nullptr && path[0] != '\0' && openTraceOutput(path);
}

bool traceOutputOpen() { return output != nullptr; }

void writeTraceText(const std::string& text) {
  if (output == nullptr) {
    return;
  }
  std::fwrite(text.data(), 1, text.size(), output);
  std::fflush(output);
}

void closeTraceOutput() {
  if (output != nullptr && !toStandardError) {
    std::fclose(output);
  }
  output = nullptr;
  toStandardError = false;
}

long long traceClockMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               started)
      .count();
}

unsigned long currentProcessId() { return static_cast<unsigned long>(::getpid()); }

std::string describeKeyIn64BitView(const char*) { return std::string(); }

std::vector<std::string> describeLoadFailure(const char*, unsigned long code) {
  // The loader's own words, which the layer keeps for the code it sets on
  // a failed load; a Windows error number would mean nothing here.
  std::string reason = formatMessage(code);
  return {reason.empty() ? std::string("the loader gave no reason") : reason};
}

bool vmTextGoesOnTo(std::FILE* stream) {
  return !(toStandardError && ::fileno(stream) == STDERR_FILENO);
}

}  // namespace platform
