// The in-memory platform's outlet for the launch trace: the trace file is a
// file of the in-memory machine, written in text mode as the Windows C
// runtime does, so that tests read the trace with fake::fileContents. The
// clock advances by a fixed step each time it is read.
#include "fake_platform.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

bool open = false;
bool toStandardError = false;
std::string tracePath;
long long clock = 0;

std::string parentOf(const std::string& path) {
  std::size_t last = path.find_last_of('\\');
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

}  // namespace

bool openTraceOutput(const char* path) {
  closeTraceOutput();
  if (path == nullptr) {
    open = toStandardError = true;
    return true;
  }
  // As CreateFile with OPEN_ALWAYS: the folder must be there, and a folder
  // or a device is no disk file.
  if (fake::folderExists(path) || !fake::folderExists(parentOf(path)) ||
      fake::specialFileExists(path)) {
    return false;
  }
  if (!fake::fileExists(path)) {
    fake::addFile(path);
  }
  tracePath = path;
  open = true;
  return true;
}

bool openTraceOutputNamedBy(const char* variable) {
  // The in-memory variables reach the outlet as the logic sees them.
  const char* path = getEnv(variable);
  return path != nullptr && path[0] != '\0' && openTraceOutput(path);
}

bool traceOutputOpen() { return open; }

void writeTraceText(const std::string& text) {
  if (!open || toStandardError) {
    return;
  }
  std::string contents = fake::fileContents(tracePath);
  for (char c : text) {
    if (c == '\n') {
      contents += '\r';
    }
    contents += c;
  }
  fake::addFile(tracePath, contents);
}

void closeTraceOutput() {
  open = toStandardError = false;
  tracePath.clear();
}

long long traceClockMicroseconds() { return clock += 5; }

unsigned long currentProcessId() { return 4242; }

std::string describeKeyIn64BitView(const char*) { return std::string(); }

// The hint for a runtime built for another machine is the Win32 side's
// own, checked under Wine.
std::vector<std::string> describeLoadFailure(const char*, unsigned long code) {
  return {"error " + std::to_string(code) + ": " + formatMessage(code)};
}

bool vmTextGoesOnTo(std::FILE*) { return false; }

}  // namespace platform
