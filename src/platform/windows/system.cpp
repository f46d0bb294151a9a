// Mutexes, threads, libraries, the message box and the clock on Windows.
#include "platform/platform.h"
#include "platform/windows/raw_calls.h"

namespace platform {

MutexHandle createMutex(const char* name, bool initialOwner) {
  // Only an existing name sets the last error on success; start from zero
  // so a new name reads as no error.
  kRawCalls.setLastError(kErrorSuccess);
  return kRawCalls.createMutexA(name, initialOwner);
}

bool releaseMutex(MutexHandle mutex) { return kRawCalls.releaseMutex(mutex); }

bool closeHandle(MutexHandle handle) { return kRawCalls.closeHandle(handle); }

void sleepMilliseconds(unsigned long milliseconds) { kRawCalls.sleep(milliseconds); }

bool createThread(ThreadRoutine routine, void* parameter) {
  return kRawCalls.createThread(routine, parameter);
}

LibraryHandle loadLibrary(const char* path) {
  // The library's own imports are searched for in its own folder and the
  // system folder only: never the folder the user started from (a download
  // folder, say) or PATH, where someone else may have planted a library of
  // the same name. Systems without the search flags (Windows 7 before its
  // update, Vista, XP) refuse them; there the library's folder is searched
  // first and the current folder is taken out of the search.
  LibraryHandle library =
      kRawCalls.loadLibraryExA(path, kLoadSearchDllLoadDir | kLoadSearchSystem32);
  if (library != nullptr || kRawCalls.getLastError() != kErrorInvalidParameter) {
    return library;
  }
  kRawCalls.setDllDirectoryA("");
  return kRawCalls.loadLibraryExA(path, kLoadWithAlteredSearchPath);
}

ProcAddress getProcAddress(LibraryHandle library, const char* name) {
  return kRawCalls.getProcAddress(library, name);
}

void messageBox(const char* text, const char* caption) { kRawCalls.messageBoxA(text, caption); }

std::string localTimeText() {
  const char* text = kRawCalls.asctimeNow();
  return text != nullptr ? text : std::string();
}

}  // namespace platform
