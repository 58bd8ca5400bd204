// The stub's texts in the user's language: which record of a package's
// language block the process shows, how a text is looked up in it, and the
// per-installation language text file of the run-time folder messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "package/TGFileInfo.h"

namespace tarnix {

// "|NAME = code|...": the code is a primary language id in decimal (two
// digits) or a full locale id (four digits).
extern const std::string_view kLocaleTable;

// The selected record when the package has none to offer.
inline constexpr std::string_view kNoLanguageRecord = "*";

inline constexpr std::string_view kLanguageTextSection = "STRINGS";

// The upper-case language name for a thread locale: the first table entry
// whose text holds the primary language id (at least two digits) anywhere.
// Locale 0 reads as English; empty when no entry matches.
std::string UserLanguageNameFor(uint32_t locale);
// The same for the calling thread's locale.
std::string UserLanguageName();

// The record of `block` whose name equals `name` (trimmed, ignoring case);
// the only record when none does and there is exactly one; else "*".
std::string FindLanguageRecord(std::string_view block, std::string_view name);

// The value of `key` in `record`: case is ignored, and so are blanks
// between the entry's start and the key and between the key and "=". A key
// present with an empty value gives the empty text, a missing one `def`.
std::string LangString(std::string_view record, std::string_view key, std::string_view def);
// Not a number: 0.
int Charset(std::string_view record);
// Not a number: 8.
int FontSize(std::string_view record);
std::string FontName(std::string_view record);

// The record the process shows. It is chosen once, from the first package
// reader that is asked for a text, and kept whatever readers ask later.
class LanguageSelection {
 public:
  using LanguageNameFn = std::string (*)();

  explicit LanguageSelection(LanguageNameFn userLanguage) : userLanguage_(userLanguage) {}

  // The user's language, else English, else "*"; nothing when already chosen.
  void Select(const TGFileInfo& reader);
  bool IsSelected() const { return selected_; }
  // Empty until chosen.
  const std::string& Record() const { return record_; }
  // Forgets the choice, so that the next reader asked chooses again.
  void Reset();

  std::string LangString(const TGFileInfo& reader, std::string_view key, std::string_view def);

 private:
  LanguageNameFn userLanguage_;
  bool selected_ = false;
  std::string record_;
};

// The process's selection, by the thread locale.
LanguageSelection& ProcessLanguage();
inline void SelectLanguage(const TGFileInfo& reader) { ProcessLanguage().Select(reader); }

// The language text file below `exeFolder`, which ends with a backslash.
std::string LanguageTextFile(std::string_view exeFolder);
// "|text|" gives text and "|" alone the empty text; anything else as it is.
std::string UnwrapIniValue(std::string_view value);

using IniStringReader = std::string (*)(std::string_view file, std::string_view section, std::string_view key,
                                        std::string_view def);

// [STRINGS] `key` of the language text file below `exeFolder`, unwrapped;
// `def` when the file is missing or the value empty.
std::string IniString(std::string_view exeFolder, std::string_view key, std::string_view def,
                      IniStringReader read);
// IniString with every "<?>" replaced by `replacement`.
std::string IniMessage(std::string_view exeFolder, std::string_view key, std::string_view def,
                       std::string_view replacement, IniStringReader read);

#ifdef _WIN32
// The same, for the language text file below the running executable.
std::string IniString(std::string_view key, std::string_view def);
std::string IniMessage(std::string_view key, std::string_view def, std::string_view replacement);
#endif

}  // namespace tarnix
