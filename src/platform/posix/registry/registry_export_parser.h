// Reading the Windows registry export format ("REGEDIT4" or "Windows
// Registry Editor Version 5.00", as regedit writes it) into a key tree.
// Pure: bytes in, keys or the bad line out, no files and no globals.
#pragma once

#include <string>

#include "platform/posix/registry/registry_tree.h"

namespace registry {

// Fills tree (cleared first) from the file's bytes: UTF-16LE with a
// byte-order mark, or UTF-8 with or without one. Only keys under
// HKEY_LOCAL_MACHINE are accepted. Returns 0, or the number (from 1) of the
// first line that is not in the format.
int parseRegistryExport(const std::string& bytes, Tree& tree);

}  // namespace registry
