// The platform seam over Win32 and the Microsoft C runtime. Each routine is
// the plain call it names; the launch logic decides what a result means.
#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <direct.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <vector>

#include "platform/common/registry_answer.h"
#include "platform/platform.h"
#include "platform/win32/wide_text_win.h"
#include "platform/windows/ansi_path.h"
#include "platform/windows/listed_name.h"
#include "rules/ansi_text.h"

namespace platform {

// --- UTF-16 text ------------------------------------------------------------

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool fromAnsi(const char* text, std::u16string& wideText, bool strict) {
  DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  int size = MultiByteToWideChar(CP_ACP, flags, text, -1, nullptr, 0);
  if (size <= 0) {
    return false;
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_ACP, flags, text, -1, buffer.data(), size) != size) {
    return false;
  }
  wideText.assign(reinterpret_cast<const char16_t*>(buffer.data()),
                  static_cast<std::size_t>(size) - 1);
  return true;
}

bool readWideVariable(const char* name, std::u16string& value) {
  std::u16string wideName(name, name + strlen(name));  // the names are ASCII
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(wide(wideName), nullptr, 0);
    if (needed == 0) {
      value.clear();
      return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    std::vector<wchar_t> buffer(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(wide(wideName), buffer.data(), needed);
    if (length < needed) {
      value.assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
      return true;
    }
    // The value grew between the two calls: ask again.
  }
}

namespace {

// A listing keeps the entry FindFirstFileExW returned until the first read,
// the folder's wide path for the few entries that need a short name, and
// the entry's name, whose room each read uses again.
struct DirectoryListing {
  HANDLE find;
  WIN32_FIND_DATAW data;
  bool pending;
  std::u16string folder;
  std::u16string name;
};

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

// The ANSI code page's bytes for text, refusing a conversion that would put
// a default character or a best-fit look-alike in place of one it lacks.
bool toAnsi(const std::u16string& text, std::string& bytes) {
  bytes.clear();
  if (text.empty()) {
    return true;
  }
  int length = static_cast<int>(text.size());
  // A UTF-8 code page carries every character and takes neither the flag
  // nor the report of a default character; it refuses unpaired surrogates.
  bool utf8 = GetACP() == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  // A listed name or a folder's path fits on the stack: one call, no
  // allocation, for each of the scan's many names.
  char shortText[1024];
  int written = WideCharToMultiByte(CP_ACP, flags, wide(text), length, shortText, sizeof shortText,
                                    nullptr, utf8 ? nullptr : &lossy);
  if (written > 0) {
    if (lossy) {
      return false;
    }
    bytes.assign(shortText, static_cast<std::size_t>(written));
    return true;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  lossy = FALSE;
  int needed = WideCharToMultiByte(CP_ACP, flags, wide(text), length, nullptr, 0, nullptr,
                                   utf8 ? nullptr : &lossy);
  if (needed <= 0 || lossy) {
    return false;
  }
  std::vector<char> buffer(needed);
  if (WideCharToMultiByte(CP_ACP, flags, wide(text), length, buffer.data(), needed, nullptr,
                          utf8 ? nullptr : &lossy) != needed ||
      lossy) {
    return false;
  }
  bytes.assign(buffer.data(), needed);
  return true;
}

bool shortPath(const std::u16string& path, std::u16string& shortForm) {
  DWORD needed = GetShortPathNameW(wide(path), nullptr, 0);
  if (needed == 0) {
    return false;
  }
  std::vector<wchar_t> buffer(needed + 1, L'\0');
  DWORD length = GetShortPathNameW(wide(path), buffer.data(), needed + 1);
  if (length == 0 || length > needed) {
    return false;
  }
  shortForm.assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
  return true;
}

const WideTextServices kWideText = {toAnsi, shortPath};

// Hands text over as GetEnvironmentVariable does: copied with its terminator
// when it fits in size bytes (returning its length), else the size needed.
unsigned long copyOut(const std::string& text, char* buffer, unsigned long size) {
  if (text.size() + 1 > size) {
    return static_cast<unsigned long>(text.size() + 1);
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<unsigned long>(text.size());
}

// A variable's value as the launcher's bytes; a value with no form the
// code page carries counts as unset.
bool readVariable(const char* name, std::string& value) {
  std::u16string text;
  return readWideVariable(name, text) && ansiVariable(name, text, kWideText, value);
}

}  // namespace

// --- Process --------------------------------------------------------------

bool getModuleFileName(std::string& path) {
  // The classic MAX_PATH buffer first; a result that fills the request may
  // have been cut, so ask again with more room until it does not.
  DWORD request = 259;
  std::vector<wchar_t> buffer(request + 1, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), request);
    if (length == 0) {
      return false;
    }
    if (length < request) {
      std::u16string text(reinterpret_cast<const char16_t*>(buffer.data()), length);
      if (!ansiModulePath(text, kWideText, path)) {
        // Unknown, rather than a path of '?' that names something else.
        path.clear();
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
      }
      return true;
    }
    request *= 2;
    buffer.assign(request + 1, L'\0');
  }
}

unsigned long getLastError() { return GetLastError(); }

void setLastError(unsigned long code) { SetLastError(code); }

std::string formatMessage(unsigned long code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 1024, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    return std::string();
  }
  std::string message(text, length);
  LocalFree(text);
  return message;
}

