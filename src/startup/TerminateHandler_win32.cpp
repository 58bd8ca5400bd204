// The stub's terminate handler. The library's default one names the uncaught
// exception on the standard error stream and needs a C++ name demangler for
// it, some 46 KB of the stub; a GUI program has no such stream, and no
// exception is meant to get this far (modules catch at their boundaries).
// Defined here, in an object of the stub itself, the library's handler is
// never linked.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
