#include "platform/windows/ansi_path.h"

#include <cctype>

#include "platform/trace_outlet.h"
#include "platform/windows/wide_text.h"
#include "rules/utf8_text.h"

namespace platform {

bool ansiPath(const std::u16string& path, std::string& bytes) {
  if (toAnsi(path, bytes)) {
    return true;
  }
  std::u16string shortForm;
  if (!path.empty() && shortPath(path, shortForm) && !shortForm.empty() &&
      toAnsi(shortForm, bytes)) {
    return true;
  }
  notePlatformRemark("\"" + utf8_text::encodeUtf8(path) +
                     "\" has no form in the ANSI code page, not even a short one: left out");
  return false;
}

bool ansiModulePath(const std::u16string& path, std::string& bytes) {
  if (!ansiPath(path, bytes)) {
    return false;
  }
  if (bytes.find(';') == std::string::npos) {
    return true;
  }
  std::u16string shortForm;
  if (shortPath(path, shortForm) && toAnsi(shortForm, bytes) &&
      bytes.find(';') == std::string::npos) {
    return true;
  }
  notePlatformRemark("\"" + utf8_text::encodeUtf8(path) +
                     "\" holds the path-list separator and has no short form without it");
  bytes.clear();
  return false;
}

std::string ansiPathList(const std::u16string& list, char16_t separator) {
  std::string bytes;
  if (toAnsi(list, bytes)) {
    return bytes;  // the common case: exactly today's bytes
  }
  std::string result;
  bool first = true;
  std::size_t start = 0;
  for (;;) {
    // A quoted entry may hold the separator; it names the folder between
    // its quotes, and only that folder has a short form.
    std::u16string entry;
    std::size_t end = start;
    for (bool quoted = false; end < list.size() && (quoted || list[end] != separator); ++end) {
      if (list[end] == u'"') {
        quoted = !quoted;
      } else {
        entry += list[end];
      }
    }
    std::string entryBytes;
    if (ansiPath(entry, entryBytes)) {
      if (!first) {
        result += static_cast<char>(separator);
      }
      result += entryBytes;
      first = false;
    }
    if (end >= list.size()) {
      return result;
    }
    start = end + 1;
  }
}

bool ansiVariable(const char* name, const std::u16string& value, std::string& bytes) {
  std::string upper;
  for (const char* c = name; *c != '\0'; ++c) {
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  if (upper == "PATH") {
    bytes = ansiPathList(value, u';');
    return true;
  }
  return ansiPath(value, bytes);
}

}  // namespace platform
