// zlib inflation of one file block into memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageFormat.h"

namespace tarnix {

// Called between growth steps of long operations so windows stay responsive.
using PumpFn = std::function<void()>;

// Inflated bytes kept in the pieces they were inflated into: the output
// grows by adding a piece, never by copying what was produced. A block of
// the builder's usual size fits the first piece, so its data is written in
// one go. Pieces are not zeroed: memory the output never reaches is never
// touched.
class PieceBuffer {
 public:
  struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    size_t capacity = 0;
    std::string_view View() const { return {bytes.get(), size}; }
  };

  const std::vector<Piece>& Pieces() const { return pieces_; }
  size_t Size() const { return size_; }
  // The free end of the last piece, or a new piece when it is full. The
  // first piece is sized by the input length, later ones by what was
  // produced; no piece reaches past `limit` bytes in all.
  Piece& Room(size_t inputSize, size_t limit);
  void Commit(Piece& piece, size_t count);

 private:
  std::vector<Piece> pieces_;
  size_t size_ = 0;
};

// Inflates one complete zlib stream into `out`, pumping after each new
// piece. A damaged or truncated stream, or output beyond `maxOutput`,
// returns false with zlib's own message ("data error", "need dictionary"
// ...) or ours in `error`.
bool InflateInto(std::string_view input, PieceBuffer& out, std::string& error, const PumpFn& pump = {},
                 size_t maxOutput = kMaxBlockOutput);

// The same into one string.
bool Inflate(std::string_view input, std::string& out, std::string& error, const PumpFn& pump = {},
             size_t maxOutput = kMaxBlockOutput);

}  // namespace tarnix
