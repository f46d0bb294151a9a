// The registry keys the launch reads (below HKEY_LOCAL_MACHINE), named once
// for the launch logic and for the POSIX layer that answers for them.
#pragma once

namespace registry_keys {

// The maker's key, whose JAVA_HOME names the folder of a private runtime.
constexpr const char* kMaker = "SOFTWARE\\Orrindale";

// The Java vendor's key, whose CurrentVersion names the subkey of the
// runtime it registered.
constexpr const char* kJavaVendor = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

// QuickTime's key, whose QTExtDir names its Java extension folder.
constexpr const char* kQuickTime = "SOFTWARE\\Apple Computer, Inc.\\QuickTime";

}  // namespace registry_keys
