// The facts the trace asks of the system that every platform layer answers
// through its own seam: the trace itself calls the system only through its
// outlet.
#include "platform/platform.h"
#include "platform/trace_outlet.h"
#include "rules/blank_text.h"

namespace platform {

const char* traceSetting(const char* variable) { return getEnv(variable); }

std::string traceExecutablePath() {
  std::string path;
  getModuleFileName(path);
  return path;
}

std::string traceLocalTime() { return withoutLineEnd(localTimeText()); }

std::string systemErrorText(unsigned long code) { return withoutLineEnd(formatMessage(code)); }

}  // namespace platform
