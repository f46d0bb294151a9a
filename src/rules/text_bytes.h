// Single bytes of text that outside text may hold but a line must not: the
// control characters, and the two hex digits that stand for a byte where
// it cannot stand as itself (a file URL's %XX, the trace's \xNN).
#pragma once

#include <string>

namespace text_bytes {

// A control character, 0x01-0x1F or 0x7F: a line end in a path would cut
// a line of the policy file or the trace in two.
inline bool isControlCharacter(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return (byte >= 0x01 && byte <= 0x1F) || byte == 0x7F;
}

// Appends the byte's value as two upper-case hex digits.
inline void appendHex(std::string& text, char c) {
  static const char kHex[] = "0123456789ABCDEF";
  unsigned char byte = static_cast<unsigned char>(c);
  text += kHex[byte >> 4];
  text += kHex[byte & 0x0F];
}

}  // namespace text_bytes
