// Windows build only: the standard string's out-of-line code, compiled here
// without exceptions. The C++ library ships its own copy of this code, but
// built with exceptions, so linking it brings the exception runtime and the
// unwinder along and half of its size is unwind tables. With this copy
// present the linker never takes the library's; the unused members are
// dropped with the rest of the unused sections.
#include <string>

template class std::basic_string<char>;
