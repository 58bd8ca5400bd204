#include "Utils/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tarnix {

namespace {

void WriteToStdout(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

TextSink g_standardOutput = &WriteToStdout;

// The whole line goes out in one write, so a line from another thread cannot
// land in the middle of it.
void WriteLine(std::string line) {
  line += '\n';
  WriteStandardOutput(line);
}

std::string FormatV(const char* format, va_list args) noexcept {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string out;
  if (length <= 0) return out;
  try {
    out.resize(static_cast<size_t>(length) + 1);
  } catch (...) {
    return {};
  }
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace

TextSink SetStandardOutput(TextSink sink) {
  const TextSink previous = g_standardOutput;
  g_standardOutput = sink != nullptr ? sink : &WriteToStdout;
  return previous;
}

void WriteStandardOutput(std::string_view text) { g_standardOutput(text); }

void Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = FormatV(format, args);
  va_end(args);
  try {
    WriteLine(std::move(line));
  } catch (...) {
  }
}

void ReportException(const std::exception& e, std::string_view where, std::string_view extra) {
  try {
    std::string line = " --- ";
    line += where;
    if (!extra.empty()) {
      line += " --- ";
      line += extra;
    }
    line += " --- ";
    line += e.what();
    WriteLine(std::move(line));
  } catch (...) {
  }
}

void TraceValues(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
  try {
    std::string line = "[";
    line += a;
    line += "]  [";
    line += b;
    line += "]  [";
    line += c;
    line += "]  [";
    line += d;
    line += "]";
    WriteLine(std::move(line));
  } catch (...) {
  }
}

}  // namespace tarnix
