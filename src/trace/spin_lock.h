// A lock for the trace's few shared texts: the VM's hooks may be called
// from any of its threads while the main thread writes its own lines. The
// waits are a line's write at most.
#pragma once

#include <atomic>

class SpinLock {
 public:
  explicit SpinLock(std::atomic_flag& flag) : flag(flag) {
    while (flag.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~SpinLock() { flag.clear(std::memory_order_release); }
  SpinLock(const SpinLock&) = delete;
  SpinLock& operator=(const SpinLock&) = delete;

 private:
  std::atomic_flag& flag;
};
