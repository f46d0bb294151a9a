#include "vmconfig/search_path.h"

#include "diag/observed_platform.h"
#include "platform/ansi_text.h"
#include "platform/conventions.h"
#include "platform/platform.h"
#include "runtime/registry_text.h"

namespace {
constexpr unsigned long kQuickTimeBufferSize = 1024;
constexpr unsigned long kProgramFilesLimit = 260;
}  // namespace

std::string readSearchPath() {
  // A private copy: the process environment stays as it was.
  const char* value = platform::getEnv("PATH");
  std::string path = value != nullptr ? value : "";

  ansi_text::trimTrailingSeparators(path, '\\', 0, platform::isLeadByte);

  for (char& c : path) {
    if (c == '"') {
      c = ' ';
    }
  }
  return path;
}

std::string findQuickTimeDir() {
  char buffer[kQuickTimeBufferSize] = {0};

  platform::RegKey quickTimeKey = nullptr;
  if (observed::regOpenKey("SOFTWARE\\Apple Computer, Inc.\\QuickTime", &quickTimeKey) == 0 &&
      readRegistryText(quickTimeKey, "QTExtDir", buffer, sizeof buffer)) {
    return buffer;  // exactly as stored, no separator added
  }

  // No usable registry value: the folder under the program files folder.
  // An unset or oversized value leaves an empty base.
  unsigned long length =
      platform::getEnvironmentVariable("ProgramFiles", buffer, kProgramFilesLimit);
  if (length == 0 || length >= kProgramFilesLimit) {
    buffer[0] = '\0';
  }
  return std::string(buffer) + conventions::kQuickTimeSuffix;
}
