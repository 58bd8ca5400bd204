#include "Utils/DebugChannel.h"

#include <algorithm>

namespace tarnix {

DebugTargets DebugTargetsFor(uint8_t mode) {
  switch (mode) {
    case 0: return {false, true};
    case 1: return {true, false};
    case 2: return {true, true};
    default: return {false, false};
  }
}

std::string NormalizeLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void DebugTextCutter::Write(std::string_view text) {
  for (const char c : text) {
    if (c == '\n' && !lastWasCr_) Put('\r');
    Put(c);
    lastWasCr_ = c == '\r';
    if (c == '\n') Flush();
  }
}

void DebugTextCutter::Put(char c) {
  buffer_[size_++] = c;
  if (size_ == buffer_.size()) Flush();
}

void DebugTextCutter::Flush() {
  if (size_ == 0) return;
  // The buffer is emptied before the piece goes out, so a receiver that
  // writes to the channel itself starts a fresh piece, and a piece whose
  // dispatch fails is never sent twice.
  std::array<char, kDebugBufferSize> piece;
  const size_t length = size_;
  std::copy(buffer_.begin(), buffer_.begin() + length, piece.begin());
  size_ = 0;
  try {
    handOver_(std::string_view(piece.data(), length));
  } catch (...) {
  }
}

}  // namespace tarnix
