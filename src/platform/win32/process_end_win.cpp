// Watching for the process to end through the runtime library's exit, the
// road a VM library linked against the same runtime takes when it gives up.

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
