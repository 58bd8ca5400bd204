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

bool StartsWith(std::string_view prefix, std::string_view text, bool ignoreCase);
bool EndsWith(std::string_view suffix, std::string_view text, bool ignoreCase);

std::string TextBefore(std::string_view text, std::string_view sep, std::string_view def, bool trim);
std::string TextAfter(std::string_view text, std::string_view sep, std::string_view def, bool trim);

std::string ReplaceChar(std::string_view text, char from, char to);
// Replaces every occurrence, left to right, never overlapping.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view repl);
std::string ReplaceAllCI(std::string_view text, std::string_view find, std::string_view repl);

const char* BoolText(bool b);
char BoolDigit(bool b);

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
