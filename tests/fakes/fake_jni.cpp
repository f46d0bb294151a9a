#include "fake_jni.h"

#include <cstdarg>
#include <deque>

#include "fake_platform.h"

namespace {

const char* const kMainClassName = "com/kvn/vt/Veltrana";
const char* const kStringClassName = "java/lang/String";

enum class Kind { Class, String, Array, Throwable };

struct Object {
  Kind kind;
  std::string text;  // class name, or the string's bytes
  std::vector<Object*> elements;
};

struct State {
  fakejni::Behaviour behaviour;
  fakejni::Creation creation;
  fakejni::MainCall mainCall;
  std::vector<std::string> calls;
  std::vector<std::string> misuses;
  std::deque<Object> objects;  // addresses stay put
  bool created = false;
  bool destroyed = false;
  bool exceptionPending = false;
  std::string pendingClass;  // the pending exception's class, as getName gives it
};

State state;
char mainMethodToken;
char getNameToken;

JNINativeInterface_ nativeTable;
JNIInvokeInterface_ invokeTable;
JNIEnv_ environment;
JavaVM_ virtualMachine;

Object* newObject(Kind kind, const std::string& text) {
  state.objects.push_back(Object{kind, text, {}});
  return &state.objects.back();
}

// Only objects this VM made, of the kind expected.
Object* objectOf(void* reference, Kind kind) {
  for (Object& object : state.objects) {
    if (&object == reference && object.kind == kind) {
      return &object;
    }
  }
  return nullptr;
}

void record(JNIEnv* env, const std::string& call) {
  state.calls.push_back(call);
  fake::recordEvent(call);
  if (env != &environment) {
    state.misuses.push_back(call + ": not the JNIEnv creation returned");
  }
  if (!state.created || state.destroyed) {
    state.misuses.push_back(call + ": no live VM");
  }
}

void raise(const std::string& className) {
  state.exceptionPending = true;
  state.pendingClass = className;
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
  record(env, std::string("FindClass ") + name);
  std::string text = name;
  bool missing = (text == kMainClassName && state.behaviour.mainClassMissing) ||
                 (text == kStringClassName && state.behaviour.stringClassMissing) ||
                 (text != kMainClassName && text != kStringClassName && text != "java/lang/Class");
  if (missing) {
    if (state.behaviour.lookupFailureLeavesException) {
      raise("java.lang.NoClassDefFoundError");
    }
    return nullptr;
  }
  return reinterpret_cast<jclass>(newObject(Kind::Class, text));
}

jmethodID JNICALL getStaticMethodId(JNIEnv* env, jclass cls, const char* name,
                                    const char* signature) {
  Object* owner = objectOf(cls, Kind::Class);
  record(env, std::string("GetStaticMethodID ") + (owner ? owner->text : "?") + " " + name + " " +
                  signature);
  bool found = owner != nullptr && owner->text == kMainClassName && std::string(name) == "main" &&
               std::string(signature) == "([Ljava/lang/String;)V" &&
               !state.behaviour.mainMethodMissing;
  if (!found) {
    if (state.behaviour.lookupFailureLeavesException) {
      raise("java.lang.NoSuchMethodError");
    }
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(&mainMethodToken);
}

jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
  record(env, "ExceptionOccurred");
  return state.exceptionPending
             ? reinterpret_cast<jthrowable>(newObject(Kind::Throwable, state.pendingClass))
             : nullptr;
}

// What naming a pending exception's class takes: clear it, ask its class
// for getName, throw it again.
void JNICALL exceptionClear(JNIEnv* env) {
  record(env, "ExceptionClear");
  state.exceptionPending = false;
}

jint JNICALL throwObject(JNIEnv* env, jthrowable thrown) {
  record(env, "Throw");
  Object* object = objectOf(thrown, Kind::Throwable);
  raise(object != nullptr ? object->text : "?");
  return 0;
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject object) {
  record(env, "GetObjectClass");
  Object* thrown = objectOf(object, Kind::Throwable);
  return reinterpret_cast<jclass>(
      newObject(Kind::Class, thrown != nullptr ? thrown->text : "java.lang.Class"));
}

jmethodID JNICALL getMethodId(JNIEnv* env, jclass, const char* name, const char* signature) {
  record(env, std::string("GetMethodID ") + name + " " + signature);
  return reinterpret_cast<jmethodID>(&getNameToken);
}

jobject JNICALL callObjectMethodV(JNIEnv* env, jobject object, jmethodID method, va_list) {
  record(env, "CallObjectMethod");
  Object* owner = objectOf(object, Kind::Class);
  if (owner == nullptr || method != reinterpret_cast<jmethodID>(&getNameToken)) {
    state.misuses.push_back("CallObjectMethod on something other than Class.getName");
    return nullptr;
  }
  return reinterpret_cast<jobject>(newObject(Kind::String, owner->text));
}

const char* JNICALL getStringUtfChars(JNIEnv* env, jstring text, jboolean*) {
  record(env, "GetStringUTFChars");
  Object* object = objectOf(text, Kind::String);
  return object != nullptr ? object->text.c_str() : nullptr;
}

void JNICALL releaseStringUtfChars(JNIEnv* env, jstring, const char*) {
  record(env, "ReleaseStringUTFChars");
}

void JNICALL exceptionDescribe(JNIEnv* env) {
  record(env, "ExceptionDescribe");
  if (!state.exceptionPending) {
    state.misuses.push_back("ExceptionDescribe with no exception pending");
  }
  state.exceptionPending = false;  // describing clears it
}

void JNICALL fatalError(JNIEnv* env, const char* message) {
  record(env, std::string("FatalError ") + message);
  throw fakejni::FatalErrorCalled{message};
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementClass,
                                    jobject initial) {
  Object* element = objectOf(elementClass, Kind::Class);
  record(env, "NewObjectArray " + std::to_string(length) + " " + (element ? element->text : "?") +
                  (initial ? " initial" : " null"));
  if (length < 0) {
    state.misuses.push_back("NewObjectArray with a negative length");
    return nullptr;
  }
  Object* array = newObject(Kind::Array, "");
  array->elements.assign(static_cast<std::size_t>(length), nullptr);
  return reinterpret_cast<jobjectArray>(array);
}

jstring JNICALL newStringUtf(JNIEnv* env, const char* bytes) {
  record(env, bytes ? "NewStringUTF" : "NewStringUTF null");
  if (bytes == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<jstring>(newObject(Kind::String, bytes));
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray arrayReference, jsize index,
                                   jobject value) {
  record(env, "SetObjectArrayElement " + std::to_string(index));
  Object* array = objectOf(arrayReference, Kind::Array);
  if (array == nullptr || index < 0 || static_cast<std::size_t>(index) >= array->elements.size()) {
    state.misuses.push_back("SetObjectArrayElement outside the array");
    return;
  }
  array->elements[static_cast<std::size_t>(index)] =
      static_cast<Object*>(static_cast<void*>(value));
}

void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID method, va_list args) {
  Object* owner = objectOf(cls, Kind::Class);
  record(env, std::string("CallStaticVoidMethod ") + (owner ? owner->text : "?"));
  if (owner == nullptr || owner->text != kMainClassName ||
      method != reinterpret_cast<jmethodID>(&mainMethodToken)) {
    state.misuses.push_back("CallStaticVoidMethod on something other than main");
  }
  jobjectArray argument = va_arg(args, jobjectArray);
  fakejni::MainCall& call = state.mainCall;
  call = fakejni::MainCall();
  call.called = true;
  Object* array = objectOf(argument, Kind::Array);
  call.arrayIsNull = array == nullptr;
  if (array != nullptr) {
    for (Object* element : array->elements) {
      call.elementIsNull.push_back(element == nullptr);
      call.elements.push_back(element != nullptr ? element->text : std::string());
    }
  }
  if (state.behaviour.mainThrows) {
    raise("java.lang.IllegalStateException");
  }
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, ...) {
  va_list args;
  va_start(args, method);
  callStaticVoidMethodV(env, cls, method, args);
  va_end(args);
}

jint JNICALL destroyJavaVm(JavaVM* vm) {
  state.calls.push_back("DestroyJavaVM");
  fake::recordEvent("DestroyJavaVM");
  if (vm != &virtualMachine || !state.created || state.destroyed) {
    state.misuses.push_back("DestroyJavaVM on no live VM");
  }
  state.destroyed = true;
  return JNI_OK;
}

jint JNICALL createJavaVm(JavaVM** vm, void** env, void* initArgs) {
  fake::recordEvent("JNI_CreateJavaVM");
  fakejni::Creation& creation = state.creation;
  creation.calls++;
  const JavaVMInitArgs* args = static_cast<const JavaVMInitArgs*>(initArgs);
  creation.version = args->version;
  creation.nOptions = args->nOptions;
  creation.ignoreUnrecognized = args->ignoreUnrecognized;
  creation.options.clear();
  creation.extraInfoSet.clear();
  creation.extraInfo.clear();
  for (jint i = 0; i < args->nOptions; ++i) {
    creation.options.push_back(args->options[i].optionString);
    creation.extraInfoSet.push_back(args->options[i].extraInfo != nullptr);
    creation.extraInfo.push_back(args->options[i].extraInfo);
  }
  creation.currentDirectory = fake::currentDirectory();
  if (state.created) {
    state.misuses.push_back("a second JNI_CreateJavaVM");
  }
  if (state.behaviour.createResult < 0) {
    *vm = nullptr;
    *env = nullptr;
    return state.behaviour.createResult;
  }
  state.created = true;
  *vm = state.behaviour.createLeavesVmNull ? nullptr : &virtualMachine;
  *env = state.behaviour.createLeavesEnvNull ? nullptr : &environment;
  return state.behaviour.createResult;
}

}  // namespace

