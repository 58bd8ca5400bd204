#include "IniFile.h"

#include "Utils/InFile.h"
#include "Utils/StrUtils.h"

namespace tarnix::pack {

bool IniFile::Parse(std::string_view text, std::string& error) {
  sections_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  IniSection* current = nullptr;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t eol = text.find('\n');
    std::string line = Trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) {
        error = where + "a section line must be [Name]";
        return false;
      }
      std::string name = Trim(std::string_view(line).substr(1, line.size() - 2));
      current = nullptr;
      for (auto& s : sections_)
        if (SameText(s.name, name)) current = &s;
      if (!current) {
        sections_.push_back({name, {}});
        current = &sections_.back();
      }
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = where + "expected key = value";
      return false;
    }
    std::string key = Trim(std::string_view(line).substr(0, eq));
    if (key.empty()) {
      error = where + "the key is missing before \"=\"";
      return false;
    }
    if (!current) {
      error = where + "\"" + key + "\" comes before any [Section]";
      return false;
    }
    current->entries.push_back({key, Trim(std::string_view(line).substr(eq + 1)), lineNumber});
  }
  return true;
}

const IniSection* IniFile::Find(std::string_view section) const {
  for (const auto& s : sections_)
    if (SameText(s.name, section)) return &s;
  return nullptr;
}

bool LoadIniFile(const std::string& path, IniFile& ini, std::string& error, size_t maxBytes) {
  auto file = OpenInFile(path);
  if (!file) {
    error = path + ": cannot be read";
    return false;
  }
  if (file->Size() > maxBytes) {
    error = path + ": larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  std::string text(static_cast<size_t>(file->Size()), '\0');
  if (!file->ReadExactAt(0, text.data(), text.size())) {
    error = path + ": cannot be read";
    return false;
  }
  if (!ini.Parse(text, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tarnix::pack
