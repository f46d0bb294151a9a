#include "runtime/java_runtime.h"

#include <cstring>
#include <vector>

#include "diag/launch_observer.h"
#include "diag/observed_platform.h"
#include "diag/session_log.h"
#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "rules/registry_keys.h"
#include "runtime/registry_text.h"

char jreCurrentVersion[kJreCurrentVersionSize];
char javaHomeDir[kRuntimePathSize];
char runtimeLibPath[kRuntimePathSize];

namespace {

bool exists(const std::string& path) { return observed::statPath(path.c_str(), nullptr) == 0; }

// Copies text into a fixed buffer when it fits with its terminator.
bool copyIfFits(const std::string& text, char* buffer, std::size_t capacity) {
  if (text.size() + 1 > capacity) {
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// Empties a path that is not absolute; an empty one stays as it is.
void refuseRelative(const char* what, char* path) {
  if (outside_path::judgePath(path, conventions::kPathStyle) == outside_path::Refusal::Relative) {
    launchObserver().pathRefused(what, path, outside_path::Refusal::Relative);
    path[0] = '\0';
  }
}

// True when path names a regular file: a folder where the VM library
// should be is no runtime.
bool isFile(const std::string& path) {
  if (observed::pathType(path.c_str()) == platform::EntryType::File) {
    return true;
  }
  launchObserver().pathRefused("private VM library", path, outside_path::Refusal::NotAFile);
  return false;
}

// True when no one but the user and the system could have put the VM
// library at path, below the runtime's folder top: a runtime that another
// local user could plant or change is no private runtime.
bool isTrusted(const std::string& top, const std::string& path) {
  if (platform::trustedPlace(top.c_str(), path.c_str())) {
    return true;
  }
  launchObserver().pathRefused("private VM library", path, outside_path::Refusal::NotTrusted);
  return false;
}

// The private runtime's folder name.
const char* jreFolderName() { return "jre1.6.0_02"; }

// The "Java" folder beside the install folder, where a private runtime may
// stand when the maker's key names no folder; empty when the install folder
// has no parent.
std::string javaFolderBeside(const std::string& installDir) {
  // Without a separator the install folder stands for its own parent.
  std::string base = installDir;
  ansi_text::beforeLastSeparator(installDir, conventions::kSeparatorChar, platform::isLeadByte,
                                 base);
  return base.empty() ? std::string() : base + conventions::kSeparator + "Java";
}

// The private runtime, found through the maker's key: tried first. Returns
// true when both its folder and its VM library exist, with source set to
// the folder it stands in; source is left as it was otherwise.
bool findPrivateRuntime(const std::string& installDir, RuntimeSource& source) {
  bool privateRuntimeFound = false;
  std::string jreHome;
  RuntimeSource found = RuntimeSource::PrivateInMakerFolder;

  platform::RegKey makerKey = nullptr;
  if (observed::regOpenKey(registry_keys::kMaker, &makerKey) != 0) {
    // Without the maker's key the fallback folder is not tried either.
    return false;
  }

  char makerJavaHome[kRuntimePathSize] = {0};
  readRegistryText(makerKey, "JAVA_HOME", makerJavaHome, sizeof makerJavaHome);
  // A relative value would be looked for from the current folder, which
  // the launcher does not choose: it counts as absent.
  refuseRelative("maker's JAVA_HOME", makerJavaHome);

  if (makerJavaHome[0] == '\0' || !exists(makerJavaHome)) {
    std::string fallback = javaFolderBeside(installDir);
    if (!fallback.empty() && exists(fallback) &&
        copyIfFits(fallback, makerJavaHome, sizeof makerJavaHome)) {
      found = RuntimeSource::PrivateBesideInstall;
    }
  }
  // No folder at all: joined to the runtime's name, an empty one would name
  // a folder at the root of the current drive, where any local user may
  // plant libraries.
  if (makerJavaHome[0] == '\0') {
    return false;
  }

  // The separator is always added, even after one already there.
  jreHome = std::string(makerJavaHome) + conventions::kSeparator + jreFolderName();
  if (exists(jreHome) && copyIfFits(jreHome, javaHomeDir, sizeof javaHomeDir)) {
    privateRuntimeFound = true;
    std::string vmLibrary = jreHome + conventions::kPrivateVmLibrary;
    if (!exists(vmLibrary) || !isFile(vmLibrary) || !isTrusted(makerJavaHome, vmLibrary) ||
        !copyIfFits(vmLibrary, runtimeLibPath, sizeof runtimeLibPath)) {
      // javaHomeDir keeps the private home until the vendor's value replaces it.
      privateRuntimeFound = false;
    }
  }
  if (privateRuntimeFound) {
    source = found;
  }
  return privateRuntimeFound;
}

// The runtime the Java vendor registered, used when there is no private
// one. Does not return when its keys cannot be opened.
void findVendorRuntime() {
  platform::RegKey vendorKey = nullptr;
  if (observed::regOpenKey(registry_keys::kJavaVendor, &vendorKey) != 0) {
    logLaunchError("Can't locate JRE[Java Runtime Environment]", true);
  }
  // Without a version the key's path would end in the separator, which
  // opens the vendor's key itself and reads its values as a runtime's.
  if (!readRegistryText(vendorKey, "CurrentVersion", jreCurrentVersion, sizeof jreCurrentVersion) ||
      jreCurrentVersion[0] == '\0') {
    logLaunchError("Can't locate JRE[CurrentVersion]", true);
  }

  std::string jreVersionKey = std::string(registry_keys::kJavaVendor) + "\\" + jreCurrentVersion;
  platform::RegKey versionKey = nullptr;
  if (observed::regOpenKey(jreVersionKey.c_str(), &versionKey) != 0) {
    logLaunchError("Can't locate JRE[CurrentVersion]", true);
  }
  // Neither path is checked: loading the library is the test. A relative
  // one would be resolved against the current folder or searched for: a
  // relative home counts as empty, a relative library is not loaded.
  readRegistryText(versionKey, "JavaHome", javaHomeDir, sizeof javaHomeDir);
  refuseRelative("JavaHome", javaHomeDir);
  readRegistryText(versionKey, "RuntimeLib", runtimeLibPath, sizeof runtimeLibPath);
  refuseRelative("RuntimeLib", runtimeLibPath);
}

}  // namespace

void findJavaRuntime(const std::string& installDir) {
  // A registry that cannot be read at all stops the launch here, before
  // any key is looked at.
  std::string registryProblem = platform::registryProblem();
  if (!registryProblem.empty()) {
    logLaunchError(registryProblem.c_str(), true);
  }
  RuntimeSource source = RuntimeSource::VendorKey;
  if (!findPrivateRuntime(installDir, source)) {
    findVendorRuntime();
  }
  launchObserver().runtimeChosen(source, javaHomeDir, runtimeLibPath, jreCurrentVersion);
}

CreateJavaVmFunction loadJavaRuntime() {
  // The runtime's VM library needs its support library, which is not on
  // the search path: load it first, by full path.
  // Without a home there is no support library: an empty home would put
  // it at the root of the current drive.
  if (conventions::kSupportLibrary != nullptr && javaHomeDir[0] != '\0') {
    std::string supportLibPath = std::string(javaHomeDir) + conventions::kSupportLibrary;
    if (exists(supportLibPath) && observed::loadLibrary(supportLibPath.c_str()) == nullptr) {
      logLaunchError("Error loading msvcr71.dll", false);
    }
  }

  // An empty name would be searched for, not loaded from a known place,
  // and the loader would wait on a pipe or read a device: only a regular
  // file, or a name the loader alone can resolve, is handed to it.
  bool loadable = runtimeLibPath[0] != '\0';
  platform::EntryType libraryType =
      loadable ? platform::pathType(runtimeLibPath) : platform::EntryType::Unknown;
  if (libraryType == platform::EntryType::Folder || libraryType == platform::EntryType::Other) {
    launchObserver().pathRefused("VM library", runtimeLibPath, outside_path::Refusal::NotAFile);
    loadable = false;
  }
  platform::LibraryHandle vmLibrary = loadable ? observed::loadLibrary(runtimeLibPath) : nullptr;
  if (vmLibrary == nullptr) {
    logLaunchError("Error loading JVM", true);
  }
  auto createJavaVm = reinterpret_cast<CreateJavaVmFunction>(
      observed::getProcAddress(vmLibrary, "JNI_CreateJavaVM"));
  if (createJavaVm == nullptr) {
    // A library without the entry point is no usable VM.
    logLaunchError("Error loading JVM", true);
  }
  return createJavaVm;
}
