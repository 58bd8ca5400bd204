#include "DebugReceiver.h"

#include "Utils/DebugChannel.h"

namespace tarnix {

namespace {

// An atom holds at most 255 characters.
constexpr int kAtomTextSize = 256;

bool RegisterReceiverClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kDebugViewerClass;
  return ::RegisterClassA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

DebugReceiver::DebugReceiver(OnText onText, OnClose onClose)
    : onText_(std::move(onText)),
      onClose_(std::move(onClose)),
      textMessage_(::RegisterWindowMessageA(kDebugViewerMessage)) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  if (textMessage_ == 0 || !RegisterReceiverClass(instance, &DebugReceiver::WindowProc)) return;
  window_.reset(::CreateWindowExA(0, kDebugViewerClass, "Tarnix debug viewer", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, this));
}

LRESULT CALLBACK DebugReceiver::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<DebugReceiver*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return self->Handle(message, wParam, lParam) ? 0 : ::DefWindowProcA(window, message, wParam, lParam);
}

// True when the message is handled here.
bool DebugReceiver::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  // Exceptions must not unwind through the system's frames.
  try {
    if (message == textMessage_) {
      char text[kAtomTextSize];
      const UINT length = ::GlobalGetAtomNameA(static_cast<ATOM>(lParam), text, sizeof text);
      if (length > 0 && onText_) onText_(LOWORD(wParam), std::string(text, length));
      return true;
    }
    if (message == WM_CLOSE) {
      // The window belongs to this object and goes with it.
      if (onClose_) onClose_();
      return true;
    }
  } catch (...) {
    return true;
  }
  return false;
}

}  // namespace tarnix
