// The built stub as the package format and the loader see it: the PE header
// moved to offset 256 after linking, the resources that identify it, and the
// image still loading and running once moved.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Utils/UniqueResource.h"

namespace tarnix {
namespace {

uint16_t ReadU16(const std::vector<char>& image, size_t at) {
  uint16_t v = 0;
  std::memcpy(&v, image.data() + at, sizeof v);
  return v;
}

uint32_t ReadU32(const std::vector<char>& image, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, image.data() + at, sizeof v);
  return v;
}

class StubImage : public ::testing::Test {
 protected:
  // The test run passes the stub's path in TARNIX_STUB_EXE, with forward
  // slashes as the build system writes it.
  static void SetUpTestSuite() {
    const char* fromEnv = std::getenv("TARNIX_STUB_EXE");
    if (fromEnv == nullptr) return;
    path_ = fromEnv;
    std::replace(path_.begin(), path_.end(), '/', '\\');
    std::ifstream in(path_, std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void SetUp() override {
    ASSERT_FALSE(path_.empty()) << "TARNIX_STUB_EXE is not set";
    ASSERT_GE(image_.size(), 1024u) << "cannot read " << path_;
  }

  static std::string path_;
  static std::vector<char> image_;
};

std::string StubImage::path_;
std::vector<char> StubImage::image_;

TEST_F(StubImage, PeHeaderSitsAtOffset256WithTheEndOfPackageFieldClear) {
  EXPECT_EQ(std::string(image_.data(), 2), "MZ");
  EXPECT_EQ(ReadU32(image_, 0x3C), 256u);
  EXPECT_EQ(std::string(image_.data() + 256, 4), std::string("PE\0\0", 4));
  for (size_t i = 248; i < 256; ++i) EXPECT_EQ(image_[i], 0) << "offset " << i;
}

TEST_F(StubImage, IsAWindowsGuiImageWhoseHeadersFitTheHeaderArea) {
  const size_t fileHeader = 256 + 4;
  const size_t optionalHeader = fileHeader + sizeof(IMAGE_FILE_HEADER);
  const uint16_t sections = ReadU16(image_, fileHeader + offsetof(IMAGE_FILE_HEADER, NumberOfSections));
  const uint16_t optionalSize =
      ReadU16(image_, fileHeader + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader));
  // The stub is built for the tests' own architecture: PE32 for i386, PE32+
  // for x86-64.
#ifdef _WIN64
  const uint16_t machine = IMAGE_FILE_MACHINE_AMD64;
#else
  const uint16_t machine = IMAGE_FILE_MACHINE_I386;
#endif
  EXPECT_EQ(ReadU16(image_, fileHeader + offsetof(IMAGE_FILE_HEADER, Machine)), machine);
  EXPECT_EQ(ReadU16(image_, optionalHeader + offsetof(IMAGE_OPTIONAL_HEADER, Magic)), IMAGE_NT_OPTIONAL_HDR_MAGIC);
  EXPECT_EQ(ReadU16(image_, optionalHeader + offsetof(IMAGE_OPTIONAL_HEADER, Subsystem)),
            IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const uint32_t sizeOfHeaders = ReadU32(image_, optionalHeader + offsetof(IMAGE_OPTIONAL_HEADER, SizeOfHeaders));
  EXPECT_LE(optionalHeader + optionalSize + sections * sizeof(IMAGE_SECTION_HEADER), sizeOfHeaders);
}

TEST_F(StubImage, CarriesTheMainIconAndVersionResources) {
  UniqueModule module(LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module) << "LoadLibraryExA failed with " << GetLastError();
  EXPECT_NE(FindResourceA(module.get(), "MainIcon", RT_GROUP_ICON), nullptr);
  EXPECT_NE(FindResourceA(module.get(), MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION), nullptr);
}

TEST_F(StubImage, VersionResourceNamesTheProductAndItsVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
  const DWORD ms = MAKELONG(TARNIX_VERSION_MINOR, TARNIX_VERSION_MAJOR);
  const DWORD ls = MAKELONG(TARNIX_VERSION_TWEAK, TARNIX_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, ms);
  EXPECT_EQ(fixed->dwFileVersionLS, ls);
  EXPECT_EQ(fixed->dwProductVersionMS, ms);
  EXPECT_EQ(fixed->dwProductVersionLS, ls);

  struct Expected {
    const char* key;
    const char* value;
  };
  const Expected strings[] = {
      {"CompanyName", "Halvorin"},
      {"ProductName", "Tarnix"},
      {"FileDescription", "Tarnix setup stub"},
  };
  for (const Expected& e : strings) {
    const std::string query = std::string("\\StringFileInfo\\040904E4\\") + e.key;
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
        << e.key;
    EXPECT_STREQ(text, e.value) << e.key;
  }
}

TEST_F(StubImage, RunsAndExitsWithZero) {
  std::string commandLine = "\"" + path_ + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessA(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started))
      << "CreateProcessA failed with " << GetLastError();
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);

  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    FAIL() << "stub.exe did not end within 60 s";
  }
  DWORD exitCode = 1;
  ASSERT_TRUE(GetExitCodeProcess(process.get(), &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace tarnix
