// The guards of function-local statics for the stub. The library's own
// guards wait on POSIX mutexes and condition variables, which link the whole
// pthread emulation (some 30 KB with its thread-local storage hooks) into a
// program that starts its threads with CreateThread. These need no more than
// an atomic byte and a yield: initialisations are short and rarely contended.
// Defined in an object of the program itself, the library's versions are
// never linked; the stub and the tools shipped with it link this object
// (with ThreadRuntime_win32.cpp); the tests and the other tools keep them.
#include <windows.h>

#include <cxxabi.h>

namespace {

// The first byte of a guard says "initialised" (the compiler reads it
// inline before it calls in here); the second that an initialisation runs.
char& Done(__cxxabiv1::__guard* guard) { return reinterpret_cast<char*>(guard)[0]; }
char& Running(__cxxabiv1::__guard* guard) { return reinterpret_cast<char*>(guard)[1]; }

}  // namespace

namespace __cxxabiv1 {

extern "C" int __cxa_guard_acquire(__guard* guard) {
  for (;;) {
    if (__atomic_load_n(&Done(guard), __ATOMIC_ACQUIRE) != 0) return 0;
    char idle = 0;
    if (__atomic_compare_exchange_n(&Running(guard), &idle, char(1), false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED))
      return 1;
    // Another thread initialises this static and is done in a moment; a
    // real sleep lets it run even when its priority is lower.
    ::Sleep(1);
  }
}

extern "C" void __cxa_guard_release(__guard* guard) noexcept {
  __atomic_store_n(&Done(guard), char(1), __ATOMIC_RELEASE);
  __atomic_store_n(&Running(guard), char(0), __ATOMIC_RELEASE);
}

// The initialisation threw: the next use tries again.
extern "C" void __cxa_guard_abort(__guard* guard) noexcept {
  __atomic_store_n(&Running(guard), char(0), __ATOMIC_RELEASE);
}

}  // namespace __cxxabiv1
