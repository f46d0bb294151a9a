// The launch trace's outlet on Windows: a file, which also receives what
// the process writes to its standard output and standard error.
#include <windows.h>
// io.h and fcntl.h for handing the standard handles to the C runtime.
#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

#include "platform/common/trace_stream.h"
#include "platform/platform.h"
#include "platform/trace_outlet.h"
#include "platform/win32/wide_text_win.h"
#include "rules/blank_text.h"

namespace platform {

namespace {

// The trace file for appending, taken only when it is a disk file or a
// character device (a console, NUL): a pipe would hold the launch up.
// INVALID_HANDLE_VALUE otherwise.
HANDLE openTraceFile(const std::u16string& path) {
  HANDLE file = CreateFileW(wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return file;
  }
  DWORD type = GetFileType(file);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// A GUI process has no console, so whatever the VM and the application
// print would be lost. Point the process's standard handles, and the C
// runtime's descriptors 1 and 2, at the trace file. The VM's own runtime
// library reads the standard handles when it is loaded, which is later.
void sendStandardOutputTo(const std::u16string& path) {
  HANDLE file = openTraceFile(path);
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

// True when the file at path is a program image made for a machine other
// than the 32-bit x86 this launcher runs on.
bool isImageForAnotherMachine(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  unsigned char header[4096] = {0};
  DWORD got = 0;
  bool read = ReadFile(file, header, sizeof header, &got, nullptr) != 0;
  CloseHandle(file);
  if (!read || got < 0x40 || header[0] != 'M' || header[1] != 'Z') {
    return false;
  }
  DWORD at = header[0x3C] | (header[0x3D] << 8) | (header[0x3E] << 16) |
             (static_cast<DWORD>(header[0x3F]) << 24);
  if (at > got - 6 || header[at] != 'P' || header[at + 1] != 'E' || header[at + 2] != 0 ||
      header[at + 3] != 0) {
    return false;
  }
  unsigned machine = header[at + 4] | (header[at + 5] << 8);
  return machine != IMAGE_FILE_MACHINE_I386;
}

// Opens path as the trace's output and the process's
// standard output and standard error.
bool openWideTraceOutput(const std::u16string& path) {
  closeTraceOutput();
  HANDLE file = openTraceFile(path);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_TEXT);
  if (descriptor < 0) {
    CloseHandle(file);
    return false;
  }
  std::FILE* stream = _fdopen(descriptor, "a");
  if (stream == nullptr) {
    _close(descriptor);
    return false;
  }
  adoptTraceStream(stream, false);
  sendStandardOutputTo(path);
  return true;
}

}  // namespace

bool openTraceOutput(const char* path) {
  if (path == nullptr) {
    closeTraceOutput();
    adoptTraceStream(stderr, true);
    return true;
  }
  std::u16string widePath;
  return fromAnsi(path, widePath) && openWideTraceOutput(widePath);
}

bool openTraceOutputNamedBy(const char* variable) {
  std::u16string path;
  return readWideVariable(variable, path) && !path.empty() && openWideTraceOutput(path);
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

std::string describeKeyIn64BitView(const char* subKey) {
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
}

std::vector<std::string> describeLoadFailure(const char* path, unsigned long code) {
  // The system's texts keep their inserts ("%1") as they are; the one a
  // loader's text has is the library's path.
  std::string text = withoutLineEnd(formatMessage(code));
  std::size_t insert = text.find("%1");
  if (insert != std::string::npos) {
    text.replace(insert, 2, path);
  }
  std::vector<std::string> lines = {"error " + std::to_string(code) + ": " + text};
  if (code == ERROR_BAD_EXE_FORMAT && isImageForAnotherMachine(path)) {
    lines.push_back(
        "hint: this runtime is not a 32-bit one; the launcher is a 32-bit program and "
        "can load only a 32-bit jvm.dll");
  }
  return lines;
}

// The stream belongs to the VM's own runtime library; its standard handles
// lead to the trace file anyway, so the trace's line is the copy.
bool vmTextGoesOnTo(std::FILE*) { return false; }

}  // namespace platform
