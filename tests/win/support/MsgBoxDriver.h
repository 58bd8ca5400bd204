// Answers the stub's message boxes from a test: finds the "KvMsgBox" window,
// or a box of another class such as "KvRichEditBox", of a process (another
// one, or this one with the box on another thread), reads its title, text
// and button captions, and presses a button or a key.
// Never call it from the thread that runs the box: it waits for the box.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::test {

class MsgBoxDriver {
 public:
  // Waits up to `timeoutMs` for a visible box of class `className` of
  // process `pid` that has its buttons; nothing when none came.
  static std::optional<MsgBoxDriver> WaitFor(DWORD pid, uint32_t timeoutMs, std::string_view className = "KvMsgBox");

  explicit MsgBoxDriver(HWND box) : box_(box) {}

  HWND Window() const { return box_; }
  // The control that shows the text; null when the box has none.
  HWND TextControl() const;
  // Left to right.
  std::vector<HWND> Buttons() const;

  std::string Title() const;
  // Lines end in CR LF.
  std::string Text() const;
  std::vector<std::string> ButtonCaptions() const;

  // Presses a button as a click would. Captions compare ignoring case and
  // "&", so "Yes" finds "&Yes". False when there is no such button.
  bool PressButton(int index) const;
  bool PressButton(std::string_view caption) const;

  // A key as the keyboard would deliver it to the box: a virtual key
  // (VK_RETURN, 'N' ...), or a character typed with Alt held down.
  bool PressKey(UINT virtualKey) const;
  bool PressAltKey(char c) const;

  // Whether the box has gone within `timeoutMs`.
  bool WaitUntilClosed(uint32_t timeoutMs) const;

 private:
  HWND box_;
};

}  // namespace tarnix::test
