// The language table on Windows: the user's language from the thread
// locale, and the language text file read through the platform's INI calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/IniFile.h"
#include "package/LanguageDefaults.h"
#include "package/LanguageTable.h"
#include "unit/ReaderWithLanguage.h"

namespace tarnix {
namespace {

class ThreadLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = ::GetThreadLocale(); }
  void TearDown() override { ::SetThreadLocale(saved_); }

  LCID saved_ = 0;
};

TEST_F(ThreadLocaleTest, UserLanguageFollowsTheThreadLocale) {
  const struct {
    LCID locale;
    const char* name;
  } cases[] = {{0x0407, "GERMAN"}, {0x0416, "PORTUGUESE"}, {0x0410, "ITALIAN"}, {0x0409, "ENGLISH"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(::SetThreadLocale(c.locale)) << std::hex << c.locale;
    EXPECT_EQ(UserLanguageName(), c.name) << std::hex << c.locale;
  }
}

TEST_F(ThreadLocaleTest, SelectionShowsTheThreadLocalesLanguage) {
  const TGFileInfo reader = ReaderWith(BuildLanguageBlock({
      BuildLanguageRecord("English", BuiltinEnglishTexts()),
      BuildLanguageRecord("German", {{"s0", "Installationsprogramm"}}),
      BuildLanguageRecord("Italian", {{"s0", "Installazione"}}),
  }));
  const struct {
    LCID locale;
    const char* title;
  } cases[] = {{0x0407, "Installationsprogramm"}, {0x0410, "Installazione"}, {0x0416, "Tarnix Installation Suite"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(::SetThreadLocale(c.locale));
    LanguageSelection selection(UserLanguageName);
    EXPECT_EQ(selection.LangString(reader, "s0", ""), c.title) << std::hex << c.locale;
  }
}

// A stand-in for the executable's folder, with the language text file below
// it as an installation leaves it.
class LanguageTextFileWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = GetTempDir(true) + "tarnix-langtext-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "HELP").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "HELP\\English").c_str(), nullptr));
    std::ofstream(LanguageTextFile(folder_), std::ios::binary)
        << "[STRINGS]\r\n"
           "Wrapped=|  two blanks  |\r\n"
           "Bare=   spaced   \r\n"
           "Bar=|\r\n"
           "Empty=\r\n"
           "RunTimeDir_01=|Folder (<?>) is missing: <?>|\r\n"
           "[OTHER]\r\n"
           "Other=not this section\r\n";
  }
  void TearDown() override { RemoveDirTree(folder_, true); }

  std::string folder_;
};

TEST_F(LanguageTextFileWinTest, StringsSectionIsReadAndUnwrapped) {
  const struct {
    const char* key;
    const char* expected;
  } cases[] = {
      {"Wrapped", "  two blanks  "}, {"wrapped", "  two blanks  "}, {"Bare", "spaced"}, {"Bar", "def"},
      {"Empty", "def"},              {"Missing", "def"},             {"Other", "def"},
  };
  for (const auto& c : cases) EXPECT_EQ(IniString(folder_, c.key, "def", ReadIniString), c.expected) << c.key;
  EXPECT_EQ(IniMessage(folder_, "RunTimeDir_01", "RunTimeDir (<?>)<P><P>Not Found!", "C:\\RT", ReadIniString),
            "Folder (C:\\RT) is missing: C:\\RT");
}

TEST_F(LanguageTextFileWinTest, WithoutTheFileTheDefaultIsFilledIn) {
  ASSERT_TRUE(::DeleteFileA(LanguageTextFile(folder_).c_str()));
  EXPECT_EQ(IniMessage(folder_, "RunTimeDir_01", "RunTimeDir (<?>)<P><P>Not Found!", "C:\\RT", ReadIniString),
            "RunTimeDir (C:\\RT)<P><P>Not Found!");
  // The test program's own folder carries no language text file either.
  EXPECT_EQ(IniMessage("RunTimeDir_01", "RunTimeDir (<?>)<P><P>Not Found!", "D:\\Shared"),
            "RunTimeDir (D:\\Shared)<P><P>Not Found!");
  EXPECT_EQ(IniString("Wrapped", "def"), "def");
}

}  // namespace
}  // namespace tarnix
