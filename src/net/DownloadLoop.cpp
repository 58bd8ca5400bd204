#include "net/DownloadLoop.h"

#include <algorithm>
#include <vector>

#include "net/DownloadAbort.h"
#include "net/DownloadRules.h"

namespace tarnix {

namespace {

constexpr uint32_t kKiloModeAbove = 102400;
constexpr uint32_t kMegaModeAbove = 10485760;

}  // namespace

DownloadLoopResult RunDownloadLoop(uint32_t size, uint64_t start, uint64_t limit, std::string_view displayName,
                                   TProgBar* progress, const DownloadLoopIo& io, TickClock clock) {
  if (!clock) clock = SystemTickCount;
  const uint32_t firstRead = DownloadChunkSize(size);
  const uint32_t largestRead = DownloadReadSize(size);
  uint32_t readSize = firstRead;
  const uint32_t stepSize = DownloadStepSize(size);
  if (progress) {
    // A download that continues shows the part it has from the start.
    const int done = DownloadPieceSteps(start, static_cast<uint32_t>(std::min<uint64_t>(start, UINT32_MAX)), stepSize);
    progress->ReportPosition(1 + done, DownloadProgressSteps(size, stepSize));
    progress->ReportStatus(std::string(displayName));
  }
  TBytesRate rate(size > kKiloModeAbove, size > kMegaModeAbove, clock);
  std::vector<char> buffer(largestRead);
  DownloadLoopResult result;
  result.received = start;
  for (;;) {
    io.pump();
    if (DownloadAborted()) {
      result.stop = DownloadStop::Aborted;
      break;
    }
    uint32_t got = 0;
    const uint32_t started = clock();
    const bool read = io.read(buffer.data(), readSize, got);
    if (got > readSize) got = readSize;
    if (!read) got = 0;
    readSize = NextReadSize(readSize, got, clock() - started, firstRead, largestRead);
    bool kept = true;
    if (read && got > 0) {
      // Nothing past the limit reaches the place the body goes.
      const uint64_t room = limit > result.received ? limit - result.received : 0;
      result.received += got;
      kept = room == 0 || io.keep(std::string_view(buffer.data(), static_cast<size_t>(std::min<uint64_t>(got, room))));
    }
    const std::string rateText = rate.ProgressText(size, static_cast<int64_t>(result.received), got);
    if (read && got > 0 && progress) {
      for (int step = DownloadPieceSteps(result.received, got, stepSize); step > 0; --step) {
        progress->ReportStep(rateText);
      }
    }
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
