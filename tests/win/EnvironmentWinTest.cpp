// The installer environment on the running system: the special folders the
// shell gives, and folder variables expanded with the real machine values.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "Utils/FileUtils.h"
#include "Utils/SysInfo.h"
#include "environment/FolderVariables.h"
#include "environment/RunTimeDirs.h"
#include "environment/SpecialFolders.h"

namespace tarnix {
namespace {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH + 1] = {};
  return ::SHGetFolderPathA(nullptr, csidl, nullptr, 0, path) == S_OK ? std::string(path) : std::string();
}

std::string WithoutTrailingBackslash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

TEST(SpecialFoldersWinTest, EveryFolderExistsAndTakesExactlyOneBackslash) {
  for (const SpecialFolderName& f : kSpecialFolders) {
    const std::string plain = GetSpecialFolder(f.folder, false);
    const std::string slashed = GetSpecialFolder(f.folder, true);
    std::cout << f.name << " = " << plain << '\n';
    EXPECT_TRUE(DirectoryExists(plain)) << f.name << ": " << plain;
    ASSERT_GE(slashed.size(), 2u) << f.name;
    EXPECT_EQ(slashed.back(), '\\') << f.name;
    EXPECT_NE(slashed[slashed.size() - 2], '\\') << f.name << ": " << slashed;
    EXPECT_EQ(slashed, plain + "\\") << f.name;
  }
}

TEST(SpecialFoldersWinTest, TheShellAnswersWhereItHasTheFolders) {
  struct Case {
    SpecialFolder folder;
    int csidl;
  } cases[] = {
      {SpecialFolder::UserAppDataDir, CSIDL_APPDATA},
      {SpecialFolder::UserLocalAppDataDir, CSIDL_LOCAL_APPDATA},
      {SpecialFolder::MyDocumentsDir, CSIDL_PERSONAL},
      {SpecialFolder::AllUsersAppDataDir, CSIDL_COMMON_APPDATA},
      {SpecialFolder::UserDesktopDir, CSIDL_DESKTOPDIRECTORY},
      {SpecialFolder::UserStartMenuDir, CSIDL_STARTMENU},
  };
  for (const Case& c : cases) {
    const std::string expected = ShellFolder(c.csidl);
    ASSERT_FALSE(expected.empty()) << c.csidl;
    EXPECT_STREQ(GetSpecialFolder(c.folder, false).c_str(), WithoutTrailingBackslash(expected).c_str()) << c.csidl;
  }
  const std::string documents = ShellFolder(CSIDL_PERSONAL);
  const std::string user = documents.substr(0, documents.rfind('\\'));
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::UserDir, false), user);
  EXPECT_EQ(GetSpecialFolder(SpecialFolder::DocumentsAndSettingsDir, false), user.substr(0, user.rfind('\\')));
}

class FolderVariablesWinTest : public testing::Test {
 protected:
  void SetUp() override { SetInstallFolders("C:\\Apps\\Tool", "C:\\Apps\\Common", "D:\\Aux"); }
  void TearDown() override { SetInstallFolders("", "", ""); }

  static std::string Expand(std::string_view text) { return ExpandFolderVariables(text, "\\", true, true, true); }
};

TEST_F(FolderVariablesWinTest, InstallationFolderAndDots) {
  EXPECT_EQ(Expand("<InstallDir>x.exe"), "C:\\Apps\\Tool\\x.exe");
  EXPECT_EQ(Expand("<InstallDir>\\x.exe"), "C:\\Apps\\Tool\\x.exe");
  EXPECT_EQ(Expand("<InstallDir>..\\Common\\x.dll"), "C:\\Apps\\Common\\x.dll");
  EXPECT_EQ(Expand("|<InstallAuxDir>a\\..\\b.exe|<InstallCommonDir>|"), "|D:\\Aux\\b.exe|C:\\Apps\\Common|");
  SetInstallFolders("E:\\Other", "", "");
  EXPECT_EQ(Expand("<InstallDir>x.exe"), "E:\\Other\\x.exe");
}

TEST_F(FolderVariablesWinTest, SystemFolders) {
  char windows[MAX_PATH + 1] = {};
  ASSERT_GT(::GetWindowsDirectoryA(windows, sizeof windows), 0u);
  char temp[MAX_PATH + 1] = {};
  ASSERT_GT(::GetTempPathA(sizeof temp, temp), 0u);
  const std::string windowsDir = WithoutTrailingBackslash(windows), tempDir = WithoutTrailingBackslash(temp);
  EXPECT_EQ(Expand("<WinDir>"), windowsDir);
  EXPECT_EQ(Expand("<WinDir>notepad.exe"), windowsDir + "\\notepad.exe");
  EXPECT_EQ(Expand("<TempDir>"), tempDir);
  std::string list = "|";
  list.append(windowsDir).append("|").append(tempDir).append("|");
  EXPECT_EQ(Expand("|<WinDir>|<TempDir>|"), list);
  EXPECT_EQ(Expand("<SrcDir>"), GetExeDir(false));
  // The tests run without "/OriginExe", so the origin is this program.
  EXPECT_EQ(Expand("<OriginDir>"), GetExeDir(false));
  EXPECT_EQ(OriginExe(), GetExeFileName());
  EXPECT_EQ(Expand("<WinSys16Dir>"), Expand("<System16 Directory>"));
  EXPECT_TRUE(DirectoryExists(Expand("<WinSys16Dir>")));
  EXPECT_TRUE(DirectoryExists(Expand("<FontDir>")));
}

TEST_F(FolderVariablesWinTest, UserFoldersAndNames) {
  const std::string appData = ShellFolder(CSIDL_APPDATA);
  ASSERT_FALSE(appData.empty());
  EXPECT_EQ(Expand("<UserAppDataDir>"), WithoutTrailingBackslash(appData));
  EXPECT_EQ(Expand("<UserAppDataDir>Vendor\\x.ini"), WithoutTrailingBackslash(appData) + "\\Vendor\\x.ini");
  EXPECT_EQ(Expand("<LoggedUserName>"), GetUserNameText());
  EXPECT_EQ(Expand("<ComputerName>"), GetComputerNameText());
  EXPECT_EQ(Expand("<UserName>"), GetRegisteredOwner());
  EXPECT_EQ(Expand("a<EnteredUserName>b"), "ab");
}

TEST_F(FolderVariablesWinTest, RunTimeDirsAreEmptyWithoutRecipes) {
  EXPECT_EQ(Expand("<RunTimeDir_1>"), "");
  for (int slot = 1; slot <= kRunTimeDirSlots; ++slot) EXPECT_EQ(RunTimeDir(slot), "") << slot;
}

TEST_F(FolderVariablesWinTest, TodaysDate) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    const std::string date = Expand("<Date=6>");
    ::GetLocalTime(&after);
    if (before.wDay != after.wDay) continue;
    char expected[16];
    ::wsprintfA(expected, "%04d-%02d-%02d", before.wYear, before.wMonth, before.wDay);
    EXPECT_EQ(date, expected);
    break;
  }
  EXPECT_EQ(Expand("<Date=9>"), "<Date=9>");
}

}  // namespace
}  // namespace tarnix
