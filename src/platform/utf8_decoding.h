// The text of a POSIX argument (UTF-8 bytes) as the UTF-16 that Windows
// hands a program for its command line.
#pragma once

#include <string>

namespace platform {

// Strict UTF-8: overlong forms, surrogates and values above U+10FFFF are
// invalid. Each invalid byte, or each incomplete sequence, becomes one
// U+FFFD and decoding goes on at the next byte that does not belong to it.
std::u16string decodeUtf8(const std::string& text);

}  // namespace platform
