#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "Utils/StrUtils.h"
#include "environment/SpecialFolders.h"

namespace tarnix {
namespace {

// A machine as the special folders see it: which shell functions exist and
// what they answer, which folders exist, the Windows folder and the owner.
struct FakeShell final : ShellFolderSource {
  bool hasFolderFunction = false;
  bool hasSpecialFolderFunction = false;
  std::map<int, std::string> folderPaths;   // by identifier, as passed
  std::map<int, std::string> specialPaths;  // by identifier
  std::set<std::string> existing;           // upper-cased
  std::string windows = "C:\\WINDOWS";
  std::string owner = "Ann";
  LeadBytePredicate lead = NoLeadBytes;

  bool GetFolderPath(int csidl, std::string& path) override {
    if (!hasFolderFunction) return false;
    const auto it = folderPaths.find(csidl);
    if (it == folderPaths.end()) return false;
    path = it->second;
    return true;
  }
  bool GetSpecialFolderPath(int csidl, std::string& path) override {
    if (!hasSpecialFolderFunction) return false;
    const auto it = specialPaths.find(csidl);
    if (it == specialPaths.end()) return false;
    path = it->second;
    return true;
  }
  bool DirectoryExists(std::string_view path) override { return existing.count(UpperCase(path)) != 0; }
  std::string WindowsDir() override { return windows; }
  std::string RegisteredOwner() override { return owner; }
  LeadBytePredicate LeadBytes() override { return lead; }

