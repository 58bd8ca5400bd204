// One file block from a slice of an input file: the header list, 0x00 and
// the slice, framed as i32 L and a zlib stream (L >= 1) or the bytes as
// they are (L <= 0). A spanned package also needs the longest leading part
// of a slice whose block still fits the room left on a disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "PackageBuilder.h"

namespace tarnix::pack {

// A slice of one input file.
struct BlockJob {
  size_t file;
  uint64_t offset;
  uint32_t length;
};

class BlockEncoder {
 public:
  // `stamps` holds the resolved stamp of every file of the plan.
  BlockEncoder(const PackageSpec& plan, const std::vector<uint32_t>& stamps) : plan_(plan), stamps_(stamps) {}

  // Compressed at the plan's level, stored at level 0.
  bool Encode(const BlockJob& job, std::string& out, std::string& error) const;

  // The bytes a block of this slice takes when stored: the length field,
  // the header list, the 0x00 and the data. No slice needs more room,
  // since storing is always allowed.
  uint64_t StoredSize(const BlockJob& job) const;
  // Room for this takes a block of any slice of the file: stored, its
  // header list and one byte of data (an empty file's block is a byte less).
  uint64_t SmallestBlock(size_t file) const;

  // Encodes the longest leading part of `job` whose block takes at most
  // `room` bytes, given that the whole slice encodes to `encodedSize` bytes,
  // more than `room`. `room` must be at least SmallestBlock(job.file).
  // `head` is the part taken; it may be the whole slice when storing it
  // fits where its compressed block did not.
  bool EncodeToFit(const BlockJob& job, size_t encodedSize, uint64_t room, BlockJob& head, std::string& out,
                   std::string& error) const;

 private:
  bool EncodeAs(const BlockJob& job, bool store, std::string& out, std::string& error) const;
  std::string HeaderList(size_t file) const;

  const PackageSpec& plan_;
  const std::vector<uint32_t>& stamps_;
};

}  // namespace tarnix::pack
