// The disk files of a package in the order the stub reads them: the named
// file, then NAME.002, NAME.003 ... while a disk says MoreDisks. A CD set's
// executable carries only the header blocks; its files start in NAME.001,
// which holds the header blocks again, and continue in NAME.002 ...
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Utils/InFile.h"
#include "package/TGFileInfo.h"

namespace tarnix::pack {

struct PackageDisk {
  std::string path;
  int number = 1;  // 0 for a CD set's executable, then 1, 2 ...
  std::unique_ptr<InFile> file;
  PackageTrailer trailer{};   // as stored (PackageStart not advanced)
  bool hasHeaders = false;    // the disk starts with the header blocks
  TGFileInfo headers;         // read when hasHeaders
  uint64_t blocksStart = 0;   // first file block
  uint64_t end = 0;           // package end of this disk
  uint32_t Checksum() const { return PackageChecksum(*file, trailer.TrailerSize); }
  bool ChecksumOk() const { return ChecksumAccepted(Checksum(), trailer.Checksum); }
};

class DiskChain {
 public:
  explicit DiskChain(std::string package) : next_(std::move(package)) {}

  // Opens the next disk. False when the chain has ended: Fault() is empty
  // after the last disk, and says why when a disk is missing or holds no
  // package.
  bool Next(PackageDisk& disk);
  const std::string& Fault() const { return fault_; }

 private:
  std::string next_;
  std::string base_;  // the name that NAME.002 ... derive from
  int number_ = 1;
  bool first_ = true;
  bool nextHasHeaders_ = true;
  bool done_ = false;
  std::string fault_;
};

}  // namespace tarnix::pack
