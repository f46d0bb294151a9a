#include "platform/common/process_end_watch.h"

#include <atomic>
#include <cstdlib>

namespace platform {

namespace {

std::atomic<void (*)()> watcher{nullptr};

}  // namespace

void setProcessEndWatcher(void (*handler)()) {
  static bool registered = false;
  if (handler != nullptr && !registered) {
    registered = std::atexit(callProcessEndWatcher) == 0;
  }
  watcher = handler;
}

void callProcessEndWatcher() {
  void (*handler)() = watcher.exchange(nullptr);
  if (handler != nullptr) {
    handler();
  }
}

}  // namespace platform
