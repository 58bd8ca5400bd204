// The stub's built-in English texts, the keys of a language record in the
// order the builder writes them, and the framing of the language block.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnix {

struct LanguageKey {
  std::string_view key;
  std::string_view englishDefault;
};

// Every key of a language record, in the order the builder writes them.
extern const std::array<LanguageKey, 19> kLanguageKeys;

// Texts a record carries only when a language file gives them; every
// other record takes the English text: the refusals of a web installer that
// checks the vendor's hash of the full setup.
extern const std::array<LanguageKey, 2> kExtraLanguageKeys;

// The built-in English text of `key` (of either list); empty for an
// unknown key.
std::string_view DefaultLanguageText(std::string_view key);

using LanguageTexts = std::vector<std::pair<std::string, std::string>>;

// One record: 0x01 name 0x01 key=value 0x01 ... 0x01.
std::string BuildLanguageRecord(std::string_view name, const LanguageTexts& texts);
// The block: 0x02 record 0x02 record ... 0x02.
std::string BuildLanguageBlock(const std::vector<std::string>& records);
// The English record with the built-in texts.
LanguageTexts BuiltinEnglishTexts();

}  // namespace tarnix
