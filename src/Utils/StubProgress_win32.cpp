#include "Utils/StubProgress.h"

#include <commctrl.h>

namespace tarnix {

namespace {

constexpr int kActivityMax = 5;

HWND g_mainBar = nullptr;
HWND g_activityBar = nullptr;
int g_activity = 0;

void Send(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  if (bar) ::SendMessageA(bar, message, wParam, lParam);
}

LPARAM RangeTo(int maximum) { return static_cast<LPARAM>(static_cast<uint32_t>(maximum) << 16); }

}  // namespace

void SetStubProgressBars(HWND mainBar, HWND activityBar) {
  g_mainBar = mainBar;
  g_activityBar = activityBar;
  g_activity = 0;
}

TProgBar& EnsureStubProgress() {
  // Never destroyed: its destruction would report a finish event, pumping
  // messages and driving bars while the process is already shutting down.
  static TProgBar* const bar = new TProgBar(StubProgressCallback);
  return *bar;
}

void StubProgressCallback(int action, uint16_t wordValue, int range, const char* text, int step, int position) {
  if (!g_mainBar && !g_activityBar) return;
  if (action == kProgressSetUp) {
    Send(g_mainBar, PBM_SETRANGE, wordValue, RangeTo(range));
    Send(g_mainBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    Send(g_mainBar, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
    // The counter follows the bar, so the next step starts again from 0.
    g_activity = 0;
    Send(g_activityBar, PBM_SETRANGE, 0, RangeTo(kActivityMax));
    Send(g_activityBar, PBM_SETPOS, 0, 0);
    Send(g_activityBar, PBM_SETSTEP, 1, 0);
  } else if (action == kProgressStep) {
    Send(g_mainBar, PBM_STEPIT, 0, 0);
    if (++g_activity > kActivityMax) g_activity = 0;
    Send(g_activityBar, PBM_SETPOS, static_cast<WPARAM>(g_activity), 0);
  }
}

}  // namespace tarnix
