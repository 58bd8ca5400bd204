#include <windows.h>

#include <cstring>

#include "Utils/OsInfo.h"
#include "Utils/UniqueResource.h"
#include "Utils/VersionInfo.h"
#include "Utils/WindowUtils.h"

namespace tarnix {

namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156);

// Older systems lack some of these functions, so they are looked up by name.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

OsVersionRecord ReadVersionRecord() noexcept {
  OsVersionRecord record;
  try {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return record;
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.buildNumber = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    record.csdVersion.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    if (VersionMayBeCapped(record)) record = CorrectCappedVersion(record, GetKernel32Version());
  } catch (...) {
  }
  return record;
}

bool Read64BitWindows() {
  // A 64-bit program runs on 64-bit Windows only; the checks below are for
  // a 32-bit one, which runs on both.
  if constexpr (sizeof(void*) == 8) return true;
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");

  using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
  const auto getNativeSystemInfo = ProcAddress<GetNativeSystemInfoFn>(kernel, "GetNativeSystemInfo");
  if (getNativeSystemInfo == nullptr) return false;
  SYSTEM_INFO system{};
  system.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
  getNativeSystemInfo(&system);
  if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_UNKNOWN) return false;

  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
  const auto isWow64Process = ProcAddress<IsWow64ProcessFn>(kernel, "IsWow64Process");
  BOOL wow64 = FALSE;
  if (isWow64Process == nullptr || !isWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;

  if (::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection") == nullptr ||
      ::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection") == nullptr ||
      ::GetProcAddress(kernel, "GetSystemWow64DirectoryA") == nullptr)
    return false;

  HMODULE advapi = nullptr;
  const bool present = LoadProc("advapi32.dll", "RegDeleteKeyExA", advapi) != nullptr;
  const UniqueModule release(advapi);
  return present;
}

}  // namespace

const OsVersionRecord& GetOSVersionRecord() {
  static const OsVersionRecord record = ReadVersionRecord();
  return record;
}

bool IsNT() { return RecordIsNT(GetOSVersionRecord()); }

bool IsWindowsXP() {
  static const bool xp = RecordIsWindowsXP(GetOSVersionRecord());
  return xp;
}

bool IsWin8OrLater() { return RecordIsWin8OrLater(GetOSVersionRecord()); }

bool Is64BitWindows() {
  static const bool is64 = Read64BitWindows();
  return is64;
}

bool IsServerOS() {
  if (::GetSystemMetrics(SM_SERVERR2) != 0) return true;
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  return info.wProductType == VER_NT_DOMAIN_CONTROLLER || info.wProductType == VER_NT_SERVER;
}

OsInfo GetOSInfo() {
  try {
    return ClassifyOs(GetOSVersionRecord(), Is64BitWindows(), IsServerOS());
  } catch (...) {
    return {};
  }
}

uint32_t GetOSCode() { return GetOSInfo().code; }

}  // namespace tarnix
