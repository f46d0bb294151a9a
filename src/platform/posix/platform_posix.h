// What the POSIX entry point hands to the platform layer, and the few parts
// of the layer that its tests reach directly.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

#include "platform/process_start_posix.h"

namespace platform {

// Win32 codes for the cases where no errno value says the same.
constexpr unsigned long kErrorInvalidHandle = 6;
constexpr unsigned long kErrorInvalidParameter = 87;
// "No such variable"; for the temporary folders, there is no other one.
constexpr unsigned long kErrorEnvironmentVariableNotFound = 203;

// The calling thread's errno as its last error.
void setErrnoAsLastError();

// The path an environment variable names, judged as every path from
// outside is: empty when unset or refused, and a refused value (relative,
// say) is told in the trace. The one way this layer reads a path from the
// environment.
std::string pathVariable(const char* name);

// Whether an entry belongs to owner and neither its group nor others may
// write to it: the one test of who may change a place.
bool keptFromOthers(const struct stat& status, uid_t owner);

// True when path is a real folder (not a symbolic link) owned by owner that
// neither its group nor others may write to. Otherwise false, with the last
// error set.
bool isPrivateFolder(const char* path, uid_t owner);

// The places the launcher may keep its own files in, each used only when it
// is a folder that the user alone can write to:
//   kTemp     "${TMPDIR:-/tmp}/veltrana-UID", created when missing
//   kRuntime  XDG_RUNTIME_DIR
//   kHome     "$HOME/.veltrana", created when missing
enum class PrivatePlace { kTemp, kRuntime, kHome };

// The folder of that place when it can be used; false (last error set) when
// not.
bool privateFolder(PrivatePlace place, std::string& folder);

// The name of the user's guard socket for a named mutex, in the abstract
// namespace (without its leading zero byte).
std::string guardSocketName(const char* name);

// Reads a regular file of at most limit bytes, without waiting on a FIFO or
// a device. False for anything else, or when it cannot be read.
bool readRegularFile(const char* path, std::size_t limit, std::string& contents);

// The first executable regular file called name in a folder of PATH, as
// the shell would find it but for relative folders (an empty entry among
// them), which would name the current folder and are passed over; empty
// when there is none.
std::string findOnPath(const char* name);

// The registry file is read once, on first use (registryProblem says when
// it could not be). This drops what was read,
// so the next lookup reads VELTRANA_REGISTRY again. Keys opened before are
// no longer valid afterwards.
void forgetRegistry();

}  // namespace platform
