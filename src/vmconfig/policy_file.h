// The security policy file that grants all permissions to the install
// folder and QuickTime's folder, and the two VM options that use it.
#pragma once

#include <string>

// Turns a path into the form written after the file URL prefix, in place:
// backslashes become "/" and each blank "%20" ("%%20" when doublePercent).
void toFileUrlPath(std::string& path, bool doublePercent);

// Recreates the policy file in the temporary folder and returns its path.
// An earlier file that cannot be deleted is kept as it is. Returns an empty
// path, and writes nothing, when there is no usable temporary folder.
std::string writePolicyFile(const std::string& installDir, const std::string& quickTimeDir);

// Converts policyFilePath in place and builds the security manager and
// policy options.
void buildSecurityOptions(std::string& policyFilePath, std::string& securityManagerOption,
                          std::string& securityPolicyOption);
