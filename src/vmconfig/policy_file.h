// The security policy file that grants all permissions to the install
// folder and QuickTime's folder, and the two VM options that use it.
#pragma once

#include <string>

// Turns a path into the form written after the file URL prefix, in place:
// on Windows backslashes become "/", and a share's path gains one "/" in
// front ("///server/share/..."); "%", blanks, "#", "$" and control
// characters (0x01-0x1F, 0x7F; on POSIX also double quotes and backslashes)
// become "%XX". Everything else is left as it is.
void toFileUrlPath(std::string& path);

// Recreates the policy file in the temporary folder and returns its path.
// An earlier file that cannot be deleted is kept as it is. When the file
// cannot be placed there (or written in full, or something other than a
// file has its name), the system's temporary folder is tried; when it
// cannot be placed anywhere, a non-fatal entry is logged and the first path
// tried is returned (empty when there was no usable folder at all). No
// QuickTime grant is written without QuickTime's folder. Each try, and that
// last resort, is told to the launch observer.
std::string writePolicyFile(const std::string& installDir, const std::string& quickTimeDir);

// Converts policyFilePath in place and builds the security manager and
// policy options.
void buildSecurityOptions(std::string& policyFilePath, std::string& securityManagerOption,
                          std::string& securityPolicyOption);
