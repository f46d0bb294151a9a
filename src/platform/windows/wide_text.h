// UTF-16 text and the ANSI code page, over the raw calls: the conversions
// every part of the Windows layer (and the trace's outlet) uses.
#pragma once

#include <string>

namespace platform {

// The ANSI text in UTF-16; false when it cannot be converted. strict
// refuses bytes that are no character of the code page instead of putting
// the default character in their place.
bool fromAnsi(const char* text, std::u16string& wideText, bool strict = false);

// The ANSI code page's bytes for text, refusing a conversion that would put
// a default character or a best-fit look-alike in place of one it lacks.
bool toAnsi(const std::u16string& text, std::string& bytes);

// The short (8.3) form of an existing path; false when there is none.
bool shortPath(const std::u16string& path, std::u16string& shortForm);

// Reads an environment variable in UTF-16, so that no character is lost
// before the launcher decides how the value is carried. False when unset.
bool readWideVariable(const char* name, std::u16string& value);

// Hands text over as GetEnvironmentVariable does: copied with its terminator
// when it fits in size bytes (returning its length), else the size needed.
unsigned long copyOut(const std::string& text, char* buffer, unsigned long size);

}  // namespace platform
