// Replacements for the C++ runtime's throw helpers, for size.
//
// The library's own helpers live in one object that also builds the
// standard logic_error and runtime_error family; those carry copy-on-write
// strings, which pull in a second complete string implementation and
// std::random_device: about 55 KB of the i686 program. Every helper is
// defined here, so that object is never linked. An allocation failure stays
// a std::bad_alloc, which callers catch (also for an array length past the
// limit, whose own class no handler asks for). Everything else becomes a
// LibraryError, which every catch (...) and catch (const std::exception&)
// still handles: the string errors (an index past the end, a length beyond
// max_size), and the failures of a cast, a typeid or an empty
// std::function, which the program, built without RTTI, never asks about
// by their own classes. Their classes are then never linked either.
#include <bits/functexcept.h>

#include <exception>
#include <new>

namespace setup::win32 {
namespace {

class LibraryError : public std::exception {
 public:
  const char* what() const noexcept override { return "C++ library error"; }
};

}  // namespace
}  // namespace setup::win32

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw setup::win32::LibraryError(); }
void __throw_bad_typeid() { throw setup::win32::LibraryError(); }
void __throw_bad_function_call() { throw setup::win32::LibraryError(); }
void __throw_logic_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_domain_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_invalid_argument(const char*) { throw setup::win32::LibraryError(); }
void __throw_length_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_out_of_range(const char*) { throw setup::win32::LibraryError(); }
void __throw_out_of_range_fmt(const char*, ...) { throw setup::win32::LibraryError(); }
void __throw_runtime_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_range_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_overflow_error(const char*) { throw setup::win32::LibraryError(); }
void __throw_underflow_error(const char*) { throw setup::win32::LibraryError(); }

}  // namespace std
