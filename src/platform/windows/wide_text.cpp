#include "platform/windows/wide_text.h"

#include <cstring>
#include <vector>

#include "platform/windows/raw_calls.h"

namespace platform {

bool fromAnsi(const char* text, std::u16string& wideText, bool strict) {
  unsigned long flags = strict ? kMultiByteInvalidCharacters : 0;
  int size = kRawCalls.multiByteToWideChar(flags, text, -1, nullptr, 0);
  if (size <= 0) {
    return false;
  }
  std::vector<char16_t> buffer(static_cast<std::size_t>(size), u'\0');
  if (kRawCalls.multiByteToWideChar(flags, text, -1, buffer.data(), size) != size) {
    return false;
  }
  wideText.assign(buffer.data(), static_cast<std::size_t>(size) - 1);
  return true;
}

bool toAnsi(const std::u16string& text, std::string& bytes) {
  bytes.clear();
  if (text.empty()) {
    return true;
  }
  int length = static_cast<int>(text.size());
  // A UTF-8 code page carries every character and takes neither the flag
  // nor the report of a default character; it refuses unpaired surrogates.
  bool utf8 = kRawCalls.getACP() == kCodePageUtf8;
  unsigned long flags = utf8 ? kWideInvalidCharacters : kWideNoBestFit;
  int lossy = 0;
  // A listed name or a folder's path fits on the stack: one call, no
  // allocation, for each of the scan's many names.
  char shortText[1024];
  int written = kRawCalls.wideCharToMultiByte(flags, text.data(), length, shortText,
                                              sizeof shortText, utf8 ? nullptr : &lossy);
  if (written > 0) {
    if (lossy) {
      return false;
    }
    bytes.assign(shortText, static_cast<std::size_t>(written));
    return true;
  }
  if (kRawCalls.getLastError() != kErrorInsufficientBuffer) {
    return false;
  }
  lossy = 0;
  int needed = kRawCalls.wideCharToMultiByte(flags, text.data(), length, nullptr, 0,
                                             utf8 ? nullptr : &lossy);
  if (needed <= 0 || lossy) {
    return false;
  }
  std::vector<char> buffer(needed);
  if (kRawCalls.wideCharToMultiByte(flags, text.data(), length, buffer.data(), needed,
                                    utf8 ? nullptr : &lossy) != needed ||
      lossy) {
    return false;
  }
  bytes.assign(buffer.data(), needed);
  return true;
}

bool shortPath(const std::u16string& path, std::u16string& shortForm) {
  unsigned long needed = kRawCalls.getShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) {
    return false;
  }
  std::vector<char16_t> buffer(needed + 1, u'\0');
  unsigned long length = kRawCalls.getShortPathNameW(path.c_str(), buffer.data(), needed + 1);
  if (length == 0 || length > needed) {
    return false;
  }
  shortForm.assign(buffer.data(), length);
  return true;
}

bool readWideVariable(const char* name, std::u16string& value) {
  std::u16string wideName(name, name + std::strlen(name));  // the names are ASCII
  for (;;) {
    kRawCalls.setLastError(kErrorSuccess);
    unsigned long needed = kRawCalls.getEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed == 0) {
      value.clear();
      return kRawCalls.getLastError() != kErrorEnvironmentVariableNotFound;
    }
    std::vector<char16_t> buffer(needed, u'\0');
    unsigned long length =
        kRawCalls.getEnvironmentVariableW(wideName.c_str(), buffer.data(), needed);
    if (length < needed) {
      value.assign(buffer.data(), length);
      return true;
    }
    // The value grew between the two calls: ask again.
  }
}

unsigned long copyOut(const std::string& text, char* buffer, unsigned long size) {
  if (text.size() + 1 > size) {
    return static_cast<unsigned long>(text.size() + 1);
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<unsigned long>(text.size());
}

}  // namespace platform
