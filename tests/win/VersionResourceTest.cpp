// Version resources: the stub's own (the project version), a file without
// one, a missing file, and the trace line every string query writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "Utils/FileUtils.h"
#include "Utils/VersionInfo.h"

namespace tarnix {
namespace {

#define TARNIX_TEXT2(x) #x
#define TARNIX_TEXT(x) TARNIX_TEXT2(x)
constexpr const char* kProjectVersion = TARNIX_TEXT(TARNIX_VERSION_MAJOR) "." TARNIX_TEXT(
    TARNIX_VERSION_MINOR) "." TARNIX_TEXT(TARNIX_VERSION_PATCH) "." TARNIX_TEXT(TARNIX_VERSION_TWEAK);

class VersionResourceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (const char* fromEnv = std::getenv("TARNIX_STUB_EXE")) {
      stub_ = fromEnv;
      std::replace(stub_.begin(), stub_.end(), '/', '\\');
    }
    plainFile_ = GetTempDir(true) + "TarnixVersionTest.txt";
    std::ofstream(plainFile_) << "no version resource here\n";
  }

  static void TearDownTestSuite() { ::DeleteFileA(plainFile_.c_str()); }

  void SetUp() override { ASSERT_FALSE(stub_.empty()) << "TARNIX_STUB_EXE is not set"; }

  static std::string stub_;
  static std::string plainFile_;
};

std::string VersionResourceTest::stub_;
std::string VersionResourceTest::plainFile_;

TEST_F(VersionResourceTest, FileVersionOfTheStubIsTheProjectVersion) {
  EXPECT_EQ(GetExeVersion(stub_, 1, 4), kProjectVersion);
  EXPECT_EQ(GetExeVersion(stub_, 1, 4), "1.0.0.1");
  EXPECT_EQ(GetExeVersion(stub_, 3, 3), "001.000.000");
  EXPECT_EQ(GetExeVersion(stub_, 2, 4), "01.00.00.01");
  EXPECT_EQ(GetExeVersion(stub_, 1, 2), "1.0");
}

TEST_F(VersionResourceTest, StringValuesOfTheStub) {
  EXPECT_EQ(GetProductVersion(stub_, 1, 4), kProjectVersion);
  EXPECT_EQ(GetProductVersion(stub_, 3, 2), "001.000");
  EXPECT_EQ(QueryValue(stub_, "ProductName"), "Tarnix");
  EXPECT_EQ(QueryValue(stub_, "FileDescription"), "Tarnix setup stub");
  EXPECT_EQ(QueryValue(stub_, "NoSuchString"), "");
}

TEST_F(VersionResourceTest, FileWithoutResourceOrMissingFileGivesEmptyText) {
  for (const std::string& file : {plainFile_, GetTempDir(true) + "TarnixNoSuchFile.exe"}) {
    EXPECT_EQ(GetExeVersion(file, 1, 4), "") << file;
    EXPECT_EQ(GetExeVersion(file, 3, 3), "") << file;
    EXPECT_EQ(GetProductVersion(file, 1, 4), "") << file;
    EXPECT_EQ(QueryValue(file, "ProductName"), "") << file;
  }
}

TEST_F(VersionResourceTest, EmptyFileNameMeansTheRunningExecutable) {
  EXPECT_EQ(GetExeVersion("", 1, 4), GetExeVersion(GetExeFileName(), 1, 4));
  EXPECT_EQ(GetProductVersion("", 1, 4), GetProductVersion(GetExeFileName(), 1, 4));
}

TEST_F(VersionResourceTest, EveryStringQueryIsTraced) {
  ::testing::internal::CaptureStdout();
  QueryValue(stub_, "ProductName");
  QueryValue(plainFile_, "ProductName");
  std::cout.flush();
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[QueryValue]  [" + stub_ + "]  [ProductName]  [Tarnix]"), std::string::npos) << out;
  EXPECT_NE(out.find("[QueryValue]  [" + plainFile_ + "]  [ProductName]  []"), std::string::npos) << out;
}

TEST_F(VersionResourceTest, Kernel32VersionHasFourNumericComponents) {
  const std::string version = GetKernel32Version();
  EXPECT_EQ(version, NormalizeVersion(version, 1, 4));
  EXPECT_NE(version, "0.0.0.0");
}

}  // namespace
}  // namespace tarnix
