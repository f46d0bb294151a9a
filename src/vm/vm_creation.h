// Creating the Java VM in-process with the launcher's seven options.
#pragma once

#include <string>
#include <vector>

#include "runtime/jni_invocation.h"

// The seven option texts in the order the VM receives them. Without a
// profile folder the VM's crash reports go beside policyFilePath (the path
// writePolicyFile gave, before its conversion to a URL).
std::vector<std::string> buildVmOptions(const std::string& classPath,
                                        const std::string& libraryPath,
                                        const std::string& securityManagerOption,
                                        const std::string& securityPolicyOption,
                                        const std::string& policyFilePath);

// Switches to the profile folder and creates the VM. Returns only when the
// VM was created; a failed creation is fatal.
void createJavaVm(CreateJavaVmFunction createJavaVmEntry, const std::vector<std::string>& options,
                  JavaVM** vm, JNIEnv** env);
