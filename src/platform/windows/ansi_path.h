// How a path that Windows holds in UTF-16 reaches the launcher, whose paths
// are bytes in the ANSI code page.
//
// A path that the code page carries exactly keeps exactly those bytes. One
// that it cannot carry (a Chinese folder name under a Western code page)
// would otherwise reach the VM with '?' in place of each such character and
// name nothing; its short (8.3) form names the same file in characters the
// code page and the VM both carry. A path with neither form is left out.
#pragma once

#include <string>

namespace platform {

// The path's bytes in the ANSI code page; false when it has no form the
// code page carries.
bool ansiPath(const std::u16string& path, std::string& bytes);

// The executable's path, by the same rule; a path holding ';', which
// would split the class path built on it, is given by its short form, which
// holds none. False when it has no such form either.
bool ansiModulePath(const std::u16string& path, std::string& bytes);

// A list of paths joined by separator (PATH): the same rule for each
// entry, leaving out an entry that has no such form. A double-quoted entry
// may hold the separator; where entries are converted one by one, it loses
// its quotes.
std::string ansiPathList(const std::u16string& list, char16_t separator);

// An environment variable's value: every variable the launcher reads names
// a path, or a list of them for PATH. False when it has no form.
bool ansiVariable(const char* name, const std::u16string& value, std::string& bytes);

}  // namespace platform
