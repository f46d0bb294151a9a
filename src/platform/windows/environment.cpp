// The environment, the temporary folders and the working directory on
// Windows, read in UTF-16 and handed over as GetEnvironmentVariable does.
#include <map>

#include "platform/platform.h"
#include "platform/windows/ansi_path.h"
#include "platform/windows/raw_calls.h"
#include "platform/windows/wide_text.h"
#include "rules/ansi_text.h"

namespace platform {

namespace {

// A variable's value as the launcher's bytes; a value with no form the
// code page carries counts as unset.
bool readVariable(const char* name, std::string& value) {
  std::u16string text;
  return readWideVariable(name, text) && ansiVariable(name, text, value);
}

}  // namespace

const char* getEnv(const char* name) {
  // Each name keeps its own copy, valid until it is read again.
  static std::map<std::string, std::string> values;
  std::string value;
  if (!readVariable(name, value)) {
    values.erase(name);
    return nullptr;
  }
  std::string& kept = values[name];
  kept = value;
  return kept.c_str();
}

unsigned long getEnvironmentVariable(const char* name, char* buffer, unsigned long size) {
  std::string value;
  if (!readVariable(name, value)) {
    kRawCalls.setLastError(kErrorEnvironmentVariableNotFound);
    return 0;
  }
  return copyOut(value, buffer, size);
}

unsigned long getTempFolder(char* buffer, unsigned long size) {
  return getEnvironmentVariable("TEMP", buffer, size);
}

unsigned long getFurtherTempFolder(unsigned long /*index*/, char* /*buffer*/,
                                   unsigned long /*size*/) {
  return 0;  // TEMP and GetTempPath's folder are all the system offers
}

unsigned long getSystemTempFolder(char* buffer, unsigned long size) {
  char16_t wide[kMaxPath + 1];
  unsigned long length = kRawCalls.getTempPathW(kMaxPath + 1, wide);
  if (length == 0 || length > kMaxPath) {
    return 0;
  }
  std::string folder;
  // A user name outside the code page: the short form reaches the same
  // folder in characters the code page holds.
  if (!ansiPath(std::u16string(wide, length), folder)) {
    return 0;
  }
  // GetTempPath ends the folder with a backslash; a root keeps its own.
  if (folder.size() > 3 && ansi_text::endsWithSeparator(folder, '\\', isLeadByte)) {
    folder.pop_back();
  }
  return copyOut(folder, buffer, size);
}

bool isLeadByte(unsigned char byte) { return kRawCalls.isDBCSLeadByte(byte); }

bool setCurrentDirectory(const char* path) { return kRawCalls.setCurrentDirectoryA(path); }

bool getCurrentDirectory(std::string& path) {
  unsigned long needed = kRawCalls.getCurrentDirectoryA(0, nullptr);
  if (needed == 0) {
    return false;
  }
  std::string buffer(needed + 1, '\0');
  unsigned long length = kRawCalls.getCurrentDirectoryA(needed + 1, &buffer[0]);
  if (length == 0 || length > needed) {
    return false;
  }
  path.assign(buffer.data(), length);
  return true;
}

}  // namespace platform
