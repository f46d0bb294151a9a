// The wide command line on Linux: the process's arguments, kept by main and
// decoded from UTF-8 when the launch asks for them.
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "rules/utf8_text.h"

namespace platform {

namespace {

std::vector<std::string> commandLine;
bool commandLineKept = false;

struct ArgumentVector {
  std::vector<std::u16string> args;
};

}  // namespace

void setCommandLine(int argc, char** argv) {
  commandLine.assign(argv, argv + argc);
  commandLineKept = true;
}

CommandLineHandle splitCommandLine(std::vector<std::u16string>& args) {
  if (!commandLineKept) {
    setLastError(kErrorInvalidParameter);
    return nullptr;
  }
  ArgumentVector* vector = new ArgumentVector();
  for (const std::string& arg : commandLine) {
    vector->args.push_back(utf8_text::decodeUtf8(arg));
  }
  args = vector->args;
  return vector;
}

void releaseCommandLine(CommandLineHandle vector) { delete static_cast<ArgumentVector*>(vector); }

}  // namespace platform
