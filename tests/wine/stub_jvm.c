/* A stand-in for a Java runtime's jvm.dll, for tests of the launcher.
 *
 * It exports JNI_CreateJavaVM and answers every JNI call the launcher
 * makes, writing what it was given to a report file, one "key=value" line
 * per event, appended and flushed at once so that a process that ends in
 * the middle still leaves everything up to that point.
 *
 * Environment variables:
 *   VELTRANA_STUB_REPORT   the report file (nothing is written when unset)
 *   VELTRANA_STUB_MODE     how the VM misbehaves:
 *                            create-fails     JNI_CreateJavaVM returns -1
 *                            create-null-env  JNI_CreateJavaVM returns 0, no JNIEnv
 *                            create-null-vm   JNI_CreateJavaVM returns 0, no JavaVM
 *                            create-exits     JNI_CreateJavaVM ends the process (exit 1)
 *                            create-exits-msvcr71  the same through msvcr71.dll's exit
 *                            no-main-class    FindClass of the main class fails
 *                            no-main-method   GetStaticMethodID fails, exception pending
 *                            no-string-class  FindClass("java/lang/String") fails,
 *                                             exception pending
 *                            main-throws      main leaves an exception pending
 *   VELTRANA_STUB_WAIT_MS  main waits this many milliseconds before it returns
 *
 * Report lines:
 *   loaded=<path of this DLL>           when the DLL is loaded
 *   create=version=0x...;nOptions=N;ignoreUnrecognized=N
 *   option=<text>                       each of the nOptions options, in order
 *   missing=<entry>                     each class-path entry that names nothing
 *   acp=<number>                        the ANSI code page of the process
 *   cwd=<current directory>             at creation
 *   FindClass=<name>, GetStaticMethodID=<name> <signature>
 *   NewObjectArray=<length>, NewStringUTF=<hex bytes>,
 *   SetObjectArrayElement=<index>
 *   main-start=<array length>, arg=<hex bytes> (each element, in index
 *   order), main-end
 *   ExceptionDescribe, DestroyJavaVM, FatalError=<text>
 *   problem=<text>                      a call the launcher should not make
 *
 * Given the "vfprintf" hook option, it prints one line through the hook;
 * it also writes one line to its standard output handle.
 *
 * FatalError ends the process with kFatalErrorExitCode; any JNI function the
 * stub does not implement ends it with kUnexpectedCallExitCode. */
/* This library is the one that implements the invocation entry point. */
#define _JNI_IMPLEMENTATION_
#include <jni.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

enum { kFatalErrorExitCode = 57, kUnexpectedCallExitCode = 58 };

static const char kMainClassName[] = "com/kvn/vt/Veltrana";

/* The objects handed out: classes are fixed tokens, strings and arrays are
 * heap records. */
struct StubString {
  char* bytes;
};
struct StubArray {
  jsize length;
  jobject* items;
};
static char mainClassToken;
static char stringClassToken;
static char mainMethodToken;
static char throwableToken;

static struct JNINativeInterface_ envFunctions;
static struct JNIInvokeInterface_ vmFunctions;
static JNIEnv theEnv = &envFunctions;
static JavaVM theVm = &vmFunctions;

static char reportPath[MAX_PATH];
static char mode[64];
static DWORD mainThread;
static int exceptionPending;

static void readSetting(const char* name, char* buffer, DWORD size) {
  DWORD length = GetEnvironmentVariableA(name, buffer, size);
  if (length == 0 || length >= size) buffer[0] = '\0';
}

static void report(const char* key, const char* value) {
  FILE* file;
  if (reportPath[0] == '\0') return;
  file = fopen(reportPath, "ab");
  if (file == NULL) return;
  fputs(key, file);
  if (value != NULL) {
    fputc('=', file);
    fputs(value, file);
  }
  fputc('\n', file);
  fclose(file);
}

static void reportNumber(const char* key, long number) {
  char text[32];
  snprintf(text, sizeof text, "%ld", number);
  report(key, text);
}

static void reportHex(const char* key, const char* bytes) {
  size_t length = strlen(bytes);
  char* text = (char*)malloc(length * 2 + 1);
  size_t i;
  for (i = 0; i < length; ++i) {
    snprintf(text + i * 2, 3, "%02x", (unsigned char)bytes[i]);
  }
  text[length * 2] = '\0';
  report(key, text);
  free(text);
}

/* Every call must come from the thread that created the VM, with its env. */
static void checkCaller(JNIEnv* env, const char* function) {
  if (env != &theEnv) report("problem", function);
  if (GetCurrentThreadId() != mainThread) report("problem", "call from another thread");
}

