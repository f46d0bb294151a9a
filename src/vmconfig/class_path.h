// The class path handed to the VM: the fixed entries, then every archive
// found below the install folder's lib folder.
#pragma once

#include <string>

// The "-Djava.class.path=" option, only ever appended to.
extern std::string classPath;

// Appends the whole class-path option to classPath.
void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir);

// Appends every regular file below dir (which ends with a separator) whose
// path holds ".jar" or ".zip" to classPath, depth first, in listing order.
// Each folder is entered once, however many paths lead to it. A file known
// by its short name is judged by its long name. What the scan met is told
// to the launch observer.
void addArchivesInDirectory(const std::string& dir);
