#include <windows.h>

#include <string>

#include "Utils/DebugChannel.h"
#include "Utils/FileUtils.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

namespace {

class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section_(section) { ::EnterCriticalSection(&section_); }
  ~CriticalSectionGuard() { ::LeaveCriticalSection(&section_); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

// The process's device. Writes and hand-overs of all threads pass one
// critical section, so each thread's text reaches the viewer in whole
// pieces and in the order it was written.
class SerialDebugDevice {
 public:
  SerialDebugDevice() { ::InitializeCriticalSection(&section_); }
  ~SerialDebugDevice() { ::DeleteCriticalSection(&section_); }
  SerialDebugDevice(const SerialDebugDevice&) = delete;
  SerialDebugDevice& operator=(const SerialDebugDevice&) = delete;

  void Write(std::string_view text) {
    CriticalSectionGuard guard(section_);
    cutter_.Write(text);
  }

 private:
  CRITICAL_SECTION section_;
  DebugTextCutter cutter_{&DispatchDebugText};
};

SerialDebugDevice& Device() {
  // Never destroyed: text written while the process ends still needs it.
  static SerialDebugDevice* const device = new SerialDebugDevice;
  return *device;
}

void WriteToDevice(std::string_view text) { Device().Write(text); }

constexpr UINT kViewerTimeoutMs = 1000;

void SendToViewer(const std::string& text) {
  const HWND viewer = ::FindWindowA(kDebugViewerClass, nullptr);
  if (viewer == nullptr || text.empty()) return;
  // The viewer reads the text while it handles the message, so the atom
  // lives until the send returns. A viewer that stops answering must not
  // stop the program: after a second the piece is given up.
  UniqueGlobalAtom atom(::GlobalAddAtomA(text.c_str()));
  if (!atom) return;
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(viewer, DebugViewerMessageId(), kDebugChannelId, atom.get(), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        kViewerTimeoutMs, &result);
}

}  // namespace

unsigned DebugViewerMessageId() {
  static const UINT id = ::RegisterWindowMessageA(kDebugViewerMessage);
  return id;
}

void DispatchDebugTextTo(std::string_view text, uint8_t mode, const char* debugFile) {
  try {
    const DebugTargets targets = DebugTargetsFor(mode);
    if (targets.file) AppendFileText(debugFile, NormalizeLineEnds(text));
    if (targets.viewer) SendToViewer(std::string(text));
  } catch (...) {
  }
}

void DispatchDebugText(std::string_view text) { DispatchDebugTextTo(text, kDebugMode, kDebugFile); }

TextSink InstallDebugOutput() {
  DebugViewerMessageId();
  Device();
  return SetStandardOutput(&WriteToDevice);
}

}  // namespace tarnix
