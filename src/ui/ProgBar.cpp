#include "ui/ProgBar.h"

#include <exception>

#include "Utils/Trace.h"

namespace tarnix {

TProgBar::TProgBar(ProgressSink sink, MessagePump pump) : sink_(sink), pump_(pump) {}

TProgBar::~TProgBar() { Finish(0, 0); }

void TProgBar::ReportPosition(int position, int maximum) {
  Wait(waits_.positionBefore);
  Send(kProgressSetUp, maximum, nullptr, 1, position);
  Wait(waits_.positionAfter);
}

void TProgBar::ReportStep(const std::string& text) {
  Wait(waits_.stepBefore);
  Send(kProgressStep, 0, text.c_str(), 0, 0);
  Wait(waits_.stepAfter);
}

void TProgBar::ReportStatus(const std::string&) { Wait(0); }

void TProgBar::Finish(int64_t waitBefore, int64_t waitAfter) {
  Wait(waitBefore);
  Wait(waits_.finishBefore);
  Send(kProgressSetUp, 0, nullptr, 1, 0);
  Wait(waits_.finishAfter);
  Wait(waitAfter);
}

// A failing display must not end the download that reports to it, nor escape
// the destructor.
void TProgBar::Send(int action, int range, const char* text, int step, int position) {
  if (!sink_) return;
  try {
    sink_(action, 0, range, text, step, position);
  } catch (const std::exception& e) {
    ReportException(e, "TProgBar", "sink");
  } catch (...) {
    ReportException(std::bad_exception(), "TProgBar", "sink");
  }
}

void TProgBar::Wait(int64_t ms) {
  if (!pump_) return;
  try {
    pump_(ms < 0 ? 0 : ms);
  } catch (const std::exception& e) {
    ReportException(e, "TProgBar", "pump");
  } catch (...) {
    ReportException(std::bad_exception(), "TProgBar", "pump");
  }
}

}  // namespace tarnix
