#include "vm/main_invocation.h"

#include <string>
#include <vector>

#include "diag/observed_platform.h"
#include "diag/session_log.h"
#include "platform/platform.h"
#include "rules/product_names.h"
#include "vm/modified_utf8.h"

namespace {

void describePendingException(JNIEnv* env) {
  if (env->ExceptionOccurred() != nullptr) {
    env->ExceptionDescribe();
  }
}

// The program's own name (element 0) is left out.
jobjectArray buildArgumentArray(JNIEnv* env, jclass stringClass,
                                const std::vector<std::u16string>& args, bool split) {
  if (!split || args.empty()) {
    return env->NewObjectArray(0, stringClass, nullptr);
  }
  jsize count = static_cast<jsize>(args.size() - 1);
  jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
  for (jsize i = 0; i < count; ++i) {
    std::string text = toModifiedUtf8(args[i + 1]);
    env->SetObjectArrayElement(array, i, env->NewStringUTF(text.c_str()));
  }
  return array;
}

}  // namespace

void invokeMain(JavaVM* vm, JNIEnv* env, const std::string& mainArchive) {
  jclass mainClass = observed::findMainClass(env, product::kMainClass, mainArchive);
  if (mainClass == nullptr) {
    // A static initialiser that throws leaves its exception pending: say
    // why before the report.
    describePendingException(env);
    logLaunchError("Failed to find main class", true);
  }

  jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
  if (mainMethod == nullptr) {
    describePendingException(env);
    env->FatalError("Failed to find jmethodID of 'main'");
  }

  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) {
    describePendingException(env);
    env->FatalError("Failed to find java/lang/String");
  }

  std::vector<std::u16string> args;
  platform::CommandLineHandle argVector = platform::splitCommandLine(args);
  jobjectArray mainArgs = buildArgumentArray(env, stringClass, args, argVector != nullptr);

  observed::callStaticVoidMethod(env, mainClass, mainMethod, mainArgs);
  describePendingException(env);

  observed::destroyJavaVm(vm);
  if (argVector != nullptr) {
    platform::releaseCommandLine(argVector);
  }
}
