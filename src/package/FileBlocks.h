// Walking the blocks of one disk file: { i32 L; abs(L) bytes } from a start
// offset until only the trailer is left. Used by the stub's extraction and by
// the builder's inspect, verify and extract, so there is one reader of the
// block framing. Every length is checked against what is left of the disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Utils/InFile.h"
#include "package/Inflate.h"
#include "package/TGFileInfo.h"

namespace tarnix {

struct RawBlock {
  uint64_t offset = 0;  // of the length field
  int32_t length = 0;   // L as stored: >= 1 zlib, <= 0 stored
  std::string bytes;    // abs(L) bytes
  bool Compressed() const { return length >= 1; }
};

class BlockWalker {
 public:
  // Walks [start, end - trailerSize). `end` is the package end of the disk.
  BlockWalker(InFile& file, uint64_t start, uint64_t end, uint32_t trailerSize, const PumpFn& pump = {});
  // The first block is always read when any byte precedes the trailer;
  // after it, the walk goes on while at least 75 bytes (more than a trailer)
  // are left.
  bool More() const;
  // Reads the next block. False with Fault() set when its length points
  // outside the disk or the bytes cannot be read; the walk then stops.
  bool Next(RawBlock& block);
  uint64_t Position() const { return pos_; }
  const std::string& Fault() const { return fault_; }

 private:
  InFile& file_;
  uint64_t pos_;
  uint64_t limit_;
  uint64_t end_;
  bool started_ = false;
  PumpFn pump_;
  std::string fault_;
};

// What a decoded block's header says: the list "|name|stamp|" before its
// first 0x00.
struct BlockHeaderFields {
  std::string header;  // empty when the block carries no 0x00 separator
  std::string name;    // item 0 of the header, "*" and arguments included
  uint32_t stamp = 0;  // item 1 as a decimal number, 0 when not one
  bool IsSetupEntry() const { return name.find('*') != std::string::npos; }
  // The file name without the "*" marker and arguments.
  std::string FileName() const;
  // Takes the header's fields; an empty header leaves them empty.
  void SetHeader(std::string text);
};

// A decoded file block in one string: the header, then the data.
struct FileBlock : BlockHeaderFields {
  std::string contents;  // the decoded block; data() views into it
  size_t dataOffset = 0;
  std::string_view data() const { return std::string_view(contents).substr(dataOffset); }
};

// Inflates (or takes as stored) and splits one block. False with `error` set
// for a damaged zlib stream or an output beyond the block limit.
bool DecodeFileBlock(const RawBlock& raw, FileBlock& out, std::string& error, const PumpFn& pump = {});

// A decoded file block for writing: its data stays where it was inflated
// (or, stored, where it was read), in a few large pieces.
struct StreamedBlock : BlockHeaderFields {
  uint64_t offset = 0;                 // of the block's length field
  std::vector<std::string_view> data;  // views into `inflated` or the raw bytes
  PieceBuffer inflated;
  uint64_t DataSize() const;
};

// DecodeFileBlock for writing. For a stored block `out` views into
// `raw.bytes`, which must stay as it is while `out` is used; the bytes of a
// compressed block are no longer needed once this returns. False, with
// the reason in `error`, for a damaged stream.
bool DecodeStreamedBlock(const RawBlock& raw, StreamedBlock& out, std::string& error);

// A plain file name that may be written into a target folder: no path
// separators, drive, "..", reserved device names or characters that Windows
// refuses in names.
bool IsPlainFileName(std::string_view name);

}  // namespace tarnix
