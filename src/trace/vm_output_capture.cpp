#include "trace/vm_output_capture.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/trace_outlet.h"
#include "rules/blank_text.h"
#include "trace/launch_trace.h"
#include "trace/spin_lock.h"
#include "trace/trace_lines.h"

namespace {

CreateJavaVmFunction realCreateJavaVm = nullptr;

// Each of the VM's threads has its own text not yet ended by a line feed,
// so that two threads printing parts of lines at once still give whole
// lines. A thread's slot is its index here, taken on its first print.
std::vector<std::string> partialLines;
int slotsGeneration = 0;  // a new launch (in the tests) gives out new slots
thread_local int partialSlot = -1;
thread_local int partialSlotGeneration = -1;
std::atomic_flag partialLock = ATOMIC_FLAG_INIT;

void traceVmText(const std::string& text) {
  std::vector<std::string> lines;
  {
    SpinLock lock(partialLock);
    if (partialSlot < 0 || partialSlotGeneration != slotsGeneration) {
      partialSlotGeneration = slotsGeneration;
      partialSlot = static_cast<int>(partialLines.size());
      partialLines.emplace_back();
    }
    std::string& partial = partialLines[static_cast<std::size_t>(partialSlot)];
    partial += text;
    std::size_t end;
    while ((end = partial.find('\n')) != std::string::npos) {
      lines.push_back("VM: " + platform::withoutLineEnd(partial.substr(0, end)));
      partial.erase(0, end + 1);
    }
  }
  for (const std::string& line : lines) {
    traceLine(line);
  }
}

// The last lines the VM's threads did not end, before the process goes.
void endVmText() {
  std::vector<std::string> lines;
  {
    SpinLock lock(partialLock);
    for (std::string& partial : partialLines) {
      if (!partial.empty()) {
        lines.push_back("VM: " + platform::withoutLineEnd(partial));
        partial.clear();
      }
    }
  }
  for (const std::string& line : lines) {
    traceLine(line);
  }
}

#ifdef _WIN32
// The VM's formats are written for the system's C runtime (msvcrt), whose
// printf this hook stands in for; the C++ library would otherwise bind the
// standard names to mingw's own engine, a different dialect and a large
// part of the executable. _vsnprintf neither ends a cut text nor tells its
// full length, so the length is asked first and the buffer always fits.
int formatLength(const char* format, va_list args) { return _vscprintf(format, args); }
void formatInto(std::vector<char>& buffer, const char* format, va_list args) {
  _vsnprintf(buffer.data(), buffer.size(), format, args);
  buffer.back() = '\0';
}
int printOn(FILE* stream, const char* format, va_list args) {
  return __ms_vfprintf(stream, format, args);
}
#else
int formatLength(const char* format, va_list args) {
  return std::vsnprintf(nullptr, 0, format, args);
}
void formatInto(std::vector<char>& buffer, const char* format, va_list args) {
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
}
int printOn(FILE* stream, const char* format, va_list args) {
  return std::vfprintf(stream, format, args);
}
#endif

jint JNICALL vmPrintHook(FILE* stream, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = formatLength(format, copy);
  va_end(copy);
  if (length < 0) {
    return length;
  }
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  va_copy(copy, args);
  formatInto(buffer, format, copy);
  va_end(copy);
  traceVmText(buffer.data());
  if (!platform::vmTextGoesOnTo(stream)) {
    return length;
  }
  return printOn(stream, format, args);
}

void JNICALL vmExitHook(jint code) {
  endVmText();
  traceLine("the VM ends the process with exit code " + std::to_string(code));
}

// A VM that fails while it starts up ends the process through this path
// (HotSpot then exits with code 1), not through the exit hook.
void JNICALL vmAbortHook() {
  endVmText();
  traceLine("the VM aborts and ends the process");
}

jint JNICALL capturedCreateJavaVm(JavaVM** vm, void** env, void* args) {
  JavaVMInitArgs* initArgs = static_cast<JavaVMInitArgs*>(args);
  std::vector<JavaVMOption> options(initArgs->options, initArgs->options + initArgs->nOptions);
  for (std::size_t i = 0; i < options.size(); ++i) {
    traceLine("VM option " + std::to_string(i + 1) + ": " + options[i].optionString);
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
  traceLine("trace only: the VM's vfprintf, exit and abort hooks are added after those options");

  JavaVMInitArgs hooked = *initArgs;
  hooked.options = options.data();
  hooked.nOptions = static_cast<jint>(options.size());
  traceLine("JNI_CreateJavaVM called, " + std::to_string(launcherWorkSoFar()) +
            " us of launcher work since stage 1 began (trace writing left out)");
  long long startedAt = traceNow();
  jint result = realCreateJavaVm(vm, env, &hooked);
  traceLine("JNI_CreateJavaVM returned " + std::to_string(result) + " after " +
            std::to_string(traceNow() - startedAt) + " us");
  return result;
}

}  // namespace

CreateJavaVmFunction captureVmOutput(CreateJavaVmFunction entry) {
  if (!traceLinesOn() || entry == nullptr) {
    return entry;
  }
  realCreateJavaVm = entry;
  {
    SpinLock lock(partialLock);
    partialLines.clear();
    slotsGeneration++;
  }
  return &capturedCreateJavaVm;
}
