// UTF-16 text as the wide Win32 calls take it, for the Win32 room's own
// files (the raw calls and the trace's outlet); the conversions from and to
// the ANSI code page are the Windows layer's (platform/windows/wide_text.h).
#pragma once

#include <string>

#include "platform/windows/wide_text.h"

namespace platform {

inline const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

}  // namespace platform
