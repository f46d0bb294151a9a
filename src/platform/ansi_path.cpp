#include "platform/ansi_path.h"

#include <cctype>

#include "platform/trace_output.h"

namespace platform {

namespace {

// The text in UTF-8, for the trace: a lone surrogate shows as U+FFFD.
std::string shownAsUtf8(const std::u16string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c < 0x800) {
      bytes += static_cast<char>(0xC0 | (c >> 6));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += static_cast<char>(0xE0 | (c >> 12));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (c >> 18));
      bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

}  // namespace

bool ansiPath(const std::u16string& path, const WideTextServices& services, std::string& bytes) {
  if (services.toAnsi(path, bytes)) {
    return true;
  }
  std::u16string shortForm;
  if (!path.empty() && services.shortPath(path, shortForm) && !shortForm.empty() &&
      services.toAnsi(shortForm, bytes)) {
    return true;
  }
  notePlatformRemark("\"" + shownAsUtf8(path) +
                     "\" has no form in the ANSI code page, not even a short one: left out");
  return false;
}

std::string ansiPathList(const std::u16string& list, char16_t separator,
                         const WideTextServices& services) {
  std::string bytes;
  if (services.toAnsi(list, bytes)) {
    return bytes;  // the common case: exactly today's bytes
  }
  std::string result;
  bool first = true;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = list.find(separator, start);
    std::u16string entry = list.substr(start, end == std::u16string::npos ? end : end - start);
    std::string entryBytes;
    if (ansiPath(entry, services, entryBytes)) {
      if (!first) {
        result += static_cast<char>(separator);
      }
      result += entryBytes;
      first = false;
    }
    if (end == std::u16string::npos) {
      return result;
    }
    start = end + 1;
  }
}

bool ansiVariable(const char* name, const std::u16string& value, const WideTextServices& services,
                  std::string& bytes) {
  std::string upper;
  for (const char* c = name; *c != '\0'; ++c) {
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  if (upper == "PATH") {
    bytes = ansiPathList(value, u';', services);
    return true;
  }
  return ansiPath(value, services, bytes);
}

}  // namespace platform
