// Windows build only: what a C++ exception that nobody catches would do,
// without the exception runtime. The whole Windows build is compiled
// without exceptions: the launcher catches nothing, and the C++ library's
// unwinder, personality routine and exception classes would be a fifth of
// Veltrana.exe. Where the library would throw (a string grown past its
// maximum, memory exhausted), the routines below report the same facts an
// uncaught exception reports on standard error (where a trace may be
// collecting it) and end the process as std::terminate does.
//
// All of the library's throw helpers are defined here, so none of its own
// comes in; a newer compiler that adds one shows up as a duplicate symbol
// at link time, never as a silent change. The link map must show no
// eh_*.o and no unwind-*.o: tests/wine/check_executable.py looks.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// The type is spelt as the library's own report spells it: the mangled
// name for the exceptions without a message, the plain one for the others.
[[noreturn]] void endAfter(const char* type, const char* what) {
  std::fputs("terminate called after throwing an instance of '", stderr);
  std::fputs(type, stderr);
  std::fputs("'\n", stderr);
  if (what != nullptr) {
    std::fputs("  what():  ", stderr);
    std::fputs(what, stderr);
    std::fputs("\n", stderr);
  }
  std::abort();
}

[[noreturn]] void outOfMemory() { endAfter("St9bad_alloc", "std::bad_alloc"); }

// Memory for new: the library's own operator new throws when malloc fails
// and no new-handler frees any, which is what brings the exception
// runtime along; the launcher installs no handler, so exhaustion ends here.
void* allocate(std::size_t size) {
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) {
    outOfMemory();
  }
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace __gnu_cxx {

// Nothing is thrown, so std::terminate is reached only from the library's
// own checks; there is no exception to name.
void __verbose_terminate_handler() {
  std::fputs("terminate called without an active exception\n", stderr);
  std::abort();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() { outOfMemory(); }
void __throw_bad_array_new_length() {
  endAfter("St20bad_array_new_length", "std::bad_array_new_length");
}
void __throw_bad_cast() { endAfter("St8bad_cast", "std::bad_cast"); }
void __throw_bad_typeid() { endAfter("St10bad_typeid", "std::bad_typeid"); }
void __throw_bad_exception() { endAfter("St13bad_exception", "std::bad_exception"); }

void __throw_logic_error(const char* what) { endAfter("std::logic_error", what); }
void __throw_domain_error(const char* what) { endAfter("std::domain_error", what); }
void __throw_invalid_argument(const char* what) { endAfter("std::invalid_argument", what); }
void __throw_length_error(const char* what) { endAfter("std::length_error", what); }
void __throw_out_of_range(const char* what) { endAfter("std::out_of_range", what); }
// The format's placeholders are left unfilled: the text still names the
// routine and the check that failed.
void __throw_out_of_range_fmt(const char* format, ...) { endAfter("std::out_of_range", format); }
void __throw_runtime_error(const char* what) { endAfter("std::runtime_error", what); }
void __throw_range_error(const char* what) { endAfter("std::range_error", what); }
void __throw_overflow_error(const char* what) { endAfter("std::overflow_error", what); }
void __throw_underflow_error(const char* what) { endAfter("std::underflow_error", what); }

}  // namespace std
