#include <windows.h>

#include <cstring>
#include <exception>

#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "environment/SpecialFolders.h"

namespace tarnix {

namespace {

using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using GetSpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);

// Larger than any path the shell hands out, so its answer always fits.
constexpr size_t kShellPathBuffer = 1025;

std::string BufferText(const char* buffer) { return std::string(buffer, ::strnlen(buffer, kShellPathBuffer)); }

class SystemShell final : public ShellFolderSource {
 public:
  bool GetFolderPath(int csidl, std::string& path) override {
    const auto getFolderPath = LoadProcAs<GetFolderPathFn>("SHFolder.dll", "SHGetFolderPathA");
    if (!getFolderPath) return false;
    char buffer[kShellPathBuffer] = {};
    if (getFolderPath(nullptr, csidl, nullptr, 0, buffer) != S_OK) return false;
    path = BufferText(buffer);
    return true;
  }

  bool GetSpecialFolderPath(int csidl, std::string& path) override {
    const auto getSpecialFolderPath = LoadProcAs<GetSpecialFolderPathFn>("shell32.dll", "SHGetSpecialFolderPathA");
    if (!getSpecialFolderPath) return false;
    char buffer[kShellPathBuffer] = {};
    if (!getSpecialFolderPath(nullptr, buffer, csidl, FALSE)) return false;
    path = BufferText(buffer);
    return true;
  }

  bool DirectoryExists(std::string_view path) override { return tarnix::DirectoryExists(path); }
  std::string WindowsDir() override { return GetWindowsDir(false); }
  std::string RegisteredOwner() override { return GetRegisteredOwner(); }
  LeadBytePredicate LeadBytes() override { return IsLeadByte; }
};

}  // namespace

ShellFolderSource& SystemShellFolders() {
  static SystemShell shell;
  return shell;
}

std::string GetSpecialFolder(SpecialFolder folder, bool trailingBackslash) {
  try {
    return GetSpecialFolder(folder, trailingBackslash, SystemShellFolders());
  } catch (const std::exception& e) {
    ReportException(e, "GetSpecialFolder", "");
  }
  return GetWindowsDir(trailingBackslash);
}

}  // namespace tarnix
