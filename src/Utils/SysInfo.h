// The user and the machine: account, computer and domain names, the
// registered owner and organisation, the developer-mode switch and the text
// of the last system error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/Failure.h"

namespace tarnix {

// The environment variable whose value "468" switches developer mode on.
inline constexpr const char* kDeveloperModeVariable = "DVX";

// Whether a value of the developer-mode variable (nullptr = unset) switches
// developer mode on: only the exact text counts, blanks included.
bool IsDeveloperCode(const char* value);

// The key that holds the registered owner and organisation; on the NT
// platform every "Windows" in it reads "Windows NT".
std::string WinCurrentVersionKey(bool nt);

// Windows only. Account and computer names, trimmed; empty on failure.
std::string GetUserNameText();
std::string GetComputerNameText();

// Windows only. WinCurrentVersionKey for the running system.
std::string GetWinCurrentVersionKey();

// Windows only. The registered owner (the user name when none is recorded)
// and organisation, trimmed.
std::string GetRegisteredOwner();
std::string GetRegisteredOrganization();

// Windows only. The domain of `account` on the local system; empty when the
// account is unknown.
std::string GetAccountDomain(const std::string& account);
std::string GetUserDomain();

// Windows only. Reads the developer-mode variable now.
bool DeveloperModeFromEnvironment();
// Windows only. DeveloperModeFromEnvironment, read once and kept.
bool IsDeveloperMode();

// Windows only. The system's message text for `code`, without the line end
// that the platform appends; empty when the platform has none.
std::string SysErrorMessage(uint32_t code);
// Windows only. The calling thread's last error as a failure: its message
// (or, when the system has none, `what`) and its number, for a log line.
Failure LastErrorFailure(std::string_view what);
// Windows only. SysErrorMessage of the calling thread's last error.
std::string LastErrorText();

}  // namespace tarnix
