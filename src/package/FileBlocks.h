// Walking the blocks of one disk file: { i32 L; abs(L) bytes } from a start
// offset until only the trailer is left. Used by the stub's extraction and by
// the builder's inspect, verify and extract, so there is one reader of the
// block framing. Every length is checked against what is left of the disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// A decoded file block: the header list "|name|stamp|", then the data.
struct FileBlock {
  std::string header;    // empty when the block carries no 0x00 separator
  std::string name;      // item 0 of the header, "*" and arguments included
  uint32_t stamp = 0;    // item 1 as a decimal number, 0 when not one
  std::string contents;  // the decoded block; data() views into it
  size_t dataOffset = 0;
  std::string_view data() const { return std::string_view(contents).substr(dataOffset); }
  bool IsSetupEntry() const { return name.find('*') != std::string::npos; }
  // The file name without the "*" marker and arguments.
  std::string FileName() const;
};

// Inflates (or takes as stored) and splits one block. False with `error` set
// for a damaged zlib stream or an output beyond the block limit.
bool DecodeFileBlock(const RawBlock& raw, FileBlock& out, std::string& error, const PumpFn& pump = {});

// A plain file name that may be written into a target folder: no path
// separators, drive, "..", reserved device names or characters that Windows
// refuses in names.
bool IsPlainFileName(std::string_view name);

}  // namespace tarnix
