// What the launch refused of the paths that came from outside (a registry
// value, an environment variable, a name in a listing), told to whoever
// explains a launch: what the path was for, the path, and why it was not
// used.
#pragma once

#include <string>

#include "platform/outside_path.h"

void reportRefusedPath(const char* what, const std::string& path, outside_path::Refusal why);

// A path the launch uses all the same, although the VM's path list will cut
// it in two at its separator: there is no other way to name it there.
void reportSplitPath(const char* what, const std::string& path);
