#include <windows.h>

#include <algorithm>
#include <vector>

#include "Utils/IniFile.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"

namespace tarnix {

namespace {

constexpr DWORD kIniBufferSize = 10241;

// What the platform wrote, up to the first NUL: a value longer than the
// buffer comes back cut at its limit, and the count the call returns is not
// trusted to stay inside the buffer (it differs between systems when the
// value was cut, or when a double-byte text did not fit).
std::string BufferText(const std::vector<char>& buffer, DWORD reported) {
  const size_t limit = std::min<size_t>(reported, buffer.size() - 1);
  const char* end = std::find(buffer.data(), buffer.data() + limit, '\0');
  return std::string(buffer.data(), end);
}

// What the platform reads for the key: `def` when the key is missing, an
// empty text for a key with an empty value.
std::string PlatformRead(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view def) {
  const std::string fileZ(file), sectionZ(section), keyZ(key), defZ(def);
  std::vector<char> buffer(kIniBufferSize, '\0');
  const DWORD n = ::GetPrivateProfileStringA(sectionZ.c_str(), keyZ.c_str(), defZ.c_str(), buffer.data(),
                                             kIniBufferSize, fileZ.c_str());
  return BufferText(buffer, n);
}

}  // namespace

std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view def) {
  try {
    if (section.empty() || key.empty()) return std::string(def);
    std::string text = PlatformRead(file, section, key, def);
    if (!text.empty()) return text;
  } catch (...) {
    Trace("EXCEPTION --- Utils.ReadIniString()  %s", LastErrorText().c_str());
  }
  return std::string(def);
}

bool ReadIniKey(std::string_view file, std::string_view section, std::string_view key, std::string& value) {
  // The platform answers a missing key with the default it is given, its
  // trailing blanks dropped: a control character no value holds tells the
  // two apart.
  static constexpr char kMissing[] = "\x01";
  value.clear();
  if (section.empty() || key.empty()) return false;
  try {
    value = PlatformRead(file, section, key, kMissing);
  } catch (...) {
    Trace("EXCEPTION --- Utils.ReadIniKey()  %s", LastErrorText().c_str());
    value = kMissing;
  }
  if (value != kMissing) return true;
  value.clear();
  return false;
}

int64_t ReadIniInt(std::string_view file, std::string_view section, std::string_view key, int64_t def) {
  return StrToInt64Def(ReadIniString(file, section, key, std::to_string(def)), def);
}

bool WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
  if (file.empty() || section.empty() || key.empty()) return false;
  try {
    const std::string fileZ(file), sectionZ(section), keyZ(key), valueZ(value);
    return ::WritePrivateProfileStringA(sectionZ.c_str(), keyZ.c_str(), valueZ.c_str(), fileZ.c_str()) != 0;
  } catch (...) {
    return false;
  }
}

bool WriteIniInt(std::string_view file, std::string_view section, std::string_view key, int64_t value) {
  return WriteIniString(file, section, key, std::to_string(value));
}

}  // namespace tarnix
