// Looking for a separator in text in the ANSI code page.
//
// In the double-byte code pages (Japanese 932, Chinese 936 and 950, Korean
// 949) a character's second byte may be the byte of '\': in 932 "ソ" is
// 83 5C. A byte-by-byte search would take that second byte for a separator
// and cut the character in half. These routines walk the text from its
// start, where a lead byte carries the byte after it along, so a separator
// is found only where a character starts; a second byte cannot be told from
// a first one without the bytes before it. Which bytes lead is the code
// page's to say (platform::isLeadByte). In a single-byte code page no byte
// leads, and every routine answers exactly as a plain byte search would.
#pragma once

#include <cstddef>
#include <string>

namespace ansi_text {

using LeadByteTest = bool (*)(unsigned char byte);

// The number of bytes of the character at text[at]: 2 for a lead byte with
// a byte after it, else 1.
std::size_t characterLength(const std::string& text, std::size_t at, LeadByteTest isLeadByte);

// Where the last separator character stands; npos when there is none.
std::size_t lastSeparator(const std::string& text, char separator, LeadByteTest isLeadByte);

// The text before the last separator character, in before; false, with
// before as it was, when the text holds none.
bool beforeLastSeparator(const std::string& text, char separator, LeadByteTest isLeadByte,
                         std::string& before);

// Whether the text's last character is the separator.
bool endsWithSeparator(const std::string& text, char separator, LeadByteTest isLeadByte);

// Removes the separator characters at the text's end, but never shortens
// it below keep bytes.
void trimTrailingSeparators(std::string& text, char separator, std::size_t keep,
                            LeadByteTest isLeadByte);

}  // namespace ansi_text
