#include "Install.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "Utils/FileUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"

namespace tarnix::standin {

namespace {

constexpr char kProductFolder[] = "Tarnix Sample Product";

std::string ProgramFilesDir() {
  char folder[MAX_PATH + 1] = {};
  if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return folder;
  const DWORD length = ::GetEnvironmentVariableA("ProgramFiles", folder, sizeof folder);
  if (length > 0 && length < sizeof folder) return folder;
  return "C:\\Program Files";
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolderTree(const std::string& folder) {
  const std::string path = NormalizeDir(folder, false, IsLeadByte);
  if (path.empty() || IsFolder(path)) return !path.empty();
  const size_t parentEnd = path.find_last_of('\\');
  if (parentEnd != std::string::npos && parentEnd > 0 && !CreateFolderTree(path.substr(0, parentEnd))) return false;
  return ::CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path);
}

}  // namespace

std::string DefaultInstallDir() { return NormalizeDir(ProgramFilesDir(), true, IsLeadByte) + kProductFolder; }

std::vector<std::string> FilesBesideProgram() {
  const std::string self = FileNamePart(GetExeFileName(), IsLeadByte);
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  UniqueFindHandle search(::FindFirstFileA((GetExeDir(true) + "*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !SameText(found.cFileName, self))
      names.push_back(found.cFileName);
  } while (::FindNextFileA(search.get(), &found));
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return UpperCase(a) < UpperCase(b);
  });
  return names;
}

int InstallFiles(const std::vector<std::string>& names, const std::string& installDir, const InstallStep& step) {
  if (!CreateFolderTree(installDir)) return 0;
  const std::string from = GetExeDir(true);
  const std::string to = NormalizeDir(installDir, true, IsLeadByte);
  int copied = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    if (::CopyFileA((from + names[i]).c_str(), (to + names[i]).c_str(), FALSE)) ++copied;
    if (step) step(static_cast<int>(i + 1), names[i]);
  }
  return copied;
}

}  // namespace tarnix::standin
