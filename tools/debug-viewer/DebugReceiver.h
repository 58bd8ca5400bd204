// The receiving end of the debug channel: a hidden top-level window of the
// viewer class that reads each piece of text from the global atom it is sent
// with. The debug viewer and the tests share it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "Utils/UniqueResource.h"

namespace tarnix {

class DebugReceiver {
 public:
  using OnText = std::function<void(uint16_t channel, const std::string& text)>;
  using OnClose = std::function<void()>;

  // `onText` runs on the thread that created the receiver, while it pumps
  // messages; `onClose` when the window is asked to close.
  explicit DebugReceiver(OnText onText, OnClose onClose = nullptr);

  DebugReceiver(const DebugReceiver&) = delete;
  DebugReceiver& operator=(const DebugReceiver&) = delete;

  // Null when the window could not be created.
  HWND Window() const { return window_.get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Handle(UINT message, WPARAM wParam, LPARAM lParam);

  OnText onText_;
  OnClose onClose_;
  UINT textMessage_;
  UniqueWindow window_;
};

}  // namespace tarnix
