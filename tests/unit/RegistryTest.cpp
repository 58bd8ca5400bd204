// Registry paths and value texts: the root names, the split of a full path
// into root and sub-key, and how the bytes of each value type read as text,
// never beyond the bytes the value holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "Utils/Registry.h"

namespace tarnix {
namespace {

TEST(RegistryTest, RootNamesFullShortAnyCaseElseCurrentUser) {
  struct Case {
    const char* name;
    RegRoot root;
  } cases[] = {
      {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
      {"HKCR", RegRoot::ClassesRoot},
      {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
      {"HKCU", RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
      {"hklm", RegRoot::LocalMachine},
      {"Hkey_Local_Machine", RegRoot::LocalMachine},
      {"HKEY_USERS", RegRoot::Users},
      {"HKU", RegRoot::Users},
      {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig},
      {"HKCC", RegRoot::CurrentConfig},
      {"HKEY_DYN_DATA", RegRoot::DynData},
      {"hkdd", RegRoot::DynData},
      {"HKEY_PERFORMANCE_DATA", RegRoot::CurrentUser},
      {"HKLM ", RegRoot::CurrentUser},
      {"HKEY_LOCAL", RegRoot::CurrentUser},
      {"", RegRoot::CurrentUser},
  };
  for (const Case& c : cases) EXPECT_EQ(RootKeyFromName(c.name), c.root) << "'" << c.name << "'";
  EXPECT_EQ(uint32_t(RegRoot::ClassesRoot), 0x80000000u);
  EXPECT_EQ(uint32_t(RegRoot::CurrentConfig), 0x80000005u);
  EXPECT_EQ(uint32_t(RegRoot::DynData), 0x80000006u);
}

TEST(RegistryTest, SplitRegPath) {
  struct Case {
    const char* path;
    RegRoot root;
    const char* subKey;
  } cases[] = {
      {"Software\\Example", RegRoot::CurrentUser, "Software\\Example"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", RegRoot::LocalMachine,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
      {"  HKLM\\Software\\X \t", RegRoot::LocalMachine, "Software\\X"},
      {"hkcr\\.txt", RegRoot::ClassesRoot, ".txt"},
      {"HKEY_USERS\\.DEFAULT\\Control Panel", RegRoot::Users, ".DEFAULT\\Control Panel"},
      {"HKLM", RegRoot::LocalMachine, ""},
      {" hkey_current_config ", RegRoot::CurrentConfig, ""},
      {"HKLM\\", RegRoot::LocalMachine, ""},
      {"HKLM\\\\Software", RegRoot::LocalMachine, "\\Software"},
      // An unknown root name still takes the text before the backslash.
      {"HKXX\\Software\\X", RegRoot::CurrentUser, "Software\\X"},
      {"HKLMSoftware", RegRoot::CurrentUser, ""},
      {"Software\\HKLM", RegRoot::CurrentUser, "Software\\HKLM"},
      {"\\Software", RegRoot::CurrentUser, "\\Software"},
      {"", RegRoot::CurrentUser, ""},
  };
  for (const Case& c : cases) {
    const RegPath split = SplitRegPath(c.path);
    EXPECT_EQ(split.root, c.root) << "'" << c.path << "'";
    EXPECT_EQ(split.subKey, c.subKey) << "'" << c.path << "'";
  }
}

TEST(RegistryTest, ValueTextByType) {
  using namespace std::string_literals;
  struct Case {
    uint32_t type;
    std::string data;
    std::string text;
  } cases[] = {
      {kRegDword, "\x0A\0\0\0"s, "10"},
      {kRegDword, "\xFF\xFF\xFF\xFF"s, "4294967295"},
      {kRegDword, "\x00\x01\x00\x00"s, "256"},
      // A DWORD of another size reads like any other value.
      {kRegDword, "12\0"s, "12"},
      {kRegMultiSz, "a\0b\0\0"s, "a<0>b"},
      {kRegMultiSz, "one\0\0two\0\0\0"s, "one<0><0>two"},
      {kRegMultiSz, "abc"s, "abc"},
      {kRegMultiSz, "\0\0\0"s, ""},
      {kRegMultiSz, "ab"s, "ab"},
      {kRegMultiSz, "a\0"s, "a"},
      {kRegSz, "text\0"s, "text"},
      {kRegSz, "no end"s, "no end"},
      {kRegSz, "cut\0here\0"s, "cut"},
      {kRegSz, ""s, ""},
      {kRegExpandSz, "%TEMP%\\x\0"s, "%TEMP%\\x"},
      {kRegBinary, "\x01\x02\0\x03"s, "\x01\x02"},
      {kRegBinary, "\x01\x02\x03"s, "\x01\x02\x03"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(RegValueText(cases[i].type, cases[i].data), cases[i].text) << "case " << i;
}

TEST(RegistryTest, ValueTextStaysInsideTheBytesItIsGiven) {
  // The bytes after the view are not part of the value and must not be read.
  const std::string backing = "abcdefXYZ";
  const std::string_view value(backing.data(), 6);
  EXPECT_EQ(RegValueText(kRegSz, value), "abcdef");
  EXPECT_EQ(RegValueText(kRegBinary, value.substr(0, 0)), "");
  EXPECT_EQ(RegValueText(kRegMultiSz, value), "abcdef");
}

}  // namespace
}  // namespace tarnix
