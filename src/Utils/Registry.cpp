#include "Utils/Registry.h"

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

struct RootName {
  const char* full;
  const char* shortName;
  RegRoot root;
};

constexpr RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine},
    {"HKEY_USERS", "HKU", RegRoot::Users},
    {"HKEY_CURRENT_CONFIG", "HKCC", RegRoot::CurrentConfig},
    {"HKEY_DYN_DATA", "HKDD", RegRoot::DynData},
};

}  // namespace

RegRoot RootKeyFromName(std::string_view name) {
  const std::string upper = UpperCase(name);
  for (const RootName& entry : kRootNames) {
    if (upper == entry.full || upper == entry.shortName) return entry.root;
  }
  return RegRoot::CurrentUser;
}

RegPath SplitRegPath(std::string_view path) {
  RegPath result;
  result.subKey = Trim(path);
  if (!StartsWith("HK", result.subKey, true)) return result;
  const size_t slash = result.subKey.find('\\');
  if (slash == std::string::npos) {
    result.root = RootKeyFromName(result.subKey);
    result.subKey.clear();
  } else {
    result.root = RootKeyFromName(std::string_view(result.subKey).substr(0, slash));
    result.subKey.erase(0, slash + 1);
  }
  return result;
}

std::string RegValueText(uint32_t type, std::string_view data) {
  if (type == kRegDword && data.size() == 4) {
    const auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(data[i])); };
    return std::to_string(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
  }
  if (type == kRegMultiSz && data.size() > 2) {
    const size_t end = data.find_last_not_of('\0');
    if (end == std::string_view::npos) return {};
    return ReplaceAll(data.substr(0, end + 1), std::string_view("\0", 1), "<0>");
  }
  return std::string(data.substr(0, data.find('\0')));
}

}  // namespace tarnix
