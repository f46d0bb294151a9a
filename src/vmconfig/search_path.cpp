#include "vmconfig/search_path.h"

#include "diag/launch_observer.h"
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

namespace {

// QuickTime's folder as the registry or the program files folder gives it,
// or empty when neither gives an absolute one: an empty or relative base
// would grant every permission to a folder of the current drive (or a host
// of the network) and put its archive on the class path.
std::string findQuickTimeBase() {
  char buffer[kQuickTimeBufferSize] = {0};

  platform::RegKey quickTimeKey = nullptr;
  if (observed::regOpenKey("SOFTWARE\\Apple Computer, Inc.\\QuickTime", &quickTimeKey) == 0 &&
      readRegistryText(quickTimeKey, "QTExtDir", buffer, sizeof buffer)) {
    if (outside_path::isAbsolute(buffer, conventions::kPathStyle)) {
      return buffer;  // exactly as stored, no separator added
    }
    launchObserver().pathRefused(
        "QTExtDir", buffer,
        buffer[0] == '\0' ? outside_path::Refusal::Empty : outside_path::Refusal::Relative);
  }

  // No usable registry value: the folder under the program files folder.
  // An unset or oversized value gives none.
  unsigned long length =
      platform::getEnvironmentVariable("ProgramFiles", buffer, kProgramFilesLimit);
  if (length == 0 || length >= kProgramFilesLimit) {
    return std::string();
  }
  if (!outside_path::isAbsolute(buffer, conventions::kPathStyle)) {
    launchObserver().pathRefused("ProgramFiles", buffer, outside_path::Refusal::Relative);
    return std::string();
  }
  return std::string(buffer) + conventions::kQuickTimeSuffix;
}

}  // namespace

std::string findQuickTimeDir() {
  std::string quickTimeDir = findQuickTimeBase();
  // A separator inside the folder's path would cut its class-path and
  // library-path entries in two: its short form has none, else it is left
  // out.
  if (outside_path::holdsListSeparator(quickTimeDir, conventions::kPathStyle)) {
    std::string shortForm;
    if (platform::shortPathName(quickTimeDir.c_str(), shortForm) &&
        !outside_path::holdsListSeparator(shortForm, conventions::kPathStyle)) {
      return shortForm;
    }
    launchObserver().pathRefused("QuickTime folder", quickTimeDir,
                                 outside_path::Refusal::ListSeparator);
    return std::string();
  }
  return quickTimeDir;
}
