// The class path handed to the VM: the fixed entries, then every archive
// found below the install folder's lib folder.
#pragma once

#include <string>

// The "-Djava.class.path=" option, only ever appended to.
extern std::string classPath;

// What the last scan below lib met, for whoever explains a launch.
struct ClassPathScanCounts {
  unsigned long foldersEntered = 0;
  unsigned long foldersRevisited = 0;   // reached again by another path, skipped
  unsigned long foldersUnreadable = 0;  // their listing could not be opened
  unsigned long entriesSeen = 0;        // "." and ".." included
  unsigned long entriesUnnamed = 0;     // no name the code page can carry
  unsigned long entriesWithoutStatus = 0;
  unsigned long archivesAdded = 0;
};
extern ClassPathScanCounts classPathScanCounts;

// Appends the whole class-path option to classPath.
void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir);

// Appends every regular file below dir (which ends with a separator) whose
// path holds ".jar" or ".zip" to classPath, depth first, in listing order.
// Each folder is entered once, however many paths lead to it. A file known
// by its short name is judged by its long name.
void addArchivesInDirectory(const std::string& dir);

// True only when path exists and is a folder.
bool isDirectory(const std::string& path);
