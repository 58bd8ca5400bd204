#include "Utils/FileUtils.h"
#include "Utils/IniFile.h"
#include "package/LanguageTable.h"

namespace tarnix {

std::string IniString(std::string_view key, std::string_view def) {
  return IniString(GetExeDir(true), key, def, ReadIniString);
}

std::string IniMessage(std::string_view key, std::string_view def, std::string_view replacement) {
  return IniMessage(GetExeDir(true), key, def, replacement, ReadIniString);
}

}  // namespace tarnix
