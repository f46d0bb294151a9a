// Who may change a place the launcher loads code from or writes into. An
// entry is kept from others when it belongs to the user (or to root, who
// can change anything anyway) and neither its group nor anyone else may
// write to it; a path is trusted when every entry on the way to it is.
// Everything the layer decides about trust is decided here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"
#include "platform/trace_outlet.h"

namespace platform {

namespace {

// Links followed on one walk before it counts as a loop, as the kernel's
// own limit.
constexpr int kLinkLimit = 40;

// Why entry cannot be trusted, or empty when it can. stickyAllowed: a
// folder others may write to is acceptable when it is sticky (like /tmp),
// since no one can then move or replace an entry that is not theirs.
std::string distrust(const std::string& entry, const struct stat& status, bool stickyAllowed) {
  if (status.st_uid != ::geteuid() && status.st_uid != 0) {
    return entry + " belongs to user " + std::to_string(status.st_uid);
  }
  if (S_ISLNK(status.st_mode) || keptFromOthers(status, status.st_uid)) {
    return std::string();  // a link's own mode means nothing
  }
  if (stickyAllowed && S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0) {
    return std::string();
  }
  return entry + " may be written by others";
}

// Walks the parts of relative from reached (a real path, "" for the root),
// following links, until it has reached their end. Every entry is judged;
// the last one strictly, the folders before it as stickyAbove allows.
bool walk(std::string& reached, const std::string& relative, bool stickyAbove, int& links) {
  std::deque<std::string> parts;
  auto split = [&parts](const std::string& text, bool front) {
    std::deque<std::string> found;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('/', start);
      if (end == std::string::npos) {
        end = text.size();
      }
      if (end > start) {
        found.push_back(text.substr(start, end - start));
      }
      start = end + 1;
    }
    parts.insert(front ? parts.begin() : parts.end(), found.begin(), found.end());
  };
  split(relative, false);
  while (!parts.empty()) {
    std::string name = parts.front();
    parts.pop_front();
    if (name == ".") {
      continue;
    }
    if (name == "..") {
      std::size_t slash = reached.rfind('/');
      reached = slash == std::string::npos ? std::string() : reached.substr(0, slash);
      continue;
    }
    std::string next = reached + "/" + name;
    struct stat status;
    if (::lstat(next.c_str(), &status) != 0) {
      setErrnoAsLastError();
      notePlatformRemark("not trusted: " + next + " cannot be read");
      return false;
    }
    std::string why = distrust(next, status, stickyAbove && !parts.empty());
    if (why.empty() && S_ISLNK(status.st_mode) && ++links > kLinkLimit) {
      why = next + " leads through too many links";
    }
    if (!why.empty()) {
      setLastError(EACCES);
      notePlatformRemark("not trusted: " + why);
      return false;
    }
    if (!S_ISLNK(status.st_mode)) {
      reached = next;
      continue;
    }
    std::string target(static_cast<std::size_t>(status.st_size) + 1, '\0');
    ssize_t length = ::readlink(next.c_str(), &target[0], target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
      setErrnoAsLastError();
      notePlatformRemark("not trusted: " + next + " cannot be read");
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    if (target[0] == '/') {
      reached.clear();
    }
    split(target, true);
  }
  return true;
}

}  // namespace

bool keptFromOthers(const struct stat& status, uid_t owner) {
  return status.st_uid == owner && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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
  if (!keptFromOthers(status, owner)) {
    setLastError(EACCES);
    return false;
  }
  return true;
}

bool trustedPlace(const char* top, const char* path) {
  std::string whole = path;
  std::size_t topLength = std::char_traits<char>::length(top);
  if (whole.compare(0, topLength, top) != 0 || whole.empty() || whole[0] != '/') {
    notePlatformRemark(std::string("not trusted: ") + path + " is not an absolute path below " +
                       top);
    return false;
  }
  struct stat root;
  if (::lstat("/", &root) != 0 || !distrust("/", root, true).empty()) {
    notePlatformRemark("not trusted: / may be written by others");
    return false;
  }
  std::string reached;
  int links = 0;
  return walk(reached, whole.substr(0, topLength), true, links) &&
         walk(reached, whole.substr(topLength), false, links);
}

}  // namespace platform
