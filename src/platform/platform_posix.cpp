// The platform seam on Linux. Windows services without a POSIX equal get a
// small stand-in here: the named mutex is an advisory lock on a per-user file, and the
// message box is a line on standard error plus, where a desktop is running,
// a dialog from zenity or kdialog.
#include "platform/platform_posix.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace platform {

namespace {

// Win32 code for the one case where no errno value says the same.
constexpr unsigned long kErrorEnvironmentVariableNotFound = 203;
// A library that could not be loaded; its text is the loader's own reason.
constexpr unsigned long kErrorModuleNotFound = 126;
thread_local std::string lastLoadError;

thread_local unsigned long lastError = kErrorSuccess;

void setErrnoAsLastError() { lastError = static_cast<unsigned long>(errno); }

// --- Private temporary folder -------------------------------------------------

// "${TMPDIR:-/tmp}/veltrana-<uid>", created when missing. The temporary
// folder is shared with other users, so the folder is used only when it is
// ours alone: otherwise another user could plant or redirect our files.
bool privateTempFolder(std::string& folder) {
  const char* base = std::getenv("TMPDIR");
  folder = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  while (!folder.empty() && folder.back() == '/') {
    folder.pop_back();
  }
  folder += "/veltrana-" + std::to_string(::geteuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    setErrnoAsLastError();
    return false;
  }
  return isPrivateFolder(folder.c_str(), ::geteuid());
}

// --- Command line -----------------------------------------------------------

std::vector<std::string> commandLine;
bool commandLineKept = false;

struct ArgumentVector {
  std::vector<std::u16string> args;
};

void appendUtf16(std::u16string& out, unsigned long codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

// Strict UTF-8: overlong forms, surrogates and values above U+10FFFF are
// invalid. Each invalid byte, or each incomplete sequence, becomes one
// U+FFFD and decoding goes on at the next byte that does not belong to it.
std::u16string decodeUtf8(const std::string& text) {
  std::u16string out;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    int length = 0;
    unsigned long codePoint = 0;
    unsigned char low = 0x80;  // range allowed for the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
      if (lead == 0xE0) {
        low = 0xA0;  // no overlong forms
      } else if (lead == 0xED) {
        high = 0x9F;  // no surrogates
      }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
      if (lead == 0xF0) {
        low = 0x90;
      } else if (lead == 0xF4) {
        high = 0x8F;  // nothing above U+10FFFF
      }
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    std::size_t next = i + 1;
    int taken = 1;
    while (taken < length && next < n) {
      unsigned char byte = static_cast<unsigned char>(text[next]);
      unsigned char min = taken == 1 ? low : 0x80;
      unsigned char max = taken == 1 ? high : 0xBF;
      if (byte < min || byte > max) {
        break;
      }
      codePoint = (codePoint << 6) | (byte & 0x3F);
      ++next;
      ++taken;
    }
    if (taken == length) {
      appendUtf16(out, codePoint);
    } else {
      out += u'\uFFFD';
    }
    i = next;
  }
  return out;
}

// --- Mutex stand-in and threads ---------------------------------------------

struct LockFileMutex {
  int fd;  // -1 for a mutex without a name
};

struct ThreadStart {
  ThreadRoutine routine;
  void* parameter;
};

void* runThread(void* parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.routine(start.parameter);
  return nullptr;
}

// --- Dialog -------------------------------------------------------------------

// Runs program with args, no shell between, and waits for it to end. Its
// own output is dropped so that our standard error stays one line per box.
void runAndWait(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    return;
  }
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child;
  int result = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    return;
  }
  int status;
  while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
  }
}

bool hasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

}  // namespace

// The first executable regular file called name in a folder of PATH, as
// the shell would find it; empty when there is none.
std::string findOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) {
    return std::string();
  }
  std::string list = path;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(':', start);
    std::string folder = list.substr(start, end == std::string::npos ? end : end - start);
    if (folder.empty()) {
      folder = ".";  // an empty entry means the current folder
    }
    std::string candidate = folder + "/" + name;
    struct stat status;
    if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) {
      return std::string();
    }
    start = end + 1;
  }
}

// --- Process ------------------------------------------------------------------

