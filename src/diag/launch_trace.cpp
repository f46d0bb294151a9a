#include "diag/launch_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <vector>

#include "diag/session_log.h"
#include "diag/traced_platform.h"
#include "platform/conventions.h"
#include "platform/platform.h"
#include "platform/trace_output.h"
#include "runtime/java_runtime.h"
#include "vmconfig/class_path.h"

#ifndef VELTRANA_VERSION_TEXT
#define VELTRANA_VERSION_TEXT "unknown"
#endif

namespace {

const char* const kStageNames[] = {"",
                                   "single-instance guard",
                                   "release worker",
                                   "install folder",
                                   "Java runtime",
                                   "search path and QuickTime folder",
                                   "security policy file",
                                   "library path and class path",
                                   "VM options and creation",
                                   "main class and shutdown",
                                   "exit"};
constexpr int kLastStage = 10;

bool on = false;
int currentStage = 0;
long long stageStartedAt = 0;
// Time spent writing the trace itself, left out of the times it reports
// so that they show the launcher's own work.
long long writing = 0;
long long writingAtStageStart = 0;
long long launchStartedAt = 0;

// Names of the keys opened so far, so a value read can say whose it is.
std::map<platform::RegKey, std::string> keyNames;

enum class PrivateFile { None, Created, Failed };
PrivateFile privateFile = PrivateFile::None;
std::string privateFileError;

CreateJavaVmFunction realCreateJavaVm = nullptr;
std::string vmOutput;  // the VM's text not yet ended by a line feed

// The VM's hooks may be called from any of its threads while the main
// thread writes its own lines; these keep the lines whole.
std::atomic_flag lineLock = ATOMIC_FLAG_INIT;
std::atomic_flag vmOutputLock = ATOMIC_FLAG_INIT;

class SpinLock {
 public:
  explicit SpinLock(std::atomic_flag& flag) : flag(flag) {
    while (flag.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~SpinLock() { flag.clear(std::memory_order_release); }

 private:
  std::atomic_flag& flag;
};

long long now() { return platform::traceClockMicroseconds(); }

std::string withoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

std::string systemText(unsigned long code) {
  return "error " + std::to_string(code) + ": " + withoutLineEnd(platform::formatMessage(code));
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string keyName(platform::RegKey key) {
  auto found = keyNames.find(key);
  return found == keyNames.end() ? std::string("(unknown key)") : found->second;
}

std::string typeName(unsigned long type) {
  switch (type) {
    case platform::kRegSz:
      return "REG_SZ";
    case platform::kRegExpandSz:
      return "REG_EXPAND_SZ";
    case platform::kRegBinary:
      return "REG_BINARY";
    case platform::kRegDword:
      return "REG_DWORD";
    default:
      return "type " + std::to_string(type);
  }
}

// The class of the pending exception, which stays pending afterwards.
std::string pendingExceptionClass(JNIEnv* env) {
  jthrowable thrown = env->ExceptionOccurred();
  if (thrown == nullptr) {
    return std::string();
  }
  env->ExceptionClear();
  std::string name = "(class not known)";
  jclass thrownClass = env->GetObjectClass(thrown);
  jclass classClass = thrownClass != nullptr ? env->GetObjectClass(thrownClass) : nullptr;
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

// --- The VM's hooks, used in trace mode only --------------------------------

void traceVmText(const std::string& text) {
  std::vector<std::string> lines;
  {
    SpinLock lock(vmOutputLock);
    vmOutput += text;
    std::size_t end;
    while ((end = vmOutput.find('\n')) != std::string::npos) {
      lines.push_back("VM: " + withoutLineEnd(vmOutput.substr(0, end)));
      vmOutput.erase(0, end + 1);
    }
  }
  for (const std::string& line : lines) {
    traceEvent(line);
  }
}

// A last line the VM did not end, before the process goes.
void endVmText() {
  bool partial;
  {
    SpinLock lock(vmOutputLock);
    partial = !vmOutput.empty();
  }
  if (partial) {
    traceVmText("\n");
  }
}

jint JNICALL vmPrintHook(FILE* stream, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  std::vector<char> buffer(512);
  int length = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
  va_end(copy);
  if (length >= 0 && static_cast<std::size_t>(length) >= buffer.size()) {
    buffer.resize(static_cast<std::size_t>(length) + 1);
    va_copy(copy, args);
    std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
  }
  if (length < 0) {
    return length;
  }
  traceVmText(buffer.data());
#if defined(_WIN32)
  // The stream belongs to the VM's own runtime library; its standard
  // handles lead to the trace file anyway, so the line above is the copy.
  (void)stream;
  return length;
#else
  // The text still reaches the stream the VM meant, unless that is where
  // the trace itself goes.
  if (platform::traceOutputIsStandardError() && fileno(stream) == 2) {
    return length;
  }
  return std::vfprintf(stream, format, args);
#endif
}

void JNICALL vmExitHook(jint code) {
  endVmText();
  traceEvent("the VM ends the process with exit code " + std::to_string(code));
}

// A VM that fails while it starts up ends the process through this path
// (HotSpot then exits with code 1), not through the exit hook.
void JNICALL vmAbortHook() {
  endVmText();
  traceEvent("the VM aborts and ends the process");
}

jint JNICALL tracedCreateJavaVm(JavaVM** vm, void** env, void* args) {
  JavaVMInitArgs* initArgs = static_cast<JavaVMInitArgs*>(args);
  std::vector<JavaVMOption> options(initArgs->options, initArgs->options + initArgs->nOptions);
  for (std::size_t i = 0; i < options.size(); ++i) {
    traceEvent("VM option " + std::to_string(i + 1) + ": " + options[i].optionString);
  }
  JavaVMOption printHook;
  printHook.optionString = const_cast<char*>("vfprintf");
  printHook.extraInfo = reinterpret_cast<void*>(&vmPrintHook);
  JavaVMOption exitHook;
  exitHook.optionString = const_cast<char*>("exit");
  exitHook.extraInfo = reinterpret_cast<void*>(&vmExitHook);
  JavaVMOption abortHook;
  abortHook.optionString = const_cast<char*>("abort");
  abortHook.extraInfo = reinterpret_cast<void*>(&vmAbortHook);
  options.push_back(printHook);
  options.push_back(exitHook);
  options.push_back(abortHook);
  traceEvent("trace only: the VM's vfprintf, exit and abort hooks are added after those options");

  JavaVMInitArgs hooked = *initArgs;
  hooked.options = options.data();
  hooked.nOptions = static_cast<jint>(options.size());
  traceEvent("JNI_CreateJavaVM called, " + std::to_string(now() - launchStartedAt - writing) +
             " us of launcher work since stage 1 began (trace writing left out)");
  long long startedAt = now();
  jint result = realCreateJavaVm(vm, env, &hooked);
  traceEvent("JNI_CreateJavaVM returned " + std::to_string(result) + " after " +
             std::to_string(now() - startedAt) + " us");
  return result;
}

}  // namespace

// --- Turning the trace on ---------------------------------------------------

void startLaunchTrace() {
  on = false;
  const char* setting = platform::getEnv("VELTRANA_TRACE");
  if (setting == nullptr || setting[0] == '\0') {
    return;
  }
  bool opened = false;
  if (std::string(setting) != "1") {
    opened = platform::openTraceOutput(setting);
  } else {
#if defined(VELTRANA_WINDOWS_CONVENTIONS)
    // A GUI program has no console: the trace goes beside the session log.
    std::string path = userLogFilePath("Veltrana Launch Trace.txt");
    if (!path.empty()) {
      opened = platform::openTraceOutput(path.c_str());
    }
#else
    opened = platform::openTraceOutput(nullptr);
#endif
  }
  if (!opened) {
    return;  // the launch goes on untraced
  }
  on = true;
  currentStage = 0;
  writing = 0;
  keyNames.clear();

  std::string executable;
  platform::getModuleFileName(executable);
  platform::writeTraceText("\n===== Veltrana launch trace, " +
                           withoutLineEnd(platform::localTimeText()) + " =====\n");
  traceEvent("process " + std::to_string(platform::currentProcessId()) + ", executable " +
             executable + ", launcher version " VELTRANA_VERSION_TEXT);
}

void traceEvent(const std::string& text) {
  if (!on) {
    return;
  }
  long long at = now();
  std::string time = std::to_string(at);
  if (time.size() < 10) {
    time.insert(0, 10 - time.size(), ' ');
  }
  SpinLock lock(lineLock);
  // What the platform layer adjusted since the last line comes first.
  for (const std::string& remark : platform::takePlatformRemarks()) {
    platform::writeTraceText(time + " us  platform: " + remark + "\n");
  }
  platform::writeTraceText(time + " us  " + text + "\n");
  writing += now() - at;
}

// --- Stage markers ----------------------------------------------------------

void traceStage(int number) {
  if (!on) {
    return;
  }
  long long at = now();
  if (currentStage >= 1 && currentStage <= kLastStage) {
    traceEvent("stage " + std::to_string(currentStage) + " ended: " + kStageNames[currentStage] +
               ", " + std::to_string(at - stageStartedAt - (writing - writingAtStageStart)) +
               " us");
  }
  if (number == 1) {
    launchStartedAt = at;
  }
  currentStage = number;
  stageStartedAt = now();
  writingAtStageStart = writing;
  if (number >= 1 && number <= kLastStage) {
    traceEvent("stage " + std::to_string(number) + " begun: " + kStageNames[number]);
  }
  if (number == 6) {
    privateFile = PrivateFile::None;
  }
}

void traceGuard(bool guardHeld) {
  if (!on) {
    return;
  }
  traceEvent(guardHeld ? "guard: the name \"Veltrana.jar\" is ours"
                       : "guard: another launch holds the name \"Veltrana.jar\"");
}

void traceInstallDir(const std::string& installDir) {
  if (!on) {
    return;
  }
  traceEvent("install folder: " + installDir);
}

void traceRuntimeChosen(const std::string& installDir) {
  if (!on) {
    return;
  }
  std::string home = javaHomeDir;
  std::string library = runtimeLibPath;
  std::string privateFolder = std::string(conventions::kSeparator) + jreFolderName();
  bool privateRuntime =
      library == home + conventions::kPrivateVmLibrary && home.size() >= privateFolder.size() &&
      home.compare(home.size() - privateFolder.size(), std::string::npos, privateFolder) == 0;
  std::string why;
  if (privateRuntime) {
    std::string base = home.substr(0, home.size() - privateFolder.size());
    why = base == javaFolderBeside(installDir)
              ? "the private runtime in the \"Java\" folder beside the install folder"
              : "the private runtime in the folder the maker's key names";
  } else {
    why = "the Java vendor's key, CurrentVersion " + quoted(jreCurrentVersion);
  }
  traceEvent("runtime chosen: " + why + "; home " + quoted(home) + ", VM library " +
             quoted(library));
}

void tracePolicyFile(const std::string& policyFilePath) {
  if (!on) {
    return;
  }
  if (policyFilePath.empty()) {
    traceEvent("policy file: skipped, no usable temporary folder");
  } else if (privateFile == PrivateFile::Created) {
    traceEvent("policy file " + policyFilePath + ": written");
  } else if (privateFile == PrivateFile::Failed) {
    traceEvent("policy file " + policyFilePath + ": not written (" + privateFileError +
               "); the option names it all the same");
  } else {
    traceEvent("policy file " + policyFilePath + ": kept, an earlier file could not be deleted");
  }
}

void traceClassPathScan(const std::string& installDir) {
  if (!on) {
    return;
  }
  const ClassPathScanCounts& counts = classPathScanCounts;
  traceEvent("class-path scan of " + installDir + conventions::kLibDirScan + ": " +
             std::to_string(counts.foldersEntered) + " folders entered, " +
             std::to_string(counts.entriesSeen) + " entries seen, " +
             std::to_string(counts.archivesAdded) + " archives added, " +
             std::to_string(counts.foldersRevisited) + " folders skipped as already visited, " +
             std::to_string(counts.foldersUnreadable) + " folders unreadable, " +
             std::to_string(counts.entriesUnnamed) + " entries without a usable name, " +
             std::to_string(counts.entriesWithoutStatus) + " entries without a status, " +
             std::to_string(now() - stageStartedAt - (writing - writingAtStageStart)) + " us");
}

int traceExit(int code) {
  if (on) {
    traceStage(0);
    traceEvent("exit code " + std::to_string(code));
  }
  return code;
}

void traceReport(const std::string& errorText, bool fatal) {
  if (!on) {
    return;
  }
  traceEvent("session log entry and " + std::string(fatal ? "message box: " : "no box: ") +
             errorText);
  if (fatal) {
    traceEvent("stage " + std::to_string(currentStage) + " ends the launch: exit code 1");
  }
}

CreateJavaVmFunction traceCreation(CreateJavaVmFunction entry) {
  if (!on || entry == nullptr) {
    return entry;
  }
  realCreateJavaVm = entry;
  return &tracedCreateJavaVm;
}

// --- The traced seam calls ------------------------------------------------

namespace traced {

long regOpenKey(const char* subKey, platform::RegKey* key) {
  long result = platform::regOpenKey(subKey, key);
  if (on) {
    if (result == 0) {
      keyNames[*key] = subKey;
      traceEvent("registry key " + std::string(subKey) + ": opened");
    } else {
      traceEvent("registry key " + std::string(subKey) + ": not opened, " +
                 systemText(static_cast<unsigned long>(result)));
      std::string otherView = platform::describeKeyIn64BitView(subKey);
      if (!otherView.empty()) {
        traceEvent("registry key " + std::string(subKey) + ": " + otherView);
      }
    }
  }
  return result;
}

long regQueryValue(platform::RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size) {
  long result = platform::regQueryValue(key, name, type, data, size);
  if (!on) {
    return result;
  }
  std::string value = "registry value " + keyName(key) + "\\" + name;
  if (result != 0) {
    traceEvent(value + ": not read, " + systemText(static_cast<unsigned long>(result)));
  } else if (data == nullptr) {
    unsigned long valueType = type != nullptr ? *type : 0;
    bool text = valueType == platform::kRegSz || valueType == platform::kRegExpandSz;
    traceEvent(value + ": " + typeName(valueType) + ", " + std::to_string(*size) + " bytes" +
               (text ? std::string() : ", refused: not text"));
  } else {
    std::string bytes(reinterpret_cast<const char*>(data), *size);
    traceEvent(value + " = " + quoted(bytes.substr(0, bytes.find('\0'))));
  }
  return result;
}

void registryValueTooLarge(platform::RegKey key, const char* name, unsigned long capacity) {
  if (!on) {
    return;
  }
  traceEvent("registry value " + keyName(key) + "\\" + name +
             ": refused, it does not fit its buffer of " + std::to_string(capacity) + " bytes");
}

int statPath(const char* path, bool* isDirectory) {
  int result = platform::statPath(path, isDirectory);
  if (on) {
    traceEvent((result == 0 ? "exists: " : "does not exist: ") + std::string(path));
  }
  return result;
}

int unlinkFile(const char* path) {
  int result = platform::unlinkFile(path);
  if (on) {
    // Each try at placing the policy file starts here.
    privateFile = PrivateFile::None;
    traceEvent((result == 0 ? "deleted: " : "not deleted: ") + std::string(path));
  }
  return result;
}

platform::FileHandle createPrivateFile(const char* path) {
  platform::FileHandle file = platform::createPrivateFile(path);
  if (on) {
    if (file != nullptr) {
      privateFile = PrivateFile::Created;
    } else {
      unsigned long code = platform::getLastError();
      privateFile = PrivateFile::Failed;
      privateFileError = systemText(code);
      platform::setLastError(code);
    }
  }
  return file;
}

platform::LibraryHandle loadLibrary(const char* path) {
  long long startedAt = on ? now() : 0;
  platform::LibraryHandle library = platform::loadLibrary(path);
  if (!on) {
    return library;
  }
  if (library != nullptr) {
    traceEvent("library loaded: " + std::string(path) + ", " + std::to_string(now() - startedAt) +
               " us");
    return library;
  }
  unsigned long code = platform::getLastError();
  traceEvent("library not loaded: " + std::string(path) + ": " + systemText(code));
  constexpr unsigned long kErrorBadExeFormat = 193;
  if (code == kErrorBadExeFormat) {
    traceEvent(
        "hint: this runtime is not a 32-bit one; the launcher is a 32-bit program and "
        "can load only a 32-bit jvm.dll");
  }
  platform::setLastError(code);
  return library;
}

platform::ProcAddress getProcAddress(platform::LibraryHandle library, const char* name) {
  platform::ProcAddress address = platform::getProcAddress(library, name);
  if (!on) {
    return address;
  }
  traceEvent("entry point " + std::string(name) + (address != nullptr ? ": found" : ": missing"));
  return address;
}

jclass findClass(JNIEnv* env, const char* name) {
  jclass found = env->FindClass(name);
  if (on) {
    if (found != nullptr) {
      traceEvent("class " + std::string(name) + ": found");
    } else {
      std::string pending = pendingExceptionClass(env);
      traceEvent("class " + std::string(name) + ": not found" +
                 (pending.empty() ? std::string(", no exception pending")
                                  : ", pending exception " + pending));
    }
  }
  return found;
}

void callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, jobjectArray argument) {
  if (!on) {
    env->CallStaticVoidMethod(cls, method, argument);
    return;
  }
  traceEvent("main called");
  long long startedAt = now();
  env->CallStaticVoidMethod(cls, method, argument);
  long long ranFor = now() - startedAt;
  std::string pending = pendingExceptionClass(env);
  traceEvent("main returned after " + std::to_string(ranFor) + " us" +
             (pending.empty() ? std::string() : ", pending exception " + pending));
}

jint destroyJavaVm(JavaVM* vm) {
  if (!on) {
    return vm->DestroyJavaVM();
  }
  long long startedAt = now();
  jint result = vm->DestroyJavaVM();
  traceEvent("DestroyJavaVM returned " + std::to_string(result) + " after " +
             std::to_string(now() - startedAt) + " us");
  return result;
}

}  // namespace traced
