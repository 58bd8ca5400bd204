#include "startup/AgentFolders.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/IniFile.h"
#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "environment/SpecialFolders.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

struct AgentFolders {
  std::string key;
  std::string home;
  std::string work;
};

// Creating a file is what the agent does first in its folder; the
// .original file must not be read-only. It is not opened for writing: the
// product or its setup may be reading it at this moment.
bool CanWriteIn(const std::string& dir, const std::string& original) {
  const std::string probe = dir + "~tarnix" + std::to_string(::GetCurrentProcessId()) + ".tmp";
  UniqueFileHandle created(
      ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!created) return false;
  created.reset();
  ::DeleteFileA(probe.c_str());
  const DWORD attributes = ::GetFileAttributesA(original.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

// The plain agent: its own folder when it can write there, else its per-user
// folder, which learns the home for the X_ copy started from it.
void SettlePlainAgent(const TGFileInfo& package, AgentFolders& folders) {
  folders.home = GetExeDir(true);
  folders.work = folders.home;
  if (CanWriteIn(folders.home, folders.home + package.OriginalFileName())) return;
  const std::string perUser =
      PerUserAgentDir(GetSpecialFolder(SpecialFolder::UserLocalAppDataDir, true), package.AgentExeName());
  if (perUser.empty() || !ForceDirectories(perUser)) return;
  if (!WriteIniString(perUser + package.OriginalFileName(), kAgentSection, kInstallFolderKey, folders.home)) return;
  folders.work = perUser;
}

// The X_ copy works where it runs; its home is the one its folder names,
// or that folder itself.
void SettleXAgent(const TGFileInfo& package, AgentFolders& folders) {
  folders.work = GetExeDir(true);
  const std::string home =
      ReadIniString(folders.work + package.OriginalFileName(), kAgentSection, kInstallFolderKey, "");
  folders.home = home.empty() ? folders.work : NormalizeDir(home, true);
}

const AgentFolders& Folders() {
  static AgentFolders folders;
  const TGFileInfo& package = StubPackage();
  const std::string exe = GetExeFileName();
  const std::string key = std::string(package.IsAgent() ? "1" : "0") + package.AgentExeName() + "|" + exe;
  if (folders.key == key) return folders;
  folders.key = key;
  if (!package.IsAgent()) {
    folders.home = folders.work = GetExeDir(true);
  } else if (SameTextTrim(FileNamePart(exe), "X_" + package.AgentExeName())) {
    SettleXAgent(package, folders);
  } else {
    SettlePlainAgent(package, folders);
  }
  return folders;
}

}  // namespace

const std::string& AgentHomeDir() { return Folders().home; }
const std::string& AgentWorkDir() { return Folders().work; }
bool AgentWorksPerUser() { return !SameText(AgentHomeDir(), AgentWorkDir()); }

}  // namespace tarnix