void exitProcess(int code) { exit(code); }

// --- Command line ---------------------------------------------------------

CommandLineHandle splitCommandLine(std::vector<std::u16string>& args) {
  int count = 0;
  LPWSTR* vector = CommandLineToArgvW(GetCommandLineW(), &count);
  if (vector == nullptr) {
    return nullptr;
  }
  args.clear();
  for (int i = 0; i < count; ++i) {
    args.push_back(std::u16string(reinterpret_cast<const char16_t*>(vector[i])));
  }
  return vector;
}

void releaseCommandLine(CommandLineHandle vector) { LocalFree(vector); }

// --- Environment ----------------------------------------------------------

const char* getEnv(const char* name) {
  // Each name keeps its own copy, valid until it is read again.
  static std::map<std::string, std::string> values;
  std::string value;
  if (!readVariable(name, value)) {
    values.erase(name);
    return nullptr;
  }
  std::string& kept = values[name];
  kept = value;
  return kept.c_str();
}

unsigned long getEnvironmentVariable(const char* name, char* buffer, unsigned long size) {
  std::string value;
  if (!readVariable(name, value)) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return copyOut(value, buffer, size);
}

unsigned long getTempFolder(char* buffer, unsigned long size) {
  return getEnvironmentVariable("TEMP", buffer, size);
}

unsigned long getFurtherTempFolder(unsigned long /*index*/, char* /*buffer*/,
                                   unsigned long /*size*/) {
  return 0;  // TEMP and GetTempPath's folder are all the system offers
}

unsigned long getSystemTempFolder(char* buffer, unsigned long size) {
  wchar_t wide[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, wide);
  if (length == 0 || length > MAX_PATH) {
    return 0;
  }
  std::string folder;
  // A user name outside the code page: the short form reaches the same
  // folder in characters the code page holds.
  if (!ansiPath(reinterpret_cast<const char16_t*>(wide), kWideText, folder)) {
    return 0;
  }
  // GetTempPath ends the folder with a backslash; a root keeps its own.
  if (folder.size() > 3 && ansi_text::endsWithSeparator(folder, '\\', isLeadByte)) {
    folder.pop_back();
  }
  return copyOut(folder, buffer, size);
}

// --- Text -----------------------------------------------------------------

bool isLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != 0; }

// --- Working directory ----------------------------------------------------

bool setCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path) != 0; }

bool getCurrentDirectory(std::string& path) {
  DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) {
    return false;
  }
  std::vector<char> buffer(needed + 1, '\0');
  DWORD length = GetCurrentDirectoryA(needed + 1, buffer.data());
  if (length == 0 || length > needed) {
    return false;
  }
  path.assign(buffer.data(), length);
  return true;
}

// --- Registry -------------------------------------------------------------

std::string registryProblem() { return std::string(); }

long regOpenKey(const char* subKey, RegKey* key) {
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &opened);
  *key = opened;
  return result;
}

