// What the POSIX entry point hands to the platform layer, and the few parts
// of the layer that its tests reach directly.
#pragma once

#include <sys/types.h>

namespace platform {

// Keeps the process's arguments for splitCommandLine (decoded from UTF-8).
void setCommandLine(int argc, char** argv);

// True when path is a real folder (not a symbolic link) owned by owner that
// neither its group nor others may write to. Otherwise false, with the last
// error set.
bool isPrivateFolder(const char* path, uid_t owner);

// The registry file is read once, on first use. This drops what was read,
// so the next lookup reads VELTRANA_REGISTRY again. Keys opened before are
// no longer valid afterwards.
void forgetRegistry();

}  // namespace platform
