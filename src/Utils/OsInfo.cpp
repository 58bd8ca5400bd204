#include "Utils/OsInfo.h"

#include "Utils/StrUtils.h"
#include "Utils/VersionInfo.h"

namespace tarnix {

namespace {

struct OsName {
  const char* version;
  const char* name;
  uint32_t code;
};

// Later tables override earlier ones: the NT name, then the 64-bit name, then
// the server name.
constexpr OsName kNtNames[] = {
    {"4.0", "NT", kOsCodeNT4},    {"5.0", "2000", kOsCode2000},   {"5.1", "XP", kOsCodeXP},
    {"5.2", "2003", kOsCode2003}, {"6.0", "Vista", kOsCodeVista}, {"6.1", "7", kOsCode7},
    {"6.2", "8", kOsCode8},       {"6.3", "8.1", kOsCode8_1},     {"10.0", "10", kOsCode10},
};
constexpr OsName kNt64Names[] = {
    {"5.2", "XP.64", kOsCodeXP64}, {"6.0", "Vista.64", kOsCodeVista64}, {"6.1", "7.64", kOsCode7_64},
    {"6.2", "8.64", kOsCode8_64},  {"6.3", "8.1.64", kOsCode8_1_64},    {"10.0", "10.64", kOsCode10_64},
};
constexpr OsName kServer64Names[] = {
    {"6.0", "2008.64", kOsCode2008_64},
    {"6.1", "2008R2.64", kOsCode2008R2_64},
    {"6.2", "2012.64", kOsCode2012_64},
    {"6.3", "2012R2.64", kOsCode2012R2_64},
};
constexpr OsName kServer32Names[] = {
    {"6.0", "2008", kOsCode2008},
};

template <size_t N>
bool ApplyName(const OsName (&table)[N], OsInfo& info) {
  for (const OsName& entry : table) {
    if (info.versionText == entry.version) {
      info.name = entry.name;
      info.code = entry.code;
      return true;
    }
  }
  return false;
}

std::string VersionText(const OsVersionRecord& record) {
  return std::to_string(record.majorVersion) + "." + std::to_string(record.minorVersion);
}

}  // namespace

OsInfo ClassifyOs(const OsVersionRecord& record, bool is64BitWindows, bool isServerOS) {
  OsInfo info;
  info.versionText = VersionText(record);
  info.build = record.buildNumber & 0xFFFF;
  info.servicePack = Trim(std::string_view(record.csdVersion).substr(0, 128));

  switch (record.platformId) {
    case kPlatformWin32s:
      info.name = "32S";
      break;
    case kPlatformWindows9x:
      // Windows ME reports itself as 4.10, build 3000.
      if (info.versionText == "4.10" && info.build == 3000) info.versionText = "4.90";
      if (info.versionText == "4.0") {
        info.name = "95";
        info.code = kOsCode95;
      } else if (info.versionText == "4.10") {
        info.name = "98";
        info.code = kOsCode98;
      } else if (info.versionText == "4.90") {
        info.name = "ME";
        info.code = kOsCodeME;
      } else {
        info.name = "9x";
        info.code = kOsCode95;
      }
      break;
    case kPlatformNT:
      if (!ApplyName(kNtNames, info)) {
        info.name = "NTx";
        info.code = kOsCodeNT4;
      }
      if (is64BitWindows) ApplyName(kNt64Names, info);
      if (isServerOS) {
        if (is64BitWindows)
          ApplyName(kServer64Names, info);
        else
          ApplyName(kServer32Names, info);
      }
      break;
    default:
      break;
  }
  return info;
}

bool VersionMayBeCapped(const OsVersionRecord& record) { return record.majorVersion >= 6 && record.minorVersion >= 3; }

OsVersionRecord CorrectCappedVersion(OsVersionRecord record, std::string_view kernel32Version) {
  if (!VersionMayBeCapped(record) || Trim(kernel32Version).empty()) return record;
  const std::vector<uint32_t> parts = VersionComponents(kernel32Version, 3);
  record.majorVersion = parts[0];
  record.minorVersion = parts[1];
  record.buildNumber = parts[2];
  return record;
}

bool RecordIsNT(const OsVersionRecord& record) { return record.platformId == kPlatformNT; }

bool RecordIsWindowsXP(const OsVersionRecord& record) { return RecordIsNT(record) && VersionText(record) == "5.1"; }

bool RecordIsWin8OrLater(const OsVersionRecord& record) {
  if (!RecordIsNT(record)) return false;
  // Major "." minor is read as a decimal number, so the minor version counts
  // as a fraction: 6.2 and 6.3 qualify, a minor version of 10 (6.10) does not.
  if (record.majorVersion != 6) return record.majorVersion > 6;
  return std::to_string(record.minorVersion)[0] >= '2';
}

}  // namespace tarnix
