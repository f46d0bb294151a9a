// The named mutex on Linux: a listening socket in the abstract namespace,
// named after the user and the mutex. It needs no folder, so neither the
// environment (XDG_RUNTIME_DIR set or not, TMPDIR) nor a temp cleaner can
// give one user two guards, and it ends with the handle or the process.
// Where that name is held by another user's process (anyone may bind any
// abstract name) or sockets cannot be had, an advisory lock on a per-user
// file named after the mutex stands in.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

struct LockFileMutex {
  int fd;  // the socket or the lock file; -1 for a mutex without a name or one taken
};

// What the socket guard found.
enum class SocketGuard { Held, Taken, Unavailable };

// The abstract address of name's socket; false when it does not fit.
bool socketAddress(const std::string& name, sockaddr_un& address, socklen_t& length) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof address.sun_path) {
    return false;
  }
  // A leading zero byte puts the name in the abstract namespace.
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return true;
}

// The user the process listening on address runs as, or false when no
// process of anyone's answers there.
bool listenerUser(const sockaddr_un& address, socklen_t length, uid_t& user) {
  // Non-blocking: a queue of waiting connections that is full must not
  // hold the launch up.
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (probe < 0) {
    return false;
  }
  bool known = false;
  if (::connect(probe, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
    struct ucred peer;
    socklen_t size = sizeof peer;
    known = ::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
    user = peer.uid;
  }
  ::close(probe);
  return known;
}

// Binds and listens on the user's socket of that name. fd receives the
// socket while it is held.
SocketGuard socketGuard(const char* name, int& fd) {
  sockaddr_un address;
  socklen_t length = 0;
  if (!socketAddress(guardSocketName(name), address, length)) {
    return SocketGuard::Unavailable;
  }
  // Two attempts: a holder may be between its bind and its listen.
  for (int attempt = 0; attempt < 2; ++attempt) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      return SocketGuard::Unavailable;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        ::listen(fd, SOMAXCONN) == 0) {
      return SocketGuard::Held;
    }
    int bindError = errno;
    ::close(fd);
    fd = -1;
    if (bindError != EADDRINUSE) {
      return SocketGuard::Unavailable;
    }
    uid_t user = 0;
    if (listenerUser(address, length, user)) {
      if (user == ::geteuid()) {
        return SocketGuard::Taken;
      }
      notePlatformRemark("the guard's socket is held by user " + std::to_string(user) +
                         ": a lock file guards instead");
      return SocketGuard::Unavailable;
    }
    sleepMilliseconds(10);
  }
  notePlatformRemark("the guard's socket is held but does not answer: a lock file guards instead");
  return SocketGuard::Unavailable;
}

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

std::string guardSocketName(const char* name) {
  return "veltrana-guard-" + std::to_string(::geteuid()) + "-" + name;
}

MutexHandle createMutex(const char* name, bool /*initialOwner*/) {
  // The lock is owned by the open file, not by a thread, so there is no
  // separate initial owner: whoever holds the handle holds the name.
  if (name == nullptr) {
    return new LockFileMutex{-1};
  }
  int fd = -1;
  switch (socketGuard(name, fd)) {
    case SocketGuard::Held:
      setLastError(kErrorSuccess);
      return new LockFileMutex{fd};
    case SocketGuard::Taken:
      // Like Windows, the caller still gets a handle.
      setLastError(kErrorAlreadyExists);
      return new LockFileMutex{-1};
    case SocketGuard::Unavailable:
      break;
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
    fd = lockIn(folder, fileName, taken);
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
