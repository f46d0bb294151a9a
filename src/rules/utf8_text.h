// UTF-8 and UTF-16, both ways: a POSIX argument (UTF-8 bytes) becomes the
// UTF-16 that Windows hands a program for its command line, and UTF-16 text
// (a regedit export, a Windows name) becomes UTF-8 for the POSIX layer and
// the launch trace.
#pragma once

#include <string>

namespace utf8_text {

// Strict UTF-8: overlong forms, surrogates and values above U+10FFFF are
// invalid. Each invalid byte, or each incomplete sequence, becomes one
// U+FFFD and decoding goes on at the next byte that does not belong to it.
std::u16string decodeUtf8(const std::string& text);

// True when decoding would find nothing invalid, so that encoding the
// result gives back the same bytes; checked in place, without decoding.
bool isValidUtf8(const std::string& text);

// A lone surrogate becomes U+FFFD; a pair becomes its one character.
std::string encodeUtf8(const std::u16string& text);

}  // namespace utf8_text
