// Folders that only the user can write to, for the launcher's own files: the
// policy file (TEMP on Windows) and the single-instance lock. A folder in a
// shared place is used only when it is ours alone: otherwise another user
// could plant or redirect our files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/platform_posix.h"

namespace platform {

namespace {

// folder, created (mode 0700) when missing, when it is ours alone and we may
// create files in it.
bool usable(const std::string& folder, bool create) {
  if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    setErrnoAsLastError();
    return false;
  }
  if (!isPrivateFolder(folder.c_str(), ::geteuid())) {
    return false;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    setErrnoAsLastError();
    return false;
  }
  return true;
}

}  // namespace

bool privateFolder(PrivatePlace place, std::string& folder) {
  switch (place) {
    case PrivatePlace::kTemp:
      // "${TMPDIR:-/tmp}/veltrana-<uid>".
      folder = pathVariable("TMPDIR");
      if (folder.empty()) {
        folder = "/tmp";
      }
      while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
      }
      folder += "/veltrana-" + std::to_string(::geteuid());
      return usable(folder, true);
    case PrivatePlace::kRuntime:
      folder = pathVariable("XDG_RUNTIME_DIR");
      return !folder.empty() && usable(folder, false);
    case PrivatePlace::kHome:
      folder = pathVariable("HOME");
      if (folder.empty()) {
        return false;
      }
      while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
      }
      folder += folder == "/" ? ".veltrana" : "/.veltrana";
      return usable(folder, true);
  }
  return false;
}

namespace {

// The private places in the order the launcher's files try them.
const PrivatePlace kTempOrder[] = {PrivatePlace::kTemp, PrivatePlace::kRuntime,
                                   PrivatePlace::kHome};

// Copies folder out with getEnvironmentVariable's contract.
unsigned long copyOut(const std::string& folder, char* buffer, unsigned long size) {
  if (folder.size() + 1 > size) {
    return static_cast<unsigned long>(folder.size() + 1);
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return static_cast<unsigned long>(folder.size());
}

}  // namespace

unsigned long getTempFolder(char* buffer, unsigned long size) {
  // The shared temporary folder first, as TEMP is on Windows; when ours
  // there is taken by someone else, unusable or too long, a folder that
  // only the user can write to.
  unsigned long needed = 0;
  for (PrivatePlace place : kTempOrder) {
    std::string folder;
    if (!privateFolder(place, folder)) {
      continue;
    }
    unsigned long length = copyOut(folder, buffer, size);
    if (length < size) {
      return length;
    }
    if (needed == 0) {
      needed = length;
    }
  }
  return needed;
}

unsigned long getSystemTempFolder(char* /*buffer*/, unsigned long /*size*/) {
  // The further private folders stand in for the system's choice.
  setLastError(kErrorEnvironmentVariableNotFound);
  return 0;
}

unsigned long getFurtherTempFolder(unsigned long index, char* buffer, unsigned long size) {
  // The usable places after the first: a full file system or something
  // in the file's place in one of them leaves the others to try. The
  // caller passes over one it has tried already.
  unsigned long usable = 0;
  for (PrivatePlace place : kTempOrder) {
    std::string folder;
    if (privateFolder(place, folder) && usable++ == index + 1) {
      return copyOut(folder, buffer, size);
    }
  }
  setLastError(kErrorEnvironmentVariableNotFound);
  return 0;
}

}  // namespace platform
