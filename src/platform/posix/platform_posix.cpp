// The platform seam on Linux: processes, environment, files and folders,
// threads, libraries and time. The stand-ins for Windows services without a
// POSIX equal have files of their own: the registry (registry_file_posix),
// the named mutex (lock_file_mutex_posix), the message box
// (message_box_posix), TEMP (private_folder_posix) and the wide command line
// (command_line_posix).
#include "platform/posix/platform_posix.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/outside_values.h"
#include "platform/platform.h"
#include "platform/trace_outlet.h"
#include "rules/outside_path.h"
#include "rules/utf8_text.h"

namespace platform {

namespace {

// A library that could not be loaded; its text is the loader's own reason.
constexpr unsigned long kErrorModuleNotFound = 126;
thread_local std::string lastLoadError;

thread_local unsigned long lastError = kErrorSuccess;

// --- Threads -------------------------------------------------------------------

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

}  // namespace

void setErrnoAsLastError() { lastError = static_cast<unsigned long>(errno); }

std::string pathVariable(const char* name) {
  outside_path::Refusal why = outside_path::Refusal::None;
  std::string value = judgedPathVariable(name, &why);
  if (why != outside_path::Refusal::None && why != outside_path::Refusal::Empty) {
    notePlatformRemark(std::string(name) + " \"" + std::getenv(name) +
                       "\": " + outside_path::refusalText(why) + ", counts as unset");
  }
  return value;
}

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
    // A relative folder (an empty entry is the current one) would find a
    // java planted where the user happened to start the launcher.
    if (outside_path::isAbsolute(folder, outside_path::Style::Posix)) {
      std::string candidate = folder + "/" + name;
      struct stat status;
      if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    if (end == std::string::npos) {
      return std::string();
    }
    start = end + 1;
  }
}

bool readRegularFile(const char* path, std::size_t limit, std::string& contents) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is then
  // refused as not a regular file.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    setErrnoAsLastError();
    return false;
  }
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            static_cast<unsigned long long>(status.st_size) <= limit;
  contents.clear();
  char chunk[65536];
  while (ok) {
    ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      ok = count == 0;
      break;
    }
    contents.append(chunk, static_cast<std::size_t>(count));
    // A file that grows while it is read is held to the same limit.
    ok = contents.size() <= limit;
  }
  ::close(fd);
  if (!ok) {
    lastError = EINVAL;
    contents.clear();
  }
  return ok;
}

// --- Process ------------------------------------------------------------------

void prepareProcess() {
  // A closed standard descriptor would be taken by the next file opened
  // (the lock file, the policy file), and whatever the VM or the
  // application then prints would land in it.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      int opened = ::open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
      }
    }
  }
  // A trace or report written to a pipe whose reader has gone must fail as
  // a write, which the launcher skips, rather than end the process before
  // the application ever runs. The VM puts its own handler in place when it
  // starts.
  ::signal(SIGPIPE, SIG_IGN);
}

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

// --- Text -------------------------------------------------------------------

// Paths are UTF-8 here: no byte of a character after its first is ever '/'.
bool isLeadByte(unsigned char) { return false; }

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
  // The launcher's folders hold what others must not read or replace (the
  // session log): the user's alone, whatever the umask.
  if (::mkdir(path, 0700) != 0) {
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

bool writeFile(FileHandle file, const char* data, std::size_t length) {
  return std::fwrite(data, 1, length, static_cast<FILE*>(file)) == length;
}

bool closeFile(FileHandle file) { return std::fclose(static_cast<FILE*>(file)) == 0; }

// POSIX has no second name for a path.
bool shortPathName(const char*, std::string&) { return false; }

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

FileHandle appendPrivateFile(const char* path) {
  // The folder is opened without following a link and checked through its
  // descriptor, and the file opened relative to it: nothing can be swapped
  // in between the check and the open.
  std::string whole = path;
  std::size_t slash = whole.rfind('/');
  std::string folder = slash == 0 ? "/" : whole.substr(0, slash);
  if (slash == std::string::npos) {
    setLastError(kErrorInvalidParameter);
    return nullptr;
  }
  int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folderFd < 0) {
    setErrnoAsLastError();
    return nullptr;
  }
  struct stat status;
  int fd = -1;
  if (::fstat(folderFd, &status) != 0) {
    setErrnoAsLastError();
  } else if (!keptFromOthers(status, ::geteuid())) {
    notePlatformRemark("not written: " + folder + " is not the user's alone");
    lastError = EACCES;
  } else {
    fd = ::openat(folderFd, whole.c_str() + slash + 1,
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      setErrnoAsLastError();
    }
  }
  ::close(folderFd);
  if (fd < 0) {
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "a");
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
  // The VM opens a class-path entry by its text, so a name that is not
  // UTF-8 names nothing it can open: the entry has no usable name.
  if (!outside_path::isUtf8(found.name)) {
    notePlatformRemark("left out: " + utf8_text::encodeUtf8(utf8_text::decodeUtf8(found.name)) +
                       ": " + outside_path::refusalText(outside_path::Refusal::NotUtf8));
    found.name.clear();
  }
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

// --- Threads ----------------------------------------------------------------------------

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
