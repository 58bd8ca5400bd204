#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Utils/OsInfo.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/WindowUtils.h"

namespace tarnix {

namespace {

// Names longer than this are not believed.
constexpr DWORD kMaxNameLength = 32767;

// A name from a platform call that takes a buffer and its size in
// characters and, when the buffer is short, fails with `shortError` and
// reports the size it needs.
template <typename Call>
std::string PlatformName(Call call, DWORD shortError) noexcept {
  try {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
      DWORD size = static_cast<DWORD>(buffer.size());
      if (call(buffer.data(), &size))
        return Trim(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
      if (::GetLastError() != shortError || size <= buffer.size() || size > kMaxNameLength) return {};
      buffer.assign(size, '\0');
    }
  } catch (...) {
  }
  return {};
}

std::string ErrorMessageText(DWORD code) {
  std::string text(512, '\0');
  for (;;) {
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     text.data(), static_cast<DWORD>(text.size()), nullptr);
    if (n > 0) {
      text.resize(std::min<size_t>(n, text.size()));
      return Trim(text);
    }
    // The platform's messages fit in 64 KiB.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || text.size() >= 65536) return {};
    text.assign(text.size() * 2, '\0');
  }
}

}  // namespace

std::string GetUserNameText() {
  return PlatformName([](char* buffer, DWORD* size) { return ::GetUserNameA(buffer, size) != FALSE; },
                      ERROR_INSUFFICIENT_BUFFER);
}

std::string GetComputerNameText() {
  return PlatformName([](char* buffer, DWORD* size) { return ::GetComputerNameA(buffer, size) != FALSE; },
                      ERROR_BUFFER_OVERFLOW);
}

std::string GetWinCurrentVersionKey() { return WinCurrentVersionKey(IsNT()); }

std::string GetRegisteredOwner() {
  try {
    return Trim(ReadRegValue(GetWinCurrentVersionKey(), "RegisteredOwner", GetUserNameText(), Is64BitWindows()));
  } catch (...) {
    return {};
  }
}

std::string GetRegisteredOrganization() {
  try {
    return Trim(ReadRegValue(GetWinCurrentVersionKey(), "RegisteredOrganization", "", Is64BitWindows()));
  } catch (...) {
    return {};
  }
}

std::string GetAccountDomain(const std::string& account) {
  // Windows 9x has no accounts of this kind, and its advapi32 is not known
  // to have the call, so it is looked up.
  using LookupAccountNameFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PSID, LPDWORD, LPSTR, LPDWORD, PSID_NAME_USE);
  static const auto lookupAccountName = LoadProcAs<LookupAccountNameFn>("advapi32.dll", "LookupAccountNameA");
  if (!lookupAccountName) return {};
  try {
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use;
    lookupAccountName(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0 || sidSize > SECURITY_MAX_SID_SIZE || domainSize > kMaxNameLength) return {};
    std::vector<BYTE> sid(sidSize);
    std::string domain(domainSize + 1, '\0');
    domainSize = static_cast<DWORD>(domain.size());
    if (!lookupAccountName(nullptr, account.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
      return {};
    return std::string(domain.data(), strnlen(domain.data(), domain.size()));
  } catch (...) {
    return {};
  }
}

std::string GetUserDomain() { return GetAccountDomain(GetUserNameText()); }

bool DeveloperModeFromEnvironment() {
  // Only a short value can be the code, so a longer one need not be read.
  char value[8] = {};
  const DWORD n = ::GetEnvironmentVariableA(kDeveloperModeVariable, value, sizeof value);
  if (n >= sizeof value) return false;
  return IsDeveloperCode(n == 0 ? nullptr : value);
}

bool IsDeveloperMode() {
  static const bool developer = DeveloperModeFromEnvironment();
  return developer;
}

std::string SysErrorMessage(uint32_t code) {
  try {
    return ErrorMessageText(code);
  } catch (...) {
    return {};
  }
}

Failure LastErrorFailure(std::string_view what) {
  const DWORD code = ::GetLastError();
  std::string reason = SysErrorMessage(code);
  if (reason.empty()) reason = what;
  return {reason, 0, code};
}

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  try {
    return ErrorMessageText(code);
  } catch (...) {
    return "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"";
  }
}

}  // namespace tarnix
