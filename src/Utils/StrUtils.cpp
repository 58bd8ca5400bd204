#include "Utils/StrUtils.h"

#include <algorithm>
#include <limits>

namespace tarnix {

namespace {

char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char Low(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
// Trimming removes blanks and control characters, as the texts of package
// blocks and command lines are trimmed.
bool IsSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

size_t Find(std::string_view text, std::string_view part, size_t from, bool ignoreCase) {
  if (part.empty() || part.size() > text.size() || from > text.size() - part.size())
    return std::string_view::npos;
  if (!ignoreCase) return text.find(part, from);
  for (size_t i = from; i + part.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < part.size() && Up(text[i + k]) == Up(part[k])) ++k;
    if (k == part.size()) return i;
  }
  return std::string_view::npos;
}

std::string Replace(std::string_view text, std::string_view find, std::string_view repl, bool ignoreCase) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    size_t hit = Find(text, find, pos, ignoreCase);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(repl);
    pos = hit + find.size();
  }
  out.append(text.substr(pos));
  return out;
}

int HexDigit(char c) {
  c = Up(c);
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Up(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Low(c);
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Up(x) == Up(y); });
}

bool SameTextTrim(std::string_view a, std::string_view b) { return SameText(Trim(a), Trim(b)); }

size_t PosCI(std::string_view part, std::string_view text) {
  size_t hit = Find(text, part, 0, true);
  return hit == std::string_view::npos ? 0 : hit + 1;
}

size_t PosFrom(std::string_view part, std::string_view text, size_t start, bool ignoreCase) {
  if (start < 1 || part.empty() || text.empty()) return 0;
  size_t hit = Find(text, part, start - 1, ignoreCase);
  return hit == std::string_view::npos ? 0 : hit + 1;
}

size_t LastPos(std::string_view part, std::string_view text) {
  if (part.empty()) return 0;
  size_t hit = text.rfind(part);
  return hit == std::string_view::npos ? 0 : hit + 1;
}

bool StartsWith(std::string_view prefix, std::string_view text, bool ignoreCase) {
  if (prefix.size() > text.size()) return false;
  auto head = text.substr(0, prefix.size());
  return ignoreCase ? SameText(head, prefix) : head == prefix;
}

bool EndsWith(std::string_view suffix, std::string_view text, bool ignoreCase) {
  if (suffix.size() > text.size()) return false;
  auto tail = text.substr(text.size() - suffix.size());
  return ignoreCase ? SameText(tail, suffix) : tail == suffix;
}

std::string TextBefore(std::string_view text, std::string_view sep, std::string_view def, bool trim) {
  size_t hit = sep.empty() ? std::string_view::npos : text.find(sep);
  std::string r(hit == std::string_view::npos ? def : text.substr(0, hit));
  return trim ? Trim(r) : r;
}

std::string TextAfter(std::string_view text, std::string_view sep, std::string_view def, bool trim) {
  size_t hit = sep.empty() ? std::string_view::npos : text.find(sep);
  std::string r(hit == std::string_view::npos ? def : text.substr(hit + sep.size()));
  return trim ? Trim(r) : r;
}

std::string ReplaceChar(std::string_view text, char from, char to) {
  std::string r(text);
  std::replace(r.begin(), r.end(), from, to);
  return r;
}

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view repl) {
  return Replace(text, find, repl, false);
}

std::string ReplaceAllCI(std::string_view text, std::string_view find, std::string_view repl) {
  return Replace(text, find, repl, true);
}

const char* BoolText(bool b) { return b ? "TRUE" : "FALSE"; }
char BoolDigit(bool b) { return b ? '1' : '0'; }

bool ParseInt64(std::string_view text, int64_t& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (t[0] == '+' || t[0] == '-') {
    neg = t[0] == '-';
    i = 1;
  }
  if (i == t.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = neg ? uint64_t(std::numeric_limits<int64_t>::max()) + 1 : uint64_t(std::numeric_limits<int64_t>::max());
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    uint64_t d = uint64_t(t[i] - '0');
    if (v > (limit - d) / 10) return false;
    v = v * 10 + d;
  }
  out = neg ? int64_t(0 - v) : int64_t(v);
  return true;
}

int64_t StrToInt64Def(std::string_view text, int64_t def) {
  int64_t v;
  return ParseInt64(text, v) ? v : def;
}

int64_t StrToIntBase(std::string_view text, int base, int64_t def) {
  std::string t = UpperCase(Trim(text));
  // Wrapping arithmetic: the rule accepts digits at or above the base, so a
  // long text may exceed 64 bits; it must not be undefined behaviour.
  uint64_t value = 0, power = 1;
  for (size_t i = t.size(); i-- > 0;) {
    int d = HexDigit(t[i]);
    if (d < 0) return def;
    value += uint64_t(d) * power;
    power *= uint64_t(base);
  }
  return int64_t(value);
}

int64_t HexToInt(std::string_view text, int64_t def) {
  std::string t = Trim(text);
  if (StartsWith("0x", t, true)) t.erase(0, 2);
  return StrToIntBase(t, 16, def);
}

std::string BytesToHex(std::string_view bytes, bool blankSeparated, bool prefix0x) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string r;
  r.reserve(bytes.size() * (2 + (blankSeparated ? 1 : 0) + (prefix0x ? 2 : 0)));
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (prefix0x) r += "0x";
    r += kDigits[b >> 4];
    r += kDigits[b & 15];
    if (blankSeparated) {
      r += ' ';
      if ((i + 1) % 8 == 0) r += ' ';
    }
  }
  return r;
}

std::string HexToBytes(std::string_view hex) {
  std::string r;
  r.reserve(hex.size() / 2 + 1);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]);
    int lo = i + 1 < hex.size() ? HexDigit(hex[i + 1]) : -2;
    if (lo == -2)  // a lone last digit is a pair of its own
      r += hi < 0 ? char(0xFF) : char(hi);
    else
      r += (hi < 0 || lo < 0) ? char(0xFF) : char(hi * 16 + lo);
  }
  return r;
}

}  // namespace tarnix
