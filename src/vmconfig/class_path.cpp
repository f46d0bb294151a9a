#include "vmconfig/class_path.h"

#include <algorithm>
#include <vector>

#include "diag/traced_platform.h"
#include "platform/conventions.h"
#include "platform/platform.h"

std::string classPath;

namespace {

bool isArchive(const std::string& path) {
  // Anywhere in the path, folder part included, and case-sensitive.
  return path.find(".jar") != std::string::npos || path.find(".zip") != std::string::npos;
}

// ancestors holds the identities of the folders the scan is inside, so a
// folder link leading back to one of them is not entered again.
void scanDirectory(const std::string& dir, std::vector<std::string>& ancestors) {
  std::string identity = traced::folderIdentity(dir.c_str());
  if (!identity.empty()) {
    if (std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end()) {
      return;
    }
  }

  platform::DirectoryHandle listing = traced::openDirectory(dir.c_str());
  if (listing == nullptr) {
    return;
  }
  ancestors.push_back(identity);

  std::string name;
  while (traced::readDirectory(listing, name)) {
    std::string path = dir + name;
    if (isDirectory(path)) {
      if (name == "." || name == "..") {
        continue;
      }
      scanDirectory(path + conventions::kSeparator, ancestors);
    } else if (isArchive(path)) {
      classPath += path;
      classPath += conventions::kListSeparator;
    }
  }

  ancestors.pop_back();
  platform::closeDirectory(listing);
}

}  // namespace

bool isDirectory(const std::string& path) {
  bool directory = false;
  return platform::accessPath(path.c_str()) == 0 &&
         platform::statPath(path.c_str(), &directory) == 0 && directory;
}

void addArchivesInDirectory(const std::string& dir) {
  std::vector<std::string> ancestors;
  scanDirectory(dir, ancestors);
}

void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir) {
  const char* list = conventions::kListSeparator;
  classPath += "-Djava.class.path=";
  classPath += installDir + conventions::kSeparator + "Veltrana.jar" + list;
  classPath += quickTimeDir + "QTJava.zip" + list;
  classPath += std::string(javaHomeDir) + list;
  classPath += installDir + conventions::kInstallDirEntry;
  classPath += installDir + conventions::kLibDirEntry;
  addArchivesInDirectory(installDir + conventions::kLibDirScan);
}
