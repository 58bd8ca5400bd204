#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/Switches.h"

namespace tarnix {

std::string GetCommandLineParams() {
  const char* raw = ::GetCommandLineA();
  return CommandLineParams(raw ? raw : "", GetExeFileName());
}

bool HasSwitch(std::string_view sw) { return HasSwitchIn(GetCommandLineParams(), sw); }

std::string GetSwitchValue(std::string_view name, std::string_view def) {
  return SwitchValueIn(GetCommandLineParams(), name, def);
}

int64_t GetSwitchInt(std::string_view name, int64_t def) { return SwitchIntIn(GetCommandLineParams(), name, def); }

}  // namespace tarnix
