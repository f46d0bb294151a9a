#include "vmconfig/path_list_entry.h"

#include "diag/launch_observer.h"
#include "platform/platform.h"
#include "rules/conventions.h"
#include "rules/outside_path.h"

std::string wholeInPathList(const std::string& path, const char* what) {
  if (!outside_path::holdsListSeparator(path, conventions::kPathStyle)) {
    return path;
  }
  std::string shortForm;
  if (platform::shortPathName(path.c_str(), shortForm) &&
      !outside_path::holdsListSeparator(shortForm, conventions::kPathStyle)) {
    return shortForm;
  }
  launchObserver().pathRefused(what, path, outside_path::Refusal::ListSeparator);
  return std::string();
}
