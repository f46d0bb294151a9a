// The registry keys the launch reads (below HKEY_LOCAL_MACHINE), named once
// for the launch logic and for the POSIX layer that answers for them.
#pragma once

namespace registry_keys {

// The Java vendor's key, whose CurrentVersion names the subkey of the
// runtime it registered.
constexpr const char* kJavaVendor = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

}  // namespace registry_keys