namespace fakejni {

void reset() {
  state = State();
  nativeTable = JNINativeInterface_();
  nativeTable.FindClass = findClass;
  nativeTable.GetStaticMethodID = getStaticMethodId;
  nativeTable.ExceptionOccurred = exceptionOccurred;
  nativeTable.ExceptionDescribe = exceptionDescribe;
  nativeTable.ExceptionClear = exceptionClear;
  nativeTable.Throw = throwObject;
  nativeTable.GetObjectClass = getObjectClass;
  nativeTable.GetMethodID = getMethodId;
  nativeTable.CallObjectMethodV = callObjectMethodV;
  nativeTable.GetStringUTFChars = getStringUtfChars;
  nativeTable.ReleaseStringUTFChars = releaseStringUtfChars;
  nativeTable.FatalError = fatalError;
  nativeTable.NewObjectArray = newObjectArray;
  nativeTable.NewStringUTF = newStringUtf;
  nativeTable.SetObjectArrayElement = setObjectArrayElement;
  nativeTable.CallStaticVoidMethod = callStaticVoidMethod;
  nativeTable.CallStaticVoidMethodV = callStaticVoidMethodV;
  environment.functions = &nativeTable;
  invokeTable = JNIInvokeInterface_();
  invokeTable.DestroyJavaVM = destroyJavaVm;
  virtualMachine.functions = &invokeTable;
}

Behaviour& behaviour() { return state.behaviour; }

void installVmLibrary(const std::string& path) {
  fake::addFile(path, "MZ");
  fake::exportFunction(path, "JNI_CreateJavaVM",
                       reinterpret_cast<platform::ProcAddress>(createJavaVm));
}

CreateJavaVmFunction createJavaVmEntry() { return createJavaVm; }

JavaVM* javaVm() {
  state.created = true;  // as if creation had just succeeded
  return &virtualMachine;
}

JNIEnv* jniEnv() {
  state.created = true;
  return &environment;
}

const Creation& creation() { return state.creation; }
const std::vector<std::string>& calls() { return state.calls; }

int countCalls(const std::string& prefix) {
  int count = 0;
  for (const std::string& call : state.calls) {
    count += call.rfind(prefix, 0) == 0 ? 1 : 0;
  }
  return count;
}

const MainCall& mainCall() { return state.mainCall; }
const std::vector<std::string>& misuses() { return state.misuses; }

}  // namespace fakejni
