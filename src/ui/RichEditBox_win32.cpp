#include "ui/RichEditBox.h"

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <string>

#include "Utils/StrUtils.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"
#include "ui/RichEditBoxLayout.h"

namespace tarnix {

namespace {

constexpr char kRichEditLibrary[] = "RICHED32.DLL";
constexpr int kTextControlId = 100;
constexpr int kButtonId = 101;
constexpr LONG_PTR kButtonValue = 1;

struct BoxState {
  std::string link;
  HWND box = nullptr;
  HWND text = nullptr;
  HWND button = nullptr;
  UniqueGdiObject buttonFont;
  UniqueGdiObject textFont;
  bool done = false;
};

BoxState g_box;
// Guards the state above: boxes are never nested and never on two threads.
std::atomic<bool> g_boxShown{false};
// The rich-edit library, kept until the process ends once it has loaded.
HMODULE g_richEdit = nullptr;

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

// A failed load is not remembered, so the next box tries again. Only the
// library matters here, not the procedure looked up with it.
void LoadRichEdit() {
  if (g_richEdit) return;
  HMODULE module = nullptr;
  LoadProc(kRichEditLibrary, "DllGetVersion", module);
  g_richEdit = module;
}

bool OpenLink(const std::string& link) { return ShellOpen(link, "", SW_SHOW); }

void Place(HWND window, const PixelRect& r) {
  if (window) ::SetWindowPos(window, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceControls(int cw, int ch) {
  Place(g_box.text, RichEditTextPlace(cw, ch, !g_box.link.empty(), ScreenDpiY()));
  Place(g_box.button, RichEditButtonPlace(cw, ch, ScreenDpiY()));
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  const HDC dc = ::BeginPaint(window, &ps);
  RECT client;
  ::GetClientRect(window, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
  if (!g_box.link.empty()) {
    const int lineTop = client.bottom - ScaleToDpi(kRichEditStripHeight, ScreenDpiY());
    const RECT line = {0, lineTop, client.right, lineTop + 1};
    ::FillRect(dc, &line, ::GetSysColorBrush(COLOR_3DDKSHADOW));
    const RECT strip = {0, lineTop + 1, client.right, client.bottom};
    ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  ::EndPaint(window, &ps);
}

LRESULT HandleBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      PlaceControls(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_COMMAND:
      if (g_box.button && reinterpret_cast<HWND>(lParam) == g_box.button && HIWORD(wParam) == BN_CLICKED) {
        OpenLink(g_box.link);
        ::PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      // The read-only plain edit control that stands in for the rich one.
      ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_DESTROY:
      g_box.done = true;
      return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleBoxMessage(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    ReportException(e, "RichEditBox.BoxProc", "");
  } catch (...) {
    ReportException(std::bad_exception(), "RichEditBox.BoxProc", "");
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HFONT CreateBoxFont(int height, int charset, const std::string& face) {
  return ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, static_cast<BYTE>(charset), OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, face.c_str());
}

// Hands the text over in pieces as plain text: set as a window text, a text
// that starts like a rich-text document would be read as one.
DWORD CALLBACK ReadText(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
  auto* rest = reinterpret_cast<std::string_view*>(cookie);
  const size_t n = std::min(rest->size(), static_cast<size_t>(std::max<LONG>(size, 0)));
  std::memcpy(buffer, rest->data(), n);
  rest->remove_prefix(n);
  *done = static_cast<LONG>(n);
  return 0;
}

void SetRichText(std::string_view text) {
  ::SendMessageA(g_box.text, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(kRichEditMaxText));
  std::string_view rest = text;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rest);
  stream.pfnCallback = ReadText;
  ::SendMessageA(g_box.text, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
}

HWND CreateTextWindow(const char* className, bool rightToLeft, const PixelRect& r) {
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_WANTRETURN | ES_READONLY | ES_MULTILINE |
                      (rightToLeft ? ES_RIGHT : 0);
  return ::CreateWindowExA(rightToLeft ? WS_EX_RTLREADING : 0, className, "", style, r.left, r.top, r.width, r.height,
                           g_box.box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextControlId)), Instance(),
                           nullptr);
}

// Without the rich-edit library the text goes into a plain read-only edit
// control, which scrolls as well; only the rich control's extras are lost.
void CreateTextControl(bool rightToLeft, std::string_view text, const PixelRect& r) {
  if (g_richEdit) g_box.text = CreateTextWindow("RICHEDIT", rightToLeft, r);
  if (g_box.text) {
    ::SendMessageA(g_box.text, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
    ::SendMessageA(g_box.text, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.textFont.get()), FALSE);
    ::SendMessageA(g_box.text, EM_SETBKGNDCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
    SetRichText(text);
    return;
  }
  g_box.text = CreateTextWindow("EDIT", rightToLeft, r);
  if (!g_box.text) return;
  ::SendMessageA(g_box.text, EM_SETLIMITTEXT, kRichEditMaxText, 0);
  ::SendMessageA(g_box.text, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.textFont.get()), FALSE);
  const std::string plain(text);
  ::SendMessageA(g_box.text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(plain.c_str()));
}

void CreateButton(std::string_view caption, const PixelRect& r) {
  const std::string text(caption);
  g_box.button = ::CreateWindowExA(0, "Button", text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                   r.left, r.top, r.width, r.height, g_box.box,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), Instance(), nullptr);
  if (!g_box.button) return;
  ::SendMessageA(g_box.button, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.buttonFont.get()), FALSE);
  ::SetWindowLongPtrA(g_box.button, GWLP_USERDATA, kButtonValue);
}

// The class is registered for one box and goes with it on every path; the
// box window, if not yet destroyed, goes first, since a class with windows
// cannot be unregistered.
class BoxClass {
 public:
  BoxClass() {
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = BoxProc;
    wc.hInstance = Instance();
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kRichEditBoxClassName;
    registered_ = ::RegisterClassA(&wc) != 0;
  }
  ~BoxClass() {
    if (g_box.box && !g_box.done) ::DestroyWindow(g_box.box);
    if (registered_) ::UnregisterClassA(kRichEditBoxClassName, Instance());
  }
  BoxClass(const BoxClass&) = delete;
  BoxClass& operator=(const BoxClass&) = delete;
  bool Registered() const { return registered_; }

 private:
  bool registered_ = false;
};

// Until the box has gone. A quit request that arrives meanwhile belongs to
// the loop that called the box; it is handed back once the box has gone.
void RunLoop() {
  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (!g_box.done) {
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      quit = true;
      quitCode = msg.wParam;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
}

bool RunBox(HWND owner, std::string_view title, std::string_view buttonCaption, int charset, int fontSize,
            std::string_view fontFace, bool rightToLeft, int height, int width, std::string_view text) {
  LoadRichEdit();
  g_box.buttonFont.reset(CreateBoxFont(-PointsToPixels(fontSize), charset, std::string(fontFace)));
  const int dpi = ScreenDpiY();
  g_box.textFont.reset(CreateBoxFont(ScaleToDpi(kRichEditTextFontHeight, dpi), charset, RichEditTextFace(fontFace)));
  const BoxClass boxClass;
  if (!boxClass.Registered()) return false;

  const PixelRect place =
      RichEditBoxPlace(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), width, height, dpi);
  const std::string caption(title);
  g_box.box = ::CreateWindowExA(WS_EX_DLGMODALFRAME, kRichEditBoxClassName, caption.c_str(),
                                WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, place.left, place.top,
                                place.width, place.height, owner, nullptr, Instance(), nullptr);
  if (!g_box.box) return false;

  RECT client;
  ::GetClientRect(g_box.box, &client);
  CreateTextControl(rightToLeft, RichEditShownText(text),
                    RichEditTextPlace(client.right, client.bottom, !g_box.link.empty(), dpi));
  if (!g_box.link.empty()) CreateButton(buttonCaption, RichEditButtonPlace(client.right, client.bottom, dpi));
  // The keyboard reaches the button, or else lets the text scroll.
  const HWND focus = g_box.button ? g_box.button : g_box.text;
  if (focus) ::SetFocus(focus);
  RunLoop();
  return true;
}

}  // namespace

bool ShowRichEditBox(HWND owner, std::string_view title, std::string_view buttonCaption, int charset, int fontSize,
                     std::string_view fontFace, bool rightToLeft, int height, int width, std::string_view link,
                     std::string_view text) {
  bool holdsGuard = false;
  try {
    const std::string url = Trim(link);
    if (text.empty()) return !url.empty() && OpenLink(url);
    bool idle = false;
    if (!g_boxShown.compare_exchange_strong(idle, true)) {
      Trace("%lu ShowRichEditBox: another box is up", ::GetCurrentProcessId());
      return false;
    }
    holdsGuard = true;
    g_box = BoxState{};
    g_box.link = url;
    const bool shown =
        RunBox(owner, title, buttonCaption, charset, fontSize, fontFace, rightToLeft, height, width, text);
    // The fonts outlive the box's windows and go only now.
    g_box = BoxState{};
    g_boxShown = false;
    return shown;
  } catch (const std::exception& e) {
    ReportException(e, "ShowRichEditBox", "");
  } catch (...) {
    ReportException(std::bad_exception(), "ShowRichEditBox", "");
  }
  // Only this call can have taken the guard: another one's box stays up.
  if (holdsGuard) {
    g_box = BoxState{};
    g_boxShown = false;
  }
  return false;
}

}  // namespace tarnix
