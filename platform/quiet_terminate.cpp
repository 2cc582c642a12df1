// The handler std::terminate calls when an exception is not caught.
//
// libstdc++'s default handler, __gnu_cxx::__verbose_terminate_handler, prints
// the exception's type through the C++ demangler before it aborts: about
// 46 KB of a statically linked program, spent on a message that a GUI
// program has nowhere to show. The library refers to its default by that
// name (as the initial handler and for set_terminate(nullptr)); defining it
// here keeps the linker from taking the library's own (vterminate.o) and,
// with it, the demangler. This file must be linked as an object
// (quill_quiet_terminate), not from a static library, which the linker would
// search too late.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