bool getModuleFileName(std::string& path) {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      setErrnoAsLastError();
      return false;
    }
    // readlink cuts without saying so: a full buffer may be a cut path.
    if (static_cast<std::size_t>(length) < buffer.size()) {
      path.assign(buffer.data(), static_cast<std::size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

unsigned long getLastError() { return lastError; }

void setLastError(unsigned long code) { lastError = code; }

std::string formatMessage(unsigned long code) {
  // Codes that only the layer sets, in the words Windows uses for them.
  switch (code) {
    case kErrorAlreadyExists:
      return "Cannot create a file when that file already exists.";
    case kErrorMoreData:
      return "More data is available.";
    case kErrorEnvironmentVariableNotFound:
      return "The system could not find the environment option that was entered.";
    case kErrorModuleNotFound:
      return lastLoadError;
    default:
      return std::strerror(static_cast<int>(code));
  }
}

void exitProcess(int code) { std::exit(code); }

// --- Command line -------------------------------------------------------------

void setCommandLine(int argc, char** argv) {
  commandLine.assign(argv, argv + argc);
  commandLineKept = true;
}

CommandLineHandle splitCommandLine(std::vector<std::u16string>& args) {
  if (!commandLineKept) {
    lastError = kErrorInvalidParameter;
    return nullptr;
  }
  ArgumentVector* vector = new ArgumentVector();
  for (const std::string& arg : commandLine) {
    vector->args.push_back(decodeUtf8(arg));
  }
  args = vector->args;
  return vector;
}

void releaseCommandLine(CommandLineHandle vector) { delete static_cast<ArgumentVector*>(vector); }

// --- Environment --------------------------------------------------------------

const char* getEnv(const char* name) { return std::getenv(name); }

unsigned long getEnvironmentVariable(const char* name, char* buffer, unsigned long size) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    lastError = kErrorEnvironmentVariableNotFound;
    return 0;
  }
  std::size_t length = std::strlen(value);
  if (length + 1 > size) {
    return static_cast<unsigned long>(length + 1);
  }
  std::memcpy(buffer, value, length + 1);
  return static_cast<unsigned long>(length);
}

unsigned long getTempFolder(char* buffer, unsigned long size) {
  std::string folder;
  if (!privateTempFolder(folder)) {
    return 0;
  }
  if (folder.size() + 1 > size) {
    return static_cast<unsigned long>(folder.size() + 1);
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return static_cast<unsigned long>(folder.size());
}

unsigned long getSystemTempFolder(char* /*buffer*/, unsigned long /*size*/) {
  // getTempFolder already falls back as far as a private folder can.
  lastError = kErrorEnvironmentVariableNotFound;
  return 0;
}

bool isPrivateFolder(const char* path, uid_t owner) {
  // Opened without following a final link, then checked through the open
  // descriptor, so what is checked is the folder itself.
  int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    setErrnoAsLastError();
    return false;
  }
  struct stat status;
  int result = ::fstat(fd, &status);
  ::close(fd);
  if (result != 0) {
    setErrnoAsLastError();
    return false;
  }
  if (status.st_uid != owner || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    lastError = EACCES;
    return false;
  }
  return true;
}

// --- Working directory ----------------------------------------------------------

bool setCurrentDirectory(const char* path) {
  if (::chdir(path) != 0) {
    setErrnoAsLastError();
    return false;
  }
  return true;
}

bool getCurrentDirectory(std::string& path) {
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      path = buffer.data();
      return true;
    }
    if (errno != ERANGE) {
      setErrnoAsLastError();
      return false;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// --- Files and folders ------------------------------------------------------------

int statPath(const char* path, bool* isDirectory) {
  struct stat status;
  if (::stat(path, &status) != 0) {
    setErrnoAsLastError();
    return -1;
  }
  if (isDirectory != nullptr) {
    *isDirectory = S_ISDIR(status.st_mode);
  }
  return 0;
}

int accessPath(const char* path) {
  if (::access(path, F_OK) != 0) {
    setErrnoAsLastError();
    return -1;
  }
  return 0;
}

int unlinkFile(const char* path) {
  if (::unlink(path) != 0) {
    setErrnoAsLastError();
    return -1;
  }
  return 0;
}

int removeFile(const char* path) {
  if (std::remove(path) != 0) {
    setErrnoAsLastError();
    return -1;
  }
  return 0;
}

int makeDirectory(const char* path) {
  // The user's umask decides who else may read it, as for any new folder.
  if (::mkdir(path, 0777) != 0) {
    setErrnoAsLastError();
    return -1;
  }
  return 0;
}

FileHandle openFile(const char* path, const char* mode) {
  FILE* file = std::fopen(path, mode);
  if (file == nullptr) {
    setErrnoAsLastError();
  }
  return file;
}

void writeFile(FileHandle file, const char* data, std::size_t length) {
  std::fwrite(data, 1, length, static_cast<FILE*>(file));
}

void closeFile(FileHandle file) { std::fclose(static_cast<FILE*>(file)); }

FileHandle createPrivateFile(const char* path) {
  // O_NOFOLLOW: a link planted at path makes the open fail instead of
  // writing wherever it points.
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    setErrnoAsLastError();
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    setErrnoAsLastError();
    ::close(fd);
  }
  return file;
}

EntryType pathType(const char* path) {
  struct stat status;
  if (::stat(path, &status) != 0) {
    setErrnoAsLastError();
    return EntryType::Unknown;
  }
  if (S_ISDIR(status.st_mode)) {
    return EntryType::Folder;
  }
  return S_ISREG(status.st_mode) ? EntryType::File : EntryType::Other;
}

