// The search path and QuickTime's folder, both read once per launch.
#pragma once

#include <string>

// PATH with its trailing backslashes cut, its quoted entries without their
// quotes, and only its absolute entries: an entry holding the list
// separator by its short form, else left out; empty when PATH is unset.
std::string readSearchPath();

// QuickTime's system folder: its registry value as stored, or the folder
// under the program files folder. The fallback ends with a separator. Empty
// when neither is an absolute path, or when the folder's path holds the
// path-list separator and has no short form without one.
std::string findQuickTimeDir();
