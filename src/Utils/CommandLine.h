// Switches of the process's own command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// The command line without the program's own path, trimmed.
std::string GetCommandLineParams();
bool HasSwitch(std::string_view sw);
std::string GetSwitchValue(std::string_view name, std::string_view def);
int64_t GetSwitchInt(std::string_view name, int64_t def);

}  // namespace tarnix
