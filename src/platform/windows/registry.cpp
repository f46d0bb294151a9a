// The registry on Windows: values are read as RegQueryValueEx gives them,
// except expandable text (REG_EXPAND_SZ), which is expanded before use, as
// RegGetValue does, and then handed over as plain text (REG_SZ).
#include <vector>

#include "platform/common/registry_answer.h"
#include "platform/platform.h"
#include "platform/windows/ansi_path.h"
#include "platform/windows/raw_calls.h"
#include "platform/windows/wide_text.h"

namespace platform {

long regOpenKey(const char* subKey, RegKey* key) {
  RegKey opened = nullptr;
  long result = kRawCalls.regOpenKeyExA(subKey, &opened);
  *key = opened;
  return result;
}

namespace {

// An expandable text value with its variables expanded, as the launcher's
// bytes with their terminator. The text is read and expanded in UTF-16, so
// that no character is lost before the launcher decides how the result is
// carried. kErrorFileNotFound when it has no form.
long readExpandedValue(RegKey key, const char* name, std::string& bytes) {
  std::u16string wideName;
  if (!fromAnsi(name, wideName)) {
    return static_cast<long>(kErrorFileNotFound);
  }
  std::vector<char16_t> stored;
  for (;;) {
    unsigned long type = 0;
    unsigned long size = 0;
    long result = kRawCalls.regQueryValueExW(key, wideName.c_str(), &type, nullptr, &size);
    if (result != static_cast<long>(kErrorSuccess)) {
      return result;
    }
    stored.assign(size / sizeof(char16_t) + 1, u'\0');
    result = kRawCalls.regQueryValueExW(key, wideName.c_str(), &type,
                                        reinterpret_cast<unsigned char*>(stored.data()), &size);
    if (result == static_cast<long>(kErrorSuccess)) {
      break;
    }
    if (result != static_cast<long>(kErrorMoreData)) {
      return result;  // the value grew between the two calls: ask again
    }
  }
  // Stored text may lack its terminator; the buffer has one more.
  unsigned long needed = kRawCalls.expandEnvironmentStringsW(stored.data(), nullptr, 0);
  if (needed == 0) {
    return static_cast<long>(kErrorFileNotFound);
  }
  std::vector<char16_t> expanded(needed + 1, u'\0');
  unsigned long written =
      kRawCalls.expandEnvironmentStringsW(stored.data(), expanded.data(), needed + 1);
  if (written == 0 || written > needed + 1) {
    return static_cast<long>(kErrorFileNotFound);
  }
  if (!ansiPath(std::u16string(expanded.data()), bytes)) {
    return static_cast<long>(kErrorFileNotFound);
  }
  bytes += '\0';
  return static_cast<long>(kErrorSuccess);
}

}  // namespace

long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  // One read answers every value but an expandable one, which is read again.
  unsigned long capacity = size != nullptr ? *size : 0;
  unsigned long storedType = 0;
  long read = kRawCalls.regQueryValueExA(key, name, &storedType, data, size);
  bool typeKnown =
      read == static_cast<long>(kErrorSuccess) || read == static_cast<long>(kErrorMoreData);
  if (!typeKnown || storedType != kRegExpandSz) {
    if (typeKnown && type != nullptr) {
      *type = storedType;
    }
    return read;
  }
  if (data != nullptr && size == nullptr) {
    return static_cast<long>(kErrorInvalidParameter);
  }
  std::string bytes;
  long result = readExpandedValue(key, name, bytes);
  if (result != static_cast<long>(kErrorSuccess)) {
    return result;
  }
  if (type != nullptr) {
    *type = kRegSz;
  }
  return answerValueQuery(bytes, data, capacity, size);
}

}  // namespace platform
