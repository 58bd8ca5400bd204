// printf-style formatting for trace lines and short texts, done here rather
// than by the C library, whose formatter brings its floating-point code
// (some 25 KB) into the stub. It knows the conversions d, i, u, x, X, c, s
// and %%, the flags "-", "0", "+", " " and "#", a width and a precision
// (also as "*") and the length modifiers hh, h, l, ll, j, z and t; anything
// else is copied as it stands.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__MINGW32__)
#define TARNIX_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define TARNIX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace tarnix {

std::string FormatText(const char* format, ...) TARNIX_PRINTF_FORMAT(1, 2);
std::string FormatTextV(const char* format, va_list args);

}  // namespace tarnix
