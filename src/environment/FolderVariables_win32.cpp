#include <windows.h>

#include <exception>

#include "Utils/CommandLine.h"
#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "environment/FolderExpansion.h"
#include "environment/FolderVariables.h"
#include "environment/RunTimeDirs.h"
#include "environment/SpecialFolders.h"
#include "startup/AgentFolders.h"

namespace tarnix {

namespace {

InstallFolders g_installFolders;

// GetFullPathNameA; a second call when the first buffer is too small.
std::string FullPathName(std::string_view path) {
  const std::string in(path);
  std::string out(MAX_PATH + 1, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    char* name = nullptr;
    const DWORD n = ::GetFullPathNameA(in.c_str(), DWORD(out.size()), out.data(), &name);
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.assign(n + 1, '\0');
  }
  return {};
}

class SystemFolderValues final : public FolderVariableSource {
 public:
  std::string WindowsDir() override { return GetWindowsDir(false); }
  std::string SystemDir() override { return GetSystemDir(false); }
  std::string TempDir() override { return GetTempDir(false); }
  // An agent's X_ copy may run from its per-user folder: the installed
  // agent's folder is the one a product's paths mean.
  std::string ExeDir() override { return RemoveTrailingSlash(AgentHomeDir()); }
  std::string OriginDir() override { return tarnix::OriginDir(); }
  std::string SpecialFolderDir(SpecialFolder folder) override { return GetSpecialFolder(folder, false); }
  std::string RunTimeDir(int slot) override { return tarnix::RunTimeDir(slot); }
  bool DirectoryExists(std::string_view path) override { return tarnix::DirectoryExists(path); }
  std::string ReadRegValue(std::string_view path, std::string_view name) override {
    return tarnix::ReadRegValue(path, name, "", Use64BitRegistryView);
  }
  std::string UserNameText() override { return GetUserNameText(); }
  std::string RegisteredOwner() override { return GetRegisteredOwner(); }
  std::string RegisteredOrganization() override { return GetRegisteredOrganization(); }
  std::string ComputerNameText() override { return GetComputerNameText(); }
  std::string UserDomain() override { return GetUserDomain(); }
  double Now() override { return LocalNow(); }
  const DateSeparators& DateFormat() override { return UserDateSeparators(); }
  std::string FullPath(std::string_view path) override { return FullPathName(path); }
  // Nothing in this program defines user variables.
  std::string UserVariables() override { return {}; }
  LeadBytePredicate LeadBytes() override { return IsLeadByte; }
};

}  // namespace

void SetInstallFolders(std::string_view application, std::string_view common, std::string_view auxiliary) {
  g_installFolders = InstallFolders{std::string(application), std::string(common), std::string(auxiliary)};
}

std::string ExpandFolderVariables(std::string_view text, std::string_view suffix, bool resolveDots, bool folderStage,
                                  bool userStage) {
  try {
    SystemFolderValues source;
    return ExpandFolderVariables(text, suffix, resolveDots, folderStage, userStage, g_installFolders, source);
  } catch (const std::exception& e) {
    ReportException(e, "ExpandFolderVariables", "");
  }
  return {};
}

const std::string& OriginExe() {
  static const std::string exe = [] {
    std::string origin = GetSwitchValue("/OriginExe", "");
    return origin.empty() ? GetExeFileName() : origin;
  }();
  return exe;
}

const std::string& OriginDir() {
  static const std::string dir = [] {
    std::string folder = DirectoryPart(OriginExe(), IsLeadByte);
    return folder.empty() ? GetExeDir(false) : folder;
  }();
  return dir;
}

}  // namespace tarnix
