#include "Utils/SystemLibrary.h"

#include <cstdint>
#include <cstring>

namespace tarnix {

namespace {

std::string g_folderForTests;

// The system-folder-only search flag came with AddDllDirectory: Windows 8,
// and Vista and 7 with the update that brought both. Elsewhere LoadLibraryEx
// refuses the flag.
bool SearchFlagsSupported() {
  static const bool supported = KernelProc("AddDllDirectory") != nullptr;
  return supported;
}

bool IsBareName(const char* name) { return name && *name && std::strpbrk(name, "\\/:") == nullptr; }

std::string SystemFolder() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = ::GetSystemDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

// Old systems answer a failed load with a small error number in place of a
// handle.
HMODULE Loaded(HMODULE module) { return reinterpret_cast<uintptr_t>(module) < 33 ? nullptr : module; }

}  // namespace

FARPROC KernelProc(const char* name) {
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  return kernel ? ::GetProcAddress(kernel, name) : nullptr;
}

HMODULE LoadSystemLibrary(const char* name) {
  if (!IsBareName(name)) return nullptr;
  if (g_folderForTests.empty() && SearchFlagsSupported())
    return Loaded(::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const std::string folder = g_folderForTests.empty() ? SystemFolder() : g_folderForTests;
  if (folder.empty()) return nullptr;
  const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
  // Loaded by its full path, the library's own imports would still be
  // looked for beside the program first; the altered search looks beside
  // the library instead.
  return Loaded(::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void RestrictLibrarySearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  if (const auto setDefault = KernelProcAs<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories"))
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Where the call above is missing, this at least keeps the current folder
  // (which a shortcut or a command prompt may set anywhere) out of the
  // search: XP SP1 and later.
  if (const auto setDllDirectory = KernelProcAs<SetDllDirectoryFn>("SetDllDirectoryA")) setDllDirectory("");
}

void SetSystemLibraryFolder(const std::string& folder) { g_folderForTests = folder; }

}  // namespace tarnix
