// Expandable registry text (REG_EXPAND_SZ) as ExpandEnvironmentStrings
// expands it, for the platforms that stand in for Windows: "%NAME%" becomes
// the variable's value; a variable that is not set, and a "%" without a
// closing one, stay as they are written.
#pragma once

#include <string>

namespace platform {

// lookup gives a variable's value, or false when it is not set.
std::u16string expandVariables(const std::u16string& text,
                               bool (*lookup)(const std::u16string& name, std::u16string& value));

}  // namespace platform
