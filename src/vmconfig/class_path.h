// The class path handed to the VM: the fixed entries, then every archive
// found below the install folder's lib folder.
#pragma once

#include <string>

// The "-Djava.class.path=" option, only ever appended to.
extern std::string classPath;

// The class path's first entry: the application's archive beside the
// executable.
std::string mainArchiveEntry(const std::string& installDir);

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
// entries, the second one relative. What the scan met is told to the
// launch observer.
void addArchivesInDirectory(const std::string& dir);
