// The Windows version and its classification. The platform's version record
// is read once and kept; the rules that turn it into a name and an OS code
// are plain functions of the record and two facts (64-bit Windows, server
// edition), so they can be checked without the platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// Platform ids of the version record.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows9x = 1;
inline constexpr uint32_t kPlatformNT = 2;

// The fields of the platform's version record that the rules read.
struct OsVersionRecord {
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 0;
  uint32_t platformId = 0;
  std::string csdVersion;  // service pack, at most 128 characters
};

// OS codes: each system has a bit of its own, so callers test a set of
// systems with one mask.
inline constexpr uint32_t kOsCode95 = 1;
inline constexpr uint32_t kOsCode98 = 2;
inline constexpr uint32_t kOsCodeME = 4;
inline constexpr uint32_t kOsCodeNT4 = 8;
inline constexpr uint32_t kOsCode2000 = 16;
inline constexpr uint32_t kOsCodeXP = 32;
inline constexpr uint32_t kOsCode2003 = 64;
inline constexpr uint32_t kOsCodeVista = 128;
inline constexpr uint32_t kOsCodeXP64 = 256;
inline constexpr uint32_t kOsCodeVista64 = 512;
inline constexpr uint32_t kOsCode7 = 1024;
inline constexpr uint32_t kOsCode7_64 = 2048;
inline constexpr uint32_t kOsCode2008 = 4096;
inline constexpr uint32_t kOsCode2008_64 = 8192;
inline constexpr uint32_t kOsCode2008R2_64 = 16384;
inline constexpr uint32_t kOsCode8 = 32768;
inline constexpr uint32_t kOsCode8_64 = 65536;
inline constexpr uint32_t kOsCode2012_64 = 131072;
inline constexpr uint32_t kOsCode8_1 = 262144;
inline constexpr uint32_t kOsCode8_1_64 = 524288;
inline constexpr uint32_t kOsCode2012R2_64 = 1048576;
inline constexpr uint32_t kOsCode10 = 2097152;
inline constexpr uint32_t kOsCode10_64 = 4194304;

struct OsInfo {
  std::string versionText;  // major "." minor
  std::string name;         // "XP", "7.64", "2008R2.64" ...
  std::string servicePack;
  uint32_t build = 0;
  uint32_t code = 0;
};

// Version text, name, service pack, build and code of `record`.
OsInfo ClassifyOs(const OsVersionRecord& record, bool is64BitWindows, bool isServerOS);

// From 6.3 on (major at least 6 and minor at least 3), the platform may
// report a capped version to programs that do not declare themselves ready
// for newer systems; the product version of kernel32.dll then gives major,
// minor and build (0 for a missing component). An unreadable kernel32
// version leaves the record as reported.
bool VersionMayBeCapped(const OsVersionRecord& record);
OsVersionRecord CorrectCappedVersion(OsVersionRecord record, std::string_view kernel32Version);

bool RecordIsNT(const OsVersionRecord& record);
bool RecordIsWindowsXP(const OsVersionRecord& record);
bool RecordIsWin8OrLater(const OsVersionRecord& record);

// Windows only. The record, read on first use (corrected as above) and kept.
const OsVersionRecord& GetOSVersionRecord();

// Windows only. Answers about the running system.
bool IsNT();
bool IsWindowsXP();
bool IsWin8OrLater();
bool Is64BitWindows();
bool IsServerOS();
OsInfo GetOSInfo();
uint32_t GetOSCode();

}  // namespace tarnix
