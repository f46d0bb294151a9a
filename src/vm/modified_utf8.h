// Conversion of UTF-16 text to the modified UTF-8 that JNI's NewStringUTF
// reads, so every argument reaches Java exactly as typed.
#pragma once

#include <string>

// Each UTF-16 code unit is encoded on its own: U+0000 as C0 80, and the two
// halves of a surrogate pair as three bytes each, as the VM expects.
std::string toModifiedUtf8(const std::u16string& text);