static jclass JNICALL findClass(JNIEnv* env, const char* name) {
  checkCaller(env, "FindClass");
  report("FindClass", name);
  if (strcmp(name, kMainClassName) == 0) {
    if (strcmp(mode, "no-main-class") == 0) {
      exceptionPending = 1;
      return NULL;
    }
    return (jclass)&mainClassToken;
  }
  if (strcmp(name, "java/lang/String") == 0) {
    if (strcmp(mode, "no-string-class") == 0) {
      exceptionPending = 1;
      return NULL;
    }
    return (jclass)&stringClassToken;
  }
  exceptionPending = 1;
  return NULL;
}

static jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass cls, const char* name,
                                           const char* signature) {
  char text[512];
  checkCaller(env, "GetStaticMethodID");
  snprintf(text, sizeof text, "%s %s", name, signature);
  report("GetStaticMethodID", text);
  if (cls != (jclass)&mainClassToken) report("problem", "GetStaticMethodID on another class");
  if (strcmp(mode, "no-main-method") == 0) {
    exceptionPending = 1;
    return NULL;
  }
  return (jmethodID)&mainMethodToken;
}

static jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
  checkCaller(env, "ExceptionOccurred");
  return exceptionPending ? (jthrowable)&throwableToken : NULL;
}

static void JNICALL exceptionDescribe(JNIEnv* env) {
  checkCaller(env, "ExceptionDescribe");
  if (!exceptionPending) report("problem", "ExceptionDescribe without an exception");
  report("ExceptionDescribe", NULL);
  exceptionPending = 0;
}

static void JNICALL fatalError(JNIEnv* env, const char* message) {
  checkCaller(env, "FatalError");
  report("FatalError", message);
  ExitProcess(kFatalErrorExitCode);
}

static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementClass,
                                           jobject initial) {
  struct StubArray* array = (struct StubArray*)malloc(sizeof *array);
  checkCaller(env, "NewObjectArray");
  reportNumber("NewObjectArray", length);
  if (elementClass != (jclass)&stringClassToken) report("problem", "array of another class");
  array->length = length;
  array->items = (jobject*)calloc(length > 0 ? length : 1, sizeof(jobject));
  if (initial != NULL) report("problem", "array with an initial element");
  return (jobjectArray)array;
}

static jstring JNICALL newStringUTF(JNIEnv* env, const char* bytes) {
  struct StubString* string;
  checkCaller(env, "NewStringUTF");
  if (bytes == NULL) {
    report("NewStringUTF", "(null)");
    return NULL;
  }
  reportHex("NewStringUTF", bytes);
  string = (struct StubString*)malloc(sizeof *string);
  string->bytes = _strdup(bytes);
  return (jstring)string;
}

static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray handle, jsize index,
                                          jobject value) {
  struct StubArray* array = (struct StubArray*)handle;
  checkCaller(env, "SetObjectArrayElement");
  reportNumber("SetObjectArrayElement", index);
  if (index < 0 || index >= array->length) {
    report("problem", "array index out of bounds");
    return;
  }
  array->items[index] = value;
}

static void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID method, va_list args) {
  struct StubArray* array = va_arg(args, struct StubArray*);
  char wait[32];
  jsize i;
  checkCaller(env, "CallStaticVoidMethod");
  if (cls != (jclass)&mainClassToken || method != (jmethodID)&mainMethodToken) {
    report("problem", "CallStaticVoidMethod of another method");
  }
  reportNumber("main-start", array->length);
  for (i = 0; i < array->length; ++i) {
    struct StubString* element = (struct StubString*)array->items[i];
    if (element == NULL) {
      report("arg", "(null)");
    } else {
      reportHex("arg", element->bytes);
    }
  }
  readSetting("VELTRANA_STUB_WAIT_MS", wait, sizeof wait);
  if (wait[0] != '\0') Sleep((DWORD)strtoul(wait, NULL, 10));
  if (strcmp(mode, "main-throws") == 0) exceptionPending = 1;
  report("main-end", NULL);
}

static void JNICALL callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method, ...) {
  va_list args;
  va_start(args, method);
  callStaticVoidMethodV(env, cls, method, args);
  va_end(args);
}

static jint JNICALL destroyJavaVM(JavaVM* vm) {
  if (vm != &theVm) report("problem", "DestroyJavaVM on another VM");
  report("DestroyJavaVM", NULL);
  return 0;
}

/* Never returns, so its calling convention does not matter. */
static void unexpectedCall(void) {
  report("problem", "unexpected JNI call");
  ExitProcess(kUnexpectedCallExitCode);
}

/* Each class-path entry that names nothing, as the VM would find it. */
static void reportMissingEntries(const char* option) {
  static const char prefix[] = "-Djava.class.path=";
  char* entries;
  char* entry;
  if (strncmp(option, prefix, sizeof prefix - 1) != 0) return;
  entries = _strdup(option + sizeof prefix - 1);
  if (entries == NULL) return;
  for (entry = strtok(entries, ";"); entry != NULL; entry = strtok(NULL, ";")) {
    if (GetFileAttributesA(entry) == INVALID_FILE_ATTRIBUTES) report("missing", entry);
  }
  free(entries);
}

