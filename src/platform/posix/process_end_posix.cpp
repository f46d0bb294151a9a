// Watching for the process to end: through the runtime library's exit, and
// through _exit, which HotSpot calls when it cannot start (it runs no exit
// handler on that road).

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/platform.h"

namespace {

std::atomic<void (*)()> watcher{nullptr};

void callWatcher() {
  void (*handler)() = watcher.exchange(nullptr);
  if (handler != nullptr) {
    handler();
  }
}

}  // namespace

// The executable exports this _exit, so a library loaded later (the VM's)
// calls it rather than the C library's. It ends the process exactly as the
// C library's does; only a watched end calls the watcher first. A child
// between fork and exec may land here too: reading the atomic and the system
// call are all it does then.
extern "C" void _exit(int status) {
  callWatcher();
  for (;;) {
    syscall(SYS_exit_group, status);
  }
}

namespace platform {

void watchProcessEnd(void (*handler)()) {
  static bool registered = false;
  if (!registered) {
    registered = std::atexit(callWatcher) == 0;
  }
  watcher = handler;
}

void unwatchProcessEnd() { watcher = nullptr; }

}  // namespace platform
