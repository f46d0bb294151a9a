// The registry on Linux: a file in the Windows registry export format,
// named by VELTRANA_REGISTRY and read once, on first use. When the file does
// not define the Java vendor's key, the key is answered from the machine's
// own Java runtime, so the launcher runs on a machine with only a JDK.
#include <cstdlib>
#include <string>

#include "platform/common/expanded_text.h"
#include "platform/common/registry_answer.h"
#include "platform/platform.h"
#include "platform/posix/machine_java_posix.h"
#include "platform/posix/platform_posix.h"
#include "platform/posix/registry/registry_export_parser.h"
#include "platform/posix/registry/registry_tree.h"
#include "platform/trace_outlet.h"
#include "rules/outside_path.h"
#include "rules/registry_keys.h"
#include "rules/utf8_text.h"

namespace platform {

namespace {

// Far above any real export of the few keys the launcher reads.
constexpr std::size_t kRegistryFileLimit = 16 * 1024 * 1024;

registry::Tree registryKeys;
bool registryLoaded = false;
std::string registryLoadProblem;  // why the file could not be used, or empty

void setText(registry::Key& key, const char* name, const std::string& text) {
  // Text values are stored with their terminator, as the registry returns them.
  registry::setValue(key, name, kRegSz, text + '\0');
}

void addMachineJavaRuntime() {
  std::string home;
  std::string version;
  std::string library;
  if (!findMachineJavaRuntime(home, version, library)) {
    return;
  }
  registry::Key* versionKey =
      registry::addKey(registryKeys, std::string(registry_keys::kJavaVendor) + "\\" + version);
  if (versionKey == nullptr) {
    return;  // a version text that cannot name a key
  }
  setText(*versionKey, "JavaHome", home);
  setText(*versionKey, "RuntimeLib", library);
  setText(*registry::findKey(registryKeys, registry_keys::kJavaVendor), "CurrentVersion", version);
}

void loadRegistry() {
  if (registryLoaded) {
    return;
  }
  registryLoaded = true;
  registryLoadProblem.clear();
  registry::clearTree(registryKeys);

  const char* file = std::getenv("VELTRANA_REGISTRY");
  if (file != nullptr && file[0] != '\0') {
    std::string contents;
    if (!readRegularFile(file, kRegistryFileLimit, contents)) {
      registryLoadProblem = std::string("Can't read registry file ") + file;
      return;
    }
    int badLine = registry::parseRegistryExport(contents, registryKeys);
    if (badLine != 0) {
      registry::clearTree(registryKeys);
      registryLoadProblem =
          std::string("Malformed registry file ") + file + ", line " + std::to_string(badLine);
      return;
    }
  }
  if (registry::findKey(registryKeys, registry_keys::kJavaVendor) == nullptr) {
    addMachineJavaRuntime();
  } else {
    notePlatformRemark(std::string("the Java vendor's key comes from the registry file ") + file);
  }
}

bool lookUpVariable(const std::u16string& name, std::u16string& value) {
  const char* found = std::getenv(utf8_text::encodeUtf8(name).c_str());
  if (found == nullptr) {
    return false;
  }
  value = utf8_text::decodeUtf8(found);
  return true;
}

// Expandable text with its variables expanded from the environment, as
// Windows expands it before use; stored with its terminator like any text.
std::string expandedText(const std::string& stored) {
  std::string text = stored.substr(0, stored.find('\0'));
  if (!outside_path::isUtf8(text)) {
    return text + '\0';  // no text to expand in: as it is
  }
  return utf8_text::encodeUtf8(expandVariables(utf8_text::decodeUtf8(text), lookUpVariable)) + '\0';
}

}  // namespace

void forgetRegistry() {
  registry::clearTree(registryKeys);
  registryLoadProblem.clear();
  registryLoaded = false;
}

std::string registryProblem() {
  loadRegistry();
  return registryLoadProblem;
}

long regOpenKey(const char* subKey, RegKey* key) {
  loadRegistry();
  if (key == nullptr) {
    return static_cast<long>(kErrorInvalidParameter);
  }
  registry::Key* found = subKey != nullptr ? registry::findKey(registryKeys, subKey) : nullptr;
  if (found == nullptr) {
    return static_cast<long>(kErrorFileNotFound);
  }
  *key = found;
  return 0;
}

long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  if (key == nullptr) {
    return static_cast<long>(kErrorInvalidHandle);
  }
  const registry::Value* value =
      registry::findValue(*static_cast<const registry::Key*>(key), name != nullptr ? name : "");
  if (value == nullptr) {
    return static_cast<long>(kErrorFileNotFound);
  }
  bool expandable = value->type == kRegExpandSz;
  if (type != nullptr) {
    *type = expandable ? kRegSz : value->type;
  }
  if (data != nullptr && size == nullptr) {
    return static_cast<long>(kErrorInvalidParameter);
  }
  return answerValueQuery(expandable ? expandedText(value->bytes) : value->bytes, data,
                          size != nullptr ? *size : 0, size);
}

}  // namespace platform
