#include "vmconfig/library_path.h"

#include "rules/conventions.h"

std::string buildLibraryPath(const std::string& installDir, const std::string& searchPath,
                             const std::string& quickTimeDir) {
  std::string libraryPath = conventions::kLibraryPathStart;
  libraryPath += installDir;
  libraryPath += conventions::kLibraryPathLib;
  libraryPath += searchPath;
  // Without QuickTime's folder there is no entry for it, not an empty one.
  if (!quickTimeDir.empty()) {
    libraryPath += conventions::kListSeparator;
    libraryPath += quickTimeDir;
  }
  libraryPath += conventions::kLibraryPathEnd;
  return libraryPath;
}
