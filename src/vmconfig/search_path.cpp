#include "vmconfig/search_path.h"

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"
#include "platform/outside_values.h"
#include "platform/platform.h"
#include "rules/conventions.h"
#include "rules/registry_keys.h"
#include "runtime/registry_text.h"
#include "vmconfig/path_list_entry.h"

namespace {
constexpr unsigned long kQuickTimeBufferSize = 1024;
constexpr unsigned long kProgramFilesLimit = 260;
}  // namespace

std::string readSearchPath() {
  // Only absolute folders: the VM would look for a library named by a
  // relative or empty entry in the folder the user started from. An entry
  // holding ';' (quoted, as Windows allows) stands by its short form, never
  // split in two.
  std::string path;
  for (const platform::JudgedPath& entry : platform::searchPathEntries()) {
    std::string folder;
    if (entry.refusal == outside_path::Refusal::ListSeparator) {
      folder = wholeInPathList(entry.path, "PATH entry");
    } else if (entry.refusal == outside_path::Refusal::None) {
      folder = entry.path;
    } else {
      launchObserver().pathRefused("PATH entry", entry.path, entry.refusal);
    }
    if (folder.empty()) {
      continue;
    }
    if (!path.empty()) {
      path += conventions::kListSeparator;
    }
    path += folder;
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
  platform::JudgedPath programFiles = platform::programFilesFolder(kProgramFilesLimit);
  if (programFiles.refusal == outside_path::Refusal::Empty) {
    return std::string();
  }
  if (programFiles.refusal != outside_path::Refusal::None &&
      programFiles.refusal != outside_path::Refusal::ListSeparator) {
    launchObserver().pathRefused("ProgramFiles", programFiles.path, programFiles.refusal);
    return std::string();
  }
  return programFiles.path + conventions::kQuickTimeSuffix;
}

}  // namespace

std::string findQuickTimeDir() {
  // A separator inside the folder's path would cut its class-path and
  // library-path entries in two.
  return wholeInPathList(findQuickTimeBase(), "QuickTime folder");
}
