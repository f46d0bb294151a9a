#include "trace/java_exception_name.h"

std::string pendingExceptionClass(JNIEnv* env) {
  jthrowable thrown = env->ExceptionOccurred();
  if (thrown == nullptr) {
    return std::string();
  }
  env->ExceptionClear();
  std::string name = "(class not known)";
  jclass thrownClass = env->GetObjectClass(thrown);
  // By name, not as the class of the class object: a VM may resolve
  // Class's own methods only once Class has been looked up by name.
  jclass classClass = thrownClass != nullptr ? env->FindClass("java/lang/Class") : nullptr;
  jmethodID getName = classClass != nullptr
                          ? env->GetMethodID(classClass, "getName", "()Ljava/lang/String;")
                          : nullptr;
  jstring text = getName != nullptr
                     ? static_cast<jstring>(env->CallObjectMethod(thrownClass, getName))
                     : nullptr;
  if (text != nullptr) {
    const char* bytes = env->GetStringUTFChars(text, nullptr);
    if (bytes != nullptr) {
      name = bytes;
      env->ReleaseStringUTFChars(text, bytes);
    }
  }
  // Anything the lookup raised itself is dropped; the original goes back.
  env->ExceptionClear();
  env->Throw(thrown);
  return name;
}