std::string folderIdentity(const char* path) {
  struct stat status;
  if (::stat(path, &status) != 0) {
    return std::string();
  }
  return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

DirectoryHandle openDirectory(const char* folder) {
  DIR* listing = ::opendir(folder);
  if (listing == nullptr) {
    setErrnoAsLastError();
  }
  return listing;
}

bool readDirectory(DirectoryHandle listing, DirectoryEntry& found) {
  struct dirent* entry = ::readdir(static_cast<DIR*>(listing));
  if (entry == nullptr) {
    return false;
  }
  found.name = entry->d_name;
  found.longName = found.name;
  EntryType& type = found.type;
  // Some file systems do not fill d_type; DT_UNKNOWN then asks for a stat.
  switch (entry->d_type) {
    case DT_DIR:
      type = EntryType::Folder;
      break;
    case DT_REG:
      type = EntryType::File;
      break;
    case DT_LNK:
      type = EntryType::Link;
      break;
    case DT_UNKNOWN:
      type = EntryType::Unknown;
      break;
    default:
      type = EntryType::Other;
      break;
  }
  return true;
}

void closeDirectory(DirectoryHandle listing) { ::closedir(static_cast<DIR*>(listing)); }

// --- Synchronisation and threads ----------------------------------------------------

MutexHandle createMutex(const char* name, bool /*initialOwner*/) {
  // The lock is owned by the open file, not by a thread, so there is no
  // separate initial owner: whoever holds the handle holds the name.
  if (name == nullptr) {
    return new LockFileMutex{-1};
  }
  std::string folder;
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDir != nullptr && runtimeDir[0] != '\0' && isPrivateFolder(runtimeDir, ::geteuid())) {
    folder = runtimeDir;
  } else if (!privateTempFolder(folder)) {
    return nullptr;
  }
  std::string fileName = name;
  for (char& c : fileName) {
    if (c == '/') {
      c = '_';
    }
  }
  std::string path = folder + "/" + fileName + ".lock";

  // O_CLOEXEC: a program the process starts must not keep the name held.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    setErrnoAsLastError();
    return nullptr;
  }
  unsigned long outcome = kErrorSuccess;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) {
      continue;
    }
    if (errno != EWOULDBLOCK) {
      setErrnoAsLastError();
      ::close(fd);
      return nullptr;
    }
    // Taken: like Windows, the caller still gets a handle.
    outcome = kErrorAlreadyExists;
    break;
  }
  lastError = outcome;
  return new LockFileMutex{fd};
}

bool releaseMutex(MutexHandle /*mutex*/) {
  // Only the guard's worker calls this, and on Windows it is not the owner
  // either: the call fails and the name stays held until closeHandle.
  lastError = EPERM;
  return false;
}

bool closeHandle(MutexHandle handle) {
  if (handle == nullptr) {
    lastError = kErrorInvalidHandle;
    return false;
  }
  LockFileMutex* mutex = static_cast<LockFileMutex*>(handle);
  if (mutex->fd >= 0) {
    ::close(mutex->fd);  // drops the lock
  }
  delete mutex;
  return true;
}

void sleepMilliseconds(unsigned long milliseconds) {
  struct timespec remaining;
  remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
  remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

bool createThread(ThreadRoutine routine, void* parameter) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    return false;
  }
  // Nobody joins the thread, so it cleans up after itself.
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  ThreadStart* start = new ThreadStart{routine, parameter};
  pthread_t thread;
  int result = pthread_create(&thread, &attributes, &runThread, start);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete start;
    lastError = static_cast<unsigned long>(result);
    return false;
  }
  return true;
}

// --- Dynamic libraries ----------------------------------------------------------------

LibraryHandle loadLibrary(const char* path) {
  void* library = ::dlopen(path, RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    const char* reason = ::dlerror();
    lastLoadError = reason != nullptr ? reason : "";
    lastError = kErrorModuleNotFound;
  }
  return library;
}

ProcAddress getProcAddress(LibraryHandle library, const char* name) {
  void* address = ::dlsym(library, name);
  if (address == nullptr) {
    lastError = kErrorFileNotFound;
  }
  return reinterpret_cast<ProcAddress>(address);
}

// --- User interface ---------------------------------------------------------------------

void messageBox(const char* text, const char* caption) {
  if (text == nullptr) {
    text = "";
  }
  if (caption == nullptr) {
    caption = "";
  }
  // Standard error always gets the text, prefixed with the launcher's name
  // as a command-line tool would name itself. The caption is left out of
  // that line: it is the launcher's name anyway, except for the start-up
  // "Error" box, whose text says what went wrong just as well.
  std::string line = std::string("Veltrana.exe: ") + text + "\n";
  std::fflush(stderr);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);

  if (!hasDisplay()) {
    return;
  }
  std::string program = findOnPath("zenity");
  if (!program.empty()) {
    runAndWait(program, {"zenity", "--error", std::string("--title=") + caption,
                         std::string("--text=") + text, "--no-markup"});
    return;
  }
  program = findOnPath("kdialog");
  if (!program.empty()) {
    runAndWait(program, {"kdialog", "--title", caption, "--error", text});
  }
}

// --- Time ---------------------------------------------------------------------------------

std::string localTimeText() {
  std::time_t now = std::time(nullptr);
  struct tm local;
  char text[64] = {0};
  if (::localtime_r(&now, &local) == nullptr || ::asctime_r(&local, text) == nullptr) {
    return std::string();
  }
  return text;
}

}  // namespace platform