static void fillWithUnexpected(void* table, size_t size) {
  void (**slot)(void) = (void (**)(void))table;
  size_t count = size / sizeof *slot;
  size_t i;
  for (i = 0; i < count; ++i) slot[i] = unexpectedCall;
}

static void buildTables(void) {
  fillWithUnexpected(&envFunctions, sizeof envFunctions);
  envFunctions.reserved0 = envFunctions.reserved1 = NULL;
  envFunctions.reserved2 = envFunctions.reserved3 = NULL;
  envFunctions.FindClass = findClass;
  envFunctions.GetStaticMethodID = getStaticMethodID;
  envFunctions.ExceptionOccurred = exceptionOccurred;
  envFunctions.ExceptionDescribe = exceptionDescribe;
  envFunctions.FatalError = fatalError;
  envFunctions.NewObjectArray = newObjectArray;
  envFunctions.NewStringUTF = newStringUTF;
  envFunctions.SetObjectArrayElement = setObjectArrayElement;
  envFunctions.CallStaticVoidMethod = callStaticVoidMethod;
  envFunctions.CallStaticVoidMethodV = callStaticVoidMethodV;

  fillWithUnexpected(&vmFunctions, sizeof vmFunctions);
  vmFunctions.reserved0 = vmFunctions.reserved1 = vmFunctions.reserved2 = NULL;
  vmFunctions.DestroyJavaVM = destroyJavaVM;
}

typedef jint(JNICALL* PrintHook)(FILE* stream, const char* format, va_list args);

static void printThroughHook(PrintHook hook, const char* format, ...) {
  va_list args;
  va_start(args, format);
  hook(stdout, format, args);
  va_end(args);
}

#ifdef VELTRANA_STUB_IMPORTS_MARKER
/* From vtdep.dll, so that loading this library loads that one too. */
__declspec(dllimport) int markerPresent(void);
#endif

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
  JavaVMInitArgs* initArgs = (JavaVMInitArgs*)arguments;
  char text[MAX_PATH + 64];
  DWORD written;
  jint i;

  readSetting("VELTRANA_STUB_MODE", mode, sizeof mode);
  snprintf(text, sizeof text, "version=0x%08lx;nOptions=%ld;ignoreUnrecognized=%d",
           (unsigned long)initArgs->version, (long)initArgs->nOptions,
           (int)initArgs->ignoreUnrecognized);
  report("create", text);
  for (i = 0; i < initArgs->nOptions; ++i) {
    const char* option = initArgs->options[i].optionString;
    void* extraInfo = initArgs->options[i].extraInfo;
    report("option", option);
    if (extraInfo != NULL && strcmp(option, "vfprintf") == 0) {
      printThroughHook((PrintHook)extraInfo, "stub VM: %s %d\n", "hook", 42);
    } else if (extraInfo != NULL && strcmp(option, "exit") != 0 && strcmp(option, "abort") != 0) {
      report("problem", "option with extraInfo");
    }
  }
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "stub VM on standard output\r\n", 28, &written, NULL);
  for (i = 0; i < initArgs->nOptions; ++i) {
    reportMissingEntries(initArgs->options[i].optionString);
  }
  reportNumber("acp", (long)GetACP());
  if (GetCurrentDirectoryA(sizeof text, text) == 0) text[0] = '\0';
  report("cwd", text);

#ifdef VELTRANA_STUB_IMPORTS_MARKER
  if (!markerPresent()) return JNI_ERR;
#endif
  if (strcmp(mode, "create-fails") == 0) return JNI_ERR;
  if (strcmp(mode, "create-exits") == 0) exit(1);
  if (strcmp(mode, "create-exits-msvcr71") == 0) {
    HMODULE runtime = GetModuleHandleA("msvcr71.dll");
    FARPROC runtimeExit = runtime != NULL ? GetProcAddress(runtime, "exit") : NULL;
    if (runtimeExit != NULL) ((void(__cdecl*)(int))(void (*)(void))runtimeExit)(1);
    report("problem", "msvcr71.dll has no exit");
    return JNI_ERR;
  }
  buildTables();
  mainThread = GetCurrentThreadId();
  *vm = strcmp(mode, "create-null-vm") == 0 ? NULL : &theVm;
  *env = strcmp(mode, "create-null-env") == 0 ? NULL : (void*)&theEnv;
  return JNI_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH];
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    readSetting("VELTRANA_STUB_REPORT", reportPath, sizeof reportPath);
    if (GetModuleFileNameA(instance, path, sizeof path) == 0) path[0] = '\0';
    report("loaded", path);
  }
  return TRUE;
}
