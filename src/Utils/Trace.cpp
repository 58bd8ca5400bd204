#include "Utils/Trace.h"

#include "Utils/TextFormat.h"

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
  try {
    WriteLine(FormatTextV(format, args));
  } catch (...) {
  }
  va_end(args);
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