namespace {

// An expandable text value (REG_EXPAND_SZ) with its variables expanded, as
// the launcher's bytes with their terminator. The text is read and expanded
// in UTF-16, so that no character is lost before the launcher decides how
// the result is carried. ERROR_FILE_NOT_FOUND when it has no form.
LONG readExpandedValue(HKEY key, const char* name, std::string& bytes) {
  std::u16string wideName;
  if (!fromAnsi(name, wideName)) {
    return ERROR_FILE_NOT_FOUND;
  }
  std::vector<wchar_t> stored;
  for (;;) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, wide(wideName), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) {
      return result;
    }
    stored.assign(size / sizeof(wchar_t) + 1, L'\0');
    result = RegQueryValueExW(key, wide(wideName), nullptr, &type,
                              reinterpret_cast<BYTE*>(stored.data()), &size);
    if (result == ERROR_SUCCESS) {
      break;
    }
    if (result != ERROR_MORE_DATA) {
      return result;  // the value grew between the two calls: ask again
    }
  }
  // Stored text may lack its terminator; the buffer has one more.
  DWORD needed = ExpandEnvironmentStringsW(stored.data(), nullptr, 0);
  if (needed == 0) {
    return ERROR_FILE_NOT_FOUND;
  }
  std::vector<wchar_t> expanded(needed + 1, L'\0');
  DWORD written = ExpandEnvironmentStringsW(stored.data(), expanded.data(), needed + 1);
  if (written == 0 || written > needed + 1) {
    return ERROR_FILE_NOT_FOUND;
  }
  std::u16string text(reinterpret_cast<const char16_t*>(expanded.data()));
  if (!ansiPath(text, kWideText, bytes)) {
    return ERROR_FILE_NOT_FOUND;
  }
  bytes += '\0';
  return ERROR_SUCCESS;
}

}  // namespace

long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  HKEY opened = static_cast<HKEY>(key);
  // One read answers every value but an expandable one, which is read again.
  unsigned long capacity = size != nullptr ? *size : 0;
  DWORD storedType = 0;
  LONG read = RegQueryValueExA(opened, name, nullptr, &storedType, data, size);
  bool typeKnown = read == ERROR_SUCCESS || read == ERROR_MORE_DATA;
  if (!typeKnown || storedType != REG_EXPAND_SZ) {
    if (typeKnown && type != nullptr) {
      *type = storedType;
    }
    return read;
  }
  // Expanded before use, as RegGetValue does, and then plain text.
  if (data != nullptr && size == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  std::string bytes;
  LONG result = readExpandedValue(opened, name, bytes);
  if (result != ERROR_SUCCESS) {
    return result;
  }
  if (type != nullptr) {
    *type = REG_SZ;
  }
  return answerValueQuery(bytes, data, capacity, size);
}

// --- Files and folders ----------------------------------------------------

int statPath(const char* path, bool* isDirectory) {
  struct _stat status;
  int result = _stat(path, &status);
  if (isDirectory != nullptr) {
    *isDirectory = result == 0 && (status.st_mode & _S_IFDIR) != 0;
  }
  return result;
}

int unlinkFile(const char* path) { return _unlink(path); }

int removeFile(const char* path) { return remove(path); }

int makeDirectory(const char* path) { return _mkdir(path); }

FileHandle openFile(const char* path, const char* mode) { return fopen(path, mode); }

bool writeFile(FileHandle file, const char* data, std::size_t length) {
  return fwrite(data, 1, length, static_cast<FILE*>(file)) == length;
}

bool closeFile(FileHandle file) {
  // The flush is asked for on its own: some C runtimes (Wine's among them)
  // report success from fclose even when its final flush failed, which
  // would claim a file a full disk left empty.
  FILE* stream = static_cast<FILE*>(file);
  bool flushed = fflush(stream) == 0;
  bool closed = fclose(stream) == 0;
  return flushed && closed;
}

FileHandle createPrivateFile(const char* path) { return fopen(path, "wb"); }

FileHandle appendPrivateFile(const char* path) { return fopen(path, "a+"); }

bool trustedPlace(const char*, const char*) { return true; }

bool shortPathName(const char* path, std::string& shortBytes) {
  std::u16string widePath;
  std::u16string shortForm;
  return fromAnsi(path, widePath, true) && shortPath(widePath, shortForm) &&
         toAnsi(shortForm, shortBytes);
}

std::string folderIdentity(const char* path) {
  // A folder can only be opened with backup semantics.
  HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    return std::string();
  }
  BY_HANDLE_FILE_INFORMATION information;
  BOOL known = GetFileInformationByHandle(folder, &information);
  CloseHandle(folder);
  if (!known) {
    return std::string();
  }
  char text[40];
  snprintf(text, sizeof text, "%08lx:%08lx%08lx", information.dwVolumeSerialNumber,
           information.nFileIndexHigh, information.nFileIndexLow);
  return text;
}

