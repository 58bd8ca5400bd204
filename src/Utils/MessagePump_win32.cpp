#include <windows.h>

#include <exception>

#include "Utils/DateUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/Trace.h"

namespace tarnix {

void PumpMessages() {
  try {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The quit request belongs to the loop that called into this wait;
        // taken here it would be lost and the program would never end.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  } catch (const std::exception& e) {
    ReportException(e, "PumpMessages", "");
  } catch (...) {
    ReportException(std::bad_exception(), "PumpMessages", "");
  }
}

void YieldX(uint32_t ms) {
  try {
    PumpMessages();
    ::Sleep(ms);
  } catch (const std::exception& e) {
    ReportException(e, "YieldX", "");
  } catch (...) {
    ReportException(std::bad_exception(), "YieldX", "");
  }
}

void DelayPump(int step, int64_t duration) {
  const uint32_t slice = DelayPumpStep(step, duration);
  const int64_t start = NowMs();
  do {
    YieldX(slice);
  } while (NowMs() - start < duration);
}

}  // namespace tarnix
