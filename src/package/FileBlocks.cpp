#include "package/FileBlocks.h"

#include <algorithm>
#include <array>

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"

namespace tarnix {

namespace {

// Large blocks are read in pieces so that the caller's pump keeps windows
// alive during slow reads (CDs, network drives).
constexpr size_t kReadPiece = 65536;

}  // namespace

BlockWalker::BlockWalker(InFile& file, uint64_t start, uint64_t end, uint32_t trailerSize, const PumpFn& pump)
    : file_(file), pos_(start), limit_(end >= trailerSize ? end - trailerSize : 0), end_(end), pump_(pump) {}

bool BlockWalker::More() const {
  if (!fault_.empty() || pos_ >= limit_) return false;
  return !started_ || end_ - pos_ >= kTrailerSize + 1;
}

bool BlockWalker::Next(RawBlock& block) {
  started_ = true;
  block = RawBlock{};
  block.offset = pos_;
  uint32_t rawLength = 0;
  if (pos_ > limit_ || limit_ - pos_ < 4 || !file_.ReadU32At(pos_, rawLength)) {
    fault_ = "block at offset " + std::to_string(pos_) + " has no length field";
    return false;
  }
  block.length = static_cast<int32_t>(rawLength);
  const uint64_t n = block.length < 0 ? uint64_t(-int64_t(block.length)) : uint64_t(block.length);
  if (n > limit_ - pos_ - 4) {
    fault_ = "block at offset " + std::to_string(pos_) + " is " + std::to_string(n) +
             " bytes long, past the end of the disk";
    return false;
  }
  if (n > kMaxBlockOutput) {
    fault_ = "block at offset " + std::to_string(pos_) + " is larger than any block the builder writes";
    return false;
  }
  block.bytes.resize(n);
  for (uint64_t done = 0; done < n;) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(kReadPiece, n - done));
    if (!file_.ReadExactAt(pos_ + 4 + done, block.bytes.data() + done, piece)) {
      fault_ = "block at offset " + std::to_string(pos_) + " cannot be read";
      return false;
    }
    done += piece;
    if (pump_) pump_();
  }
  pos_ += n + 4;
  return true;
}

std::string BlockHeaderFields::FileName() const { return Trim(TextBefore(name, "*", name, false)); }

void BlockHeaderFields::SetHeader(std::string text) {
  header = std::move(text);
  if (header.empty()) return;
  name = SUB::Item(header, 0);
  const int64_t value = SUB::ItemAsInt64(header, 1, 0);
  stamp = value >= 0 && value <= 0xFFFFFFFF ? static_cast<uint32_t>(value) : 0;
}

bool DecodeFileBlock(const RawBlock& raw, FileBlock& out, std::string& error, const PumpFn& pump) {
  out = FileBlock{};
  if (raw.Compressed()) {
    if (!Inflate(raw.bytes, out.contents, error, pump)) return false;
  } else {
    out.contents = raw.bytes;
  }
  FileBlockHeader split = SplitFileBlock(out.contents);
  if (split.header.empty()) return true;
  out.SetHeader(std::string(split.header));
  out.dataOffset = split.header.size() + 1;
  return true;
}

uint64_t StreamedBlock::DataSize() const {
  uint64_t size = 0;
  for (std::string_view piece : data) size += piece.size();
  return size;
}

bool DecodeStreamedBlock(const RawBlock& raw, StreamedBlock& out, std::string& error) {
  out.offset = raw.offset;
  std::vector<std::string_view> contents;
  if (raw.Compressed()) {
    if (!InflateInto(raw.bytes, out.inflated, error)) return false;
    for (const PieceBuffer::Piece& piece : out.inflated.Pieces()) contents.push_back(piece.View());
  } else {
    contents.push_back(raw.bytes);
  }
  // The header ends at the first 0x00, which may lie in any piece; without
  // one the block carries nothing to write.
  std::string header;
  for (size_t i = 0; i < contents.size(); ++i) {
    const size_t zero = contents[i].find('\0');
    if (zero == std::string_view::npos) {
      header.append(contents[i]);
      continue;
    }
    header.append(contents[i].substr(0, zero));
    out.SetHeader(std::move(header));
    if (out.header.empty()) return true;
    if (zero + 1 < contents[i].size()) out.data.push_back(contents[i].substr(zero + 1));
    for (size_t j = i + 1; j < contents.size(); ++j)
      if (!contents[j].empty()) out.data.push_back(contents[j]);
    return true;
  }
  return true;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) return false;
  }
  // Windows drops trailing dots and blanks, so "a." would land on "a".
  if (name.back() == '.' || name.back() == ' ') return false;
  static constexpr std::array<std::string_view, 22> kDevices = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  std::string stem = UpperCase(Trim(name.substr(0, name.find('.'))));
  return std::find(kDevices.begin(), kDevices.end(), stem) == kDevices.end();
}

}  // namespace tarnix
