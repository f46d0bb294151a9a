// The class path handed to the VM: the fixed entries, then every archive
// found below the install folder's lib folder.
#pragma once

#include <string>

// The "-Djava.class.path=" option, only ever appended to.
extern std::string classPath;

// Appends the whole class-path option to classPath.
void buildClassPath(const std::string& installDir, const std::string& quickTimeDir,
                    const char* javaHomeDir);

// Appends every archive below dir (which ends with a separator) to
// classPath, depth first, in listing order.
void addArchivesInDirectory(const std::string& dir);

// True only when path exists and is a folder.
bool isDirectory(const std::string& path);
