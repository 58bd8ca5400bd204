#include "net/DownloadLoop.h"

#include <vector>

#include "net/DownloadAbort.h"
#include "net/DownloadRules.h"

namespace tarnix {

namespace {

constexpr uint32_t kKiloModeAbove = 102400;
constexpr uint32_t kMegaModeAbove = 10485760;

}  // namespace

DownloadLoopResult RunDownloadLoop(uint32_t size, uint64_t limit, std::string_view displayName, TProgBar* progress,
                                   const DownloadLoopIo& io, TickClock clock) {
  const uint32_t readSize = DownloadReadSize(size);
  if (progress) {
    progress->ReportPosition(1, DownloadProgressSteps(size, readSize));
    progress->ReportStatus(std::string(displayName));
  }
  TBytesRate rate(size > kKiloModeAbove, size > kMegaModeAbove, clock);
  std::vector<char> buffer(readSize);
  DownloadLoopResult result;
  for (;;) {
    io.pump();
    if (DownloadAborted()) {
      result.stop = DownloadStop::Aborted;
      break;
    }
    uint32_t got = 0;
    const bool read = io.read(buffer.data(), readSize, got);
    if (got > readSize) got = readSize;
    if (!read) got = 0;
    bool kept = true;
    if (read && got > 0) {
      result.received += got;
      kept = io.keep(std::string_view(buffer.data(), got));
    }
    const std::string rateText = rate.ProgressText(size, static_cast<int64_t>(result.received), got);
    if (read && got > 0 && progress) progress->ReportStep(rateText);
    if (!read) {
      result.stop = DownloadStop::ReadFailed;
    } else if (got == 0) {
      result.stop = DownloadStop::EndOfBody;
    } else if (!kept) {
      result.stop = DownloadStop::KeepFailed;
    } else if (DownloadAborted()) {
      result.stop = DownloadStop::Aborted;
    } else if (progress && progress->Cancel()) {
      result.stop = DownloadStop::Cancelled;
    } else if (result.received > limit) {
      result.stop = DownloadStop::OverLimit;
    } else {
      continue;
    }
    break;
  }
  return result;
}

}  // namespace tarnix
