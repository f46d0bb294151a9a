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

long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  long result = platform::regQueryValue(key, name, type, data, size);
  LastErrorKept kept;
  launchObserver().registryValueRead(key, name, result, type != nullptr ? *type : 0, data,
                                     size != nullptr ? *size : 0);
  return result;
}

int statPath(const char* path, bool* isDirectory) {
  int result = platform::statPath(path, isDirectory);
  LastErrorKept kept;
  launchObserver().pathTested(path, result == 0);
  return result;
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

jclass findClass(JNIEnv* env, const char* name) {
  jclass found = env->FindClass(name);
  launchObserver().mainClassLookedUp(env, name, found != nullptr);
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
