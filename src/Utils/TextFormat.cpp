#include "Utils/TextFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnix {

namespace {

// Wider fields than this are no trace line's; the bound keeps a hostile
// format from asking for gigabytes.
constexpr int kMaxField = 4096;

struct FieldFormat {
  bool left = false, zero = false, plus = false, space = false, alternate = false;
  int width = 0;
  int precision = -1;  // none
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int ReadNumber(const char*& p) {
  int n = 0;
  for (; IsDigit(*p); ++p) n = std::min(n * 10 + (*p - '0'), kMaxField);
  return n;
}

// `prefix` (a sign or "0x") and `body` padded to the field's width.
void AppendField(std::string& out, const FieldFormat& field, std::string_view prefix, std::string_view body,
                 bool zeroPadding) {
  const size_t width = size_t(std::max(field.width, 0));
  const size_t fill = width > prefix.size() + body.size() ? width - prefix.size() - body.size() : 0;
  if (!field.left && !zeroPadding) out.append(fill, ' ');
  out.append(prefix);
  if (!field.left && zeroPadding) out.append(fill, '0');
  out.append(body);
  if (field.left) out.append(fill, ' ');
}

void AppendInteger(std::string& out, const FieldFormat& field, uint64_t magnitude, bool negative, char conversion) {
  const bool hex = conversion == 'x' || conversion == 'X';
  const char* digitsOf = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string digits;
  for (uint64_t n = magnitude; n > 0; n /= hex ? 16 : 10) digits.insert(digits.begin(), digitsOf[n % (hex ? 16 : 10)]);
  // The precision is the least number of digits; 0 with a precision of 0
  // has none.
  const size_t least = field.precision < 0 ? 1 : size_t(field.precision);
  if (digits.size() < least) digits.insert(0, least - digits.size(), '0');
  std::string_view prefix;
  if (negative)
    prefix = "-";
  else if (conversion == 'd' || conversion == 'i')
    prefix = field.plus ? "+" : field.space ? " " : "";
  else if (field.alternate && hex && magnitude != 0)
    prefix = conversion == 'X' ? "0X" : "0x";
  AppendField(out, field, prefix, digits, field.zero && !field.left && field.precision < 0);
}

// The argument's type, as promoted: char and short arrive as int and are
// cut back to their own size.
enum class Length { Char, Short, Int, Long, LongLong, Max, Size };

Length ReadLength(const char*& p) {
  if (p[0] == 'h' && p[1] == 'h') return p += 2, Length::Char;
  if (p[0] == 'l' && p[1] == 'l') return p += 2, Length::LongLong;
  switch (*p) {
    case 'h': return ++p, Length::Short;
    case 'l': return ++p, Length::Long;
    case 'j': return ++p, Length::Max;
    case 'z':
    case 't': return ++p, Length::Size;
    default: return Length::Int;
  }
}

}  // namespace

std::string FormatTextV(const char* format, va_list args) {
  std::string out;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char* start = p++;
    FieldFormat field;
    for (;; ++p) {
      if (*p == '-')
        field.left = true;
      else if (*p == '0')
        field.zero = true;
      else if (*p == '+')
        field.plus = true;
      else if (*p == ' ')
        field.space = true;
      else if (*p == '#')
        field.alternate = true;
      else
        break;
    }
    if (*p == '*') {
      ++p;
      field.width = std::clamp(va_arg(args, int), -kMaxField, kMaxField);
      // A negative width from the arguments means a "-" flag.
      if (field.width < 0) {
        field.left = true;
        field.width = -field.width;
      }
    } else {
      field.width = ReadNumber(p);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        ++p;
        field.precision = std::min(va_arg(args, int), kMaxField);
      } else {
        field.precision = ReadNumber(p);
      }
    }
    const Length length = ReadLength(p);
    switch (*p) {
      case 'd':
      case 'i': {
        int64_t n = length == Length::Long       ? va_arg(args, long)
                    : length == Length::LongLong ? va_arg(args, long long)
                    : length == Length::Max      ? va_arg(args, intmax_t)
                    : length == Length::Size     ? va_arg(args, ptrdiff_t)
                                                 : va_arg(args, int);
        if (length == Length::Char) n = static_cast<signed char>(n);
        if (length == Length::Short) n = static_cast<short>(n);
        AppendInteger(out, field, n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n), n < 0, *p);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        uint64_t n = length == Length::Long       ? va_arg(args, unsigned long)
                     : length == Length::LongLong ? va_arg(args, unsigned long long)
                     : length == Length::Max      ? va_arg(args, uintmax_t)
                     : length == Length::Size     ? va_arg(args, size_t)
                                                  : va_arg(args, unsigned);
        if (length == Length::Char) n = static_cast<unsigned char>(n);
        if (length == Length::Short) n = static_cast<unsigned short>(n);
        AppendInteger(out, field, n, false, *p);
        break;
      }
      case 'c': {
        const char c = static_cast<char>(va_arg(args, int));
        AppendField(out, field, "", std::string_view(&c, 1), false);
        break;
      }
      case 's': {
        const char* s = va_arg(args, const char*);
        if (s == nullptr) s = "(null)";
        // With a precision the text need not end within it.
        size_t size = 0;
        while ((field.precision < 0 || size < size_t(field.precision)) && s[size] != '\0') ++size;
        AppendField(out, field, "", std::string_view(s, size), false);
        break;
      }
      case '%':
        out += '%';
        break;
      default:
        // Not a conversion of ours, or the format ends inside one.
        out.append(start, size_t(p - start) + (*p != '\0' ? 1 : 0));
        if (*p == '\0') return out;
    }
  }
  return out;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

}  // namespace tarnix
