#include "win/support/MsgBoxDriver.h"

#include <algorithm>
#include <cctype>

namespace tarnix::test {

namespace {

constexpr DWORD kPollMs = 20;
// Reading a window of a hung process must not hang the test.
constexpr UINT kSendTimeoutMs = 5000;

std::string ClassOf(HWND window) {
  char name[256] = {};
  ::GetClassNameA(window, name, sizeof(name));
  return name;
}

// WM_GETTEXT works across processes for the system's controls and for
// window captions.
std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  return text;
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  if (parent) ::EnumChildWindows(parent, AddChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsButton(HWND window) { return ::lstrcmpiA(ClassOf(window).c_str(), "Button") == 0; }

std::string Plain(std::string_view caption) {
  std::string r;
  for (char c : caption)
    if (c != '&') r += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

struct Search {
  DWORD pid;
  std::string_view className;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || ClassOf(window) != search->className || !::IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

std::optional<MsgBoxDriver> MsgBoxDriver::WaitFor(DWORD pid, uint32_t timeoutMs, std::string_view className) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    Search search = {pid, className, nullptr};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    // The box's thread answers a sent message only once it waits in its
    // message loop, that is when text and buttons are all in place.
    if (search.found && ::SendMessageTimeoutA(search.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr))
      return MsgBoxDriver(search.found);
    if (::GetTickCount() - start > timeoutMs) return std::nullopt;
    ::Sleep(kPollMs);
  }
}

HWND MsgBoxDriver::TextControl() const {
  for (HWND child : Children(box_))
    if (!IsButton(child)) return child;
  return nullptr;
}

std::vector<HWND> MsgBoxDriver::Buttons() const {
  std::vector<HWND> buttons;
  for (HWND child : Children(box_))
    if (IsButton(child)) buttons.push_back(child);
  std::sort(buttons.begin(), buttons.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    ::GetWindowRect(a, &ra);
    ::GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  return buttons;
}

std::string MsgBoxDriver::Title() const { return TextOf(box_); }

std::string MsgBoxDriver::Text() const {
  const HWND text = TextControl();
  return text ? TextOf(text) : std::string();
}

std::vector<std::string> MsgBoxDriver::ButtonCaptions() const {
  std::vector<std::string> captions;
  for (HWND b : Buttons()) captions.push_back(TextOf(b));
  return captions;
}

bool MsgBoxDriver::PressButton(int index) const {
  const std::vector<HWND> buttons = Buttons();
  if (index < 0 || index >= static_cast<int>(buttons.size())) return false;
  // What a click makes the button send. Posted, so that a box of another
  // thread or process is never waited for.
  const HWND b = buttons[index];
  return ::PostMessageA(box_, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(b), BN_CLICKED), reinterpret_cast<LPARAM>(b));
}

bool MsgBoxDriver::PressButton(std::string_view caption) const {
  const std::vector<std::string> captions = ButtonCaptions();
  for (size_t i = 0; i < captions.size(); ++i)
    if (Plain(captions[i]) == Plain(caption)) return PressButton(static_cast<int>(i));
  return false;
}

bool MsgBoxDriver::PressKey(UINT virtualKey) const {
  const UINT scan = ::MapVirtualKeyA(virtualKey, 0);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  const LPARAM up = down | (1 << 30) | (static_cast<LPARAM>(1) << 31);
  if (!::PostMessageA(box_, WM_KEYDOWN, virtualKey, down)) return false;
  // The key may already have closed the box; the release is then moot.
  ::PostMessageA(box_, WM_KEYUP, virtualKey, up);
  return true;
}

bool MsgBoxDriver::PressAltKey(char c) const {
  // Bit 29: the Alt key is down; TranslateMessage would have made this
  // from the WM_SYSKEYDOWN.
  return ::PostMessageA(box_, WM_SYSCHAR, static_cast<unsigned char>(c), 1 | (1 << 29));
}

bool MsgBoxDriver::WaitUntilClosed(uint32_t timeoutMs) const {
  const DWORD start = ::GetTickCount();
  while (::IsWindow(box_)) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(kPollMs);
  }
  return true;
}

}  // namespace tarnix::test
