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
  unsigned long archivesWithListSeparator = 0;  // the class path would split them, skipped
};
extern ClassPathScanCounts classPathScanCounts;

// Appends the whole class-path option to classPath. An empty quickTimeDir
// (no QuickTime folder) gives no QuickTime entry; a runtime home whose path
// holds the path-list separator stands in its short form, else is left out.
void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir);

// Appends every regular file below dir (which ends with a separator) whose
// path holds ".jar" or ".zip" to classPath, depth first, in listing order.
// Each folder is entered once, however many paths lead to it. A file known
// by its short name is judged by its long name. An archive whose path holds
// the path-list separator is skipped: the VM would split it into two
// entries, the second one relative.
void addArchivesInDirectory(const std::string& dir);

// True only when path exists and is a folder.
bool isDirectory(const std::string& path);
