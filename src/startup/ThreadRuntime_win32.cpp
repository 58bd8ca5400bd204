// The POSIX thread functions that the compiler's own run-time calls in the
// stub: its unwinder (a lock around the table of unwind data, a one-time
// set-up), its thread-local storage emulation (one key per process) and the
// library's emergency exception pool (a lock). This toolchain builds that
// run-time against winpthread, a POSIX layer of some 30 KB with thread hooks
// of its own, whose imports need Windows Vista; the stub starts its threads
// with CreateThread and needs no more of it than these, on Win32 primitives.
// Defined in an object of the program itself, winpthread is never linked:
// the stub and the tools shipped with it (agent-control, debug-viewer) link
// this object; the tests and the other tools keep winpthread.
#include <windows.h>

#include <cerrno>
#include <cstdint>

#include "Utils/SystemLibrary.h"

// The C run-time's destructor for a thread-local storage slot, run when a
// thread ends (its own headers do not declare it).
extern "C" int __mingwthr_key_dtor(DWORD key, void (*destructor)(void*));

namespace {

// winpthread's types, which the run-time was compiled against: a mutex and a
// once-flag are one word each, a key a number.
using Mutex = intptr_t;
using Once = long;
using Key = unsigned;
using Destructor = void (*)(void*);

// A mutex is a lock word: 1 held; 0, or -1 as the static initialiser leaves
// it, free. Only short sections of the run-time take these locks.
constexpr Mutex kHeld = 1;
constexpr Mutex kFree = 0;

// A once-flag goes from 0 through 1 (running) to 2 (done).
constexpr Once kOnceRunning = 1;
constexpr Once kOnceDone = 2;

// Windows calls fiber-local storage destructors with the value alone and in
// its own calling convention, so each key has a trampoline of its own that
// knows its destructor. The run-time creates one key.
constexpr int kMaxKeys = 4;
Destructor g_destructors[kMaxKeys];
long g_keysUsed = 0;

template <int N>
void WINAPI DestroyValue(void* value) {
  if (value != nullptr && g_destructors[N] != nullptr) g_destructors[N](value);
}

constexpr PFLS_CALLBACK_FUNCTION kTrampolines[kMaxKeys] = {DestroyValue<0>, DestroyValue<1>, DestroyValue<2>,
                                                           DestroyValue<3>};

// Fiber-local storage came with Windows Vista and Server 2003, so it is
// looked up: imported, it would keep the stub from starting on anything
// older. There the values live in thread-local storage instead, whose slots
// have no destructors; the C run-time's thread-detach callback runs them, as
// it does for the compiler's own Win32 thread model. A system that does not
// call that callback for a program keeps an ended thread's values: a few
// dozen bytes for each thread that used thread-local objects, and the
// stub's threads are few and short-lived, so that is accepted.
using FlsAllocFn = DWORD(WINAPI*)(PFLS_CALLBACK_FUNCTION);
using FlsGetValueFn = PVOID(WINAPI*)(DWORD);
using FlsSetValueFn = BOOL(WINAPI*)(DWORD, PVOID);

// What both kinds of storage answer when they have no index left.
constexpr DWORD kNoKey = TLS_OUT_OF_INDEXES;
static_assert(FLS_OUT_OF_INDEXES == kNoKey);

// Both or neither, written before the first key is handed out.
FlsGetValueFn g_flsGetValue = nullptr;
FlsSetValueFn g_flsSetValue = nullptr;

// FlsAlloc, with the other two kept for the values; null where the system
// lacks any of them.
FlsAllocFn FindFiberLocalStorage() {
  const auto alloc = tarnix::KernelProcAs<FlsAllocFn>("FlsAlloc");
  const auto get = tarnix::KernelProcAs<FlsGetValueFn>("FlsGetValue");
  const auto set = tarnix::KernelProcAs<FlsSetValueFn>("FlsSetValue");
  if (!alloc || !get || !set) return nullptr;
  __atomic_store_n(&g_flsGetValue, get, __ATOMIC_RELAXED);
  __atomic_store_n(&g_flsSetValue, set, __ATOMIC_RELAXED);
  return alloc;
}

DWORD FiberLocalKey(FlsAllocFn flsAlloc, Destructor destructor) {
  const long slot = __atomic_fetch_add(&g_keysUsed, 1, __ATOMIC_ACQ_REL);
  if (slot >= kMaxKeys) return kNoKey;
  g_destructors[slot] = destructor;
  return flsAlloc(kTrampolines[slot]);
}

DWORD ThreadLocalKey(Destructor destructor) {
  const DWORD index = ::TlsAlloc();
  if (index != kNoKey && destructor != nullptr) __mingwthr_key_dtor(index, destructor);
  return index;
}

}  // namespace

extern "C" {

int pthread_mutex_init(Mutex* mutex, const unsigned* /*attributes*/) {
  __atomic_store_n(mutex, kFree, __ATOMIC_RELEASE);
  return 0;
}

int pthread_mutex_destroy(Mutex* /*mutex*/) { return 0; }

int pthread_mutex_lock(Mutex* mutex) {
  for (;;) {
    Mutex seen = __atomic_load_n(mutex, __ATOMIC_RELAXED);
    if (seen != kHeld && __atomic_compare_exchange_n(mutex, &seen, kHeld, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED))
      return 0;
    // Held by another thread for a moment; a real sleep lets it run even
    // when its priority is lower.
    ::Sleep(1);
  }
}

int pthread_mutex_unlock(Mutex* mutex) {
  __atomic_store_n(mutex, kFree, __ATOMIC_RELEASE);
  return 0;
}

int pthread_once(Once* once, void (*function)(void)) {
  for (;;) {
    Once state = 0;
    if (__atomic_compare_exchange_n(once, &state, kOnceRunning, false, __ATOMIC_ACQUIRE, __ATOMIC_ACQUIRE)) {
      function();
      __atomic_store_n(once, kOnceDone, __ATOMIC_RELEASE);
      return 0;
    }
    if (state == kOnceDone) return 0;
    ::Sleep(1);
  }
}

int pthread_key_create(Key* key, Destructor destructor) {
  const FlsAllocFn flsAlloc = FindFiberLocalStorage();
  const DWORD index = flsAlloc ? FiberLocalKey(flsAlloc, destructor) : ThreadLocalKey(destructor);
  if (index == kNoKey) return EAGAIN;
  *key = index;
  return 0;
}

// Callers read the thread's last error after this as before it (the
// thread-local call clears it).
void* pthread_getspecific(Key key) {
  const DWORD error = ::GetLastError();
  const FlsGetValueFn flsGetValue = __atomic_load_n(&g_flsGetValue, __ATOMIC_RELAXED);
  void* value = flsGetValue ? flsGetValue(key) : ::TlsGetValue(key);
  ::SetLastError(error);
  return value;
}

int pthread_setspecific(Key key, const void* value) {
  const FlsSetValueFn flsSetValue = __atomic_load_n(&g_flsSetValue, __ATOMIC_RELAXED);
  void* const v = const_cast<void*>(value);
  return (flsSetValue ? flsSetValue(key, v) : ::TlsSetValue(key, v)) ? 0 : ENOMEM;
}

}  // extern "C"
