#include "platform/trace_output.h"

#include <chrono>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
// io.h and fcntl.h for handing the standard handles to the C runtime.
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

// Taken while the program's static data is set up, before main runs.
const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

std::FILE* output = nullptr;
bool toStandardError = false;
std::vector<std::string> remarks;

#if defined(_WIN32)
// A GUI process has no console, so whatever the VM and the application
// print would be lost. Point the process's standard handles, and the C
// runtime's descriptors 1 and 2, at the trace file. The VM's own runtime
// library reads the standard handles when it is loaded, which is later.
void sendStandardOutputTo(const char* path) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  SetStdHandle(STD_ERROR_HANDLE, file);
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_TEXT);
  if (descriptor >= 0) {
    _dup2(descriptor, 1);
    _dup2(descriptor, 2);
  }
}
#endif

}  // namespace

bool openTraceOutput(const char* path) {
  closeTraceOutput();
  if (path == nullptr) {
    output = stderr;
    toStandardError = true;
    return true;
  }
  output = std::fopen(path, "a");
  if (output == nullptr) {
    return false;
  }
#if defined(_WIN32)
  sendStandardOutputTo(path);
#endif
  return true;
}

bool traceOutputOpen() { return output != nullptr; }

void writeTraceText(const std::string& text) {
  if (output == nullptr) {
    return;
  }
  std::fwrite(text.data(), 1, text.size(), output);
  std::fflush(output);
}

void notePlatformRemark(const std::string& text) {
  if (output != nullptr) {
    remarks.push_back(text);
  }
}

std::vector<std::string> takePlatformRemarks() {
  std::vector<std::string> taken;
  taken.swap(remarks);
  return taken;
}

void closeTraceOutput() {
  if (output != nullptr && !toStandardError) {
    std::fclose(output);
  }
  output = nullptr;
  toStandardError = false;
}

bool traceOutputIsStandardError() { return toStandardError; }

long long traceClockMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               started)
      .count();
}

unsigned long currentProcessId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

std::string describeKeyIn64BitView(const char* subKey) {
#if defined(_WIN32)
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | KEY_WOW64_64KEY, &key);
  if (result != ERROR_SUCCESS) {
    return "not in the 64-bit registry view either (error " + std::to_string(result) + ")";
  }
  std::string text = "present in the 64-bit registry view";
  char version[80] = {0};
  DWORD type = 0;
  DWORD size = sizeof version - 1;
  if (RegQueryValueExA(key, "CurrentVersion", nullptr, &type, reinterpret_cast<LPBYTE>(version),
                       &size) == ERROR_SUCCESS &&
      type == REG_SZ) {
    text += ", CurrentVersion \"" + std::string(version) + "\"";
  }
  RegCloseKey(key);
  return text + ": only a 64-bit program can use what is registered there";
#else
  (void)subKey;
  return std::string();
#endif
}

}  // namespace platform
