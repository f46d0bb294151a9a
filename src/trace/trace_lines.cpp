#include "trace/trace_lines.h"

#include <atomic>

#include "diag/session_log.h"
#include "platform/trace_outlet.h"
#include "rules/conventions.h"
#include "rules/product_names.h"
#include "rules/text_bytes.h"
#include "trace/spin_lock.h"

#ifndef VELTRANA_VERSION_TEXT
#define VELTRANA_VERSION_TEXT "unknown"
#endif

namespace {

bool on = false;
long long writing = 0;

// The VM's hooks may be called from any of its threads while the main
// thread writes its own lines; this keeps the lines whole.
std::atomic_flag lineLock = ATOMIC_FLAG_INIT;

std::string escaped(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if ((text_bytes::isControlCharacter(c) && c != '\t') || c == '\0') {
      result += "\\x";
      text_bytes::appendHex(result, c);
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace

bool openTraceLines() {
  on = false;
  // A value the ANSI code page cannot carry reads as unset here; the
  // outlet reads it in its own form.
  const char* setting = platform::traceSetting("VELTRANA_TRACE");
  bool opened = false;
  if (setting == nullptr || std::string(setting) != "1") {
    opened = platform::openTraceOutputNamedBy("VELTRANA_TRACE");
  } else if (!conventions::kTraceToLogsFolder) {
    opened = platform::openTraceOutput(nullptr);
  } else {
    std::string path = userLogFilePath(product::kTraceFileName);
    opened = !path.empty() && platform::openTraceOutput(path.c_str());
  }
  if (!opened) {
    return false;  // the launch goes on untraced
  }
  on = true;
  writing = 0;

  platform::writeTraceText("\n===== Veltrana launch trace, " + platform::traceLocalTime() +
                           " =====\n");
  traceLine("process " + std::to_string(platform::currentProcessId()) + ", executable " +
            platform::traceExecutablePath() + ", launcher version " VELTRANA_VERSION_TEXT);
  return true;
}

bool traceLinesOn() { return on; }

void traceLine(const std::string& text) {
  if (!on) {
    return;
  }
  long long at = traceNow();
  std::string time = std::to_string(at);
  if (time.size() < 10) {
    time.insert(0, 10 - time.size(), ' ');
  }
  SpinLock lock(lineLock);
  // What the platform layer adjusted since the last line comes first.
  for (const std::string& remark : platform::takePlatformRemarks()) {
    platform::writeTraceText(time + " us  platform: " + escaped(remark) + "\n");
  }
  platform::writeTraceText(time + " us  " + escaped(text) + "\n");
  writing += traceNow() - at;
}

long long traceNow() { return platform::traceClockMicroseconds(); }

long long traceWritingTime() { return writing; }
