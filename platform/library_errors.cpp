// The functions through which libstdc++ reports a misused container, a
// failed allocation or a bad conversion, and the allocation functions.
//
// The program is built without exceptions, and nothing in it could catch
// one: each of these reports ends the program at once, as an uncaught
// exception did through std::terminate. The library's own definitions would
// throw instead, and that alone links its exception types, the old-ABI
// string, std::random_device and the whole unwinder (about 100 KB).
//
// The same holds for the library's operator new (new_op.o and its array and
// nothrow forms), which throws std::bad_alloc directly: the standard lets a
// program replace the allocation functions, and these do what the
// library's do for a program that sets no new-handler.
//
// This file must be linked as an object (quill_library_errors), before the
// linker searches the library, and define every function of the library's
// objects that the program uses, or those objects would be linked too and
// clash with it.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace std {

// One line each: every report ends the program.
// clang-format off
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
void __throw_ios_failure(const char*) { abort(); }
void __throw_ios_failure(const char*, int) { abort(); }
void __throw_system_error(int) { abort(); }
void __throw_future_error(int) { abort(); }
void __throw_bad_function_call() { abort(); }
// clang-format on

}  // namespace std

namespace {

// malloc gives no block for zero bytes on every C library; new must.
void* Allocate(std::size_t size) noexcept {
  return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrEnd(std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr)
    std::__throw_bad_alloc();
  return block;
}

}  // namespace

// clang-format off
void* operator new(std::size_t size) { return AllocateOrEnd(size); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
// clang-format on
