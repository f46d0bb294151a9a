// The Windows layer's table of raw calls, filled with the real Win32 and C
// runtime calls. Each entry passes its arguments on and decides nothing;
// a few join the calls that only go together on Win32 (the thread's
// trampoline, the message text the system allocates, a file's identity read
// through a handle) or copy a Win32 structure into the table's own (the
// status's mode, a listing's entry). What a result means is decided in
// platform/windows.
#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <direct.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/win32/wide_text_win.h"
#include "platform/windows/raw_calls.h"

namespace platform {

namespace {

// CreateThread wants a WINAPI routine; the seam's routine has the default
// calling convention, so a small heap record carries it across.
struct ThreadStart {
  ThreadRoutine routine;
  void* parameter;
};

DWORD WINAPI threadTrampoline(LPVOID parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  return start.routine(start.parameter);
}

bool startThread(ThreadRoutine routine, void* parameter) {
  ThreadStart* start = new ThreadStart{routine, parameter};
  DWORD threadId = 0;
  // The handle is not kept: nobody waits for the thread.
  HANDLE thread = CreateThread(nullptr, 0, threadTrampoline, start, 0, &threadId);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  return true;
}

bool formatSystemMessage(unsigned long code, std::string& message) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 1024, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    return false;
  }
  message.assign(text, length);
  LocalFree(text);
  return true;
}

bool identifyFile(const char* path, unsigned long* volume, unsigned long* high,
                  unsigned long* low) {
  // A folder can only be opened with backup semantics.
  HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  BOOL known = GetFileInformationByHandle(file, &information);
  CloseHandle(file);
  if (!known) {
    return false;
  }
  *volume = information.dwVolumeSerialNumber;
  *high = information.nFileIndexHigh;
  *low = information.nFileIndexLow;
  return true;
}

void* found(HANDLE find, const WIN32_FIND_DATAW& data, FoundEntry* entry) {
  if (find == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  entry->attributes = data.dwFileAttributes;
  entry->name.assign(reinterpret_cast<const char16_t*>(data.cFileName));
  return find;
}

void* findFirst(const char16_t* pattern, bool basic, unsigned long flags, FoundEntry* entry) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(wide(pattern), basic ? FindExInfoBasic : FindExInfoStandard, &data,
                                 FindExSearchNameMatch, nullptr, flags);
  return found(find, data, entry);
}

bool findNext(void* find, FoundEntry* entry) {
  WIN32_FIND_DATAW data;
  return FindNextFileW(find, &data) && found(find, data, entry) != nullptr;
}

int statFile(const char* path, unsigned* mode) {
  struct _stat status;
  int result = _stat(path, &status);
  *mode = result == 0 ? status.st_mode : 0;
  return result;
}

const char* asctimeNow() {
  time_t now = time(nullptr);
  struct tm* local = localtime(&now);
  return local != nullptr ? asctime(local) : nullptr;
}

}  // namespace

const RawCalls kRawCalls = {
    [] { return static_cast<unsigned long>(GetLastError()); },
    [](unsigned long code) { SetLastError(code); },
    [] { return static_cast<unsigned>(GetACP()); },
    [](unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != 0; },
    [](unsigned long flags, const char16_t* text, int length, char* bytes, int size,
       int* usedDefault) {
      return WideCharToMultiByte(CP_ACP, flags, wide(text), length, bytes, size, nullptr,
                                 reinterpret_cast<BOOL*>(usedDefault));
    },
    [](unsigned long flags, const char* bytes, int length, char16_t* text, int size) {
      return MultiByteToWideChar(CP_ACP, flags, bytes, length, wide(text), size);
    },
    [](char16_t* buffer, unsigned long size) {
      return static_cast<unsigned long>(GetModuleFileNameW(nullptr, wide(buffer), size));
    },
    formatSystemMessage,
    [](int code) { exit(code); },
    [](int* count) {
      return reinterpret_cast<char16_t**>(CommandLineToArgvW(GetCommandLineW(), count));
    },
    [](void* memory) { LocalFree(memory); },
    [](const char16_t* name, char16_t* buffer, unsigned long size) {
      return static_cast<unsigned long>(GetEnvironmentVariableW(wide(name), wide(buffer), size));
    },
    [](const char16_t* text, char16_t* buffer, unsigned long size) {
      return static_cast<unsigned long>(ExpandEnvironmentStringsW(wide(text), wide(buffer), size));
    },
    [](unsigned long size, char16_t* buffer) {
      return static_cast<unsigned long>(GetTempPathW(size, wide(buffer)));
    },
    [](const char16_t* path, char16_t* buffer, unsigned long size) {
      return static_cast<unsigned long>(GetShortPathNameW(wide(path), wide(buffer), size));
    },
    [](const char* path) { return SetCurrentDirectoryA(path) != 0; },
    [](unsigned long size, char* buffer) {
      return static_cast<unsigned long>(GetCurrentDirectoryA(size, buffer));
    },
    [](const char* subKey, RegKey* key) {
      return static_cast<long>(
          RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, reinterpret_cast<HKEY*>(key)));
    },
    [](RegKey key, const char* name, unsigned long* type, unsigned char* data,
       unsigned long* size) {
      return static_cast<long>(
          RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, type, data, size));
    },
    [](RegKey key, const char16_t* name, unsigned long* type, unsigned char* data,
       unsigned long* size) {
      return static_cast<long>(
          RegQueryValueExW(static_cast<HKEY>(key), wide(name), nullptr, type, data, size));
    },
    statFile,
    [](const char* path) { return _unlink(path); },
    [](const char* path) { return remove(path); },
    [](const char* path) { return _mkdir(path); },
    [](const char* path, const char* mode) -> FileHandle { return fopen(path, mode); },
    [](const void* data, std::size_t size, std::size_t count, FileHandle file) {
      return fwrite(data, size, count, static_cast<FILE*>(file));
    },
    [](FileHandle file) { return fflush(static_cast<FILE*>(file)); },
    [](FileHandle file) { return fclose(static_cast<FILE*>(file)); },
    identifyFile,
    findFirst,
    findNext,
    [](void* find) { return FindClose(find) != 0; },
    [](const char* name, bool initialOwner) -> MutexHandle {
      return CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, name);
    },
    [](MutexHandle mutex) { return ReleaseMutex(mutex) != 0; },
    [](MutexHandle handle) { return CloseHandle(handle) != 0; },
    [](unsigned long milliseconds) { Sleep(milliseconds); },
    startThread,
    [](const char* path, unsigned long flags) -> LibraryHandle {
      return LoadLibraryExA(path, nullptr, flags);
    },
    [](const char* path) { return SetDllDirectoryA(path) != 0; },
    [](LibraryHandle library, const char* name) {
      return reinterpret_cast<ProcAddress>(GetProcAddress(static_cast<HMODULE>(library), name));
    },
    [](const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); },
    asctimeNow,
};

// Only the POSIX layer, whose registry is a file, ever has a problem to
// report; Windows' own registry has none.
std::string registryProblem() { return std::string(); }

}  // namespace platform
