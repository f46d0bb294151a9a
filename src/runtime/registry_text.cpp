#include "runtime/registry_text.h"

#include <cstring>
#include <vector>

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"

namespace {

bool isText(unsigned long type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz;
}

}  // namespace

bool readRegistryText(platform::RegKey key, const char* name, char* buffer,
                      unsigned long capacity) {
  unsigned long type = 0;
  unsigned long size = 0;
  if (observed::regQueryValueSize(key, name, &type, &size, isText) != 0 || !isText(type)) {
    return false;
  }
  // Refuse a value that could not fit with its terminator, rather than cut
  // a path into one that names something else.
  if (size > capacity) {
    launchObserver().registryValueTooLarge(key, name, capacity);
    return false;
  }
  std::vector<char> bytes(size + 1, '\0');
  unsigned long received = size;
  if (observed::regQueryValue(key, name, &type, reinterpret_cast<unsigned char*>(bytes.data()),
                              &received) != 0 ||
      received > size) {
    return false;
  }
  // Text stored without its terminator gets one, when there is room.
  std::size_t length = strnlen(bytes.data(), received);
  if (length + 1 > capacity) {
    launchObserver().registryValueTooLarge(key, name, capacity);
    return false;
  }
  std::memcpy(buffer, bytes.data(), length);
  buffer[length] = '\0';
  return true;
}
