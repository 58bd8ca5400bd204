// The transfer-rate meter of a download: turns the pieces a download receives
// into the one-line text of its progress bar, the amount received against the
// total followed by the current speed. The speed is taken over the last five
// pieces and refreshed at most twice a second, so the text does not flicker.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnix {

// A millisecond tick that wraps at 32 bits, as the system's tick count does.
using TickClock = uint32_t (*)();
uint32_t SystemTickCount();

class TBytesRate {
 public:
  TBytesRate(bool kiloBytes, bool megaBytes, TickClock clock = SystemTickCount);

  void Reset();

  // "received/total" in bytes, KB or MB (MB wins), then the speed once there
  // is one: "1.5/20.0 MB   -   52.73 KB/Sec". Call once per piece, in order,
  // also for a piece of 0 bytes.
  std::string ProgressText(int64_t total, int64_t received, uint32_t pieceSize);

  // Records one piece and returns the speed in KB per second with two
  // decimals; the previous figure when it is not yet time to refresh, empty
  // before the first.
  std::string SpeedText(uint32_t pieceSize);

 private:
  static constexpr size_t kWindow = 5;

  TickClock clock_;
  bool kiloBytes_;
  bool megaBytes_;
  std::array<uint32_t, kWindow> ticks_{};
  std::array<uint32_t, kWindow> bytes_{};
  std::string speedText_;
  uint32_t lastRefresh_ = 0;
};

}  // namespace tarnix
