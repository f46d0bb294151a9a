// Reading a registry text value into a fixed buffer, as runtime discovery
// and the QuickTime folder lookup both do.
#pragma once

#include "platform/platform.h"

// Reads one registry text value into buffer (capacity bytes, terminator
// included) in two queries, size then bytes. A value that is missing, not
// text, or too large for the buffer leaves the buffer as it was and returns
// false.
bool readRegistryText(platform::RegKey key, const char* name, char* buffer, unsigned long capacity);
