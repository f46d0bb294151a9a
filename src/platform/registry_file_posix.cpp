// The registry on Linux: a text file in the Windows registry export format,
// named by VELTRANA_REGISTRY and read once, on first use. When the file does
// not define the Java vendor's key, the key is answered from the machine's
// own Java runtime, so the launcher runs on a machine with only a JDK.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "diag/session_log.h"
#include "platform/platform.h"
#include "platform/platform_posix.h"

namespace platform {

namespace {

std::string lowerAscii(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

bool readWholeFile(const std::string& path, std::string& contents) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return false;
  }
  contents.clear();
  char chunk[4096];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    contents.append(chunk, count);
  }
  bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string trimBlanks(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return std::string();
  }
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

struct RegistryValue {
  unsigned long type;
  std::string bytes;
};

struct RegistryKeyData {
  std::map<std::string, RegistryValue> values;  // by lower-case name
};

// Keys by their lower-case path below HKEY_LOCAL_MACHINE, components joined
// with a backslash; "" is HKEY_LOCAL_MACHINE itself. Map nodes never move,
// so a key's address serves as its handle.
std::map<std::string, RegistryKeyData> registryKeys;
bool registryLoaded = false;

const char* const kJavaVendorKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

// Splits a key path into its lower-case form. Empty components (a leading,
// doubled or trailing backslash) name no key.
bool canonicalKeyPath(const std::string& path, std::string& canonical) {
  canonical.clear();
  if (path.empty()) {
    return true;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    std::string component = path.substr(start, end == std::string::npos ? end : end - start);
    if (component.empty()) {
      return false;
    }
    if (!canonical.empty()) {
      canonical += '\\';
    }
    canonical += lowerAscii(component);
    if (end == std::string::npos) {
      return true;
    }
    start = end + 1;
  }
}

// Adds a key and, as the registry has them, all its parents.
RegistryKeyData& addKey(const std::string& canonical) {
  registryKeys[""];
  std::size_t at = 0;
  while ((at = canonical.find('\\', at)) != std::string::npos) {
    registryKeys[canonical.substr(0, at)];
    ++at;
  }
  return registryKeys[canonical];
}

void setTextValue(RegistryKeyData& key, const std::string& name, const std::string& text) {
  // Text values are stored with their terminator, as the registry returns them.
  key.values[lowerAscii(name)] = RegistryValue{kRegSz, text + '\0'};
}

// Reads a quoted string starting at line[at] (the opening quote). The only
// escapes are a doubled backslash and a backslash before a double quote. On success at is just past
// the closing quote.
bool parseQuoted(const std::string& line, std::size_t& at, std::string& text) {
  if (at >= line.size() || line[at] != '"') {
    return false;
  }
  text.clear();
  for (++at; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\') {
      ++at;
      if (at >= line.size() || (line[at] != '\\' && line[at] != '"')) {
        return false;
      }
      c = line[at];
    }
    text += c;
  }
  return false;  // no closing quote
}

bool parseDword(const std::string& digits, std::string& bytes) {
  if (digits.empty() || digits.size() > 8) {
    return false;
  }
  unsigned long value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<unsigned long>(digit);
  }
  // A DWORD is stored little-endian, whatever the machine.
  bytes.clear();
  for (int i = 0; i < 4; ++i) {
    bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return true;
}

// "Name"="text", @="text" or "Name"=dword:0000002a.
bool parseValueLine(const std::string& line, RegistryKeyData& key) {
  std::size_t at = 0;
  std::string name;
  if (line[0] == '@') {
    at = 1;
  } else if (!parseQuoted(line, at, name)) {
    return false;
  }
  if (at >= line.size() || line[at] != '=') {
    return false;
  }
  ++at;
  RegistryValue value;
  if (at < line.size() && line[at] == '"') {
    std::string text;
    if (!parseQuoted(line, at, text) || !trimBlanks(line.substr(at)).empty()) {
      return false;
    }
    value = RegistryValue{kRegSz, text + '\0'};
  } else if (line.compare(at, 6, "dword:") == 0) {
    value.type = kRegDword;
    if (!parseDword(trimBlanks(line.substr(at + 6)), value.bytes)) {
      return false;
    }
  } else {
    return false;
  }
  key.values[lowerAscii(name)] = value;
  return true;
}

// "[HKEY_LOCAL_MACHINE\...]": the key's canonical path.
bool parseSectionLine(const std::string& line, std::string& canonical) {
  if (line.size() < 2 || line.back() != ']') {
    return false;
  }
  std::string path = line.substr(1, line.size() - 2);
  const std::string root = "hkey_local_machine";
  std::string lower = lowerAscii(path);
  if (lower == root) {
    canonical.clear();
    return true;
  }
  if (lower.compare(0, root.size() + 1, root + "\\") != 0) {
    return false;
  }
  return canonicalKeyPath(path.substr(root.size() + 1), canonical);
}

// Parses the whole file into registryKeys. Returns 0, or the number of the
// first line that is not in the format.
int parseRegistryText(const std::string& contents) {
  std::vector<std::string> lines = splitLines(contents);
  if (lines.empty()) {
    return 1;
  }
  std::string header = lines[0];
  if (header.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    header.erase(0, 3);
  }
  header = trimBlanks(header);
  if (header != "REGEDIT4" && header != "Windows Registry Editor Version 5.00") {
    return 1;
  }
  registryKeys[""];
  RegistryKeyData* current = nullptr;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    int lineNumber = static_cast<int>(i + 1);
    std::string line = trimBlanks(lines[i]);
    if (line.empty() || line[0] == ';') {
      continue;
    }
    if (line[0] == '[') {
      std::string canonical;
      if (!parseSectionLine(line, canonical)) {
        return lineNumber;
      }
      current = &addKey(canonical);
    } else if (current == nullptr || !parseValueLine(line, *current)) {
      return lineNumber;
    }
  }
  return 0;
}

