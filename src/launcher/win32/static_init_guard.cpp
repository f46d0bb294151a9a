// Windows build only: the guard around the first run of a function's
// static initialiser. The C++ library's guard is built with exceptions (it
// throws on a recursive initialisation) and would bring the exception
// runtime and the unwinder along; this one spins while another thread
// runs the initialiser, which is short and rare. The guard's first byte
// says "done", as the compiler's inline check reads it; the second says
// "under way".
#include <windows.h>

namespace {

char* doneFlag(long long* guard) { return reinterpret_cast<char*>(guard); }
char* busyFlag(long long* guard) { return reinterpret_cast<char*>(guard) + 1; }

}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
  for (;;) {
    if (__atomic_load_n(doneFlag(guard), __ATOMIC_ACQUIRE) != 0) {
      return 0;
    }
    char idle = 0;
    if (__atomic_compare_exchange_n(busyFlag(guard), &idle, 1, false, __ATOMIC_ACQUIRE,
                                    __ATOMIC_RELAXED)) {
      // Another thread may have finished between the two looks.
      if (__atomic_load_n(doneFlag(guard), __ATOMIC_ACQUIRE) != 0) {
        __atomic_store_n(busyFlag(guard), 0, __ATOMIC_RELEASE);
        return 0;
      }
      return 1;
    }
    Sleep(0);
  }
}

extern "C" void __cxa_guard_release(long long* guard) {
  __atomic_store_n(doneFlag(guard), 1, __ATOMIC_RELEASE);
  __atomic_store_n(busyFlag(guard), 0, __ATOMIC_RELEASE);
}

extern "C" void __cxa_guard_abort(long long* guard) {
  __atomic_store_n(busyFlag(guard), 0, __ATOMIC_RELEASE);
}
