// Shows the debug channel of Tarnix programs: owns the viewer window and
// writes every piece of text it receives, in order, to standard output or
// to a file.
//
//   debug-viewer [--out FILE] [--channel N] [--seconds N]
//
// --out      write to FILE (created or emptied) instead of standard output
// --channel  keep only the text sent with this channel id
// --seconds  end after N seconds; otherwise on Ctrl+C or when the window is
//            asked to close
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "DebugReceiver.h"
#include "Utils/DebugChannel.h"
#include "Utils/StrUtils.h"

namespace {

struct Options {
  std::string outPath;
  std::optional<uint16_t> channel;
  std::optional<DWORD> seconds;
};

constexpr int kUsageError = 2;

bool ParseNumber(std::string_view text, int64_t low, int64_t high, int64_t& out) {
  return tarnix::ParseInt64(text, out) && out >= low && out <= high;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc) return false;
    const std::string_view value = argv[++i];
    int64_t number = 0;
    if (name == "--out" && !value.empty()) {
      options.outPath = value;
    } else if (name == "--channel" && ParseNumber(value, 0, 0xFFFF, number)) {
      options.channel = static_cast<uint16_t>(number);
    } else if (name == "--seconds" && ParseNumber(value, 1, 86400 * 7, number)) {
      options.seconds = static_cast<DWORD>(number);
    } else {
      return false;
    }
  }
  return true;
}

DWORD g_mainThread = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  ::PostThreadMessageA(g_mainThread, WM_QUIT, 0, 0);
  return TRUE;
}

// Pumps messages until WM_QUIT or the deadline.
void RunLoop(std::optional<DWORD> seconds) {
  const DWORD start = ::GetTickCount();
  const DWORD limit = seconds ? *seconds * 1000 : 0;
  for (;;) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    DWORD wait = INFINITE;
    if (seconds) {
      // Unsigned differences stay right across the tick counter's wrap.
      const DWORD elapsed = ::GetTickCount() - start;
      if (elapsed >= limit) return;
      wait = limit - elapsed;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs("usage: debug-viewer [--out FILE] [--channel N] [--seconds N]\n", stderr);
    return kUsageError;
  }
  if (::FindWindowA(tarnix::kDebugViewerClass, nullptr) != nullptr) {
    std::fputs("debug-viewer: another debug viewer is running\n", stderr);
    return 1;
  }

  std::FILE* out = stdout;
  if (!options.outPath.empty()) {
    out = std::fopen(options.outPath.c_str(), "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "debug-viewer: cannot create %s\n", options.outPath.c_str());
      return 1;
    }
  } else {
    // The pieces carry their own CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
  }

  g_mainThread = ::GetCurrentThreadId();
  tarnix::DebugReceiver receiver(
      [&](uint16_t channel, const std::string& text) {
        if (options.channel && channel != *options.channel) return;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fflush(out);
      },
      [] { ::PostQuitMessage(0); });
  if (receiver.Window() == nullptr) {
    std::fputs("debug-viewer: cannot create the viewer window\n", stderr);
    return 1;
  }
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  RunLoop(options.seconds);
  ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  if (out != stdout) std::fclose(out);
  return 0;
}
