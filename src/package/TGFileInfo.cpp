#include "package/TGFileInfo.h"

#include <algorithm>

#include "Utils/PathUtils.h"
#include "Utils/SUB.h"

namespace tarnix {

namespace {

enum SettingsItem { kUpdateLocation, kInfoFileName, kAgentExeName, kSettingsToken, kSilent, kPublicKey };
enum DownloadItem {
  kDownloadLocation,
  kDownloadFileName,
  kAlwaysDownload,
  kDownloadToken,
  kDownloadSize,
  kDownloadSha256
};

}  // namespace

bool IsPeFile(InFile& file) {
  unsigned char mz[2], pe[2];
  return file.ReadExactAt(0, mz, 2) && file.ReadExactAt(kPeHeaderOffset, pe, 2) && mz[0] == 'M' && mz[1] == 'Z' &&
         pe[0] == 'P' && pe[1] == 'E';
}

uint64_t ReadEndOfPackage(InFile& file) {
  unsigned char raw[8];
  if (!file.ReadExactAt(kEndOfPackageFieldOffset, raw, 8)) return 0;
  return uint64_t(LoadU32(raw)) << 32 | LoadU32(raw + 4);
}

uint64_t EndOfPackageFromImage(std::string_view image) {
  if (image.size() < kEndOfPackageFieldOffset + 8) return 0;
  auto* raw = reinterpret_cast<const unsigned char*>(image.data()) + kEndOfPackageFieldOffset;
  return uint64_t(LoadU32(raw)) << 32 | LoadU32(raw + 4);
}

uint64_t PackageEnd(InFile& file) {
  uint64_t size = file.Size();
  if (!IsPeFile(file)) return size;
  uint64_t end = ReadEndOfPackage(file);
  return end > 0 ? end : size;
}

bool ReadTrailer(InFile& file, PackageTrailer& t) {
  t = PackageTrailer{};
  const uint64_t size = file.Size();
  if (size < 4) return false;
  uint64_t end = size;
  if (IsPeFile(file)) {
    uint64_t field = ReadEndOfPackage(file);
    // A field pointing past the file cannot be honoured; such a file has no
    // readable package.
    if (field > size) return false;
    if (field > 0) end = field;
  }
  uint32_t trailerSize = 0;
  if (end < 4 || !file.ReadU32At(end - 4, trailerSize)) return false;
  if (trailerSize < 4 || trailerSize > end) return false;
  unsigned char raw[kTrailerSize] = {};
  size_t count = std::min<uint32_t>(kTrailerSize, trailerSize) - 4;
  if (!file.ReadExactAt(end - trailerSize, raw, count)) return false;
  DecodeTrailer(raw, count, t);
  t.TrailerSize = trailerSize;
  if (t.HeaderBlockCount == 0) t.HeaderBlockCount = 2;
  return true;
}

bool ReadTrailer(const std::string& fileName, PackageTrailer& t) {
  t = PackageTrailer{};
  auto file = OpenInFile(fileName);
  return file && ReadTrailer(*file, t);
}

TGFileInfo::TGFileInfo(const std::string& packageFileName) {
  if (auto file = OpenInFile(packageFileName)) Read(*file);
}

TGFileInfo::TGFileInfo(InFile& file) { Read(file); }

void TGFileInfo::Read(InFile& file) {
  if (!ReadTrailer(file, trailer_) || !HasPackage()) return;
  packageEnd_ = PackageEnd(file);
  // Header blocks lie between PackageStart and the trailer; a length that
  // reaches past that is a damaged package, and nothing of it is trusted.
  const uint64_t limit = packageEnd_ - trailer_.TrailerSize;
  uint64_t pos = trailer_.PackageStart;
  std::string* blocks[] = {&languageBlock_, &settingsBlock_, &downloadBlock_};
  const int count = trailer_.HeaderBlockCount > 2 ? 3 : 2;
  for (int i = 0; i < count; ++i) {
    uint32_t n = 0;
    if (pos > limit || limit - pos < 4 || !file.ReadU32At(pos, n) || n > limit - pos - 4) {
      fault_ = "header block " + std::to_string(i + 1) + " lies outside the package";
      break;
    }
    blocks[i]->resize(n);
    if (n > 0 && !file.ReadExactAt(pos + 4, blocks[i]->data(), n)) {
      fault_ = "header block " + std::to_string(i + 1) + " cannot be read";
      break;
    }
    pos += uint64_t(n) + 4;
  }
  if (!fault_.empty()) {
    languageBlock_.clear();
    settingsBlock_.clear();
    downloadBlock_.clear();
    return;
  }
  fileBlocksStart_ = pos;
  trailer_.PackageStart = static_cast<uint32_t>(pos);
}

double TGFileInfo::SpaceRequired(const std::string& folder, const ClusterSizeFn& clusterSize) const {
  return trailer_.SpaceByCluster[SpaceIndexForCluster(clusterSize(folder))];
}

std::string TGFileInfo::UpdateLocation() const { return SUB::Item(settingsBlock_, kUpdateLocation); }
std::string TGFileInfo::InfoFileName() const { return FileNamePart(SUB::Item(settingsBlock_, kInfoFileName)); }

std::string TGFileInfo::OriginalFileName() const {
  std::string name = InfoFileName();
  return name.substr(0, name.find('.')) + ".original";
}

std::string TGFileInfo::AgentExeName() const { return SUB::Item(settingsBlock_, kAgentExeName); }

std::string TGFileInfo::SettingsToken(bool descramble) const {
  std::string token = SUB::Item(settingsBlock_, kSettingsToken);
  return descramble ? Descramble(token) : token;
}

bool TGFileInfo::Silent() const { return SUB::Item(settingsBlock_, kSilent) == "1"; }
std::string TGFileInfo::PublicKey() const { return SUB::Item(settingsBlock_, kPublicKey); }

std::string TGFileInfo::DownloadLocation() const { return SUB::Item(downloadBlock_, kDownloadLocation); }
std::string TGFileInfo::DownloadFileName() const { return SUB::Item(downloadBlock_, kDownloadFileName); }
bool TGFileInfo::AlwaysDownload() const { return SUB::Item(downloadBlock_, kAlwaysDownload) == "1"; }

std::string TGFileInfo::DownloadToken(bool descramble) const {
  std::string token = SUB::Item(downloadBlock_, kDownloadToken);
  return descramble ? Descramble(token) : token;
}

std::string TGFileInfo::DownloadSize() const { return SUB::Item(downloadBlock_, kDownloadSize); }
std::string TGFileInfo::DownloadSha256() const { return SUB::Item(downloadBlock_, kDownloadSha256); }

bool TGFileInfo::SameDownloadToken(const TGFileInfo& other) const {
  return DownloadToken(true) == other.DownloadToken(true);
}

}  // namespace tarnix
