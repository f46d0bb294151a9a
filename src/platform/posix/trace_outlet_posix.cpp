// The launch trace's outlet on POSIX: a file or standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/common/trace_stream.h"
#include "platform/platform.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

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
    adoptTraceStream(stderr, true);
    return true;
  }
  int descriptor = openTraceFile(path);
  if (descriptor < 0) {
    return false;
  }
  std::FILE* stream = ::fdopen(descriptor, "a");
  if (stream == nullptr) {
    ::close(descriptor);
    return false;
  }
  adoptTraceStream(stream, false);
  return true;
}

bool openTraceOutputNamedBy(const char* variable) {
  const char* path = std::getenv(variable);
  return path != nullptr && path[0] != '\0' && openTraceOutput(path);
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
  return !(traceGoesToStandardError() && ::fileno(stream) == STDERR_FILENO);
}

}  // namespace platform
