#include "package/Inflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tarnix {

namespace {

constexpr size_t kMiB = 1048576;
// The first piece: room for the builder's usual block and its header.
constexpr size_t kFirstPieceMax = kDefaultBlockDataSize + 64 * 1024;
constexpr size_t kFirstPieceMin = 64 * 1024;
// Data compresses at most about 1:1000 in zlib; blocks of files compress far
// less, so eight times the input is a fair first guess.
constexpr size_t kFirstPieceRatio = 8;
constexpr size_t kLaterPieceMax = 32 * kMiB;

struct InflateStream {
  z_stream z{};
  bool open = false;
  ~InflateStream() {
    if (open) inflateEnd(&z);
  }
};

std::string ZlibMessage(const z_stream& z, int code) {
  if (z.msg) return z.msg;
  switch (code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_STREAM_ERROR: return "stream error";
    default: return "zlib error " + std::to_string(code);
  }
}

}  // namespace

PieceBuffer::Piece& PieceBuffer::Room(size_t inputSize, size_t limit) {
  if (!pieces_.empty() && pieces_.back().size < pieces_.back().capacity) return pieces_.back();
  size_t want = pieces_.empty()
                    ? std::clamp(inputSize > kFirstPieceMax ? kFirstPieceMax : inputSize * kFirstPieceRatio,
                                 kFirstPieceMin, kFirstPieceMax)
                    : std::clamp(size_, kMiB, kLaterPieceMax);
  want = std::min(want, limit - std::min(limit, size_));
  Piece piece;
  // Not value-initialised: untouched pages of a large piece cost nothing.
  piece.bytes.reset(new char[want]);
  piece.capacity = want;
  pieces_.push_back(std::move(piece));
  return pieces_.back();
}

void PieceBuffer::Commit(Piece& piece, size_t count) {
  piece.size += count;
  size_ += count;
}

bool InflateInto(std::string_view input, PieceBuffer& out, std::string& error, const PumpFn& pump,
                 size_t maxOutput) {
  InflateStream s;
  int rc = inflateInit(&s.z);
  if (rc != Z_OK) {
    error = ZlibMessage(s.z, rc);
    return false;
  }
  s.open = true;

  // zlib counts in uInt; block inputs are far below 4 GiB (checked by callers).
  s.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  s.z.avail_in = static_cast<uInt>(input.size());
  for (;;) {
    if (out.Size() >= maxOutput) {
      error = "block larger than " + std::to_string(maxOutput) + " bytes";
      return false;
    }
    const size_t pieces = out.Pieces().size();
    PieceBuffer::Piece& piece = out.Room(input.size(), maxOutput);
    if (pump && out.Pieces().size() != pieces && pieces > 0) pump();
    const size_t room = piece.capacity - piece.size;
    s.z.next_out = reinterpret_cast<Bytef*>(piece.bytes.get() + piece.size);
    s.z.avail_out = static_cast<uInt>(std::min<size_t>(room, 0xFFFFFFFFu));
    rc = inflate(&s.z, Z_NO_FLUSH);
    out.Commit(piece, std::min<size_t>(room, 0xFFFFFFFFu) - s.z.avail_out);
    if (rc == Z_STREAM_END) return true;
    if (rc == Z_BUF_ERROR && s.z.avail_in == 0) {
      error = "unexpected end of stream";
      return false;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      error = ZlibMessage(s.z, rc);
      return false;
    }
  }
}

bool Inflate(std::string_view input, std::string& out, std::string& error, const PumpFn& pump, size_t maxOutput) {
  PieceBuffer pieces;
  if (!InflateInto(input, pieces, error, pump, maxOutput)) return false;
  out.clear();
  out.reserve(pieces.Size());
  for (const PieceBuffer::Piece& piece : pieces.Pieces()) out.append(piece.View());
  return true;
}

}  // namespace tarnix
