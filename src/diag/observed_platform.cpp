#include "diag/observed_platform.h"

#include "diag/launch_observer.h"

namespace {

// The last error as the call left it, after the observer had its say.
class LastErrorKept {
 public:
  LastErrorKept() : code(platform::getLastError()) {}
  ~LastErrorKept() { platform::setLastError(code); }
  unsigned long code;
};

}  // namespace

namespace observed {

long regOpenKey(const char* subKey, platform::RegKey* key) {
  long result = platform::regOpenKey(subKey, key);
  LastErrorKept kept;
  launchObserver().registryKeyOpened(subKey, result == 0 ? *key : nullptr, result);
  return result;
}

long regQueryValueSize(platform::RegKey key, const char* name, unsigned long* type,
                       unsigned long* size, bool (*accepts)(unsigned long type)) {
  long result = platform::regQueryValue(key, name, type, nullptr, size);
  LastErrorKept kept;
  launchObserver().registryValueSized(key, name, result, *type, *size, accepts(*type));
  return result;
}

long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  long result = platform::regQueryValue(key, name, type, data, size);
  LastErrorKept kept;
  launchObserver().registryValueRead(key, name, result, data, size != nullptr ? *size : 0);
  return result;
}

int statPath(const char* path, bool* isDirectory) {
  int result = platform::statPath(path, isDirectory);
  LastErrorKept kept;
  launchObserver().pathTested(path, result == 0);
  return result;
}

platform::EntryType pathType(const char* path) {
  platform::EntryType type = platform::pathType(path);
  LastErrorKept kept;
  launchObserver().pathTyped(path, type);
  return type;
}

int unlinkFile(const char* path) {
  int result = platform::unlinkFile(path);
  LastErrorKept kept;
  launchObserver().fileDeleted(path, result == 0, result == 0 ? 0 : kept.code);
  return result;
}

bool setCurrentDirectory(const char* path) {
  bool changed = platform::setCurrentDirectory(path);
  LastErrorKept kept;
  launchObserver().currentFolderChanged(path, changed, changed ? 0 : kept.code);
  return changed;
}

platform::LibraryHandle loadLibrary(const char* path) {
  launchObserver().libraryLoading(path);
  platform::LibraryHandle library = platform::loadLibrary(path);
  LastErrorKept kept;
  launchObserver().libraryLoaded(path, library, library == nullptr ? kept.code : 0);
  return library;
}

platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name) {
  platform::ProcAddress address = platform::getProcAddress(library, name);
  LastErrorKept kept;
  launchObserver().entryPointLooked(name, address != nullptr);
  return address;
}

jclass findMainClass(JNIEnv* env, const char* name, const std::string& archive) {
  jclass found = env->FindClass(name);
  // Looked at only for a listener: unobserved, the launch makes no call
  // it does not need.
  bool archivePresent =
      found == nullptr && launchObserved() && platform::statPath(archive.c_str(), nullptr) == 0;
  launchObserver().mainClassLookedUp(env, name, found != nullptr, archive, archivePresent);
  return found;
}

void callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, jobjectArray argument) {
  launchObserver().mainStarted();
  env->CallStaticVoidMethod(cls, method, argument);
  launchObserver().mainReturned(env);
}

jint destroyJavaVm(JavaVM* vm) {
  launchObserver().vmDestroying();
  jint result = vm->DestroyJavaVM();
  launchObserver().vmDestroyed(result);
  return result;
}

}  // namespace observed
