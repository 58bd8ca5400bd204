// Windows only. Settings files in the platform's INI format: the agent's
// settings files and the language text file. Reads answer with the caller's
// default instead of failing; integers are written in decimal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// The default also for an empty section or key, and for a key that is
// present with an empty value.
std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view def);
// The default also when the value is not a decimal number.
int64_t ReadIniInt(std::string_view file, std::string_view section, std::string_view key, int64_t def);
// The key's value, also an empty one; false when the file, the section or
// the key is missing, so that a value written empty on purpose tells from
// none at all.
bool ReadIniKey(std::string_view file, std::string_view section, std::string_view key, std::string& value);

// False for an empty file, section or key, and when the platform cannot write.
bool WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value);
bool WriteIniInt(std::string_view file, std::string_view section, std::string_view key, int64_t value);

}  // namespace tarnix
