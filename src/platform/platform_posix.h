// What the POSIX entry point hands to the platform layer.
#pragma once

namespace platform {

// Keeps the process's arguments for splitCommandLine (decoded from UTF-8).
void setCommandLine(int argc, char** argv);

}  // namespace platform
