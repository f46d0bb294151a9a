// Windows build only: what a C++ exception that nobody catches does, kept
// small. The launcher catches no exceptions; one that is thrown anyway (the
// C++ library's own, such as a string grown past its maximum) ends the
// process. The library's versions of the routines below would bring about a
// third of Veltrana.exe along for that: a complete C++ name demangler, to
// spell the type out in the report, and a second string implementation
// with its exception classes, to carry each message. These report the same
// facts on standard error (where a trace may be collecting it) and end the
// process as an uncaught exception does.
//
// All of the library's throw helpers are defined here, so none of its own
// comes in; a newer compiler that adds one shows up as a duplicate symbol
// at link time, never as a silent change.
#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

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

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  static bool terminating = false;
  if (terminating) {
    std::fputs("terminate called recursively\n", stderr);
    std::abort();
  }
  terminating = true;
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) {
    std::fputs("terminate called without an active exception\n", stderr);
    std::abort();
  }
  try {
    throw;
  } catch (const std::exception& error) {
    endAfter(type->name(), error.what());
  } catch (...) {
    endAfter(type->name(), nullptr);
  }
}

}  // namespace __gnu_cxx

namespace std {

// Exceptions without a message are thrown as usual.
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }

// Those with a message end the process where they would be thrown.
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
