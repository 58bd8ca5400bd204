#include "Utils/StrUtils.h"

#include "Utils/DecimalConversion.h"
#include "Utils/RandomSeed.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>

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

// Occurrences `first` to `last` (1-based) replaced; both 0 means all.
std::string Replace(std::string_view text, std::string_view find, std::string_view repl, int last, int first,
                    bool ignoreCase) {
  if (find.empty()) return std::string(text);
  if (last <= 0) last = first;
  const bool all = first == 0 && last == 0;
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (int number = 1;; ++number) {
    const size_t hit = Find(text, find, pos, ignoreCase);
    if (hit == std::string_view::npos) break;
    const bool replace = all || (number >= first && number <= last);
    out.append(text.substr(pos, hit - pos));
    out.append(replace ? repl : text.substr(hit, find.size()));
    pos = hit + find.size();
    if (!all && number >= last) break;
  }
  out.append(text.substr(pos));
  return out;
}

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

// A 256-entry membership table of the bytes of `set`.
std::array<bool, 256> ByteSet(std::string_view set) {
  std::array<bool, 256> member{};
  for (char c : set) member[static_cast<unsigned char>(c)] = true;
  return member;
}

int HexDigit(char c) {
  c = Up(c);
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Fixed notation with "." as the decimal point, independent of any locale.
// Rounds the shortest text that reads back as `value` half away from zero,
// so 0.15 gives 0.2 as a reader expects, and no digits beyond the double's
// precision appear.
std::string FixedText(double value, int decimals) {
  const std::string shortest = ShortestFixedText(value);
  if (!std::isfinite(value)) return shortest;
  std::string_view text = shortest;
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  const size_t point = std::min(text.find('.'), text.size());
  const std::string_view fraction = point < text.size() ? text.substr(point + 1) : std::string_view();
  const size_t places = size_t(decimals);
  const bool roundUp = fraction.size() > places && fraction[places] >= '5';
  std::string digits(text.substr(0, point));
  digits.append(fraction.substr(0, std::min(places, fraction.size())));
  digits.append(places - std::min(places, fraction.size()), '0');
  if (roundUp) {
    size_t i = digits.size();
    for (; i > 0 && digits[i - 1] == '9'; --i) digits[i - 1] = '0';
    if (i == 0)
      digits.insert(0, 1, '1');
    else
      ++digits[i - 1];
  }
  std::string r = digits.substr(0, digits.size() - places);
  if (places > 0) r += '.' + digits.substr(digits.size() - places);
  // A value that rounds to zero is written without its sign.
  if (negative && digits.find_first_not_of('0') != std::string::npos) r.insert(0, 1, '-');
  return r;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
  if (prefix.empty() || prefix.size() > text.size()) return false;
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
  return Replace(text, find, repl, 0, 0, false);
}

std::string ReplaceAllCI(std::string_view text, std::string_view find, std::string_view repl) {
  return Replace(text, find, repl, 0, 0, true);
}

std::string ReverseText(std::string_view text) { return std::string(text.rbegin(), text.rend()); }

std::string StripChar(std::string_view text, char c, bool always) {
  if (text.empty() || !(always || (text.front() == c && text.back() == c))) return std::string(text);
  const size_t b = text.find_first_not_of(c);
  if (b == std::string_view::npos) return {};
  return std::string(text.substr(b, text.find_last_not_of(c) + 1 - b));
}

std::string Unquote(std::string_view text, bool always) { return StripChar(Trim(text), '"', always); }

std::string Quote(std::string_view text) { return '"' + Unquote(text, true) + '"'; }

std::string Enclose(std::string_view text, char c, bool stripFirst) {
  return c + (stripFirst ? StripChar(text, c, true) : std::string(text)) + c;
}

std::string FilterChars(std::string_view text, std::string_view allowed, std::string_view removed) {
  std::array<bool, 256> keep = ByteSet(allowed);
  for (char c : removed) keep[static_cast<unsigned char>(c)] = false;
  std::string r;
  for (char c : text)
    if (keep[static_cast<unsigned char>(c)]) r += c;
  return r;
}

std::string ReplaceText(std::string_view text, std::string_view find, std::string_view repl, int last, int first,
                        bool trim) {
  if (!Contains(text, find)) return std::string(text);
  std::string r = Replace(text, find, repl, last, first, false);
  return trim ? Trim(r) : r;
}

std::string ReplaceTextCI(std::string_view text, std::string_view find, std::string_view repl, int last, int first,
                          bool trim) {
  std::string r = Replace(text, find, repl, last, first, true);
  return trim ? Trim(r) : r;
}

std::string ReplaceRepeated(std::string_view text, std::string_view find, std::string_view repl, bool trim) {
  if (!Contains(text, find) || Contains(repl, find)) return trim ? Trim(text) : std::string(text);
  // One pass instead of a search from the start after every replacement. The
  // text already read (`done`) never holds an occurrence, so the first one to
  // complete at its end is the first of the whole text; after replacing it,
  // the scan steps back over the characters that could join the replacement
  // to form a new one.
  // A replacement that keeps re-forming occurrences could grow the text
  // without end: it stops growing at the size reached by replacing every
  // possible occurrence of the original text once.
  const size_t limit = text.size() + (text.size() / find.size() + 1) * repl.size();
  std::string done;
  done.reserve(text.size());
  std::string pending(text.rbegin(), text.rend());  // the next character is at the back
  while (!pending.empty()) {
    done += pending.back();
    pending.pop_back();
    if (done.size() < find.size() || done.compare(done.size() - find.size(), find.size(), find) != 0) continue;
    if (done.size() - find.size() + repl.size() + pending.size() > limit) break;
    done.resize(done.size() - find.size());
    pending.append(repl.rbegin(), repl.rend());
    const size_t back = std::min(done.size(), find.size() - 1);
    pending.append(done.rbegin(), done.rbegin() + static_cast<std::ptrdiff_t>(back));
    done.resize(done.size() - back);
  }
  done.append(pending.rbegin(), pending.rend());
  return trim ? Trim(done) : done;
}

std::string ExpandEscapes(std::string_view text) {
  std::string r = ReplaceAll(text, "\\\\n", "\r\n");
  r = ReplaceAll(r, "\\\\t", "\t");
  r = ReplaceAllCI(r, "<P>", "\r\n");
  return ReplaceAllCI(r, "<T>", "\t");
}

std::string PadLeft(std::string_view text, int width, char fill) {
  if (width >= -2 && width <= 0) return std::string(text);
  std::string r(text);
  const size_t w = width < 0 ? size_t(-int64_t(width)) : size_t(width);
  if (width < 0 && r.size() > w) {
    r.resize(w - 1);
    r += '.';
  }
  if (r.size() < w) r.insert(0, w - r.size(), fill);
  return r;
}

std::string ZeroPad(std::string_view text, int width) {
  std::string r(text);
  if (width > 0 && r.size() < size_t(width)) r.insert(0, size_t(width) - r.size(), '0');
  return r;
}

std::string IntToZeroPad(int64_t value, int width) { return ZeroPad(std::to_string(value), width); }

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

std::string AddThousandsSep(std::string_view number) {
  const size_t end = std::min(number.find('.'), number.size());
  size_t start = end;
  while (start > 0 && IsDigit(number[start - 1])) --start;
  std::string r(number.substr(0, start));
  for (size_t i = start; i < end; ++i) {
    if (i > start && (end - i) % 3 == 0) r += ',';
    r += number[i];
  }
  r.append(number.substr(end));
  return r;
}

std::string SizeText(int64_t value, int64_t unit, int decimals, bool thousands) {
  // A unit below 1 would divide by zero; such a size is counted in bytes.
  if (unit < 1) unit = 1;
  std::string r;
  if (decimals < 1) {
    // Rounded up: a byte over a unit counts as one more unit.
    r = std::to_string(value / unit + (value % unit > 0 ? 1 : 0));
  } else {
    r = FixedText(double(value) / double(unit), 1);
  }
  return thousands ? AddThousandsSep(r) : r;
}

std::string KBText(bool thousands, int decimals, int64_t value) { return SizeText(value, 1024, decimals, thousands); }

std::string MBText(bool thousands, int decimals, int64_t value) {
  return SizeText(value, 1048576, decimals, thousands);
}

double TextToFloat(std::string_view text, double def) {
  std::string t(text);
  if (t.find('.') == std::string::npos) std::replace(t.begin(), t.end(), ',', '.');
  t.erase(std::remove(t.begin(), t.end(), ','), t.end());
  t = Trim(t);
  std::string_view n = t;
  // A "+" may stand in front, but not before a "-".
  if (!n.empty() && n[0] == '+') {
    n.remove_prefix(1);
    if (!n.empty() && n[0] == '-') return def;
  }
  double value = 0;
  return ReadDecimal(n, value) ? value : def;
}

std::string FloatToText(double value, int decimals, bool trimZeros, std::string_view decimalSep) {
  std::string r = FixedText(value, std::clamp(decimals, 0, 20));
  if (trimZeros) {
    r = TrimZeros(r);
    if (r == ".") r = "0";
  }
  return ReplaceAll(r, ".", decimalSep);
}

std::string FloatToText(double value, int decimals, bool trimZeros) {
  return FloatToText(value, decimals, trimZeros, UserDecimalSeparator());
}

std::string TrimZeros(std::string_view number) {
  if (number.find('.') == std::string_view::npos) return std::string(number);
  size_t b = 0, e = number.size();
  while (b < e && number[b] == '0') ++b;
  while (e > b && number[e - 1] == '0') --e;
  // The "." is still there, so b < e; it stays in front of bare decimals.
  if (number[b] != '.')
    while (e > b && number[e - 1] == '.') --e;
  return std::string(number.substr(b, e - b));
}

int64_t RandomInRange(int64_t high, int64_t low) {
  if (high <= low) return low;
  std::mt19937_64 rng(RandomSeed());
  const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
  return static_cast<int64_t>(static_cast<uint64_t>(low) + std::uniform_int_distribution<uint64_t>(0, span)(rng));
}

std::string RandomText(int64_t high, int64_t low) { return std::to_string(RandomInRange(high, low)); }

}  // namespace tarnix
