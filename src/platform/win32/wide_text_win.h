// UTF-16 text for the Win32 layer's own files (platform_win.cpp and the
// trace's outlet): the wide calls take it, the launch logic hands over
// bytes in the ANSI code page.
#pragma once

#include <string>

namespace platform {

// The text as the wide calls take it.
const wchar_t* wide(const std::u16string& text);

// The ANSI text in UTF-16; false when it cannot be converted. strict
// refuses bytes that are no character of the code page instead of putting
// the default character in their place.
bool fromAnsi(const char* text, std::u16string& wideText, bool strict = false);

// Reads an environment variable in UTF-16, so that no character is lost
// before the launcher decides how the value is carried. False when unset.
bool readWideVariable(const char* name, std::u16string& value);

}  // namespace platform
