#include "net/CommUtils.h"

#include <algorithm>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr uint32_t kRefreshMs = 500;

template <size_t N>
void Push(std::array<uint32_t, N>& window, uint32_t value) {
  std::move(window.begin() + 1, window.end(), window.begin());
  window.back() = value;
}

}  // namespace

uint32_t SystemTickCount() { return static_cast<uint32_t>(NowMs()); }

TBytesRate::TBytesRate(bool kiloBytes, bool megaBytes, TickClock clock)
    : clock_(clock ? clock : SystemTickCount), kiloBytes_(kiloBytes), megaBytes_(megaBytes) {
  Reset();
}

void TBytesRate::Reset() {
  ticks_.fill(0);
  bytes_.fill(0);
  speedText_.clear();
  lastRefresh_ = 0;
}

std::string TBytesRate::SpeedText(uint32_t pieceSize) {
  const uint32_t now = clock_();
  Push(ticks_, now);
  const int32_t elapsed = static_cast<int32_t>(now - ticks_.front());
  Push(bytes_, pieceSize);
  // The oldest piece only opens the span; the bytes that arrived within it
  // are those of the four after it.
  uint64_t bytes = 0;
  for (size_t i = 1; i < kWindow; ++i) bytes += bytes_[i];
  // A first tick of 0 means fewer than five pieces so far.
  if (ticks_.front() != 0 && elapsed != 0 && now - lastRefresh_ > kRefreshMs) {
    lastRefresh_ = now;
    const double speed = double(bytes) / (double(elapsed) / 1000.0) / 1024.0;
    speedText_ = FloatToText(speed, 2, false, ".");
  }
  return speedText_;
}

std::string TBytesRate::ProgressText(int64_t total, int64_t received, uint32_t pieceSize) {
  std::string text;
  if (megaBytes_) {
    text = MBText(true, 1, received) + "/" + MBText(true, 1, total) + " MB";
  } else if (kiloBytes_) {
    text = KBText(true, 1, received) + "/" + KBText(true, 1, total) + " KB";
  } else {
    text = std::to_string(received) + "/" + std::to_string(total) + " BytesArr";
  }
  const std::string speed = SpeedText(pieceSize);
  if (!speed.empty()) text += "   -   " + speed + " KB/Sec";
  return text;
}

}  // namespace tarnix