// The folder above bin/java of the runtime behind the java command on PATH.
std::string javaHomeFromPath() {
  std::string java = findOnPath("java");
  if (java.empty()) {
    return std::string();
  }
  char* real = ::realpath(java.c_str(), nullptr);
  if (real == nullptr) {
    return std::string();
  }
  std::string home = real;
  std::free(real);
  for (int i = 0; i < 2; ++i) {  // drop "/java", then "/bin"
    std::size_t slash = home.rfind('/');
    home = slash == std::string::npos ? std::string() : home.substr(0, slash);
  }
  return home;
}

// The JAVA_VERSION="17.0.15" line of the runtime's release file, unquoted.
std::string runtimeVersion(const std::string& home) {
  std::string release;
  if (!readWholeFile(home + "/release", release)) {
    return "default";
  }
  const std::string mark = "JAVA_VERSION=";
  for (const std::string& rawLine : splitLines(release)) {
    std::string line = trimBlanks(rawLine);
    if (line.compare(0, mark.size(), mark) != 0) {
      continue;
    }
    std::string version = trimBlanks(line.substr(mark.size()));
    if (version.size() >= 2 && version.front() == '"' && version.back() == '"') {
      version = version.substr(1, version.size() - 2);
    }
    return version.empty() ? "default" : version;
  }
  return "default";
}

// Answers the Java vendor's key from the machine's own runtime, so the
// launcher runs without a registry file. No runtime found: no key.
void addMachineJavaRuntime() {
  std::string home;
  const char* javaHome = std::getenv("JAVA_HOME");
  if (javaHome != nullptr && javaHome[0] != '\0') {
    home = javaHome;
    while (home.size() > 1 && home.back() == '/') {
      home.pop_back();
    }
  } else {
    home = javaHomeFromPath();
  }
  if (home.empty()) {
    return;
  }
  std::string version = runtimeVersion(home);
  std::string vendorPath;
  std::string versionPath;
  if (!canonicalKeyPath(kJavaVendorKey, vendorPath) ||
      !canonicalKeyPath(std::string(kJavaVendorKey) + "\\" + version, versionPath)) {
    return;  // a version text that cannot name a key
  }
  setTextValue(addKey(vendorPath), "CurrentVersion", version);
  RegistryKeyData& versionKey = addKey(versionPath);
  setTextValue(versionKey, "JavaHome", home);
  setTextValue(versionKey, "RuntimeLib", home + "/lib/server/libjvm.so");
}

void loadRegistry() {
  if (registryLoaded) {
    return;
  }
  registryLoaded = true;
  registryKeys.clear();
  registryKeys[""];

  const char* file = std::getenv("VELTRANA_REGISTRY");
  if (file != nullptr && file[0] != '\0') {
    std::string contents;
    if (!readWholeFile(file, contents)) {
      logLaunchError((std::string("Can't read registry file ") + file).c_str(), true);
    }
    int badLine = parseRegistryText(contents);
    if (badLine != 0) {
      std::string message =
          std::string("Malformed registry file ") + file + ", line " + std::to_string(badLine);
      logLaunchError(message.c_str(), true);
    }
  }

  std::string vendorPath;
  canonicalKeyPath(kJavaVendorKey, vendorPath);
  if (registryKeys.find(vendorPath) == registryKeys.end()) {
    addMachineJavaRuntime();
  }
}

}  // namespace

void forgetRegistry() {
  registryKeys.clear();
  registryLoaded = false;
}

long regOpenKey(const char* subKey, RegKey* key) {
  loadRegistry();
  if (key == nullptr) {
    return static_cast<long>(kErrorInvalidParameter);
  }
  std::string canonical;
  if (subKey == nullptr || !canonicalKeyPath(subKey, canonical)) {
    return static_cast<long>(kErrorFileNotFound);
  }
  auto found = registryKeys.find(canonical);
  if (found == registryKeys.end()) {
    return static_cast<long>(kErrorFileNotFound);
  }
  *key = &found->second;
  return 0;
}

long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  if (key == nullptr) {
    return static_cast<long>(kErrorInvalidHandle);
  }
  const RegistryKeyData* keyData = static_cast<const RegistryKeyData*>(key);
  auto found = keyData->values.find(lowerAscii(name != nullptr ? name : ""));
  if (found == keyData->values.end()) {
    return static_cast<long>(kErrorFileNotFound);
  }
  const RegistryValue& value = found->second;
  if (type != nullptr) {
    *type = value.type;
  }
  unsigned long needed = static_cast<unsigned long>(value.bytes.size());
  if (data == nullptr) {
    if (size != nullptr) {
      *size = needed;
    }
    return 0;
  }
  if (size == nullptr) {
    return static_cast<long>(kErrorInvalidParameter);
  }
  if (*size < needed) {
    *size = needed;
    return static_cast<long>(kErrorMoreData);
  }
  std::memcpy(data, value.bytes.data(), needed);
  *size = needed;
  return 0;
}

}  // namespace platform
