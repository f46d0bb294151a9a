#include "vmconfig/class_path.h"

#include <set>

#include "diag/refused_path.h"
#include "platform/conventions.h"
#include "platform/platform.h"

std::string classPath;
ClassPathScanCounts classPathScanCounts;

namespace {

bool isArchive(const std::string& path) {
  // Anywhere in the path, folder part included, and case-sensitive.
  return path.find(".jar") != std::string::npos || path.find(".zip") != std::string::npos;
}

// visited holds the identity of every folder this scan has entered, so a
// folder reached again by another path (a link back up, or links that
// branch into each other) is entered once only. markDir is dir as the
// entries call themselves: it differs only where a short name stands in
// for a long one, and the archive marks are looked for in it.
void scanDirectory(const std::string& dir, const std::string& markDir,
                   std::set<std::string>& visited) {
  std::string identity = platform::folderIdentity(dir.c_str());
  if (!identity.empty() && !visited.insert(identity).second) {
    classPathScanCounts.foldersRevisited++;
    return;
  }

  platform::DirectoryHandle listing = platform::openDirectory(dir.c_str());
  if (listing == nullptr) {
    classPathScanCounts.foldersUnreadable++;
    return;
  }
  classPathScanCounts.foldersEntered++;

  platform::DirectoryEntry entry;
  std::string path;
  std::string markPath;
  while (platform::readDirectory(listing, entry)) {
    classPathScanCounts.entriesSeen++;
    if (entry.name.empty()) {
      // No name the code page can carry, and no short name: unreachable.
      classPathScanCounts.entriesUnnamed++;
      continue;
    }
    if (entry.name == "." || entry.name == "..") {
      continue;
    }
    path = dir;
    path += entry.name;
    markPath = markDir;
    markPath += entry.longName;
    // The listing knows most entries' types; only links, and entries it
    // cannot tell, need their status read.
    platform::EntryType type = entry.type;
    if (type == platform::EntryType::Link || type == platform::EntryType::Unknown) {
      type = platform::pathType(path.c_str());
      if (type == platform::EntryType::Unknown) {
        classPathScanCounts.entriesWithoutStatus++;
        continue;
      }
    }
    if (type == platform::EntryType::Folder) {
      scanDirectory(path + conventions::kSeparator, markPath + conventions::kSeparator, visited);
    } else if (type == platform::EntryType::File && isArchive(markPath)) {
      // Only regular files: a pipe or device named like an archive would
      // block or break the VM as it opens it.
      if (outside_path::holdsListSeparator(path, conventions::kPathStyle)) {
        reportRefusedPath("class-path entry", path, outside_path::Refusal::ListSeparator);
        classPathScanCounts.archivesWithListSeparator++;
        continue;
      }
      classPath += path;
      classPath += conventions::kListSeparator;
      classPathScanCounts.archivesAdded++;
    }
  }

  platform::closeDirectory(listing);
}

// The runtime home's entry with its separator. A home whose path holds the
// separator is named by its short form, which has none; without one it is
// left out rather than split.
std::string runtimeHomeEntry(const std::string& javaHome) {
  std::string entry = javaHome;
  if (outside_path::holdsListSeparator(javaHome, conventions::kPathStyle)) {
    if (!platform::shortPathName(javaHome.c_str(), entry) ||
        outside_path::holdsListSeparator(entry, conventions::kPathStyle)) {
      reportRefusedPath("runtime home", javaHome, outside_path::Refusal::ListSeparator);
      return std::string();
    }
  }
  return entry + conventions::kListSeparator;
}

}  // namespace

bool isDirectory(const std::string& path) {
  bool directory = false;
  return platform::accessPath(path.c_str()) == 0 &&
         platform::statPath(path.c_str(), &directory) == 0 && directory;
}

void addArchivesInDirectory(const std::string& dir) {
  classPathScanCounts = ClassPathScanCounts();
  std::set<std::string> visited;
  scanDirectory(dir, dir, visited);
}

void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir) {
  const char* list = conventions::kListSeparator;
  if (outside_path::holdsListSeparator(installDir, conventions::kPathStyle)) {
    reportSplitPath("install folder", installDir);
  }
  classPath += "-Djava.class.path=";
  classPath += installDir + conventions::kSeparator + "Veltrana.jar" + list;
  if (!quickTimeDir.empty()) {
    classPath += quickTimeDir + "QTJava.zip" + list;
  }
  classPath += runtimeHomeEntry(javaHomeDir);
  classPath += installDir + conventions::kInstallDirEntry;
  classPath += installDir + conventions::kLibDirEntry;
  addArchivesInDirectory(installDir + conventions::kLibDirScan);
}
