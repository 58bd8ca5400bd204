// The disk files a build writes, in the order the stub reads them: OUT.exe
// with the stub and the header blocks, then OUT.exe.002, OUT.exe.003 ...;
// a CD set's OUT.exe carries the header blocks alone and its files start in
// OUT.exe.001, which holds the header blocks again. With a disk size, no
// disk file grows beyond it: a block that does not fit the room left is cut
// there, and the rest of its slice goes on in a block on the next disk
// (the stub appends consecutive blocks of one name).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "BlockEncoder.h"
#include "DiskWriter.h"
#include "PackageBuilder.h"
#include "package/PackageFormat.h"

namespace tarnix::pack {

class DiskSet {
 public:
  DiskSet(const PackageSpec& plan, const PackageTrailer& base, const BlockEncoder& encoder, std::string outPath,
          BuildReport& report);

  // The smallest disk size that holds the first disk (the stub, the header
  // blocks, a trailer and the first block of the first file) and, on every
  // later disk, a trailer and a block of any file. `headersSize` is the
  // most the framed header blocks can take.
  static uint64_t SmallestDiskSize(const PackageSpec& plan, const BlockEncoder& encoder, uint64_t stubSize,
                                   uint64_t headersSize);

  bool Begin(std::string_view stub, std::string_view headers, std::string& error);
  // Writes the block `encoded` of `job`, cutting it at the end of a disk.
  // False with `error` set when a file cannot be read or written, or the
  // package needs more than kMaxDiskNumber disks.
  bool Add(BlockJob job, std::string encoded, std::string& error);
  // Ends the last disk; the files stay.
  bool End(std::string& error);

 private:
  uint64_t Room() const;
  bool NextDisk(std::string& error);

  const PackageSpec& plan_;
  const BlockEncoder& encoder_;
  const std::string outPath_;
  const bool cd_;
  DiskWriter disk_;
  int number_ = 1;
  uint32_t packageStart_ = 0;
};

}  // namespace tarnix::pack
