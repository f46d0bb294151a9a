// The process's own facts on Windows: the executable's path, the last
// error, the system's error texts, the command line and the exit.
#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "platform/windows/ansi_path.h"
#include "platform/windows/raw_calls.h"
#include "platform/windows/wide_text.h"

namespace platform {

bool getModuleFileName(std::string& path) {
  // The classic MAX_PATH buffer first; a result that fills the request may
  // have been cut, so ask again with more room until it does not.
  unsigned long request = kMaxPath - 1;
  std::vector<char16_t> buffer(request + 1, u'\0');
  for (;;) {
    unsigned long length = kRawCalls.getModuleFileNameW(buffer.data(), request);
    if (length == 0) {
      // What the call left behind, if anything, still gives the folder.
      unsigned long error = kRawCalls.getLastError();
      toAnsi(buffer.data(), path);
      kRawCalls.setLastError(error);
      return false;
    }
    if (length < request) {
      std::u16string text(buffer.data(), length);
      if (!ansiModulePath(text, path)) {
        // Unknown, rather than a path of '?' that names something else.
        path.clear();
        kRawCalls.setLastError(kErrorNoUnicodeTranslation);
        return false;
      }
      return true;
    }
    request *= 2;
    buffer.assign(request + 1, u'\0');
  }
}

unsigned long getLastError() { return kRawCalls.getLastError(); }

void setLastError(unsigned long code) { kRawCalls.setLastError(code); }

std::string formatMessage(unsigned long code) {
  std::string text;
  return kRawCalls.formatMessageA(code, text) ? text : std::string();
}

void exitProcess(int code) {
  kRawCalls.exit(code);
  std::abort();  // exit does not return
}

CommandLineHandle splitCommandLine(std::vector<std::u16string>& args) {
  int count = 0;
  char16_t** vector = kRawCalls.commandLineToArgvW(&count);
  if (vector == nullptr) {
    return nullptr;
  }
  args.clear();
  for (int i = 0; i < count; ++i) {
    args.push_back(std::u16string(vector[i]));
  }
  return vector;
}

void releaseCommandLine(CommandLineHandle vector) { kRawCalls.localFree(vector); }

}  // namespace platform
