#include "startup/MainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>

#include "Utils/CommandLine.h"
#include "Utils/StubLog.h"
#include "Utils/StubProgress.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/Switches.h"
#include "Utils/WindowUtils.h"
#include "autoupdate/AgentRequests.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/AgentTimer.h"
#include "net/DownloadAbort.h"
#include "net/HttpDownload.h"
#include "package/ExtractFolders.h"
#include "package/SetupDriver.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"
#include "ui/MsgBoxLayout.h"

namespace tarnix {

namespace {

constexpr int kWidth = 492;
constexpr int kHeight = 110;
constexpr UINT kTimerMs = 1000;

struct WindowState {
  HWND main = nullptr;
  HWND status = nullptr;
  HWND mainBar = nullptr;
  HWND activityBar = nullptr;
  UniqueGdiObject statusFont;
  bool loopEnd = false;
  bool inTick = false;
};

WindowState& State() {
  static WindowState state;
  return state;
}

bool RightToLeft(int charset) { return charset == 177 || charset == 178; }

HFONT CreateLabelFont(std::string_view face, int charset, int height) {
  return ::CreateFontA(height, 0, 0, 0, 0, FALSE, FALSE, FALSE, static_cast<DWORD>(charset), OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, std::string(face).c_str());
}

void SetLabelFont(HWND label, HFONT font) {
  ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  // The label keeps using the font it was given, so the old one can go only
  // now.
  State().statusFont.reset(font);
}

// The window is laid out at 96 DPI and grows with the system's DPI, as
// its fonts do.
int Px(int pixels) { return ScaleToDpi(pixels, ScreenDpiY()); }

HWND CreateChild(HWND window, const char* className, DWORD style, int x, int y, int width, int height) {
  return ::CreateWindowExA(0, className, "", WS_CHILD | style, Px(x), Px(y), Px(width), Px(height), window, nullptr,
                           ::GetModuleHandleA(nullptr), nullptr);
}

void CreateChildren(HWND window) {
  WindowState& state = State();
  const bool rtl = RightToLeft(StubPackage().Charset());
  state.status = CreateChild(window, "Static", WS_VISIBLE, rtl ? 122 : 70, 20, 340, 18);
  state.mainBar = CreateChild(window, PROGRESS_CLASSA, WS_VISIBLE, 70, 38, 392, 13);
  state.activityBar = CreateChild(window, PROGRESS_CLASSA, 0, rtl ? 70 : 416, 20, 46, 13);
  SetLabelFont(state.status, CreateLabelFont("Tahoma", DEFAULT_CHARSET, -Px(11)));
  SetStubProgressBars(state.mainBar, state.activityBar);
  ::SetTimer(window, kStubTimerId, kTimerMs, nullptr);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  if (HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), "MainIcon")) ::DrawIcon(dc, Px(18), Px(20), icon);
  ::EndPaint(window, &paint);
}

void Tick() {
  // The agent guards its own ticks.
  if (StubPackage().IsAgent()) {
    AgentTimerTick();
    return;
  }
  WindowState& state = State();
  // The driver pumps messages while it works, so ticks can arrive inside it.
  if (state.inTick) return;
  state.inTick = true;
  SetupTick();
  state.inTick = false;
}

// A first close only stops a running download; the second one closes.
bool CloseMainWindow() {
  WriteLog(".. CloseMainWindow() - Start");
  const bool close = DownloadAborted();
  if (!close) SetDownloadAbort(true);
  WriteLog(".. CloseMainWindow() - End");
  return close;
}

void DestroyMainWindow() {
  WriteLog(".. DestroyMainWindow() - Start");
  SetDownloadAbort(true);
  SetStubProgressBars(nullptr, nullptr);
  RemoveSetupFolder();
  ::PostQuitMessage(0);
  State().loopEnd = true;
  WriteLog(".. DestroyMainWindow() - End");
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateChildren(window);
      break;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:
      if (wParam == kStubTimerId) Tick();
      break;
    case WM_CLOSE:
      if (!CloseMainWindow()) return 0;
      break;
    case WM_DESTROY:
      Trace("%s", "- wm_Destroy -");
      DestroyMainWindow();
      State().main = nullptr;
      break;
    case wm_ShutDown:
      Agent().StopCountdown = int(wParam);
      break;
    case wm_AgentMsg:
      return HandleAgentRequest(int32_t(wParam), lParam);
    case wm_LocalMsg:
      SetNotifyTarget(reinterpret_cast<HWND>(wParam), static_cast<UINT>(lParam));
      PostNotify(kNotifyAgentWindow, reinterpret_cast<LPARAM>(window));
      PostNotify(kNotifyAgentMessage, wm_AgentMsg);
      break;
    default:
      if (message != 0 && message == AutoPlayCancelMessage()) return 1;
      break;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMessage(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    ReportException(e, "MainWindow", std::to_string(message));
  } catch (...) {
    ReportException(std::bad_exception(), "MainWindow", std::to_string(message));
  }
  return 0;
}

bool RegisterStubClass(const char* className) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hIcon = ::LoadIconA(windowClass.hInstance, "MainIcon");
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className;
  return ::RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(const char* className) {
  const TGFileInfo& package = StubPackage();
  int x = 0, y = 0;
  const int width = Px(kWidth), height = Px(kHeight);
  CenterInWorkArea(width, height, x, y);
  const std::string title = StubText("s0");
  HWND window = ::CreateWindowExA(0, className, title.c_str(), WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, x, y,
                                  width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  SetMsgBoxFont(package.FontName(), package.FontSize(), package.Charset());
  return window;
}

void RunLoop() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
    if (State().loopEnd) break;
  }
}

}  // namespace

void WinMain(const char* className) {
  const int64_t sleep = GetSwitchInt(kSwitchSleepX, -1);
  if (sleep >= 0) Agent().AutoUpdateTimerCount = -int(std::min<int64_t>(sleep, INT32_MAX));
  InitProgressBarClass();
  RegisterStubClass(className);
  HWND window = CreateMainWindow(className);
  State().main = window;
  if (window) {
    ::ShowWindow(window, SW_HIDE);
    RunLoop();
    ::KillTimer(window, kStubTimerId);
    // A loop ended by a stop request leaves the window standing; while it
    // stands, a new start of this executable would take it for a running
    // one and leave.
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
  SetDownloadAbort(true);
  UnloadWinINet();
  PostNotify(kNotifyLoopEnded, 0);
}

HWND MainWindow() { return State().main; }
HWND StatusLine() { return State().main ? State().status : nullptr; }

void SetStatusText(HWND label, std::string_view text, std::string_view fontName, int charset, int fontSize) {
  if (!label) return;
  const bool rtl = RightToLeft(charset);
  ::SetWindowLongA(label, GWL_EXSTYLE, rtl ? WS_EX_RTLREADING : 0);
  ::SetWindowLongA(label, GWL_STYLE, rtl ? 0x50000002 : 0x50000000);
  if (label == State().status)
    SetLabelFont(label, CreateLabelFont(fontName, charset, -PointsToPixels(fontSize)));
  ::SetWindowTextA(label, std::string(text).c_str());
}

void ShowActivityBar() {
  if (State().main) ::ShowWindow(State().activityBar, SW_SHOW);
}

void StopStubTimer() {
  if (State().main) ::KillTimer(State().main, kStubTimerId);
}

bool MainWindowClosed() { return State().loopEnd; }

}  // namespace tarnix
