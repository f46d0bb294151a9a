#include "vm/vm_creation.h"

#include "diag/observed_platform.h"
#include "diag/session_log.h"
#include "platform/conventions.h"
#include "platform/platform.h"
#include "platform/product_names.h"

namespace {
constexpr unsigned long kProfileBufferSize = 260;
}  // namespace

std::vector<std::string> buildVmOptions(const std::string& classPath,
                                        const std::string& libraryPath,
                                        const std::string& securityManagerOption,
                                        const std::string& securityPolicyOption) {
  // "%p" is left for the VM, which puts its process id there. The VM reads
  // every "%" of the option that way, so one in the folder's name is
  // doubled to reach the file name as itself.
  const char* profile = platform::getEnv(conventions::kProfileVariable);
  std::string errorFileOption = "-XX:ErrorFile=";
  for (const char* c = profile != nullptr ? profile : ""; *c != '\0'; ++c) {
    if (*c == '%') {
      errorFileOption += '%';
    }
    errorFileOption += *c;
  }
  errorFileOption += conventions::kErrorFileFolder;
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
  char profile[kProfileBufferSize] = {0};
  unsigned long length =
      platform::getEnvironmentVariable(conventions::kProfileVariable, profile, sizeof profile);
  if (length >= 1 && length <= kProfileBufferSize - 1) {
    observed::setCurrentDirectory(profile);
  }

  if (createJavaVmEntry(vm, reinterpret_cast<void**>(env), &initArgs) < 0) {
    logLaunchError("Can't create Java VM ", true);
  }
}
