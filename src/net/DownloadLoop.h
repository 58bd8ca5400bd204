// The receiving loop of a download, apart from the library that does the
// reading: it reads piece after piece, hands each to the place the body goes,
// drives the progress bar with the transfer rate and stops at the end of the
// body, on a failure, on the abort flag or the bar's cancel flag, or when more
// arrived than may.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/CommUtils.h"
#include "ui/ProgBar.h"

namespace tarnix {

struct DownloadLoopIo {
  // Reads up to `want` bytes into `buffer`, setting `got`, taking what has
  // arrived rather than waiting for all of them; false when the read failed.
  // A read of 0 bytes that succeeds ends the body.
  std::function<bool(char* buffer, uint32_t want, uint32_t& got)> read;
  // Keeps one piece; false when it could not, which stops the loop.
  std::function<bool(std::string_view piece)> keep;
  // Serves the window messages that are waiting, without waiting for more,
  // so the windows stay alive and can set the abort flag between reads.
  std::function<void()> pump;
};

enum class DownloadStop { EndOfBody, ReadFailed, KeepFailed, Aborted, Cancelled, OverLimit };

struct DownloadLoopResult {
  DownloadStop stop = DownloadStop::EndOfBody;
  uint64_t received = 0;
};

// `size` is the announced length (kUnknownSize when none): it sets the read
// size (DownloadReadSize), the bar's steps (DownloadStepSize) and the units of
// the rate text. `start` bytes of it are there already (a download that
// continues): the bar and the amounts begin there, and `received` counts
// them. The loop stops once more than `limit` bytes are received; of the
// piece that crossed it only the bytes up to the limit are kept. `progress` (may be null) is set up with
// `displayName` and stepped per piece.
DownloadLoopResult RunDownloadLoop(uint32_t size, uint64_t start, uint64_t limit, std::string_view displayName,
                                   TProgBar* progress, const DownloadLoopIo& io, TickClock clock = SystemTickCount);

}  // namespace tarnix
