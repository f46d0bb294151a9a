#include "vmconfig/class_path.h"

#include <set>
#include <utility>
#include <vector>

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"
#include "platform/platform.h"
#include "rules/conventions.h"
#include "rules/product_names.h"
#include "vmconfig/path_list_entry.h"

std::string classPath;

namespace {

bool isArchive(const std::string& path) {
  // Anywhere in the path, folder part included, and case-sensitive.
  return path.find(".jar") != std::string::npos || path.find(".zip") != std::string::npos;
}

// The identity of every folder this scan has entered, so a folder reached
// again by another path (a link back up, or links that branch into each
// other) is entered once only. Where only a link can lead to a folder a
// second time, the identities (a costly look-up on Windows) are taken only
// once the first link is met: until then the folders entered are kept by
// path, and their identities are taken then, before the link's own.
struct Visited {
  std::set<std::string> identities;
  std::vector<std::string> untaken;
  bool linkMet = false;
};

// One folder of the scan: its entries, read in full and its listing closed
// before any of them is looked at, so that a deep tree holds one listing
// open at a time and the descent keeps its place here, not on the stack.
// markDir is dir as the entries call themselves: it differs only where a
// short name stands in for a long one, and the archive marks are looked for
// in it.
struct Folder {
  std::string dir;
  std::string markDir;
  std::vector<platform::DirectoryEntry> entries;
  std::size_t next = 0;
};

// True when dir is to be entered: the first path that reaches the folder.
// plain says dir was listed as a folder, not reached through a link.
bool firstVisit(const std::string& dir, bool plain, Visited& visited, ClassPathScanCounts& counts) {
  if (plain && !visited.linkMet && conventions::kOnlyLinksLeadBack) {
    visited.untaken.push_back(dir);
    return true;
  }
  if (!visited.linkMet) {
    visited.linkMet = true;
    for (const std::string& earlier : visited.untaken) {
      std::string identity = platform::folderIdentity(earlier.c_str());
      if (!identity.empty()) {
        visited.identities.insert(identity);
      }
    }
    visited.untaken.clear();
  }
  std::string identity = platform::folderIdentity(dir.c_str());
  if (!identity.empty() && !visited.identities.insert(identity).second) {
    counts.foldersRevisited++;
    return false;
  }
  return true;
}

// Reads dir's entries onto the scan's stack of folders, when it is to be
// entered and can be listed.
void enterFolder(const std::string& dir, const std::string& markDir, bool plain, Visited& visited,
                 ClassPathScanCounts& counts, std::vector<Folder>& stack) {
  if (!firstVisit(dir, plain, visited, counts)) {
    return;
  }
  platform::DirectoryHandle listing = platform::openDirectory(dir.c_str());
  if (listing == nullptr) {
    counts.foldersUnreadable++;
    return;
  }
  counts.foldersEntered++;
  Folder folder;
  folder.dir = dir;
  folder.markDir = markDir;
  platform::DirectoryEntry entry;
  while (platform::readDirectory(listing, entry)) {
    counts.entriesSeen++;
    if (entry.name.empty()) {
      // No name the code page can carry, and no short name: unreachable.
      counts.entriesUnnamed++;
    } else if (entry.name != "." && entry.name != "..") {
      folder.entries.push_back(entry);
    }
  }
  platform::closeDirectory(listing);
  stack.push_back(std::move(folder));
}

// Depth first, in listing order: a subfolder's archives stand where the
// subfolder stands in its parent's listing.
void scanTree(const std::string& top, Visited& visited, ClassPathScanCounts& counts) {
  std::vector<Folder> stack;
  enterFolder(top, top, true, visited, counts, stack);
  std::string path;
  std::string markPath;
  while (!stack.empty()) {
    Folder& folder = stack.back();
    if (folder.next == folder.entries.size()) {
      stack.pop_back();
      continue;
    }
    const platform::DirectoryEntry& entry = folder.entries[folder.next++];
    path = folder.dir;
    path += entry.name;
    markPath = folder.markDir;
    markPath += entry.longName;
    // The listing knows most entries' types; only links, and entries it
    // cannot tell, need their status read.
    platform::EntryType type = entry.type;
    if (type == platform::EntryType::Link || type == platform::EntryType::Unknown) {
      type = observed::pathType(path.c_str());
      if (type == platform::EntryType::Unknown) {
        counts.entriesWithoutStatus++;
        continue;
      }
    }
    if (type == platform::EntryType::Folder) {
      // May grow the stack: folder and entry are not used after this.
      enterFolder(path + conventions::kSeparator, markPath + conventions::kSeparator,
                  entry.type == platform::EntryType::Folder, visited, counts, stack);
    } else if (type == platform::EntryType::File && isArchive(markPath)) {
      // Only regular files: a pipe or device named like an archive would
      // block or break the VM as it opens it.
      if (outside_path::holdsListSeparator(path, conventions::kPathStyle)) {
        launchObserver().pathRefused("class-path entry", path,
                                     outside_path::Refusal::ListSeparator);
        counts.archivesWithListSeparator++;
        continue;
      }
      classPath += path;
      classPath += conventions::kListSeparator;
      counts.archivesAdded++;
    }
  }
}

// The runtime home's entry with its separator: by its short form when its
// path holds the separator, left out rather than split when it has none.
std::string runtimeHomeEntry(const std::string& javaHome) {
  std::string entry = wholeInPathList(javaHome, "runtime home");
  if (entry.empty() && !javaHome.empty()) {
    return std::string();
  }
  return entry + conventions::kListSeparator;
}

}  // namespace

std::string mainArchiveEntry(const std::string& installDir) {
  return installDir + conventions::kSeparator + product::kArchiveName;
}

void addArchivesInDirectory(const std::string& dir) {
  ClassPathScanCounts counts;
  Visited visited;
  scanTree(dir, visited, counts);
  launchObserver().classPathScanned(dir, counts);
}

void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir) {
  const char* list = conventions::kListSeparator;
  if (outside_path::holdsListSeparator(installDir, conventions::kPathStyle)) {
    launchObserver().pathSplit("install folder", installDir);
  }
  classPath += "-Djava.class.path=";
  classPath += mainArchiveEntry(installDir) + list;
  if (!quickTimeDir.empty()) {
    classPath += quickTimeDir + "QTJava.zip" + list;
  }
  classPath += runtimeHomeEntry(javaHomeDir);
  classPath += installDir + conventions::kInstallDirEntry;
  classPath += installDir + conventions::kLibDirEntry;
  addArchivesInDirectory(installDir + conventions::kLibDirScan);
}
