#include "vm/vm_creation.h"

#include "diag/observed_platform.h"
#include "diag/session_log.h"
#include "platform/outside_values.h"
#include "platform/platform.h"
#include "rules/ansi_text.h"
#include "rules/conventions.h"
#include "rules/product_names.h"

namespace {
constexpr unsigned long kProfileBufferSize = 260;

// Watched only while JNI_CreateJavaVM runs: a VM that cannot start (it cannot
// reserve its heap, say) may print its reason and end the process itself
// instead of returning an error; that is a refused creation all the same,
// and the user is told so as for one. The process is already ending then,
// inside the VM's own exit: only the log entry and the box are made, no VM
// is called, and the exit code stays the VM's.
void reportCreationEndedByTheVm() { reportFatalWhileEnding("Can't create Java VM "); }
}  // namespace

std::vector<std::string> buildVmOptions(const std::string& classPath,
                                        const std::string& libraryPath,
                                        const std::string& securityManagerOption,
                                        const std::string& securityPolicyOption,
                                        const std::string& policyFilePath) {
  std::string profile = platform::profileFolder();
  std::string folder;
  if (!profile.empty()) {
    folder = profile + conventions::kLogsFolder + conventions::kSeparator;
  } else if (ansi_text::beforeLastSeparator(policyFilePath, conventions::kSeparatorChar,
                                            platform::isLeadByte, folder)) {
    // Without a profile folder, "Logs" would stand at the drive's root,
    // where another user may have made it first: the folder that took the
    // policy file is the user's own.
    folder += conventions::kSeparator;
  } else {
    folder = std::string(conventions::kLogsFolder) + conventions::kSeparator;
  }
  // "%p" is left for the VM, which puts its process id there. The VM reads
  // every "%" of the option that way, so one in the folder's name is
  // doubled to reach the file name as itself.
  std::string errorFileOption = "-XX:ErrorFile=";
  for (char c : folder) {
    if (c == '%') {
      errorFileOption += '%';
    }
    errorFileOption += c;
  }
  errorFileOption += product::kExecutableName;
  errorFileOption += "_error%p.log";

  return {classPath,  libraryPath, securityManagerOption, securityPolicyOption, errorFileOption,
          "-Xms256m", "-Xmx512m"};
}

void createJavaVm(CreateJavaVmFunction createJavaVmEntry, const std::vector<std::string>& options,
                  JavaVM** vm, JNIEnv** env) {
  std::vector<JavaVMOption> vmOptions(options.size());
  for (std::size_t i = 0; i < options.size(); ++i) {
    vmOptions[i].optionString = const_cast<char*>(options[i].c_str());
    vmOptions[i].extraInfo = nullptr;
  }

  JavaVMInitArgs initArgs;
  initArgs.version = JNI_VERSION_1_4;
  initArgs.nOptions = static_cast<jint>(vmOptions.size());
  initArgs.options = vmOptions.data();
  initArgs.ignoreUnrecognized = JNI_TRUE;

  // The application starts in the user's profile folder. A profile folder
  // that is unset or too long leaves the inherited one.
  std::string profile = platform::profileFolder();
  if (!profile.empty() && profile.size() <= kProfileBufferSize - 1) {
    observed::setCurrentDirectory(profile.c_str());
  }

  *vm = nullptr;
  *env = nullptr;
  platform::watchProcessEnd(reportCreationEndedByTheVm);
  jint result = createJavaVmEntry(vm, reinterpret_cast<void**>(env), &initArgs);
  platform::unwatchProcessEnd();
  // A VM that reports success but hands back no VM or no environment has
  // not been created in any sense the launch can use: calling through a
  // null pointer would end the process without a word.
  if (result < 0 || *vm == nullptr || *env == nullptr) {
    logLaunchError("Can't create Java VM ", true);
  }
}
