// Text without the blanks or the line end at its ends: the text files the
// POSIX layer reads (registry exports, a runtime's release file), the
// system's messages in the trace.
#pragma once

#include <string>

namespace platform {

// text without the characters of blanks (by default spaces and tabs) at
// either end.
inline std::string trimBlanks(const std::string& text, const char* blanks = " \t") {
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return std::string();
  }
  std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// text without the line feeds and carriage returns at its end.
inline std::string withoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

}  // namespace platform
