#include "package/LanguageTable.h"

#include <limits>
#include <vector>

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "package/LanguageDefaults.h"
#include "package/PackageFormat.h"

namespace tarnix {

const std::string_view kLocaleTable =
    "|"
    "AFRIKAANS            = 54|"
    "ALBANIAN             = 28|"
    "ARABIC               = 01|"
    "BASQUE               = 45|"
    "BELARUSIAN           = 35|"
    "BULGARIAN            = 02|"
    "CATALAN              = 03|"
    "CHINESE              = 04|"
    "CROATIAN             = 26|"
    "CZECH                = 05|"
    "DANISH               = 06|"
    "DUTCH                = 19|"
    "ENGLISH              = 09|"
    "ESTONIAN             = 37|"
    "FAEROESE             = 56|"
    "FARSI                = 41|"
    "FINNISH              = 11|"
    "FRENCH               = 12|"
    "GERMAN               = 07|"
    "GREEK                = 08|"
    "HEBREW               = 13|"
    "HUNGARIAN            = 14|"
    "ICELANDIC            = 15|"
    "INDONESIAN           = 33|"
    "ITALIAN              = 16|"
    "JAPANESE             = 17|"
    "KOREAN               = 18|"
    "LATVIAN              = 38|"
    "LITHUANIAN           = 39|"
    "NORWEGIAN            = 20|"
    "POLISH               = 21|"
    "PORTUGUESE           = 22|"
    "ROMANIAN             = 24|"
    "RUSSIAN              = 25|"
    "SERBIAN              = 26|"
    "SLOVAK               = 27|"
    "SLOVENIAN            = 36|"
    "SPANISH              = 10|"
    "SWEDISH              = 29|"
    "THAI                 = 30|"
    "TURKISH              = 31|"
    "UKRAINIAN            = 34|"
    "VIETNAMESE           = 42|"
    "CHINESE(SIMPLIFIED)  = 2052|"
    "CHINESE(TRADITIONAL) = 1028|"
    "DUTCH(FLEMISH)       = 2067|"
    "DUTCH(STANDARD)      = 1043|"
    "PORTUGUESE(PORTUGAL) = 2070|"
    "PORTUGUESE(BRAZIL)   = 1046|"
    "SERBIAN(LATIN)       = 2074|"
    "SERBIAN(CYRILIC)     = 3098|";

namespace {

constexpr uint32_t kPrimaryLanguageMask = 0x3FF;
constexpr uint32_t kEnglishPrimaryLanguage = 9;

bool IsBlank(char c) { return c == ' '; }

int NumberOr(std::string_view text, int def) {
  int64_t value;
  if (!ParseInt64(text, value) || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    return def;
  return static_cast<int>(value);
}

std::string DefaultText(std::string_view key) { return std::string(DefaultLanguageText(key)); }

}  // namespace

std::string UserLanguageNameFor(uint32_t locale) {
  const uint32_t primary = locale == 0 ? kEnglishPrimaryLanguage : locale & kPrimaryLanguageMask;
  const std::string digits = IntToZeroPad(primary, 2);
  for (const std::string& item : SUB::Items(kLocaleTable))
    if (item.find(digits) != std::string::npos) return TextBefore(item, "=", "", true);
  return {};
}

std::string FindLanguageRecord(std::string_view block, std::string_view name) {
  const std::vector<std::string> records = SUB::Items(block);
  for (const std::string& record : records)
    if (SameTextTrim(SUB::Item(record, 0), name)) return record;
  if (records.size() == 1) return records.front();
  return std::string(kNoLanguageRecord);
}

std::string LangString(std::string_view record, std::string_view key, std::string_view def) {
  if (record.size() <= 1) return std::string(def);
  const size_t n = record.size();
  for (size_t entry = record.find(kLanguageRecordDelimiter); entry != std::string_view::npos;
       entry = record.find(kLanguageRecordDelimiter, entry + 1)) {
    size_t i = entry + 1;
    while (i < n && IsBlank(record[i])) ++i;
    if (n - i < key.size() || !SameText(record.substr(i, key.size()), key)) continue;
    i += key.size();
    while (i < n && IsBlank(record[i])) ++i;
    if (i == n || record[i] != '=') continue;
    const size_t begin = i + 1;
    const size_t end = record.find(kLanguageRecordDelimiter, begin);
    return std::string(record.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
  }
  return std::string(def);
}

int Charset(std::string_view record) { return NumberOr(LangString(record, "Charset", DefaultText("Charset")), 0); }

int FontSize(std::string_view record) { return NumberOr(LangString(record, "FontSize", DefaultText("FontSize")), 8); }

std::string FontName(std::string_view record) { return LangString(record, "FontName", DefaultText("FontName")); }

void LanguageSelection::Select(const TGFileInfo& reader) {
  if (selected_) return;
  std::string record = FindLanguageRecord(reader.LanguageBlock(), userLanguage_ ? userLanguage_() : std::string());
  if (record == kNoLanguageRecord) record = FindLanguageRecord(reader.LanguageBlock(), "English");
  record_ = std::move(record);
  selected_ = true;
}

void LanguageSelection::Reset() {
  selected_ = false;
  record_.clear();
}

std::string LanguageSelection::LangString(const TGFileInfo& reader, std::string_view key, std::string_view def) {
  Select(reader);
  return tarnix::LangString(record_, key, def);
}

LanguageSelection& ProcessLanguage() {
  static LanguageSelection selection(UserLanguageName);
  return selection;
}

std::string TGFileInfo::LangString(std::string_view key, std::string_view def) const {
  return ProcessLanguage().LangString(*this, key, def);
}

int TGFileInfo::Charset() const {
  SelectLanguage(*this);
  return tarnix::Charset(ProcessLanguage().Record());
}

int TGFileInfo::FontSize() const {
  SelectLanguage(*this);
  return tarnix::FontSize(ProcessLanguage().Record());
}

std::string TGFileInfo::FontName() const {
  SelectLanguage(*this);
  return tarnix::FontName(ProcessLanguage().Record());
}

std::string LanguageTextFile(std::string_view exeFolder) {
  return std::string(exeFolder) + "HELP\\English\\Tarnix.language.ini";
}

std::string UnwrapIniValue(std::string_view value) {
  if (value.empty() || value.front() != '|' || value.back() != '|') return std::string(value);
  if (value.size() <= 2) return {};
  return std::string(value.substr(1, value.size() - 2));
}

std::string IniString(std::string_view exeFolder, std::string_view key, std::string_view def,
                      IniStringReader read) {
  const std::string file = LanguageTextFile(exeFolder);
  if (!read || !FileExists(file)) return std::string(def);
  std::string value = UnwrapIniValue(read(file, kLanguageTextSection, key, ""));
  return value.empty() ? std::string(def) : value;
}

std::string IniMessage(std::string_view exeFolder, std::string_view key, std::string_view def,
                       std::string_view replacement, IniStringReader read) {
  return ReplaceAll(IniString(exeFolder, key, def, read), "<?>", replacement);
}

}  // namespace tarnix
