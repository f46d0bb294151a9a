// Text without the blanks at its ends, for the text files the POSIX layer
// reads (registry exports, a runtime's release file).
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

}  // namespace platform
