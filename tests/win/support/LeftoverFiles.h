// What a run leaves behind: the entries of a folder, and a temporary folder
// of a test's own for the programs it starts (they, and the programs those
// start, take theirs from the environment they inherit).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Utils/UniqueResource.h"

namespace tarnix::test {

// The names of the files and folders in `folder`, sorted.
inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &entry));
  if (!find) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(find.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string Joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& name : names) all += name + " ";
  return all;
}

// TEMP and TMP point at `folder` while this lives.
class TempFolderOfItsOwn {
 public:
  explicit TempFolderOfItsOwn(const std::string& folder)
      : savedTemp_(Value("TEMP")), savedTmp_(Value("TMP")) {
    ::SetEnvironmentVariableA("TEMP", folder.c_str());
    ::SetEnvironmentVariableA("TMP", folder.c_str());
  }
  ~TempFolderOfItsOwn() {
    ::SetEnvironmentVariableA("TEMP", savedTemp_.empty() ? nullptr : savedTemp_.c_str());
    ::SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
  }
  TempFolderOfItsOwn(const TempFolderOfItsOwn&) = delete;
  TempFolderOfItsOwn& operator=(const TempFolderOfItsOwn&) = delete;

 private:
  static std::string Value(const char* name) {
    char value[MAX_PATH * 2] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
  }

  std::string savedTemp_;
  std::string savedTmp_;
};

}  // namespace tarnix::test
