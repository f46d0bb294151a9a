// An argument's way to the VM: POSIX argv bytes decoded from UTF-8 to the
// UTF-16 the launch works with, then encoded as the modified UTF-8 that
// NewStringUTF reads. A decoder written here, independently, turns the
// modified UTF-8 back into exactly the UTF-16 units it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rules/utf8_text.h"
#include "vm/modified_utf8.h"

namespace {

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Modified UTF-8 as the VM reads it: every UTF-16 unit in one to three
// bytes, U+0000 only as C0 80, no byte zero, no four-byte forms and no
// overlong forms besides C0 80. False for anything else.
bool decodeModifiedUtf8(const std::string& bytes, std::u16string& units) {
  units.clear();
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 == 0) {
      return false;
    }
    if (b0 < 0x80) {
      units += static_cast<char16_t>(b0);
      i += 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      if (i + 1 >= bytes.size() || !continuation(static_cast<unsigned char>(bytes[i + 1]))) {
        return false;
      }
      unsigned value = ((b0 & 0x1Fu) << 6) | (static_cast<unsigned char>(bytes[i + 1]) & 0x3Fu);
      if (value != 0 && value < 0x80) {
        return false;
      }
      units += static_cast<char16_t>(value);
      i += 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      if (i + 2 >= bytes.size() || !continuation(static_cast<unsigned char>(bytes[i + 1])) ||
          !continuation(static_cast<unsigned char>(bytes[i + 2]))) {
        return false;
      }
      unsigned value = ((b0 & 0x0Fu) << 12) |
                       ((static_cast<unsigned char>(bytes[i + 1]) & 0x3Fu) << 6) |
                       (static_cast<unsigned char>(bytes[i + 2]) & 0x3Fu);
      if (value < 0x800) {
        return false;
      }
      units += static_cast<char16_t>(value);
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Standard UTF-8 of well-formed UTF-16; false at a lone surrogate.
bool encodeUtf8(const std::u16string& units, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < units.size(); ++i) {
    unsigned long c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;
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
  return true;
}

void checkRoundTrip(const std::u16string& units) {
  std::u16string back;
  check(decodeModifiedUtf8(toModifiedUtf8(units), back));
  check(back == units);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);

  // 1. The bytes as a POSIX argument. Decoding always gives well-formed
  // UTF-16, and text that was valid UTF-8 comes out as the same text.
  std::u16string decoded = utf8_text::decodeUtf8(bytes);
  std::string reencoded;
  check(encodeUtf8(decoded, reencoded));
  if (reencoded.find("\xEF\xBF\xBD") == std::string::npos) {
    check(reencoded == bytes);
  }
  checkRoundTrip(decoded);

  // 2. The bytes as UTF-16 units, as a Windows command line may hold any,
  // lone surrogates and U+0000 included.
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  checkRoundTrip(units);
  return 0;
}
