// Portable text helpers shared by the stub, the builder and the tests.
// Texts are byte strings in the user's ANSI code page; positions are 1-based,
// and "ignoring case" means comparing upper-cased ASCII letters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

std::string Trim(std::string_view s);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
bool SameTextTrim(std::string_view a, std::string_view b);

// Position (1-based) of `part` in `text`, 0 when absent.
size_t PosCI(std::string_view part, std::string_view text);
size_t PosFrom(std::string_view part, std::string_view text, size_t start, bool ignoreCase);
size_t LastPos(std::string_view part, std::string_view text);

// An empty prefix is never found; an empty suffix always matches.
bool StartsWith(std::string_view prefix, std::string_view text, bool ignoreCase);
bool EndsWith(std::string_view suffix, std::string_view text, bool ignoreCase);

std::string TextBefore(std::string_view text, std::string_view sep, std::string_view def, bool trim);
std::string TextAfter(std::string_view text, std::string_view sep, std::string_view def, bool trim);

std::string ReverseText(std::string_view text);

// Windows only: whether `c` starts a double-byte character in the user's
// code page.
#ifdef _WIN32
bool IsLeadByte(unsigned char c);
#endif

// Strips every repetition of `c` from both ends: always, or (without
// `always`) only when the text both starts and ends with it.
std::string StripChar(std::string_view text, char c, bool always);
// Trimmed, then StripChar with the double quote.
std::string Unquote(std::string_view text, bool always);
// Exactly one double quote at each end.
std::string Quote(std::string_view text);
// `c` at both ends, after stripping it from them when `stripFirst`; this is
// how a text becomes a self-delimited list.
std::string Enclose(std::string_view text, char c, bool stripFirst);

std::string ReplaceChar(std::string_view text, char from, char to);
// Keeps the characters that are in `allowed` and not in `removed`.
std::string FilterChars(std::string_view text, std::string_view allowed, std::string_view removed);

// Replaces the occurrences numbered `first` to `last` (from 1, reading order,
// never overlapping); a `last` of 0 or less means `first`, and both 0 means
// every occurrence. The result is trimmed with `trim`, except that the
// case-sensitive form returns a text without `find` exactly as it was.
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view repl, int last, int first,
                        bool trim);
std::string ReplaceTextCI(std::string_view text, std::string_view find, std::string_view repl, int last, int first,
                          bool trim);
// Every occurrence, as ReplaceText with both numbers 0 and no trimming.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view repl);
std::string ReplaceAllCI(std::string_view text, std::string_view find, std::string_view repl);
// Replaces the first occurrence until none is left, so runs collapse ("  " by
// " " leaves single blanks); only when `repl` does not contain `find`.
std::string ReplaceRepeated(std::string_view text, std::string_view find, std::string_view repl, bool trim);
// The escapes \\n and \\t written in texts (two backslashes and a letter),
// then the markup <P> and <T> in any case, become CR LF and TAB.
std::string ExpandEscapes(std::string_view text);

// `fill` in front up to `width`. A width of -3 or less first cuts a longer
// text to |width| - 1 characters and "."; widths -2 to 0 change nothing.
std::string PadLeft(std::string_view text, int width, char fill);
std::string ZeroPad(std::string_view text, int width);
std::string IntToZeroPad(int64_t value, int width);

const char* BoolText(bool b);
char BoolDigit(bool b);

inline std::string IfText(bool condition, std::string_view ifTrue, std::string_view ifFalse) {
  return std::string(condition ? ifTrue : ifFalse);
}
inline int IfInt(bool condition, int ifTrue, int ifFalse) { return condition ? ifTrue : ifFalse; }
inline int64_t IfInt64(bool condition, int64_t ifTrue, int64_t ifFalse) { return condition ? ifTrue : ifFalse; }

// "," every three digits left of the "." (or of the end).
std::string AddThousandsSep(std::string_view number);
// `value` / `unit`: rounded up to a whole number when `decimals` is below 1,
// else with exactly one decimal; with separators when `thousands`.
std::string SizeText(int64_t value, int64_t unit, int decimals, bool thousands);
std::string KBText(bool thousands, int decimals, int64_t value);
std::string MBText(bool thousands, int decimals, int64_t value);

// Reads "1,5" and "1.5" alike and "9,876.5" as 9876.5, always with "." as
// the decimal point whatever the locale; `def` when not a number.
double TextToFloat(std::string_view text, double def);
// The user's decimal separator, read from the platform once and kept.
const std::string& UserDecimalSeparator();
// Fixed notation with `decimals` decimals (0 to 20), rounded half away from
// zero, and `decimalSep` as the decimal point; with `trimZeros`, TrimZeros
// ("." alone becomes "0").
std::string FloatToText(double value, int decimals, bool trimZeros, std::string_view decimalSep);
std::string FloatToText(double value, int decimals, bool trimZeros);
// For a text with ".": 1.500 gives 1.5, 2.000 gives 2, 0.5 gives .5.
std::string TrimZeros(std::string_view number);

// Re-seeded from the clock on every call; `low` when `high` is not above it.
int64_t RandomInRange(int64_t high, int64_t low);
std::string RandomText(int64_t high, int64_t low);

inline int64_t Min64(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t Max64(int64_t a, int64_t b) { return a > b ? a : b; }
// Clamped; when the bounds cross, the maximum wins.
inline int64_t EnsureRange64(int64_t value, int64_t min, int64_t max) { return Min64(Max64(value, min), max); }
// a + b held at the limits of the type instead of wrapping round: times and
// intervals read from a file may be anything, and a sum that wrapped would
// put a far future into the past.
inline int64_t AddSaturated64(int64_t a, int64_t b) {
  int64_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

// Strict decimal parse of a trimmed text (optional sign); false on anything else
// or on overflow.
bool ParseInt64(std::string_view text, int64_t& out);
int64_t StrToInt64Def(std::string_view text, int64_t def);

// Digits 0-9A-F read from the right in `base`; any other character gives `def`.
int64_t StrToIntBase(std::string_view text, int base, int64_t def);
int64_t HexToInt(std::string_view text, int64_t def);

std::string BytesToHex(std::string_view bytes, bool blankSeparated, bool prefix0x);
// Pairs of hex digits to bytes; an invalid pair (or a last lone digit that is
// not hex) becomes 0xFF.
std::string HexToBytes(std::string_view hex);

// The reversible scrambling used for stored values ("Scrambled=01" marker).
// ScrambleText picks a random key; ScrambleTextWithKey takes it (33..122).
std::string ScrambleText(std::string_view text, bool scramble, bool hex);
std::string ScrambleTextWithKey(std::string_view text, int key, bool hex);

}  // namespace tarnix
