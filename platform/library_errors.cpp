// The functions through which libstdc++ reports a misused container, a
// failed allocation or a bad conversion.
//
// The library's own definitions (functexcept.o) build the standard's
// exception types with their messages, which links the old-ABI string, the
// stdexcept classes and, through them, std::random_device: about 55 KB of a
// program that never shows such a message. Defined here, in an object the
// linker takes before it searches the library, they throw plain exceptions
// instead. Nothing else changes: code that catches std::exception (the
// package reply's JSON parse) still turns them into a refusal, and anywhere
// else they still end the program through std::terminate. This file must be
// linked as an object (quill_library_errors) and define every function the
// library's header declares, or the library's object would be linked too
// and clash with it.
#include <bits/functexcept.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace std {

// One line each: every report becomes the plainest exception that says it.
// clang-format off
void __throw_bad_exception() { throw exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw exception(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_domain_error(const char*) { throw exception(); }
void __throw_invalid_argument(const char*) { throw exception(); }
void __throw_length_error(const char*) { throw exception(); }
void __throw_out_of_range(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }
void __throw_runtime_error(const char*) { throw exception(); }
void __throw_range_error(const char*) { throw exception(); }
void __throw_overflow_error(const char*) { throw exception(); }
void __throw_underflow_error(const char*) { throw exception(); }
void __throw_ios_failure(const char*) { throw exception(); }
void __throw_ios_failure(const char*, int) { throw exception(); }
void __throw_system_error(int) { throw exception(); }
void __throw_future_error(int) { throw exception(); }
void __throw_bad_function_call() { throw exception(); }
// clang-format on

}  // namespace std
