// A folder that a path list (the class path, the library path) must carry
// as one entry: the list's separator inside its path would cut it in two.
#pragma once

#include <string>

// path itself when it holds no list separator; else its short form when
// that holds none; else empty, and the observer is told that what was
// refused.
std::string wholeInPathList(const std::string& path, const char* what);
