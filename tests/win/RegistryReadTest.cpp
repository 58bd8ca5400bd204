// Registry values read by full path: every value type, paths with and
// without a root name, a root alone, values longer than any fixed buffer and
// strings stored without their terminating zero.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Utils/Registry.h"
#include "Utils/UniqueResource.h"

namespace tarnix {
namespace {

constexpr const char* kTestParent = "Software\\TarnixTest";
constexpr const char* kTestKey = "Software\\TarnixTest\\Registry";
constexpr const char* kFullPath = "HKEY_CURRENT_USER\\Software\\TarnixTest\\Registry";
constexpr const char* kRootValue = "TarnixTestRootValue";

class RegistryReadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HKEY created = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    key_ = new UniqueHKey(created);
  }

  static void TearDownTestSuite() {
    delete key_;
    key_ = nullptr;
    ::RegDeleteValueA(HKEY_CURRENT_USER, kRootValue);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    // Other tests may keep keys of their own beside this one; the parent goes
    // only when it is empty.
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kTestParent);
  }

  static void Set(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS)
        << name;
  }
  static void Set(const char* name, DWORD type, const std::string& bytes) { Set(key_->get(), name, type, bytes); }

  static std::string Read(const char* name, const char* path = kFullPath) {
    return ReadRegValue(path, name, "<default>", Use64BitRegistryView);
  }

  static UniqueHKey* key_;
};

UniqueHKey* RegistryReadTest::key_ = nullptr;

TEST_F(RegistryReadTest, EveryValueTypeReadsAsText) {
  using namespace std::string_literals;
  Set("Text", REG_SZ, "hello world\0"s);
  Set("Number", REG_DWORD, "\x0A\0\0\0"s);
  Set("Largest", REG_DWORD, "\xFF\xFF\xFF\xFF"s);
  Set("List", REG_MULTI_SZ, "a\0b\0\0"s);
  Set("Bytes", REG_BINARY, "AB\0C"s);
  Set("Expand", REG_EXPAND_SZ, "%TEMP%\\x\0"s);
  Set("Empty", REG_SZ, "\0"s);
  Set(nullptr, REG_SZ, "the default value\0"s);

  EXPECT_EQ(Read("Text"), "hello world");
  EXPECT_EQ(Read("Number"), "10");
  EXPECT_EQ(Read("Largest"), "4294967295");
  EXPECT_EQ(Read("List"), "a<0>b");
  EXPECT_EQ(Read("Bytes"), "AB");
  EXPECT_EQ(Read("Expand"), "%TEMP%\\x");
  EXPECT_EQ(Read("Empty"), "");
  EXPECT_EQ(Read(""), "the default value");
}

TEST_F(RegistryReadTest, MissingKeyOrValueGivesTheDefault) {
  EXPECT_EQ(Read("NoSuchValue"), "<default>");
  EXPECT_EQ(Read("Text", "HKEY_CURRENT_USER\\Software\\TarnixTest\\NoSuchKey"), "<default>");
  EXPECT_EQ(ReadRegValue("HKLM\\SOFTWARE\\TarnixTestNoSuchKey", "x", "", false), "");
}

TEST_F(RegistryReadTest, PathsWithShortLowerCaseOrNoRootName) {
  Set("Text", REG_SZ, std::string("hello world", 12));
  EXPECT_EQ(Read("Text", "HKCU\\Software\\TarnixTest\\Registry"), "hello world");
  EXPECT_EQ(Read("Text", "  hkey_current_user\\Software\\TarnixTest\\Registry  "), "hello world");
  EXPECT_EQ(Read("Text", "Software\\TarnixTest\\Registry"), "hello world");
  EXPECT_EQ(ReadRegValue(kFullPath, "Text", "", true), "hello world");
  // The same sub-key under another root is another key.
  EXPECT_EQ(Read("Text", "HKLM\\Software\\TarnixTest\\Registry"), "<default>");
}

TEST_F(RegistryReadTest, RootNameAloneOpensTheRootKey) {
  Set(HKEY_CURRENT_USER, kRootValue, REG_SZ, std::string("at the root", 12));
  EXPECT_EQ(Read(kRootValue, "HKCU"), "at the root");
  EXPECT_EQ(Read(kRootValue, "HKEY_CURRENT_USER"), "at the root");
  EXPECT_EQ(Read(kRootValue, "HKLM"), "<default>");
}

TEST_F(RegistryReadTest, StringWithoutTerminatingZeroEndsWithItsBytes) {
  // Written with an explicit length that leaves the zero out.
  const char text[] = "abcdeXXXX";
  ASSERT_EQ(::RegSetValueExA(key_->get(), "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 5),
            ERROR_SUCCESS);
  EXPECT_EQ(Read("Unterminated"), "abcde");
  ASSERT_EQ(::RegSetValueExA(key_->get(), "UnterminatedList", 0, REG_MULTI_SZ,
                             reinterpret_cast<const BYTE*>("x\0yz"), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(Read("UnterminatedList"), "x<0>yz");
}

TEST_F(RegistryReadTest, LongValuesAreReadWholeUpToTheLimit) {
  const std::string longText(20000, 'L');
  Set("LongText", REG_SZ, longText + '\0');
  EXPECT_EQ(Read("LongText"), longText);

  const std::string longBytes(20000, '\x7F');
  Set("LongBytes", REG_BINARY, longBytes);
  EXPECT_EQ(Read("LongBytes"), longBytes);

  const std::string atLimit(kMaxRegValueBytes, 'M');
  Set("AtLimit", REG_BINARY, atLimit);
  EXPECT_EQ(Read("AtLimit"), atLimit);

  Set("OverLimit", REG_BINARY, std::string(kMaxRegValueBytes + 1, 'O'));
  EXPECT_EQ(Read("OverLimit"), "<default>");
}

TEST_F(RegistryReadTest, ReadsTheSystemsOwnKeys) {
  EXPECT_NE(ReadRegValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", "",
                         Use64BitRegistryView),
            "");
}

}  // namespace
}  // namespace tarnix
