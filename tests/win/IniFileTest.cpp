// Settings files through the platform's INI calls: present, empty and
// missing keys, the read buffer's limit, and the writes the agent relies on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "Utils/IniFile.h"

namespace tarnix {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    dir_ = std::string(temp) + "tarnix-ini-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(dir_.c_str(), nullptr);
    file_ = dir_ + "\\settings.ini";
    std::ofstream(file_, std::ios::binary) << "[Main]\r\n"
                                              "Present=hello\r\n"
                                              "Empty=\r\n"
                                              "Number=42\r\n"
                                              "Negative=-7\r\n"
                                              "NotNumber=4x\r\n"
                                              "Long="
                                           << std::string(12000, 'L') << "\r\n"
                                           << "[Other]\r\n"
                                              "Present=other\r\n";
  }
  void TearDown() override {
    ::DeleteFileA(file_.c_str());
    ::RemoveDirectoryA(dir_.c_str());
  }

  std::string dir_, file_;
};

TEST_F(IniFileTest, ReadStringGivesTheDefaultForEmptyAndMissingKeys) {
  struct Case {
    std::string file, section, key, expected;
  } cases[] = {
      {file_, "Main", "Present", "hello"},
      {file_, "main", "PRESENT", "hello"},
      {file_, "Other", "Present", "other"},
      {file_, "Main", "Empty", "def"},
      {file_, "Main", "Missing", "def"},
      {file_, "Missing", "Present", "def"},
      {dir_ + "\\missing.ini", "Main", "Present", "def"},
      {file_, "", "Present", "def"},
      {file_, "Main", "", "def"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadIniString(c.file, c.section, c.key, "def"), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(ReadIniString(file_, "Main", "Missing", ""), "");
}

TEST_F(IniFileTest, ReadStringStopsAtTheBuffer) {
  EXPECT_EQ(ReadIniString(file_, "Main", "Long", "def"), std::string(10240, 'L'));
}

TEST_F(IniFileTest, ReadIntGivesTheDefaultForWhatIsNotANumber) {
  struct Case {
    const char* key;
    int64_t def, expected;
  } cases[] = {
      {"Number", 5, 42},       {"Negative", 5, -7}, {"NotNumber", 5, 5}, {"Present", 5, 5},
      {"Empty", 5, 5},         {"Missing", 5, 5},   {"Missing", INT64_MIN, INT64_MIN},
      {"Missing", INT64_MAX, INT64_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadIniInt(file_, "Main", c.key, c.def), c.expected) << c.key;
}

TEST_F(IniFileTest, WritesReadBack) {
  EXPECT_TRUE(WriteIniString(file_, "New", "Text", "some value"));
  EXPECT_EQ(ReadIniString(file_, "New", "Text", "def"), "some value");
  EXPECT_TRUE(WriteIniString(file_, "Main", "Present", "changed"));
  EXPECT_EQ(ReadIniString(file_, "Main", "Present", "def"), "changed");
  EXPECT_TRUE(WriteIniInt(file_, "New", "Big", INT64_MIN));
  EXPECT_EQ(ReadIniInt(file_, "New", "Big", 0), INT64_MIN);
  EXPECT_EQ(ReadIniString(file_, "New", "Big", ""), "-9223372036854775808");
  // Written empty, read as absent.
  EXPECT_TRUE(WriteIniString(file_, "New", "Text", ""));
  EXPECT_EQ(ReadIniString(file_, "New", "Text", "def"), "def");
  // A new file is created.
  const std::string fresh = dir_ + "\\fresh.ini";
  EXPECT_TRUE(WriteIniInt(fresh, "S", "K", 12));
  EXPECT_EQ(ReadIniInt(fresh, "S", "K", 0), 12);
  ::DeleteFileA(fresh.c_str());
}

TEST_F(IniFileTest, WritesWithoutFileSectionOrKeyFailAndChangeNothing) {
  const std::string before = ReadAll(file_);
  EXPECT_FALSE(WriteIniString(file_, "Main", "", "x"));
  EXPECT_FALSE(WriteIniString(file_, "", "Key", "x"));
  EXPECT_FALSE(WriteIniString("", "Main", "Key", "x"));
  EXPECT_FALSE(WriteIniInt(file_, "Main", "", 1));
  EXPECT_EQ(ReadAll(file_), before);
  EXPECT_FALSE(WriteIniString(dir_ + "\\no such folder\\x.ini", "Main", "Key", "x"));
}

}  // namespace
}  // namespace tarnix
