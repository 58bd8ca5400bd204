// Trace lines on the process's standard output, which in the stub is the
// debug channel.
#pragma once

#include <exception>
#include <string_view>

#include "Utils/TextFormat.h"

namespace tarnix {

using TextSink = void (*)(std::string_view text);

// Where standard-output text goes: C stdout until another sink is set.
// Returns the sink it replaces.
TextSink SetStandardOutput(TextSink sink);
void WriteStandardOutput(std::string_view text);

// One line, formatted by FormatText.
void Trace(const char* format, ...) TARNIX_PRINTF_FORMAT(1, 2);

// " --- <where> --- <extra> --- <message>", the extra part only when given.
void ReportException(const std::exception& e, std::string_view where, std::string_view extra);

// "[a]  [b]  [c]  [d]".
void TraceValues(std::string_view a, std::string_view b, std::string_view c, std::string_view d);

}  // namespace tarnix
