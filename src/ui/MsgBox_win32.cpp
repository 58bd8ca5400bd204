#include "ui/MsgBox.h"

#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "Utils/MessagePump.h"
#include "Utils/SUB.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/SystemLibrary.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"
#include "package/LanguageDefaults.h"
#include "ui/Markup.h"
#include "ui/MsgBoxLayout.h"

namespace tarnix {

namespace {

constexpr UINT_PTR kTimeoutTimer = 1;
constexpr int kTextControlId = 100;
constexpr int kFirstButtonId = 101;
constexpr int kMaxButtons = 3;
// The size the rich-edit control starts with, before it is measured.
constexpr RECT kInitialTextRect = {86, 30, 186, 43};
constexpr COLORREF kBandColour = RGB(0, 78, 152);
// The developer's own question about saving a new entry must not hide what
// it asks about, so the box moves aside in developer mode.
constexpr char kDeveloperEntryQuestion[] = "Do you want to store the new Entry in";

struct FontSettings {
  std::string face = "Tahoma";
  int charset = DEFAULT_CHARSET;
  int sizePoints = 8;
};

FontSettings& Settings() {
  static FontSettings settings;
  return settings;
}

struct BoxState {
  int result = 0;
  int timeoutMs = 0;
  HWND buttons[kMaxButtons] = {};
  int focused = -1;
  int requestedWidth = 0;
  int requestedHeight = 0;
  HICON icon = nullptr;
  HWND previousActive = nullptr;
  HWND box = nullptr;
  HWND text = nullptr;
  bool richText = false;
  UniqueGdiObject font;
  bool done = false;
};

BoxState g_box;
// Guards the state above: boxes are never nested and never on two threads.
std::atomic<bool> g_boxShown{false};
// The process's own reference to the rich-edit library, kept until it ends.
HMODULE g_richEdit = nullptr;

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

int ButtonCount() {
  int n = 0;
  while (n < kMaxButtons && g_box.buttons[n]) ++n;
  return n;
}

int ButtonIndex(HWND window) {
  for (int i = 0; i < kMaxButtons; ++i)
    if (window && g_box.buttons[i] == window) return i;
  return -1;
}

int ButtonValue(int index) { return static_cast<int>(::GetWindowLongPtrA(g_box.buttons[index], GWLP_USERDATA)); }

std::vector<std::string> ButtonCaptions() {
  std::vector<std::string> captions;
  for (int i = 0; i < ButtonCount(); ++i) captions.push_back(GetWindowTitleText(g_box.buttons[i]));
  return captions;
}

void ChooseButton(int index) {
  g_box.result = ButtonValue(index);
  ::PostMessageA(g_box.box, WM_CLOSE, 0, 0);
}

void FocusButton(int index) {
  const int n = g_box.buttons[2] ? 3 : g_box.buttons[1] ? 2 : 1;
  index = WrapButtonIndex(index, n);
  if (!g_box.buttons[index]) return;
  ::SetFocus(g_box.buttons[index]);
  g_box.focused = index;
  for (HWND b : g_box.buttons)
    if (b) ::SendMessageA(b, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  ::SendMessageA(g_box.buttons[index], BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// The button with the keyboard focus, or the one the box last focused when
// the focus is elsewhere (keys posted to a box that is not in front).
int CurrentButton() {
  const int withFocus = ButtonIndex(::GetFocus());
  return withFocus >= 0 ? withFocus : g_box.focused;
}

// Keys work wherever the focus is while the box is up, so they are taken
// from the queue before any window sees them. True when the message was
// used up.
bool FilterKey(const MSG& msg) {
  if (msg.message == WM_SYSCHAR) {
    const int i = AltKeyButton(ButtonCaptions(), static_cast<char>(msg.wParam));
    if (i < 0) return false;
    ChooseButton(i);
    return true;
  }
  if (msg.message != WM_KEYDOWN) return false;
  switch (msg.wParam) {
    case VK_LEFT:
    case VK_UP:
      FocusButton(CurrentButton() - 1);
      return true;
    case VK_TAB:
    case VK_RIGHT:
    case VK_DOWN:
      FocusButton(CurrentButton() + 1);
      return true;
    case VK_RETURN: {
      const int i = CurrentButton();
      if (i < 0 || !g_box.buttons[i]) return false;
      ChooseButton(i);
      return true;
    }
    case VK_ESCAPE:
      ::PostMessageA(g_box.box, WM_CLOSE, 0, 0);
      return true;
    default:
      if (msg.wParam >= 'A' && msg.wParam <= 'Z') {
        const int i = LetterKeyButton(ButtonCaptions(), static_cast<char>(msg.wParam));
        if (i < 0) return false;
        ChooseButton(i);
        return true;
      }
      return false;
  }
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  const HDC dc = ::BeginPaint(window, &ps);
  RECT client;
  ::GetClientRect(window, &client);
  const int cw = client.right;
  const int ch = client.bottom;
  const int dpi = ScreenDpiY();
  const int stripTop = ch - ScaleToDpi(kMsgBoxStripHeight, dpi);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
  const RECT shadow = {0, stripTop - 1, cw, stripTop};
  ::FillRect(dc, &shadow, ::GetSysColorBrush(COLOR_3DDKSHADOW));
  const RECT light = {0, stripTop, cw, stripTop + 1};
  ::FillRect(dc, &light, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  const RECT strip = {0, stripTop + 1, cw, ch};
  ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
  const RECT band = {0, 0, ScaleToDpi(kMsgBoxBandWidth, dpi), stripTop - 1};
  const UniqueGdiObject bandBrush(::CreateSolidBrush(kBandColour));
  ::FillRect(dc, &band, static_cast<HBRUSH>(bandBrush.get()));
  if (g_box.icon) ::DrawIcon(dc, ScaleToDpi(11, dpi), ScaleToDpi(20, dpi), g_box.icon);
  ::EndPaint(window, &ps);
}

LRESULT HandleBoxMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const UINT autoPlay = AutoPlayCancelMessage();
  if (autoPlay != 0 && message == autoPlay) return 1;
  switch (message) {
    case WM_CREATE:
      if (g_box.timeoutMs > 0) ::SetTimer(window, kTimeoutTimer, static_cast<UINT>(g_box.timeoutMs), nullptr);
      return 0;
    case WM_COMMAND: {
      const int i = ButtonIndex(reinterpret_cast<HWND>(lParam));
      if (i >= 0) ChooseButton(i);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimeoutTimer) {
        g_box.result = g_box.buttons[0] ? ButtonValue(0) : 0;
        ::PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->code == EN_REQUESTRESIZE) {
        const RECT& r = reinterpret_cast<const REQRESIZE*>(lParam)->rc;
        g_box.requestedWidth = r.right - r.left;
        g_box.requestedHeight = r.bottom - r.top;
      }
      return 0;
    }
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_CTLCOLORSTATIC:
      // The plain text control that stands in for the rich-edit one.
      ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    case WM_CLOSE:
      // Enabled again before the box goes, so that the system hands the
      // activation back to it rather than to some other program.
      if (g_box.previousActive) {
        ::EnableWindow(g_box.previousActive, TRUE);
        ::SetActiveWindow(g_box.previousActive);
        ::SetFocus(g_box.previousActive);
      }
      if (g_box.timeoutMs > 0) ::KillTimer(window, kTimeoutTimer);
      break;
    case WM_DESTROY:
      g_box.font.reset();
      g_box.done = true;
      return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleBoxMessage(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    ReportException(e, "MsgBox.BoxProc", "");
  } catch (...) {
    ReportException(std::bad_exception(), "MsgBox.BoxProc", "");
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HFONT CreateBoxFont() {
  const FontSettings& s = Settings();
  return ::CreateFontA(-PointsToPixels(s.sizePoints), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       static_cast<BYTE>(s.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                       s.face.c_str());
}

// The library is kept once per process; a failed load is not remembered, so
// the next box tries again.
void LoadRichEdit() {
  if (g_richEdit) return;
  g_richEdit = LoadSystemLibrary("RICHED32.DLL");
}

void CreateTextControl(const MarkupText& markup, uint32_t flags) {
  const DWORD exStyle = (flags & kMbRtlReading) ? WS_EX_RTLREADING : 0;
  const RECT& r = kInitialTextRect;
  const HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextControlId));
  if (g_richEdit) {
    const DWORD style =
        WS_CHILD | WS_VISIBLE | ES_WANTRETURN | ES_READONLY | ES_MULTILINE | ((flags & kMbRight) ? ES_RIGHT : 0);
    g_box.text = ::CreateWindowExA(exStyle, "RICHEDIT", "", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                   g_box.box, id, Instance(), nullptr);
  }
  g_box.richText = g_box.text != nullptr;
  if (g_box.richText) {
    ::SendMessageA(g_box.text, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
    ::SendMessageA(g_box.text, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.font.get()), FALSE);
    ::SendMessageA(g_box.text, EM_SETBKGNDCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
    ::SendMessageA(g_box.text, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(markup.text.c_str()));
    for (const BoldRange& b : markup.bold) {
      CHARRANGE range = {static_cast<LONG>(b.start), static_cast<LONG>(b.end)};
      ::SendMessageA(g_box.text, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
      CHARFORMATA format = {};
      format.cbSize = sizeof(format);
      format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
      format.dwEffects = CFE_BOLD;
      ::SendMessageA(g_box.text, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    CHARRANGE none = {0, 0};
    ::SendMessageA(g_box.text, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
    return;
  }
  // Without the rich-edit library the text is still shown, only not bold.
  const DWORD style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX | ((flags & kMbRight) ? SS_RIGHT : SS_LEFT);
  g_box.text = ::CreateWindowExA(exStyle, "STATIC", markup.text.c_str(), style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, g_box.box, id, Instance(), nullptr);
  if (g_box.text) ::SendMessageA(g_box.text, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.font.get()), FALSE);
}

void ResizeText(int width, int height) {
  ::SetWindowPos(g_box.text, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sizes the text control to what the text needs.
void MeasureText(const MarkupText& markup) {
  const int dpi = ScreenDpiY();
  const int step = ScaleToDpi(10, dpi);
  PixelSize size;
  {
    const WindowDc dc(g_box.text);
    const HGDIOBJ old = ::SelectObject(dc.get(), g_box.font.get());
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(dc.get(), &metrics);
    int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    if (SameTextTrim(Settings().face, "MS PGothic")) ++lineHeight;
    size = MeasureMsgBoxText(markup.text, lineHeight, [&](std::string_view line) {
      SIZE extent = {};
      ::GetTextExtentPoint32A(dc.get(), line.data(), static_cast<int>(line.size()), &extent);
      return static_cast<int>(extent.cx);
    }, dpi);
    ::SelectObject(dc.get(), old);
  }
  ResizeText(size.width + step, size.height);

  // Bold glyphs are wider than the plain measurement assumed: widen the
  // control until it no longer asks for more height.
  if (markup.bold.empty() || !g_box.richText) return;
  int widest = size.width;
  for (int i = 0; i <= 20; ++i) {
    ResizeText(size.width + step * i, size.height);
    ::SendMessageA(g_box.text, EM_REQUESTRESIZE, 0, 0);
    if (g_box.requestedHeight <= size.height) return;
    widest = std::max(widest, g_box.requestedWidth);
  }
  ResizeText(widest + step, size.height);
}

void PlaceBox(std::string_view text) {
  RECT r = {};
  if (g_box.text) ::GetWindowRect(g_box.text, &r);
  const int tw = r.right - r.left;
  const int th = r.bottom - r.top;
  const int dpi = ScreenDpiY();
  const PixelSize box = MsgBoxWindowSize(tw, th, ::GetSystemMetrics(SM_CXFRAME), ::GetSystemMetrics(SM_CYFRAME),
                                         ::GetSystemMetrics(SM_CYCAPTION), dpi);
  int x = 0;
  int y = 0;
  CenterInWorkArea(box.width, box.height, x, y);
  if (text.find(kDeveloperEntryQuestion) != std::string_view::npos && IsDeveloperMode()) {
    x += 150;
    y += 150;
  }
  ::SetWindowPos(g_box.box, nullptr, x, y, box.width, box.height, SWP_NOZORDER | SWP_SHOWWINDOW);

  RECT client;
  ::GetClientRect(g_box.box, &client);
  if (!g_box.text) return;
  const PixelRect place = MsgBoxTextPlace(client.right, client.bottom, tw, th, dpi);
  ::SetWindowPos(g_box.text, nullptr, place.left, place.top, place.width, place.height, SWP_NOZORDER);
  ::ShowWindow(g_box.text, SW_SHOW);
}

void CreateButtons(uint32_t flags, std::string_view captions) {
  RECT client;
  ::GetClientRect(g_box.box, &client);
  const std::vector<MsgBoxButton> set = MsgBoxButtons(flags);
  const int n = static_cast<int>(set.size());
  for (int k = 0; k < n; ++k) {
    const std::string caption = SUB::Item(captions, set[k].captionIndex);
    const PixelRect p = MsgBoxButtonPlace(client.right, client.bottom, k, n, ScreenDpiY());
    const HWND b = ::CreateWindowExA(
        0, "Button", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, p.left, p.top, p.width, p.height,
        g_box.box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + k)), Instance(), nullptr);
    if (!b) break;
    ::SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(g_box.font.get()), FALSE);
    ::SetWindowLongPtrA(b, GWLP_USERDATA, set[k].result);
    g_box.buttons[k] = b;
  }
  if (g_box.buttons[0]) FocusButton(MsgBoxDefaultButton(flags));
}

int RunBox(HWND owner, std::string_view text, std::string_view title, int timeoutMs, uint32_t flags,
           std::string_view captions) {
  g_box = BoxState{};
  g_box.timeoutMs = timeoutMs;
  g_box.font.reset(CreateBoxFont());
  LoadRichEdit();
  // The box's own reference, given back when it closes.
  const UniqueModule boxReference(g_richEdit ? LoadSystemLibrary("RICHED32.DLL") : nullptr);
  g_box.previousActive = ::GetActiveWindow();
  if (g_box.previousActive) ::EnableWindow(g_box.previousActive, FALSE);

  WNDCLASSA wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = BoxProc;
  wc.hInstance = Instance();
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMsgBoxClassName;
  ::RegisterClassA(&wc);

  const std::string caption(title);
  g_box.box =
      ::CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kMsgBoxClassName, caption.c_str(),
                        WS_VISIBLE | WS_CAPTION | WS_SYSMENU, -100, -100, 10, 10, owner, nullptr, Instance(), nullptr);
  if (!g_box.box) {
    if (g_box.previousActive) ::EnableWindow(g_box.previousActive, TRUE);
    ::UnregisterClassA(kMsgBoxClassName, Instance());
    g_box.font.reset();
    return 0;
  }
  if (flags & kMbNoClose) ::EnableMenuItem(::GetSystemMenu(g_box.box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

  const MarkupText markup = ParseMarkup(text);
  CreateTextControl(markup, flags);
  if (g_box.text) MeasureText(markup);
  PlaceBox(text);
  const int icon = MsgBoxSystemIcon(flags);
  g_box.icon = icon ? ::LoadIconA(nullptr, MAKEINTRESOURCEA(icon)) : ::LoadIconA(Instance(), "MainIcon");
  CreateButtons(flags, captions);

  // A quit request that arrives while the box is up belongs to the loop
  // that called the box; it is handed back once the box has gone.
  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (!g_box.done) {
    const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) {
      ::DestroyWindow(g_box.box);
      break;
    }
    if (got == 0) {
      quit = true;
      quitCode = msg.wParam;
      continue;
    }
    if (FilterKey(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  // The box also goes without being closed when its owner is destroyed.
  if (g_box.previousActive && ::IsWindow(g_box.previousActive) && !::IsWindowEnabled(g_box.previousActive))
    ::EnableWindow(g_box.previousActive, TRUE);
  // Only possible once the window is gone, so not while it is destroyed.
  ::UnregisterClassA(kMsgBoxClassName, Instance());
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  return g_box.result;
}

}  // namespace

void SetMsgBoxFont(std::string_view faceName, int sizePoints, int charset) {
  FontSettings& s = Settings();
  s.face = std::string(faceName);
  s.charset = charset;
  if (sizePoints != 0) s.sizePoints = sizePoints;
}

int ShowMsgBox(HWND owner, std::string_view text, std::string_view title, int timeoutMs, uint32_t flags,
               std::string_view captions) {
  bool idle = false;
  if (!g_boxShown.compare_exchange_strong(idle, true)) {
    Trace("%lu ShowMsgBox: another box is up", ::GetCurrentProcessId());
    return 0;
  }
  int result = 0;
  try {
    result = RunBox(owner, text, title, timeoutMs, flags, captions);
  } catch (const std::exception& e) {
    ReportException(e, "ShowMsgBox", "");
  } catch (...) {
    ReportException(std::bad_exception(), "ShowMsgBox", "");
  }
  g_boxShown = false;
  return result;
}

int MsgBoxGeneric(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, uint32_t style,
                  int charset, std::string_view captions) {
  try {
    const uint32_t flags = MsgBoxGenericFlags(mode, style, charset);
    const std::string shown = MsgBoxGenericText(mode, text, title);
    const HWND owner = mode > 2 ? reinterpret_cast<HWND>(mode) : ::GetActiveWindow();
    const int result =
        ShowMsgBox(owner, shown, title, timeoutMs, flags, captions.empty() ? DefaultLanguageText("BtnText") : captions);
    DelayPump(0, 100);
    return result;
  } catch (const std::exception& e) {
    ReportException(e, "MsgBoxGeneric", "");
  } catch (...) {
    ReportException(std::bad_exception(), "MsgBoxGeneric", "");
  }
  return 0;
}

namespace {

std::string TitleOr(std::string_view title, int item) {
  return title.empty() ? SUB::Item(kMsgBoxTitles, item) : std::string(title);
}

}  // namespace

void MsgBoxError(intptr_t mode, std::string_view text, std::string_view title, int charset, std::string_view captions) {
  MsgBoxGeneric(mode, text, TitleOr(title, 0), 0, kMbIconHand | kMbOk, charset, captions);
}

void MsgBoxAttention(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, int charset,
                     std::string_view captions) {
  MsgBoxGeneric(mode, text, TitleOr(title, 1), timeoutMs, kMbIconExclamation | kMbOk, charset, captions);
}

bool MsgBoxConfirm(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, int charset,
                   std::string_view captions) {
  return MsgBoxGeneric(mode, text, TitleOr(title, 2), timeoutMs, kMbIconQuestion | kMbYesNo, charset, captions) ==
         kIdYes;
}

bool MsgBoxConfirmOk(intptr_t mode, std::string_view text, std::string_view title, int charset,
                     std::string_view captions) {
  return MsgBoxGeneric(mode, text, TitleOr(title, 2), 0, kMbIconQuestion | kMbOkCancel, charset, captions) == kIdOk;
}

}  // namespace tarnix
