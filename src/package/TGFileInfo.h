// The package reader: finds the trailer of a package file from its end,
// reads the three header blocks and answers what the package holds. Nothing
// but the header blocks is kept in memory; file blocks are walked by
// FileBlocks.h from FileBlocksStart().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Utils/InFile.h"
#include "package/PackageFormat.h"
#include "package/Token.h"

namespace tarnix {

// "MZ" at 0 and "PE" at 256.
bool IsPeFile(InFile& file);
// The end-of-package field at 248..255 (high half first); 0 when unreadable.
uint64_t ReadEndOfPackage(InFile& file);
uint64_t EndOfPackageFromImage(std::string_view image);

// Where a package ends: the end-of-package field of a PE file when it is set,
// else the physical end of the file.
uint64_t PackageEnd(InFile& file);

// Finds and reads the trailer into `t` (zeroed first). False when the file is
// too short or its trailer size points outside it; `t` then stays zeroed.
bool ReadTrailer(InFile& file, PackageTrailer& t);
bool ReadTrailer(const std::string& fileName, PackageTrailer& t);

// The additive checksum over a disk file of at most 51,200 bytes; 1234 for a
// larger one or one that cannot be read.
uint32_t PackageChecksum(InFile& file, uint32_t trailerSize);
uint32_t PackageChecksum(const std::string& fileName, uint32_t trailerSize);
// The package passes when both agree or either says "not checked".
inline bool ChecksumAccepted(uint32_t computed, uint32_t stored) {
  return computed == stored || computed == kUncheckedChecksum || stored == kUncheckedChecksum;
}

// Bytes per cluster of the drive holding `path`; 0 when unknown.
uint32_t ClusterSize(const std::string& path);
using ClusterSizeFn = std::function<uint32_t(const std::string&)>;

class TGFileInfo {
 public:
  TGFileInfo() = default;  // the empty reader: no package
  explicit TGFileInfo(const std::string& packageFileName);
  explicit TGFileInfo(InFile& file);

  const PackageTrailer& Trailer() const { return trailer_; }
  bool HasPackage() const { return trailer_.Magic == kPackageMagic; }
  // Why the header blocks could not be read; empty when they could (or when
  // the file holds no package at all).
  const std::string& Fault() const { return fault_; }

  const std::string& LanguageBlock() const { return languageBlock_; }
  const std::string& SettingsBlock() const { return settingsBlock_; }
  const std::string& DownloadBlock() const { return downloadBlock_; }

  // First file block and the end of this disk's package.
  uint64_t FileBlocksStart() const { return fileBlocksStart_; }
  uint64_t PackageEndOffset() const { return packageEnd_; }

  double SpaceRequired(const std::string& folder, const ClusterSizeFn& clusterSize = ClusterSize) const;

  // Flags count only in a package's own trailer: a file without one (a bare
  // stub) must never read as an agent because its last bytes look like a
  // trailer size.
  bool ShowTempSpaceInfo() const { return Option(kShowTempSpaceInfo); }
  bool MoreDisks() const { return Option(kMoreDisks); }
  bool CdSpanning() const { return Option(kCdSpanning); }
  bool ShowActivityBar() const { return Option(kShowActivityBar); }
  bool AgentLog() const { return Option(kAgentLog); }
  bool DownloadSetup() const { return HasPackage() && trailer_.DownloadSetup != 0; }
  bool ConfirmDownload() const { return HasPackage() && trailer_.ConfirmDownload != 0; }
  bool CreateAgent() const { return HasPackage() && trailer_.CreateAgent != 0; }
  bool IsAgent() const { return HasPackage() && trailer_.IsAgent != 0; }

  std::string UpdateLocation() const;
  std::string InfoFileName() const;
  std::string OriginalFileName() const;
  std::string AgentExeName() const;
  std::string SettingsToken(bool descramble) const;
  bool Silent() const;
  // The vendor's public key as hex digits (package/VendorSignature.h); empty
  // for a package that does not check signatures.
  std::string PublicKey() const;

  std::string DownloadLocation() const;
  std::string DownloadFileName() const;
  bool AlwaysDownload() const;
  std::string DownloadToken(bool descramble) const;
  std::string DownloadSize() const;
  // The full setup's SHA-256 as hex digits; empty when not given.
  std::string DownloadSha256() const;
  bool SameDownloadToken(const TGFileInfo& other) const;

  // Texts in the language the process shows (LanguageTable.cpp); the first
  // reader asked chooses that language for the whole process.
  std::string LangString(std::string_view key, std::string_view def) const;
  int Charset() const;
  int FontSize() const;
  std::string FontName() const;

 private:
  void Read(InFile& file);
  bool Option(uint8_t bit) const { return HasPackage() && (trailer_.Options & bit); }

  PackageTrailer trailer_{};
  uint64_t packageEnd_ = 0;
  uint64_t fileBlocksStart_ = 0;
  std::string languageBlock_;
  std::string settingsBlock_;
  std::string downloadBlock_;
  std::string fault_;
};

}  // namespace tarnix
