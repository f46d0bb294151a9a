#include "platform/posix/machine_java_posix.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/posix/platform_posix.h"
#include "platform/trace_outlet.h"
#include "rules/blank_text.h"
#include "rules/conventions.h"

namespace platform {

namespace {

// A release file is a few lines; anything larger is not one.
constexpr std::size_t kReleaseFileLimit = 64 * 1024;

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
  if (!readRegularFile((home + "/release").c_str(), kReleaseFileLimit, release)) {
    notePlatformRemark("no readable release file in " + home + ": its version is \"default\"");
    return "default";
  }
  const std::string mark = "JAVA_VERSION=";
  std::size_t start = 0;
  while (start < release.size()) {
    std::size_t end = release.find('\n', start);
    if (end == std::string::npos) {
      end = release.size();
    }
    std::string line = trimBlanks(release.substr(start, end - start), " \t\r");
    start = end + 1;
    if (line.compare(0, mark.size(), mark) != 0) {
      continue;
    }
    std::string version = trimBlanks(line.substr(mark.size()), " \t\r");
    if (version.size() >= 2 && version.front() == '"' && version.back() == '"') {
      version = version.substr(1, version.size() - 2);
    }
    if (!version.empty()) {
      return version;
    }
    break;
  }
  notePlatformRemark("no usable JAVA_VERSION in " + home + "/release: its version is \"default\"");
  return "default";
}

// Where a runtime keeps its VM library: JDK 9 and later, then the JDK 8
// and JRE 8 layouts.
const char* const kVmLibraries[] = {conventions::kPrivateVmLibrary,
                                    "/jre/lib/amd64/server/libjvm.so",
                                    "/lib/amd64/server/libjvm.so"};

// The first of the layouts whose VM library is a regular file; the first
// layout's when none is, so that the launch reports it as missing.
std::string vmLibrary(const std::string& home) {
  for (const char* layout : kVmLibraries) {
    struct stat status;
    std::string library = home + layout;
    if (::stat(library.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
      return library;
    }
  }
  return home + kVmLibraries[0];
}

}  // namespace

bool findMachineJavaRuntime(std::string& home, std::string& version, std::string& library) {
  // A relative JAVA_HOME counts as unset: it would name a runtime in the
  // folder the user happened to start the launcher from.
  home = pathVariable("JAVA_HOME");
  if (!home.empty()) {
    while (home.size() > 1 && home.back() == '/') {
      home.pop_back();
    }
    notePlatformRemark("the machine's Java: " + home + ", named by JAVA_HOME");
  } else {
    home = javaHomeFromPath();
    notePlatformRemark(home.empty()
                           ? std::string("no machine Java: JAVA_HOME is unset and no "
                                         "java command is on PATH")
                           : "the machine's Java: " + home + ", behind the java command on PATH");
  }
  if (home.empty()) {
    return false;
  }
  version = runtimeVersion(home);
  library = vmLibrary(home);
  return true;
}

}  // namespace platform
