#include "Utils/SysInfo.h"

#include <cstring>

#include "Utils/StrUtils.h"

namespace tarnix {

bool IsDeveloperCode(const char* value) { return value != nullptr && std::strcmp(value, "468") == 0; }

std::string WinCurrentVersionKey(bool nt) {
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  return nt ? ReplaceAll(key, "Windows", "Windows NT") : key;
}

}  // namespace tarnix
