// What the POSIX entry point hands the platform layer before the launch
// logic runs: the process's own arguments, and the start-up care of its
// standard descriptors.
#pragma once

namespace platform {

// Before the launcher opens anything: puts /dev/null on each of the
// standard descriptors 0, 1 and 2 that is closed, and notes the folder the
// launcher was started in.
void prepareProcess();

// Keeps the process's arguments for splitCommandLine (decoded from UTF-8).
void setCommandLine(int argc, char** argv);

}  // namespace platform
