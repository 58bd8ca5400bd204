// The progress reporter: long operations on the user-interface thread (the
// HTTP download) report their progress here, and the reporter hands each
// event to a sink that drives the bars, pumping the message queue around
// every event so that the windows stay alive while the operation runs.
#pragma once

#include <cstdint>
#include <string>

namespace tarnix {

// (action, word value, range, text, step, position): action 0 sets a bar up
// with a range, a position and a step, action 1 steps it. The text is null
// when the event carries none.
using ProgressSink = void (*)(int action, uint16_t wordValue, int range, const char* text, int step, int position);

inline constexpr int kProgressSetUp = 0;
inline constexpr int kProgressStep = 1;

// Waits `ms` milliseconds while dispatching the thread's messages; with 0 it
// dispatches once.
using MessagePump = void (*)(int64_t ms);

// The platform's wait: on Windows DelayPump with the automatic step; elsewhere
// there is no queue to serve and it only sleeps.
void PumpMessagesFor(int64_t ms);

class TProgBar {
 public:
  // Milliseconds to wait, pumping messages, around each kind of event.
  struct WaitTimes {
    int64_t positionBefore = 0;
    int64_t positionAfter = 0;
    int64_t stepBefore = 0;
    int64_t stepAfter = 0;
    int64_t finishBefore = 0;
    int64_t finishAfter = 0;
  };

  // A null sink is allowed: the events then only pump messages.
  explicit TProgBar(ProgressSink sink, MessagePump pump = PumpMessagesFor);
  ~TProgBar();
  TProgBar(const TProgBar&) = delete;
  TProgBar& operator=(const TProgBar&) = delete;

  const WaitTimes& Waits() const { return waits_; }
  void SetWaits(const WaitTimes& waits) { waits_ = waits; }

  // Read by the downloader between reads; it stops when set.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool cancel) { cancel_ = cancel; }

  // Sets the bar up with `maximum` steps at `position`.
  void ReportPosition(int position, int maximum);
  // One step, with a text such as the transfer rate.
  void ReportStep(const std::string& text);
  // Only keeps the windows alive; the text is not shown.
  void ReportStatus(const std::string& text);
  // Empties the bar, with extra waits before and after.
  void Finish(int64_t waitBefore, int64_t waitAfter);

 private:
  void Send(int action, int range, const char* text, int step, int position);
  void Wait(int64_t ms);

  ProgressSink sink_;
  MessagePump pump_;
  WaitTimes waits_;
  bool cancel_ = false;
};

}  // namespace tarnix
