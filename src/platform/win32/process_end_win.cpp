// Watching for the process to end through a C runtime library's exit: the
// launcher's own, and the runtime's. A VM library of the 1.6 generation is
// linked against the runtime's msvcr71.dll (a later one msvcr100.dll), whose
// exit runs only the handlers registered with that library.

#include <windows.h>

#include "platform/common/process_end_watch.h"
#include "platform/platform.h"

namespace platform {

void watchProcessEnd(void (*handler)()) {
  setProcessEndWatcher(handler);
  using AtExit = int(__cdecl*)(void(__cdecl*)());
  static HMODULE registeredWith[2] = {nullptr, nullptr};
  const char* const runtimeLibraries[2] = {"msvcr71.dll", "msvcr100.dll"};
  for (int i = 0; i < 2; ++i) {
    HMODULE library = GetModuleHandleA(runtimeLibraries[i]);
    if (library == nullptr || library == registeredWith[i]) {
      continue;
    }
    auto atExit =
        reinterpret_cast<AtExit>(reinterpret_cast<void (*)()>(GetProcAddress(library, "atexit")));
    if (atExit != nullptr && atExit(callProcessEndWatcher) == 0) {
      registeredWith[i] = library;
    }
  }
}

void unwatchProcessEnd() { setProcessEndWatcher(nullptr); }

}  // namespace platform
