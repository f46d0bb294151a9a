// The machine's own Java runtime, for answering the Java vendor's registry
// key when the registry file does not define it.
#pragma once

#include <string>

namespace platform {

// The runtime's home (JAVA_HOME when set, else the runtime behind the java
// command on PATH, links resolved) and its version from its release file
// ("default" when it has none). False when no runtime is found.
bool findMachineJavaRuntime(std::string& home, std::string& version);

}  // namespace platform
