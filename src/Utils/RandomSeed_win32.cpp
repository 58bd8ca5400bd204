// The system's random source is RtlGenRandom, exported by advapi32 as
// SystemFunction036 from Windows XP and Server 2003 on. It is looked up
// rather than reached through the C run-time's rand_s, whose own look-up
// brings wide-character imports and, where the source is missing, leaves
// the value at 0.
#include <windows.h>

#include "Utils/RandomSeed.h"
#include "Utils/SystemLibrary.h"

namespace tarnix {

namespace {

using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);

GenRandomFn FindGenRandom() {
  const HMODULE advapi = LoadSystemLibrary("advapi32.dll");
  if (!advapi) return nullptr;
  return reinterpret_cast<GenRandomFn>(reinterpret_cast<void*>(::GetProcAddress(advapi, "SystemFunction036")));
}

// Without the source: a value that differs between runs and between calls,
// which is all that the seeds are for (scrambling keys and stand-in
// numbers, no secrets).
uint64_t CounterSeed() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  return uint64_t(counter.QuadPart) ^ uint64_t(::GetCurrentProcessId()) << 32 ^ ::GetTickCount();
}

}  // namespace

uint64_t RandomSeed() {
  static const GenRandomFn genRandom = FindGenRandom();
  uint64_t seed = 0;
  if (genRandom && genRandom(&seed, sizeof seed)) return seed;
  return CounterSeed();
}

}  // namespace tarnix
