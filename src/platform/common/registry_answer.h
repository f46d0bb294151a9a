// How a registry value is handed over, for the layers that answer with
// bytes of their own (the registry file on POSIX, expanded text on Windows):
// RegQueryValueEx's two calls, the size first, then the bytes.
#pragma once

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

// With data null, stores the size in *size (when not null). Otherwise
// copies bytes when capacity holds them, else stores the size needed and
// gives kErrorMoreData. The caller has refused data without size.
inline long answerValueQuery(const std::string& bytes, unsigned char* data, unsigned long capacity,
                             unsigned long* size) {
  unsigned long needed = static_cast<unsigned long>(bytes.size());
  if (size != nullptr) {
    *size = needed;
  }
  if (data == nullptr) {
    return static_cast<long>(kErrorSuccess);
  }
  if (capacity < needed) {
    return static_cast<long>(kErrorMoreData);
  }
  std::memcpy(data, bytes.data(), needed);
  return static_cast<long>(kErrorSuccess);
}

}  // namespace platform
