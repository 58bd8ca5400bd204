// The running system as the toolbox reports it: a version record that
// matches the platform's, a classification consistent with it, the user and
// machine names, the developer-mode variable and system error texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>

#include "Utils/OsInfo.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/UniqueResource.h"
#include "Utils/VersionInfo.h"

namespace tarnix {
namespace {

TEST(OsInfoWinTest, RecordIsThePlatformsCorrectedWhenCapped) {
  OSVERSIONINFOA raw{};
  raw.dwOSVersionInfoSize = sizeof raw;
  ASSERT_TRUE(::GetVersionExA(&raw));
  OsVersionRecord expected;
  expected.majorVersion = raw.dwMajorVersion;
  expected.minorVersion = raw.dwMinorVersion;
  expected.buildNumber = raw.dwBuildNumber;
  expected.platformId = raw.dwPlatformId;
  expected.csdVersion = raw.szCSDVersion;
  if (VersionMayBeCapped(expected)) expected = CorrectCappedVersion(expected, GetKernel32Version());

  const OsVersionRecord& record = GetOSVersionRecord();
  EXPECT_EQ(record.majorVersion, expected.majorVersion);
  EXPECT_EQ(record.minorVersion, expected.minorVersion);
  EXPECT_EQ(record.buildNumber, expected.buildNumber);
  EXPECT_EQ(record.platformId, expected.platformId);
  EXPECT_EQ(record.csdVersion, expected.csdVersion);
}

TEST(OsInfoWinTest, ClassificationIsConsistentWithTheRecord) {
  const OsVersionRecord& record = GetOSVersionRecord();
  const OsInfo info = GetOSInfo();
  std::cout << "Windows " << info.versionText << " build " << info.build << " \"" << info.name << "\" code "
            << info.code << " 64-bit " << Is64BitWindows() << " server " << IsServerOS() << '\n';

  // Wine reports an NT system, a workstation.
  EXPECT_TRUE(IsNT());
  EXPECT_FALSE(IsServerOS());
  EXPECT_EQ(info.versionText, std::to_string(record.majorVersion) + "." + std::to_string(record.minorVersion));
  EXPECT_EQ(info.build, record.buildNumber & 0xFFFF);
  EXPECT_FALSE(info.name.empty());
  EXPECT_NE(info.code, 0u);
  EXPECT_EQ(info.code & (info.code - 1), 0u);
  EXPECT_EQ(GetOSCode(), info.code);

  const OsInfo expected = ClassifyOs(record, Is64BitWindows(), IsServerOS());
  EXPECT_EQ(info.name, expected.name);
  EXPECT_EQ(info.code, expected.code);
  EXPECT_EQ(info.servicePack, Trim(info.servicePack));

  EXPECT_EQ(IsWindowsXP(), info.name == "XP");
  EXPECT_EQ(IsWin8OrLater(), RecordIsWin8OrLater(record));
}

TEST(OsInfoWinTest, SixtyFourBitForA64BitProcessOrOneUnderWow64Only) {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
  const auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (isWow64Process != nullptr) isWow64Process(::GetCurrentProcess(), &wow64);
  if (sizeof(void*) == 8) {
    EXPECT_TRUE(Is64BitWindows());
    EXPECT_NE(GetOSInfo().name.find(".64"), std::string::npos) << GetOSInfo().name;
  } else if (!wow64) {
    EXPECT_FALSE(Is64BitWindows());
  }
}

TEST(SysInfoWinTest, UserAndMachine) {
  const std::string user = GetUserNameText();
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(user, Trim(user));
  const std::string computer = GetComputerNameText();
  EXPECT_FALSE(computer.empty());
  EXPECT_EQ(computer, Trim(computer));

  EXPECT_EQ(GetUserDomain(), GetAccountDomain(user));
  EXPECT_EQ(GetAccountDomain("TarnixNoSuchAccount"), "");
}

// Changes the system's registered owner and organisation for one test and
// puts back what was there.
class RegisteredOwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_EQ(GetWinCurrentVersionKey(), WinCurrentVersionKey(IsNT()));
    const RegPath where = SplitRegPath(GetWinCurrentVersionKey());
    ASSERT_EQ(where.root, RegRoot::LocalMachine);
    HKEY opened = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, where.subKey.c_str(), 0,
                              KEY_READ | KEY_SET_VALUE | (Is64BitWindows() ? KEY_WOW64_64KEY : 0), &opened),
              ERROR_SUCCESS);
    key_.reset(opened);
    for (Saved& s : saved_) {
      DWORD size = sizeof s.bytes;
      s.present = ::RegQueryValueExA(key_.get(), s.name, nullptr, &s.type, reinterpret_cast<BYTE*>(s.bytes), &size) ==
                  ERROR_SUCCESS;
      s.size = size;
    }
  }

  void TearDown() override {
    for (const Saved& s : saved_) {
      if (s.present)
        ::RegSetValueExA(key_.get(), s.name, 0, s.type, reinterpret_cast<const BYTE*>(s.bytes), s.size);
      else
        ::RegDeleteValueA(key_.get(), s.name);
    }
  }

  void Set(const char* name, const char* text) {
    ASSERT_EQ(::RegSetValueExA(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               static_cast<DWORD>(std::strlen(text) + 1)),
              ERROR_SUCCESS);
  }

  struct Saved {
    const char* name;
    bool present = false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    char bytes[1024] = {};
  };
  Saved saved_[2] = {{"RegisteredOwner"}, {"RegisteredOrganization"}};
  UniqueHKey key_;
};