  void Exist(std::initializer_list<std::string> folders) {
    for (const std::string& f : folders) existing.insert(UpperCase(f));
  }
};

using Expected = std::map<SpecialFolder, std::string>;

struct LayoutCase {
  const char* name;
  void (*build)(FakeShell&);
  Expected expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class SpecialFoldersTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(SpecialFoldersTest, EveryFolderWithAndWithoutTheBackslash) {
  FakeShell shell;
  GetParam().build(shell);
  ASSERT_EQ(GetParam().expected.size(), std::size(kSpecialFolders));
  for (const auto& [folder, expected] : GetParam().expected) {
    EXPECT_EQ(GetSpecialFolder(folder, false, shell), expected) << int(folder);
    EXPECT_EQ(GetSpecialFolder(folder, true, shell), expected + "\\") << int(folder);
  }
}

const std::string kXpUser = "C:\\Documents and Settings\\Ann";
const std::string kXpAll = "C:\\Documents and Settings\\All Users";

// The shell as on a system with profiles under "Documents and Settings".
void XpShell(FakeShell& s) {
  s.hasFolderFunction = s.hasSpecialFolderFunction = true;
  s.folderPaths = {
      {kCsidlPersonal | kCsidlFlagCreate, kXpUser + "\\My Documents"},
      {kCsidlAppData | kCsidlFlagCreate, kXpUser + "\\Application Data"},
      {kCsidlLocalAppData | kCsidlFlagCreate, kXpUser + "\\Local Settings\\Application Data"},
      {kCsidlCommonAppData | kCsidlFlagCreate, kXpAll + "\\Application Data"},
      {kCsidlCommonDocuments | kCsidlFlagCreate, kXpAll + "\\Documents"},
  };
  s.specialPaths = {
      {kCsidlStartMenu, kXpUser + "\\Start Menu"},
      {kCsidlPrograms, kXpUser + "\\Start Menu\\Programs"},
      {kCsidlDesktopDirectory, kXpUser + "\\Desktop"},
      {kCsidlCommonStartMenu, kXpAll + "\\Start Menu"},
      {kCsidlCommonPrograms, kXpAll + "\\Start Menu\\Programs"},
      {kCsidlCommonDesktopDirectory, kXpAll + "\\Desktop"},
  };
  s.Exist({"C:\\WINDOWS", "C:\\Documents and Settings", kXpUser, kXpAll});
  for (const auto& [id, path] : s.folderPaths) s.Exist({path});
  for (const auto& [id, path] : s.specialPaths) s.Exist({path});
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SpecialFoldersTest,
    testing::Values(LayoutCase{"NoShellFunctionsNoProfiles",
                               [](FakeShell& s) { s.Exist({"C:\\WINDOWS"}); },
                               {
                                   {SpecialFolder::UserDir, "C:\\WINDOWS"},
                                   {SpecialFolder::UserAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, "C:\\WINDOWS\\My Documents"},
                                   {SpecialFolder::UserStartMenuDir, "C:\\WINDOWS\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, "C:\\WINDOWS\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "C:\\WINDOWS"},
                                   {SpecialFolder::AllUsersDir, "C:\\WINDOWS"},
                                   {SpecialFolder::AllUsersAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::AllUsersDocumentsDir, "C:\\WINDOWS\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, "C:\\WINDOWS\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, "C:\\WINDOWS\\Desktop"},
                               }},
                    // The user's own start menu is used where the profile has one; the
                    // rest falls back to the Windows folder.
                    LayoutCase{
                        "ProfilesWithoutShellFunctions",
                        [](FakeShell& s) {
                          s.windows = "C:\\WINNT";
                          s.Exist({"C:\\WINNT", "C:\\WINNT\\Profiles\\Ann", "C:\\WINNT\\Profiles\\Ann\\Start Menu"});
                        },
                        {
                            {SpecialFolder::UserDir, "C:\\WINNT\\Profiles\\Ann"},
                            {SpecialFolder::UserAppDataDir, "C:\\WINNT\\Profiles\\Ann\\Application Data"},
                            {SpecialFolder::UserLocalAppDataDir, "C:\\WINNT\\Profiles\\Ann\\Application Data"},
                            {SpecialFolder::MyDocumentsDir, "C:\\WINNT\\Profiles\\Ann\\My Documents"},
                            {SpecialFolder::UserStartMenuDir, "C:\\WINNT\\Profiles\\Ann\\Start Menu"},
                            {SpecialFolder::UserStartProgramMenuDir, "C:\\WINNT\\Start Menu\\Programs"},
                            {SpecialFolder::UserDesktopDir, "C:\\WINNT\\Desktop"},
                            {SpecialFolder::DocumentsAndSettingsDir, "C:\\WINNT\\Profiles\\Ann"},
                            {SpecialFolder::AllUsersDir, "C:\\WINNT"},
                            {SpecialFolder::AllUsersAppDataDir, "C:\\WINNT\\Application Data"},
                            {SpecialFolder::AllUsersDocumentsDir, "C:\\WINNT\\Documents"},
                            {SpecialFolder::AllUsersStartMenuDir, "C:\\WINNT\\Start Menu"},
                            {SpecialFolder::AllUsersStartProgramMenuDir, "C:\\WINNT\\Start Menu\\Programs"},
                            {SpecialFolder::AllUsersDesktopDir, "C:\\WINNT\\Desktop"},
                        }},
                    // Without a registered owner there is no profile to look for.
                    LayoutCase{"ProfilesWithoutOwner",
                               [](FakeShell& s) {
                                 s.owner.clear();
                                 s.Exist({"C:\\WINDOWS", "C:\\WINDOWS\\Profiles", "C:\\WINDOWS\\Profiles\\"});
                               },
                               {
                                   {SpecialFolder::UserDir, "C:\\WINDOWS"},
                                   {SpecialFolder::UserAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, "C:\\WINDOWS\\My Documents"},
                                   {SpecialFolder::UserStartMenuDir, "C:\\WINDOWS\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, "C:\\WINDOWS\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "C:\\WINDOWS"},
                                   {SpecialFolder::AllUsersDir, "C:\\WINDOWS"},
                                   {SpecialFolder::AllUsersAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::AllUsersDocumentsDir, "C:\\WINDOWS\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, "C:\\WINDOWS\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, "C:\\WINDOWS\\Desktop"},
                               }},
                    LayoutCase{"ShellWithProfiles",
                               XpShell,
                               {
                                   {SpecialFolder::UserDir, kXpUser},
                                   {SpecialFolder::UserAppDataDir, kXpUser + "\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, kXpUser + "\\Local Settings\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, kXpUser + "\\My Documents"},
                                   {SpecialFolder::UserStartMenuDir, kXpUser + "\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, kXpUser + "\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, kXpUser + "\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "C:\\Documents and Settings"},
                                   {SpecialFolder::AllUsersDir, kXpAll},
                                   {SpecialFolder::AllUsersAppDataDir, kXpAll + "\\Application Data"},
                                   {SpecialFolder::AllUsersDocumentsDir, kXpAll + "\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, kXpAll + "\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, kXpAll + "\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, kXpAll + "\\Desktop"},
                               }},
                    // The folders the shell names are gone (a removed profile): each
                    // falls back as if the shell had no answer, the user's start menu to
                    // the one below the user's folder, which still exists.
                    LayoutCase{"ShellNamesMissingFolders",
                               [](FakeShell& s) {
                                 XpShell(s);
                                 s.specialPaths[kCsidlStartMenu] = "C:\\Gone\\Start Menu";
                                 s.existing.clear();
                                 s.Exist({"C:\\WINDOWS", "C:\\Documents and Settings", kXpUser,
                                          kXpUser + "\\My Documents", kXpUser + "\\Start Menu",
                                          kXpAll + "\\Application Data"});
                               },
                               {
                                   {SpecialFolder::UserDir, kXpUser},
                                   {SpecialFolder::UserAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, "C:\\WINDOWS\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, kXpUser + "\\My Documents"},
                                   {SpecialFolder::UserStartMenuDir, kXpUser + "\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, "C:\\WINDOWS\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "C:\\Documents and Settings"},
                                   {SpecialFolder::AllUsersDir, "C:\\WINDOWS"},
                                   {SpecialFolder::AllUsersAppDataDir, kXpAll + "\\Application Data"},
                                   {SpecialFolder::AllUsersDocumentsDir, "C:\\WINDOWS\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, "C:\\WINDOWS\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, "C:\\WINDOWS\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, "C:\\WINDOWS\\Desktop"},
                               }},
                    // Without "SHGetSpecialFolderPathA" the start menus and desktops are
                    // built below the folders that "SHGetFolderPathA" gives.
                    LayoutCase{"FolderFunctionOnly",
                               [](FakeShell& s) {
                                 XpShell(s);
                                 s.hasSpecialFolderFunction = false;
                               },
                               {
                                   {SpecialFolder::UserDir, kXpUser},
                                   {SpecialFolder::UserAppDataDir, kXpUser + "\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, kXpUser + "\\Local Settings\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, kXpUser + "\\My Documents"},
                                   {SpecialFolder::UserStartMenuDir, kXpUser + "\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, kXpUser + "\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, kXpUser + "\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "C:\\Documents and Settings"},
                                   {SpecialFolder::AllUsersDir, kXpAll},
                                   {SpecialFolder::AllUsersAppDataDir, kXpAll + "\\Application Data"},
                                   {SpecialFolder::AllUsersDocumentsDir, kXpAll + "\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, kXpAll + "\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, kXpAll + "\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, kXpAll + "\\Desktop"},
                               }},
                    // All users' data at the root of a drive: its parent is the drive,
                    // which takes exactly one backslash too.
                    LayoutCase{"CommonDataAtDriveRoot",
                               [](FakeShell& s) {
                                 s.hasFolderFunction = true;
                                 s.windows = "D:\\Windows";
                                 s.folderPaths = {{kCsidlCommonAppData | kCsidlFlagCreate, "D:\\ProgramData\\"},
                                                  {kCsidlPersonal | kCsidlFlagCreate, "D:\\Users\\Ann\\Documents"}};
                                 s.Exist({"D:\\Windows", "D:", "D:\\ProgramData", "D:\\Users", "D:\\Users\\Ann",
                                          "D:\\Users\\Ann\\Documents"});
                               },
                               {
                                   {SpecialFolder::UserDir, "D:\\Users\\Ann"},
                                   {SpecialFolder::UserAppDataDir, "D:\\Windows\\Application Data"},
                                   {SpecialFolder::UserLocalAppDataDir, "D:\\Windows\\Application Data"},
                                   {SpecialFolder::MyDocumentsDir, "D:\\Users\\Ann\\Documents"},
                                   {SpecialFolder::UserStartMenuDir, "D:\\Start Menu"},
                                   {SpecialFolder::UserStartProgramMenuDir, "D:\\Start Menu\\Programs"},
                                   {SpecialFolder::UserDesktopDir, "D:\\Desktop"},
                                   {SpecialFolder::DocumentsAndSettingsDir, "D:\\Users"},
                                   {SpecialFolder::AllUsersDir, "D:"},
                                   {SpecialFolder::AllUsersAppDataDir, "D:\\ProgramData"},
                                   {SpecialFolder::AllUsersDocumentsDir, "D:\\Windows\\Documents"},
                                   {SpecialFolder::AllUsersStartMenuDir, "D:\\Start Menu"},
                                   {SpecialFolder::AllUsersStartProgramMenuDir, "D:\\Start Menu\\Programs"},
                                   {SpecialFolder::AllUsersDesktopDir, "D:\\Desktop"},
                               }}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(SpecialFoldersTest, PersonalFolderGivesTheUserAndTheProfilesFolder) {
  FakeShell shell;
  shell.hasFolderFunction = true;
  shell.folderPaths = {{kCsidlPersonal | kCsidlFlagCreate, "C:\\Documents and Settings\\Ann\\My Documents"}};
  shell.Exist({"C:\\WINDOWS", "C:\\Documents and Settings", "C:\\Documents and Settings\\Ann",
               "C:\\Documents and Settings\\Ann\\My Documents"});
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::UserDir, false, shell), "C:\\Documents and Settings\\Ann");
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::DocumentsAndSettingsDir, false, shell), "C:\\Documents and Settings");
  // Asked without the create flag, the shell knows nothing here.
  shell.folderPaths = {{kCsidlPersonal, "C:\\Documents and Settings\\Ann\\My Documents"}};
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::UserDir, false, shell), "C:\\WINDOWS");
}

// A user name in a double-byte code page whose second byte is a backslash
// (Shift-JIS 0x95 0x5C) stays whole when the parent is taken.
TEST(SpecialFoldersTest, ParentOfADoubleByteNameStaysWhole) {
  FakeShell shell;
  shell.lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  const std::string user = "C:\\Users\\\x95\x5C";
  shell.hasFolderFunction = true;
  shell.folderPaths = {{kCsidlPersonal | kCsidlFlagCreate, user + "\\Documents"}};
  shell.Exist({"C:\\WINDOWS", "C:\\Users", user, user + "\\Documents"});
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::UserDir, false, shell), user);
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::UserDir, true, shell), user + "\\");
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::DocumentsAndSettingsDir, false, shell), "C:\\Users");
}

}  // namespace
}  // namespace tarnix
