// The debug channel: everything the program writes to its standard output
// goes through a text device that hands it, in pieces of at most 128
// characters, to a debug viewer window when one runs (and, in the debug file
// modes, to a fixed file). The stub has no console, so this is the only place
// where its standard output can be seen. The device is no std::streambuf on
// purpose: a stream buffer drags the whole locale machinery of the C++
// library into the stub and more than doubles its size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "Utils/Trace.h"

namespace tarnix {

// 0: viewer window only; 1: debug file only; 2: both; anything else: nothing.
inline constexpr uint8_t kDebugMode = 0;
inline constexpr uint16_t kDebugChannelId = 1;
inline constexpr const char* kDebugFile = "C:\\ProgramData\\_kvdebug.txt";
inline constexpr const char* kDebugViewerClass = ".KvDebug.";
inline constexpr const char* kDebugViewerMessage = ".Kv_DebugMsg.";
inline constexpr size_t kDebugBufferSize = 128;

struct DebugTargets {
  bool file;
  bool viewer;
};
DebugTargets DebugTargetsFor(uint8_t mode);

// Every CR LF, lone CR and lone LF becomes CR LF.
std::string NormalizeLineEnds(std::string_view text);

// Collects text and hands it on in pieces: each completed line with its line
// end, and every full buffer of a longer line. A lone LF is written as CR LF,
// as a text device on Windows does. Text without a line end waits for more
// or for Flush.
class DebugTextCutter {
 public:
  using HandOver = std::function<void(std::string_view piece)>;

  explicit DebugTextCutter(HandOver handOver) : handOver_(std::move(handOver)) {}

  void Write(std::string_view text);
  void Flush();
  size_t Buffered() const { return size_; }

 private:
  void Put(char c);

  HandOver handOver_;
  std::array<char, kDebugBufferSize> buffer_{};
  size_t size_ = 0;
  bool lastWasCr_ = false;
};

// Windows only. Makes the process's debug text device its standard output
// (where Trace and the other formatters write) and registers the viewer
// message; returns the output it replaced.
TextSink InstallDebugOutput();

// Windows only. Sends one piece of text by the shipped mode.
void DispatchDebugText(std::string_view text);
// Windows only. The same by `mode`, with `debugFile` for the file modes.
void DispatchDebugTextTo(std::string_view text, uint8_t mode, const char* debugFile);

// Windows only. The id of the registered viewer message.
unsigned DebugViewerMessageId();

}  // namespace tarnix