EntryType pathType(const char* path) {
  struct _stat status;
  if (_stat(path, &status) != 0) {
    return EntryType::Unknown;
  }
  if ((status.st_mode & _S_IFDIR) != 0) {
    return EntryType::Folder;
  }
  return (status.st_mode & _S_IFREG) != 0 ? EntryType::File : EntryType::Other;
}

DirectoryHandle openDirectory(const char* folder) {
  // The folder's own path is already in the code page (the scan built it
  // from names that convert exactly), so it goes over as it is.
  std::u16string widePattern;
  if (!fromAnsi((std::string(folder) + "*").c_str(), widePattern)) {
    return nullptr;
  }

  DirectoryListing* listing = new DirectoryListing();
  // The basic level leaves out the short names, which only a few entries
  // need (asked for one by one), and the large fetch reads the folder in
  // fewer calls. Systems older than Windows 7 refuse both.
  listing->find = FindFirstFileExW(wide(widePattern), FindExInfoBasic, &listing->data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (listing->find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    listing->find = FindFirstFileExW(wide(widePattern), FindExInfoStandard, &listing->data,
                                     FindExSearchNameMatch, nullptr, 0);
  }
  if (listing->find == INVALID_HANDLE_VALUE) {
    delete listing;
    return nullptr;
  }
  listing->pending = true;
  listing->folder = widePattern.substr(0, widePattern.size() - 1);  // without the "*"
  return listing;
}

bool readDirectory(DirectoryHandle handle, DirectoryEntry& entry) {
  DirectoryListing* listing = static_cast<DirectoryListing*>(handle);
  if (listing->pending) {
    listing->pending = false;
  } else if (!FindNextFileW(listing->find, &listing->data)) {
    return false;
  }
  const WIN32_FIND_DATAW& data = listing->data;
  std::u16string& name = listing->name;
  name.assign(reinterpret_cast<const char16_t*>(data.cFileName));
  bool held = toAnsi(name, entry.longName);
  if (!held) {
    // What the ANSI listing would have called it, "?" and all.
    char shown[MAX_PATH * 2];
    int length =
        WideCharToMultiByte(CP_ACP, 0, data.cFileName, -1, shown, sizeof shown, nullptr, nullptr);
    entry.longName.assign(shown, length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  }
  nameListedEntry(listing->folder, name, held, kWideText, entry);
  DWORD attributes = data.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    entry.type = EntryType::Link;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    entry.type = EntryType::Folder;
  } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    entry.type = EntryType::Other;
  } else {
    entry.type = EntryType::File;
  }
  return true;
}

void closeDirectory(DirectoryHandle handle) {
  DirectoryListing* listing = static_cast<DirectoryListing*>(handle);
  FindClose(listing->find);
  delete listing;
}

// --- Synchronisation and threads ------------------------------------------

MutexHandle createMutex(const char* name, bool initialOwner) {
  // Only an existing name sets the last error on success; start from zero
  // so a new name reads as no error.
  SetLastError(ERROR_SUCCESS);
  return CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, name);
}

bool releaseMutex(MutexHandle mutex) { return ReleaseMutex(mutex) != 0; }

bool closeHandle(MutexHandle handle) { return CloseHandle(handle) != 0; }

void sleepMilliseconds(unsigned long milliseconds) { Sleep(milliseconds); }

bool createThread(ThreadRoutine routine, void* parameter) {
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

// --- Dynamic libraries ----------------------------------------------------

LibraryHandle loadLibrary(const char* path) {
  // The library's own imports are searched for in its own folder and the
  // system folder only: never the folder the user started from (a download
  // folder, say) or PATH, where someone else may have planted a library of
  // the same name. Systems without the search flags (Windows 7 before its
  // update, Vista, XP) refuse them; there the library's folder is searched
  // first and the current folder is taken out of the search.
  HMODULE library = LoadLibraryExA(path, nullptr,
                                   LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
    return library;
  }
  SetDllDirectoryA("");
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

ProcAddress getProcAddress(LibraryHandle library, const char* name) {
  return reinterpret_cast<ProcAddress>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// --- User interface -------------------------------------------------------

void messageBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

// --- Time -----------------------------------------------------------------

std::string localTimeText() {
  time_t now = time(nullptr);
  struct tm* local = localtime(&now);
  if (local == nullptr) {
    return std::string();
  }
  const char* text = asctime(local);
  return text != nullptr ? text : std::string();
}

}  // namespace platform
