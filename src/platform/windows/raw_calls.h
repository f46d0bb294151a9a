// The Win32 and C runtime calls the Windows layer is written over, as one
// table of plain function pointers.
//
// Everything the Windows layer decides (how UTF-16 text reaches the
// launcher's ANSI bytes, how an expandable registry value is read, how a
// file is closed so that a full disk is noticed, ...) is written once, over
// this table, and needs no Windows header. The executable fills the table
// with the real calls (platform/win32); the unit tests fill it with an
// in-memory Windows, so they run the very code the executable runs.
//
// Each entry is the call it names with the arguments the layer never varies
// left out (CP_ACP, HKEY_LOCAL_MACHINE, KEY_READ, ...). Wide text is UTF-16
// in char16_t, handles are opaque pointers, and a failed handle is null.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace platform {

// Win32 values the layer looks at, beyond those of platform.h.
constexpr unsigned long kErrorInvalidParameter = 87;
constexpr unsigned long kErrorInsufficientBuffer = 122;
constexpr unsigned long kErrorEnvironmentVariableNotFound = 203;
constexpr unsigned long kErrorNoUnicodeTranslation = 1113;
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned long kMultiByteInvalidCharacters = 0x8;  // MB_ERR_INVALID_CHARS
constexpr unsigned long kWideInvalidCharacters = 0x80;      // WC_ERR_INVALID_CHARS
constexpr unsigned long kWideNoBestFit = 0x400;             // WC_NO_BEST_FIT_CHARS
constexpr unsigned long kAttributeDirectory = 0x10;
constexpr unsigned long kAttributeDevice = 0x40;
constexpr unsigned long kAttributeReparsePoint = 0x400;
constexpr unsigned kModeDirectory = 0x4000;  // _S_IFDIR
constexpr unsigned kModeRegular = 0x8000;    // _S_IFREG
constexpr unsigned long kLoadWithAlteredSearchPath = 0x8;
constexpr unsigned long kLoadSearchDllLoadDir = 0x100;
constexpr unsigned long kLoadSearchSystem32 = 0x800;
constexpr unsigned long kFindLargeFetch = 0x2;  // FIND_FIRST_EX_LARGE_FETCH
constexpr unsigned long kMaxPath = 260;

// What a listing's call fills in of WIN32_FIND_DATAW.
struct FoundEntry {
  unsigned long attributes = 0;
  std::u16string name;
};

struct RawCalls {
  // --- Errors
  unsigned long (*getLastError)();
  void (*setLastError)(unsigned long code);

  // --- The ANSI code page (CP_ACP)
  unsigned (*getACP)();
  bool (*isDBCSLeadByte)(unsigned char byte);  // IsDBCSLeadByteEx
  // usedDefault may be null; with a zero size, the size needed.
  int (*wideCharToMultiByte)(unsigned long flags, const char16_t* text, int length, char* bytes,
                             int size, int* usedDefault);
  int (*multiByteToWideChar)(unsigned long flags, const char* bytes, int length, char16_t* text,
                             int size);

  // --- Process
  unsigned long (*getModuleFileNameW)(char16_t* buffer, unsigned long size);  // of the executable
  // FormatMessageA from the system, user's default language, into text;
  // false when there is none. (The system allocates it; LocalFree frees it.)
  bool (*formatMessageA)(unsigned long code, std::string& text);
  void (*exit)(int code);                        // the C runtime's exit: does not return
  char16_t** (*commandLineToArgvW)(int* count);  // of GetCommandLineW
  void (*localFree)(void* memory);

  // --- Environment and folders
  unsigned long (*getEnvironmentVariableW)(const char16_t* name, char16_t* buffer,
                                           unsigned long size);
  unsigned long (*expandEnvironmentStringsW)(const char16_t* text, char16_t* buffer,
                                             unsigned long size);
  unsigned long (*getTempPathW)(unsigned long size, char16_t* buffer);
  unsigned long (*getShortPathNameW)(const char16_t* path, char16_t* buffer, unsigned long size);
  bool (*setCurrentDirectoryA)(const char* path);
  unsigned long (*getCurrentDirectoryA)(unsigned long size, char* buffer);

  // --- Registry (HKEY_LOCAL_MACHINE, KEY_READ)
  long (*regOpenKeyExA)(const char* subKey, RegKey* key);
  long (*regQueryValueExA)(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                           unsigned long* size);
  long (*regQueryValueExW)(RegKey key, const char16_t* name, unsigned long* type,
                           unsigned char* data, unsigned long* size);

  // --- Files (the C runtime, ANSI paths)
  int (*stat)(const char* path, unsigned* mode);  // _stat, giving st_mode
  int (*unlink)(const char* path);                // _unlink
  int (*remove)(const char* path);
  int (*mkdir)(const char* path);  // _mkdir
  FileHandle (*fopen)(const char* path, const char* mode);
  std::size_t (*fwrite)(const void* data, std::size_t size, std::size_t count, FileHandle file);
  int (*fflush)(FileHandle file);
  int (*fclose)(FileHandle file);
  // The volume serial number and file index of what path names (CreateFileA
  // with backup semantics, GetFileInformationByHandle, CloseHandle).
  bool (*fileIdentity)(const char* path, unsigned long* volume, unsigned long* indexHigh,
                       unsigned long* indexLow);

  // --- Folder listings (FindFirstFileExW with FindExSearchNameMatch)
  // basic asks for FindExInfoBasic, else FindExInfoStandard.
  void* (*findFirstFileExW)(const char16_t* pattern, bool basic, unsigned long flags,
                            FoundEntry* found);
  bool (*findNextFileW)(void* find, FoundEntry* found);
  bool (*findClose)(void* find);

  // --- Synchronisation and threads
  MutexHandle (*createMutexA)(const char* name, bool initialOwner);
  bool (*releaseMutex)(MutexHandle mutex);
  bool (*closeHandle)(MutexHandle handle);
  void (*sleep)(unsigned long milliseconds);
  // CreateThread with default security and stack size, no flags; the
  // handle is closed at once.
  bool (*createThread)(ThreadRoutine routine, void* parameter);

  // --- Dynamic libraries
  LibraryHandle (*loadLibraryExA)(const char* path, unsigned long flags);
  bool (*setDllDirectoryA)(const char* path);
  ProcAddress (*getProcAddress)(LibraryHandle library, const char* name);

  // --- User interface and time
  void (*messageBoxA)(const char* text, const char* caption);  // no owner, MB_OK
  const char* (*asctimeNow)();  // asctime(localtime(time(0))), null on failure
};

// The table the Windows layer calls, defined by whoever fills it.
extern const RawCalls kRawCalls;

}  // namespace platform
