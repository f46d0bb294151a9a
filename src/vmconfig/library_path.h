// The native library path handed to the VM.
#pragma once

#include <string>

// The complete "-Djava.library.path=" option: the current folder, the
// install folder's lib, the search path and QuickTime's folder (when there
// is one).
std::string buildLibraryPath(const std::string& installDir, const std::string& searchPath,
                             const std::string& quickTimeDir);
