#include "vmconfig/library_path.h"

#include "platform/conventions.h"

std::string buildLibraryPath(const std::string& installDir, const std::string& searchPath,
                             const std::string& quickTimeDir) {
  std::string libraryPath = conventions::kLibraryPathStart;
  libraryPath += installDir;
  libraryPath += conventions::kLibraryPathLib;
  libraryPath += searchPath;
  libraryPath += conventions::kListSeparator;
  libraryPath += quickTimeDir;
  libraryPath += conventions::kLibraryPathEnd;
  return libraryPath;
}
