// Files and folders on Windows, through the C runtime's ANSI calls. A file
// counts as written only when its last bytes reached the disk.
#include <cstdio>

#include "platform/platform.h"
#include "platform/windows/raw_calls.h"
#include "platform/windows/wide_text.h"
#include "rules/text_bytes.h"

namespace platform {

int statPath(const char* path, bool* isDirectory) {
  unsigned mode = 0;
  int result = kRawCalls.stat(path, &mode);
  if (isDirectory != nullptr) {
    *isDirectory = result == 0 && (mode & kModeDirectory) != 0;
  }
  return result;
}

EntryType pathType(const char* path) {
  unsigned mode = 0;
  if (kRawCalls.stat(path, &mode) != 0) {
    return EntryType::Unknown;
  }
  if ((mode & kModeDirectory) != 0) {
    return EntryType::Folder;
  }
  return (mode & kModeRegular) != 0 ? EntryType::File : EntryType::Other;
}

int unlinkFile(const char* path) { return kRawCalls.unlink(path); }

int removeFile(const char* path) { return kRawCalls.remove(path); }

int makeDirectory(const char* path) { return kRawCalls.mkdir(path); }

FileHandle openFile(const char* path, const char* mode) { return kRawCalls.fopen(path, mode); }

FileHandle createPrivateFile(const char* path) { return kRawCalls.fopen(path, "wb"); }

FileHandle appendPrivateFile(const char* path) { return kRawCalls.fopen(path, "a+"); }

// Windows keeps today's rule for a private runtime: its folder is neither
// empty nor relative (checked by the stage); owners are not asked.
bool trustedPlace(const char*, const char*) { return true; }

bool writeFile(FileHandle file, const char* data, std::size_t length) {
  return kRawCalls.fwrite(data, 1, length, file) == length;
}

bool closeFile(FileHandle file) {
  // The flush is asked for on its own: some C runtimes (Wine's among them)
  // report success from fclose even when its final flush failed, which
  // would claim a file a full disk left empty.
  bool flushed = kRawCalls.fflush(file) == 0;
  bool closed = kRawCalls.fclose(file) == 0;
  return flushed && closed;
}

bool shortPathName(const char* path, std::string& shortBytes) {
  std::u16string widePath;
  std::u16string shortForm;
  return fromAnsi(path, widePath, true) && shortPath(widePath, shortForm) &&
         toAnsi(shortForm, shortBytes);
}

std::string folderIdentity(const char* path) {
  unsigned long volume = 0;
  unsigned long high = 0;
  unsigned long low = 0;
  if (!kRawCalls.fileIdentity(path, &volume, &high, &low)) {
    return std::string();
  }
  // Written by hand: the C library's formatter would bring a printf engine
  // into the executable for this one line.
  std::string text;
  for (unsigned long part : {volume, high, low}) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      text_bytes::appendHex(text, static_cast<char>((part >> shift) & 0xFF));
    }
    if (text.size() == 8) {
      text += ':';
    }
  }
  return text;
}

}  // namespace platform
