// The machine's own Java runtime, for answering the Java vendor's registry
// key when the registry file does not define it.
#pragma once

#include <string>

namespace platform {

// The runtime's home (JAVA_HOME when set, taken from the folder the
// launcher was started in when relative; else the runtime behind the java
// command on PATH, links resolved), its version from its release file
// ("default" when it has none) and its VM library (lib/server/libjvm.so, or
// the JDK 8 or JRE 8 layout's where only that one is a file). False when no
// runtime is found.
bool findMachineJavaRuntime(std::string& home, std::string& version, std::string& library);

}  // namespace platform
