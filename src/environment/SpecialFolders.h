// The user's and all users' special folders (application data, documents,
// start menu, desktop) on every Windows generation. Each is asked of the
// shell first; when the shell cannot answer, or names a folder that does not
// exist, the folder is built from the Windows folder in the layout that older
// systems use. Nothing is kept between calls.
//
// Choosing between the shell's answers and the fallbacks is plain logic over
// a ShellFolderSource, so it runs and is tested anywhere; the Windows source
// looks the shell functions up at every call, since old systems lack them.
#pragma once

#include <string>
#include <string_view>

#include "Utils/PathUtils.h"

namespace tarnix {

// In the order in which the folder variables expand them.
enum class SpecialFolder {
  UserDir,
  UserAppDataDir,
  UserLocalAppDataDir,
  MyDocumentsDir,
  UserStartMenuDir,
  UserStartProgramMenuDir,
  UserDesktopDir,
  DocumentsAndSettingsDir,
  AllUsersDir,
  AllUsersAppDataDir,
  AllUsersDocumentsDir,
  AllUsersStartMenuDir,
  AllUsersStartProgramMenuDir,
  AllUsersDesktopDir,
};

struct SpecialFolderName {
  SpecialFolder folder;
  std::string_view name;  // also the folder variable's name, in angle brackets
};

inline constexpr SpecialFolderName kSpecialFolders[] = {
    {SpecialFolder::UserDir, "UserDir"},
    {SpecialFolder::UserAppDataDir, "UserAppDataDir"},
    {SpecialFolder::UserLocalAppDataDir, "UserLocalAppDataDir"},
    {SpecialFolder::MyDocumentsDir, "MyDocumentsDir"},
    {SpecialFolder::UserStartMenuDir, "UserStartMenuDir"},
    {SpecialFolder::UserStartProgramMenuDir, "UserStartProgramMenuDir"},
    {SpecialFolder::UserDesktopDir, "UserDesktopDir"},
    {SpecialFolder::DocumentsAndSettingsDir, "DocumentsAndSettingsDir"},
    {SpecialFolder::AllUsersDir, "AllUsersDir"},
    {SpecialFolder::AllUsersAppDataDir, "AllUsersAppDataDir"},
    {SpecialFolder::AllUsersDocumentsDir, "AllUsersDocumentsDir"},
    {SpecialFolder::AllUsersStartMenuDir, "AllUsersStartMenuDir"},
    {SpecialFolder::AllUsersStartProgramMenuDir, "AllUsersStartProgramMenuDir"},
    {SpecialFolder::AllUsersDesktopDir, "AllUsersDesktopDir"},
};

// The shell's folder identifiers.
inline constexpr int kCsidlPrograms = 0x0002;
inline constexpr int kCsidlPersonal = 0x0005;
inline constexpr int kCsidlStartMenu = 0x000B;
inline constexpr int kCsidlDesktopDirectory = 0x0010;
inline constexpr int kCsidlCommonStartMenu = 0x0016;
inline constexpr int kCsidlCommonPrograms = 0x0017;
inline constexpr int kCsidlCommonDesktopDirectory = 0x0019;
inline constexpr int kCsidlAppData = 0x001A;
inline constexpr int kCsidlLocalAppData = 0x001C;
inline constexpr int kCsidlCommonAppData = 0x0023;
inline constexpr int kCsidlCommonDocuments = 0x002E;
// Combined with an identifier, asks the shell to create a missing folder.
inline constexpr int kCsidlFlagCreate = 0x8000;

// What the special folders are built from.
class ShellFolderSource {
 public:
  virtual ~ShellFolderSource() = default;
  // "SHGetFolderPathA" of "SHFolder.dll"; false when the library or the
  // function is missing or the call fails.
  virtual bool GetFolderPath(int csidl, std::string& path) = 0;
  // "SHGetSpecialFolderPathA" of "shell32.dll", never creating the folder;
  // false as above.
  virtual bool GetSpecialFolderPath(int csidl, std::string& path) = 0;
  virtual bool DirectoryExists(std::string_view path) = 0;
  // Without a trailing backslash.
  virtual std::string WindowsDir() = 0;
  // The registered owner of Windows, which names the user's profile folder
  // on systems with profiles but without the shell functions.
  virtual std::string RegisteredOwner() = 0;
  virtual LeadBytePredicate LeadBytes() { return NoLeadBytes; }
};

// The folder, with exactly one trailing backslash when asked. The Windows
// folder is the last resort, so there is always an answer.
std::string GetSpecialFolder(SpecialFolder folder, bool trailingBackslash, ShellFolderSource& source);

// Windows only. The running system's shell, looked up at every call.
ShellFolderSource& SystemShellFolders();
// Windows only. GetSpecialFolder on the running system.
std::string GetSpecialFolder(SpecialFolder folder, bool trailingBackslash);

}  // namespace tarnix
