// What the library's strings and containers throw in the stub. The library's
// own versions throw std::length_error and its kin, whose messages are kept
// in the library's old reference-counted string; the two bring some 50 KB
// into the stub for errors it never expects (every length and position from
// outside is bounded before it reaches a container). Here the same messages
// travel in one exception class of our own, derived from std::exception,
// which is all that the stub's modules catch; the memory errors keep their
// own types. Defined in an object of the stub itself, the library's versions
// are never linked; tests and tools keep them.
#include <cstdarg>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

#include "Utils/TextFormat.h"

namespace {

class LibraryError final : public std::exception {
 public:
  explicit LibraryError(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

[[noreturn]] void Throw(const char* what) { throw LibraryError(what != nullptr ? what : ""); }

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }

void __throw_logic_error(const char* what) { Throw(what); }
void __throw_domain_error(const char* what) { Throw(what); }
void __throw_invalid_argument(const char* what) { Throw(what); }
void __throw_length_error(const char* what) { Throw(what); }
void __throw_out_of_range(const char* what) { Throw(what); }
void __throw_runtime_error(const char* what) { Throw(what); }
void __throw_range_error(const char* what) { Throw(what); }
void __throw_overflow_error(const char* what) { Throw(what); }
void __throw_underflow_error(const char* what) { Throw(what); }

// The library's messages with positions: "%s: __pos (which is %zu) > ...".
void __throw_out_of_range_fmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string what = tarnix::FormatTextV(format, args);
  va_end(args);
  throw LibraryError(std::move(what));
}

}  // namespace std
