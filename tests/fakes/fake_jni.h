// A fake Java runtime for the unit tests: a JNI_CreateJavaVM that records
// what it was given, and a JNIEnv / JavaVM that model the few calls the
// launcher makes, with the failures a real VM can answer.
//
// Every call is also added to fake::events(), so a test can check its
// place among the platform calls.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/jni_invocation.h"

namespace fakejni {

// Thrown by FatalError, which a real VM never returns from.
struct FatalErrorCalled {
  std::string message;
};

// How the next VM behaves.
struct Behaviour {
  jint createResult = JNI_OK;
  bool mainClassMissing = false;
  bool mainMethodMissing = false;
  bool stringClassMissing = false;
  // A failed lookup leaves its NoSuchMethodError / NoClassDefFoundError
  // pending, as a real VM does.
  bool lookupFailureLeavesException = true;
  bool mainThrows = false;
  // Creation reports its result but leaves the VM or the environment null.
  bool createLeavesVmNull = false;
  bool createLeavesEnvNull = false;
};

void reset();
Behaviour& behaviour();

// Puts a VM library at path into the fake platform: the file and its
// JNI_CreateJavaVM export.
void installVmLibrary(const std::string& path);
CreateJavaVmFunction createJavaVmEntry();

// A VM as creation hands it out, for calling the main invocation directly.
JavaVM* javaVm();
JNIEnv* jniEnv();

struct Creation {
  int calls = 0;
  jint version = 0;
  jint nOptions = 0;
  std::vector<std::string> options;  // the nOptions texts, in order
  std::vector<bool> extraInfoSet;
  std::vector<void*> extraInfo;  // the hooks, for calling them as the VM would
  jboolean ignoreUnrecognized = JNI_FALSE;
  std::string currentDirectory;  // the platform's, at the moment of creation
};
const Creation& creation();

// The JNI calls in order, e.g. "FindClass com/kvn/vt/Veltrana".
const std::vector<std::string>& calls();
int countCalls(const std::string& prefix);

// What main received.
struct MainCall {
  bool called = false;
  bool arrayIsNull = true;
  std::vector<std::string> elements;  // bytes of each element, index order
  std::vector<bool> elementIsNull;
};
const MainCall& mainCall();

// Calls a real VM would reject or crash on. Empty when the launcher behaved.
const std::vector<std::string>& misuses();

}  // namespace fakejni
