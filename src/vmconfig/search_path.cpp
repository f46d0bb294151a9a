#include "vmconfig/search_path.h"

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"
#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "rules/registry_keys.h"
#include "runtime/registry_text.h"
#include "vmconfig/path_list_entry.h"

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
  if (observed::regOpenKey(registry_keys::kQuickTime, &quickTimeKey) == 0 &&
      readRegistryText(quickTimeKey, "QTExtDir", buffer, sizeof buffer)) {
    outside_path::Refusal why = outside_path::judgePath(buffer, conventions::kPathStyle);
    // One holding the list separator is still a folder: findQuickTimeDir
    // gives it by its short form.
    if (why == outside_path::Refusal::None || why == outside_path::Refusal::ListSeparator) {
      return buffer;  // exactly as stored, no separator added
    }
    launchObserver().pathRefused("QTExtDir", buffer, why);
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
  // A separator inside the folder's path would cut its class-path and
  // library-path entries in two.
  return wholeInPathList(findQuickTimeBase(), "QuickTime folder");
}
