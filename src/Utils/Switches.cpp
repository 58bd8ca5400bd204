#include "Utils/Switches.h"

#include <algorithm>

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"

namespace tarnix {

namespace {

// Switches are split into the items of a list delimited by this character;
// it cannot occur in a value, so it also marks an absent switch.
constexpr char kItemSeparator = '\x01';

// Everything after the program's name; a lone character left over (such as
// the closing quote of a path) is not a parameter.
std::string RestAfter(std::string_view text, size_t pos, size_t length) {
  std::string rest = Trim(text.substr(pos - 1 + length));
  if (rest.size() == 1) rest.clear();
  return rest;
}

}  // namespace

std::string_view ExeFileName(std::string_view exePath) {
  const size_t sep = exePath.find_last_of("\\/");
  return sep == std::string_view::npos ? exePath : exePath.substr(sep + 1);
}

std::string CommandLineParams(std::string_view commandLine, std::string_view exePath) {
  const std::string_view name = ExeFileName(exePath);
  if (!name.empty()) {
    const std::string quoted = std::string(name) + '"';
    if (size_t at = PosCI(quoted, commandLine)) return RestAfter(commandLine, at, quoted.size());
    if (size_t at = PosCI(name, commandLine)) return RestAfter(commandLine, at, name.size());
  }
  std::string rest(commandLine);
  if (size_t at = PosCI(exePath, rest)) rest.erase(at - 1, exePath.size());
  return Trim(rest);
}

bool HasSwitchIn(std::string_view params, std::string_view sw) {
  const std::string word = Trim(sw);
  if (word.empty()) return false;
  return PosCI(word + ' ', std::string(params) + ' ') > 0;
}

std::string SwitchValueIn(std::string_view params, std::string_view name, std::string_view def) {
  std::string key = Trim(name);
  const char switchChar = !key.empty() && key.front() == '-' ? '-' : '/';
  key.erase(std::remove(key.begin(), key.end(), switchChar), key.end());
  if (key.empty()) return std::string(def);

  std::string list = " " + std::string(params);
  list.erase(std::remove(list.begin(), list.end(), '"'), list.end());
  list = ReplaceAll(list, std::string{' ', switchChar}, std::string(1, kItemSeparator));
  list = kItemSeparator + list + kItemSeparator;

  const std::string missing(1, kItemSeparator);
  std::string value = SUB::Value(list, key, "", missing);
  if (value == missing) return std::string(def);
  return Trim(value);
}

int64_t SwitchIntIn(std::string_view params, std::string_view name, int64_t def) {
  int64_t value;
  return ParseInt64(SwitchValueIn(params, name, ""), value) ? value : def;
}

}  // namespace tarnix
