// The named mutex on Linux: an advisory lock on a per-user file named after
// the mutex. The lock belongs to the open file, so it ends with the handle
// or with the process.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

struct LockFileMutex {
  int fd;  // -1 for a mutex without a name
};

// Opens and locks name's file in folder. Returns the descriptor, or -1 when
// no lock can be made there (last error set); taken tells whether another
// process holds it.
int lockIn(const std::string& folder, const std::string& fileName, bool& taken) {
  std::string path = folder + "/" + fileName + ".lock";
  // O_CLOEXEC: a program the process starts must not keep the name held.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    setLastError(static_cast<unsigned long>(errno));
    return -1;
  }
  taken = false;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) {
      continue;
    }
    if (errno != EWOULDBLOCK) {
      setLastError(static_cast<unsigned long>(errno));
      ::close(fd);
      return -1;
    }
    taken = true;
    break;
  }
  return fd;
}

}  // namespace

MutexHandle createMutex(const char* name, bool /*initialOwner*/) {
  // The lock is owned by the open file, not by a thread, so there is no
  // separate initial owner: whoever holds the handle holds the name.
  if (name == nullptr) {
    return new LockFileMutex{-1};
  }
  std::string fileName = name;
  for (char& c : fileName) {
    if (c == '/') {
      c = '_';
    }
  }
  // The session's runtime folder first; where no lock can be made there
  // (read-only, or something else in the lock file's place), the folders
  // the launcher keeps its other files in.
  const PrivatePlace order[] = {PrivatePlace::kRuntime, PrivatePlace::kTemp, PrivatePlace::kHome};
  for (PrivatePlace place : order) {
    std::string folder;
    if (!privateFolder(place, folder)) {
      continue;
    }
    bool taken = false;
    int fd = lockIn(folder, fileName, taken);
    if (fd >= 0) {
      // Taken: like Windows, the caller still gets a handle.
      setLastError(taken ? kErrorAlreadyExists : kErrorSuccess);
      return new LockFileMutex{fd};
    }
    notePlatformRemark("no lock file can be made in " + folder + ", trying the next folder");
  }
  notePlatformRemark("no lock file can be made anywhere: this launch is not guarded");
  return nullptr;
}

bool releaseMutex(MutexHandle /*mutex*/) {
  // Only the guard's worker calls this, and on Windows it is not the owner
  // either: the call fails and the name stays held until closeHandle.
  setLastError(EPERM);
  return false;
}

bool closeHandle(MutexHandle handle) {
  if (handle == nullptr) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
  LockFileMutex* mutex = static_cast<LockFileMutex*>(handle);
  if (mutex->fd >= 0) {
    ::close(mutex->fd);  // drops the lock
  }
  delete mutex;
  return true;
}

}  // namespace platform
