#include "vm/modified_utf8.h"

std::string toModifiedUtf8(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 3);
  for (char16_t unit : text) {
    unsigned value = unit;
    if (value >= 0x01 && value <= 0x7F) {
      bytes += static_cast<char>(value);
    } else if (value <= 0x7FF) {  // U+0000 lands here too
      bytes += static_cast<char>(0xC0 | (value >> 6));
      bytes += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      bytes += static_cast<char>(0xE0 | (value >> 12));
      bytes += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return bytes;
}
