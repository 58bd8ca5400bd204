#include "SetupDialog.h"

#include <commctrl.h>

#include "Utils/WindowUtils.h"

namespace tarnix::standin {

namespace {

constexpr char kTitle[] = "Tarnix Sample Product Setup";
constexpr int kWidth = 400;
constexpr int kHeight = 112;

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The copy runs to its end; a setup without a cancel path has no close.
  if (message == WM_CLOSE) return 0;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateChild(HWND parent, const char* className, DWORD style, int x, int y, int width, int height) {
  HWND child = ::CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 nullptr, ::GetModuleHandleA(nullptr), nullptr);
  ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

}  // namespace

SetupDialog::SetupDialog(const std::string& className, int showCommand) : className_(className) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  InitProgressBarClass();

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DialogProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className_.c_str();
  registered_ = ::RegisterClassA(&windowClass) != 0;
  if (!registered_) return;

  int x = 0, y = 0;
  CenterInWorkArea(kWidth, kHeight, x, y);
  window_.reset(::CreateWindowExA(0, className_.c_str(), kTitle, WS_OVERLAPPED | WS_CAPTION, x, y, kWidth, kHeight,
                                  nullptr, nullptr, instance, nullptr));
  if (!window_) return;
  RECT client{};
  ::GetClientRect(window_.get(), &client);
  const int innerWidth = client.right - 32;
  text_ = CreateChild(window_.get(), "STATIC", SS_LEFT | SS_NOPREFIX, 16, 16, innerWidth, 20);
  bar_ = CreateChild(window_.get(), PROGRESS_CLASSA, 0, 16, 48, innerWidth, 18);
  ::ShowWindow(window_.get(), showCommand);
  ::UpdateWindow(window_.get());
}

SetupDialog::~SetupDialog() {
  window_.reset();
  if (registered_) ::UnregisterClassA(className_.c_str(), ::GetModuleHandleA(nullptr));
}

void SetupDialog::SetText(const std::string& text) {
  if (text_) ::SetWindowTextA(text_, text.c_str());
}

void SetupDialog::SetProgress(int done, int total) {
  if (!bar_) return;
  ::SendMessageA(bar_, PBM_SETRANGE32, 0, total > 0 ? total : 1);
  ::SendMessageA(bar_, PBM_SETPOS, done, 0);
}

}  // namespace tarnix::standin