TEST_F(RegisteredOwnerTest, RecordedValuesTrimmed) {
  Set("RegisteredOwner", "  Ada Owner \t");
  Set("RegisteredOrganization", " Halvorin ");
  EXPECT_EQ(GetRegisteredOwner(), "Ada Owner");
  EXPECT_EQ(GetRegisteredOrganization(), "Halvorin");
}

TEST_F(RegisteredOwnerTest, UserNameWhenNoOwnerIsRecorded) {
  ::RegDeleteValueA(key_.get(), "RegisteredOwner");
  ::RegDeleteValueA(key_.get(), "RegisteredOrganization");
  EXPECT_EQ(GetRegisteredOwner(), GetUserNameText());
  EXPECT_EQ(GetRegisteredOrganization(), "");
}

class DeveloperModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char value[64] = {};
    const DWORD n = ::GetEnvironmentVariableA("DVX", value, sizeof value);
    hadValue_ = n > 0 && n < sizeof value;
    if (hadValue_) saved_ = value;
  }
  void TearDown() override { ::SetEnvironmentVariableA("DVX", hadValue_ ? saved_.c_str() : nullptr); }

  bool hadValue_ = false;
  std::string saved_;
};

TEST_F(DeveloperModeTest, OnlyTheExactCodeInTheEnvironmentCounts) {
  struct Case {
    const char* value;
    bool on;
  } cases[] = {
      {"468", true}, {nullptr, false}, {" 468", false}, {"468 ", false}, {"4680", false}, {"468468468468", false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(::SetEnvironmentVariableA("DVX", c.value));
    EXPECT_EQ(DeveloperModeFromEnvironment(), c.on) << (c.value ? c.value : "(unset)");
  }
}

TEST_F(DeveloperModeTest, AnswerIsReadOnceAndKept) {
  const bool first = IsDeveloperMode();
  ASSERT_TRUE(::SetEnvironmentVariableA("DVX", first ? nullptr : "468"));
  EXPECT_EQ(DeveloperModeFromEnvironment(), !first);
  EXPECT_EQ(IsDeveloperMode(), first);
}

TEST(SysInfoWinTest, ErrorTexts) {
  const std::string notFound = SysErrorMessage(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(notFound.empty());
  EXPECT_EQ(notFound, Trim(notFound));
  EXPECT_EQ(notFound.find_first_of("\r\n"), std::string::npos);

  ::SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LastErrorText(), notFound);
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_NE(LastErrorText(), notFound);

  // A code the system has no text for.
  ::SetLastError(0x2000ABCD);
  EXPECT_EQ(LastErrorText(), "");
}

}  // namespace
}  // namespace tarnix
