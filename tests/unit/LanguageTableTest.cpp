// Choosing the language record a process shows and looking texts up in it,
// against language blocks and packages assembled here.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "Utils/InFile.h"
#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "package/LanguageDefaults.h"
#include "package/LanguageTable.h"
#include "unit/ReaderWithLanguage.h"
#include "package/TGFileInfo.h"

namespace tarnix {
namespace {

const std::string kEnglish = BuildLanguageRecord("English", BuiltinEnglishTexts());
const std::string kGerman = BuildLanguageRecord(
    "German", {{"Charset", "0"}, {"s0", "Tarnix Installationsprogramm"}, {"s1", "Dateien werden entpackt..."}});
const std::string kItalian = BuildLanguageRecord("Italian", {{"s0", "Installazione Tarnix"}});
const std::string kFrench = BuildLanguageRecord(
    "French", {{"Charset", "1"}, {"FontSize", "10"}, {"FontName", "Arial"}, {"s0", "Installation Tarnix"}});

TEST(UserLanguageNameTest, PrimaryLanguageOfTheLocaleNamesTheLanguage) {
  const std::vector<std::pair<uint32_t, std::string>> cases = {
      {7, "GERMAN"},
      {22, "PORTUGUESE"},
      {26, "CROATIAN"},  // shared with SERBIAN: the first entry wins
      {0, "ENGLISH"},    // no locale at all reads as English
      {9, "ENGLISH"},
      {5, "CZECH"},
      {10, "SPANISH"},
      {0x0407, "GERMAN"},  // the sublanguage bits do not count
      {0x0416, "PORTUGUESE"},
      {0x0C0A, "SPANISH"},
      {0x0410, "ITALIAN"},
      {46, "PORTUGUESE(BRAZIL)"},  // "46" is found inside the locale code 1046
      {0x0400, ""},                // primary language 0 is not locale 0
      {99, ""},
      {100, ""},
  };
  for (const auto& [locale, name] : cases) EXPECT_EQ(UserLanguageNameFor(locale), name) << "locale " << locale;
}

TEST(UserLanguageNameTest, EveryTwoDigitEntryIsFoundByItsOwnCode) {
  const std::vector<std::string> items = SUB::Items(kLocaleTable);
  ASSERT_EQ(items.size(), 51u);
  EXPECT_EQ(Trim(TextBefore(items.front(), "=", "", false)), "AFRIKAANS");
  EXPECT_EQ(Trim(TextBefore(items.back(), "=", "", false)), "SERBIAN(CYRILIC)");
  for (const std::string& item : items) {
    const std::string name = TextBefore(item, "=", "", true);
    const std::string code = TextAfter(item, "=", "", true);
    ASSERT_FALSE(name.empty()) << item;
    EXPECT_EQ(name, UpperCase(name)) << item;
    int64_t value;
    ASSERT_TRUE(ParseInt64(code, value)) << item;
    if (code.size() == 2 && name != "SERBIAN") {
      EXPECT_EQ(UserLanguageNameFor(uint32_t(value)), name) << item;
    }
  }
}

TEST(FindLanguageRecordTest, ByNameElseTheOnlyRecordElseNone) {
  const std::string englishGerman = BuildLanguageBlock({kEnglish, kGerman});
  const std::string italianOnly = BuildLanguageBlock({kItalian});
  const std::string twoGermans = BuildLanguageBlock({kGerman, BuildLanguageRecord("GERMAN", {{"s0", "second"}})});
  const struct {
    std::string block, name, expected;
  } cases[] = {
      {englishGerman, "GERMAN", kGerman},
      {englishGerman, "  german ", kGerman},
      {englishGerman, "English", kEnglish},
      {englishGerman, "PORTUGUESE", "*"},
      {englishGerman, "", "*"},
      {italianOnly, "GERMAN", kItalian},
      {italianOnly, "", kItalian},
      {twoGermans, "German", kGerman},
      {"", "English", "*"},
      {"\x02", "English", "*"},
      // Not closed by its delimiter: no records at all.
      {std::string("\x02") + kEnglish, "English", "*"},
  };
  for (const auto& c : cases) EXPECT_EQ(FindLanguageRecord(c.block, c.name), c.expected) << c.name;
}

TEST(LangStringTest, KeyIsFoundAtTheStartOfAnEntry) {
  const std::string record =
      "\x01German\x01s10=Zehn\x01  S1 =Eins\x01s2=\x01s3=a=b\x01s0=vor s4=nein\x01"
      "BtnText=|&OK|&Abbrechen|\x01s5=end";
  const struct {
    std::string key, expected;
  } cases[] = {
      {"s1", "Eins"},  // after s10, ignoring case and the blanks around the key
      {"S10", "Zehn"},
      {"s2", ""},  // present but empty: not the default
      {"s3", "a=b"},
      {"s4", "default"},  // only inside another entry's value
      {"BtnText", "|&OK|&Abbrechen|"},
      {"s5", "end"},  // the last entry needs no closing delimiter
      {"s6", "default"},
      {"German", "default"},
      {"s", "default"},
  };
  for (const auto& c : cases) EXPECT_EQ(LangString(record, c.key, "default"), c.expected) << c.key;
}

TEST(LangStringTest, NoRecordGivesTheDefault) {
  for (const std::string record : {"", "*", "\x01", "\x01\x01"})
    EXPECT_EQ(LangString(record, "s0", "Tarnix Installation Suite"), "Tarnix Installation Suite");
}

TEST(LangStringTest, TypedLookupsFallBackOnTextThatIsNoNumber) {
  const struct {
    LanguageTexts texts;
    int charset, fontSize;
    std::string fontName;
  } cases[] = {
      {{{"Charset", "177"}, {"FontSize", "12"}, {"FontName", "Arial"}}, 177, 12, "Arial"},
      {{{"Charset", " 178 "}, {"FontSize", "9"}}, 178, 9, "Tahoma"},
      {{{"Charset", "Hebrew"}, {"FontSize", "big"}, {"FontName", ""}}, 0, 8, ""},
      {{{"Charset", ""}, {"FontSize", ""}}, 0, 8, "Tahoma"},
      {{{"Charset", "99999999999"}, {"FontSize", "-"}}, 0, 8, "Tahoma"},
      {{}, 0, 8, "Tahoma"},
  };
  for (const auto& c : cases) {
    const std::string record = BuildLanguageRecord("X", c.texts);
    EXPECT_EQ(Charset(record), c.charset) << record;
    EXPECT_EQ(FontSize(record), c.fontSize) << record;
    EXPECT_EQ(FontName(record), c.fontName) << record;
  }
  EXPECT_EQ(Charset("*"), 0);
  EXPECT_EQ(FontSize("*"), 8);
  EXPECT_EQ(FontName("*"), "Tahoma");
}

std::string g_userLanguage;
int g_userLanguageAsked = 0;

std::string FakeUserLanguage() {
  ++g_userLanguageAsked;
  return g_userLanguage;
}

class LanguageSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override { g_userLanguageAsked = 0; }

  std::string TitleFor(const std::string& user, const std::vector<std::string>& records) {
    g_userLanguage = user;
    LanguageSelection selection(FakeUserLanguage);
    return selection.LangString(ReaderWith(BuildLanguageBlock(records)), "s0", "built-in");
  }
};

TEST_F(LanguageSelectionTest, UserLanguageElseEnglishElseTheOnlyRecord) {
  EXPECT_EQ(TitleFor("GERMAN", {kEnglish, kGerman}), "Tarnix Installationsprogramm");
  EXPECT_EQ(TitleFor("PORTUGUESE", {kEnglish, kGerman}), "Tarnix Installation Suite");
  EXPECT_EQ(TitleFor("", {kGerman, kEnglish}), "Tarnix Installation Suite");
  for (const std::string user : {"GERMAN", "PORTUGUESE", "ITALIAN", ""})
    EXPECT_EQ(TitleFor(user, {kItalian}), "Installazione Tarnix") << user;
  EXPECT_EQ(TitleFor("PORTUGUESE", {kGerman, kItalian}), "built-in");
  EXPECT_EQ(TitleFor("GERMAN", {}), "built-in");
}

TEST_F(LanguageSelectionTest, FirstReaderAskedChoosesForAllLaterReaders) {
  g_userLanguage = "GERMAN";
  LanguageSelection selection(FakeUserLanguage);
  EXPECT_FALSE(selection.IsSelected());
  EXPECT_EQ(selection.Record(), "");

  const TGFileInfo first = ReaderWith(BuildLanguageBlock({kEnglish, kGerman}));
  EXPECT_EQ(selection.LangString(first, "s1", ""), "Dateien werden entpackt...");
  EXPECT_TRUE(selection.IsSelected());
  EXPECT_EQ(selection.Record(), kGerman);

  // Another package, even one without German, keeps showing the choice.
  const TGFileInfo second = ReaderWith(BuildLanguageBlock({kItalian}));
  EXPECT_EQ(selection.LangString(second, "s0", ""), "Tarnix Installationsprogramm");
  EXPECT_EQ(g_userLanguageAsked, 1);

  selection.Reset();
  EXPECT_FALSE(selection.IsSelected());
  EXPECT_EQ(selection.LangString(second, "s0", ""), "Installazione Tarnix");
}

TEST_F(LanguageSelectionTest, ReaderWithoutLanguageBlockFixesNoRecord) {
  g_userLanguage = "ENGLISH";
  LanguageSelection selection(FakeUserLanguage);
  EXPECT_EQ(selection.LangString(TGFileInfo(), "s0", "Tarnix Installation Suite"), "Tarnix Installation Suite");
  EXPECT_EQ(selection.Record(), "*");
  const TGFileInfo later = ReaderWith(BuildLanguageBlock({kGerman, BuildLanguageRecord("English", {{"s0", "x"}})}));
  EXPECT_EQ(selection.LangString(later, "s0", "built-in"), "built-in");
}

// The process-wide choice behind the reader's own lookups.
class ReaderLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { ProcessLanguage().Reset(); }
  void TearDown() override { ProcessLanguage().Reset(); }
};

TEST_F(ReaderLanguageTest, LookupsComeFromTheRecordShownToTheUser) {
  const TGFileInfo reader = ReaderWith(BuildLanguageBlock({kFrench}));
  EXPECT_EQ(reader.LangString("s0", ""), "Installation Tarnix");
  EXPECT_EQ(reader.LangString("s1", "Extracting Files..."), "Extracting Files...");
  EXPECT_EQ(reader.Charset(), 1);
  EXPECT_EQ(reader.FontSize(), 10);
  EXPECT_EQ(reader.FontName(), "Arial");
  EXPECT_EQ(ProcessLanguage().Record(), kFrench);
}

TEST_F(ReaderLanguageTest, EmptyReaderAskedFirstLeavesTheBuiltInTextsForTheProcess) {
  const TGFileInfo missing(std::string("no such package file.exe"));
  EXPECT_EQ(missing.FontName(), "Tahoma");
  EXPECT_EQ(missing.LangString("Error", "Error"), "Error");
  const TGFileInfo french = ReaderWith(BuildLanguageBlock({kFrench}));
  EXPECT_EQ(french.LangString("s0", "Tarnix Installation Suite"), "Tarnix Installation Suite");
  EXPECT_EQ(french.Charset(), 0);
  EXPECT_EQ(french.FontSize(), 8);
  EXPECT_EQ(french.FontName(), "Tahoma");
}

TEST(LanguageTextFileTest, BelowTheHelpFolderOfTheExecutable) {
  EXPECT_EQ(LanguageTextFile("C:\\Program Files\\Product\\"),
            "C:\\Program Files\\Product\\HELP\\English\\Tarnix.language.ini");
}

std::map<std::string, std::string> g_iniValues;
std::vector<std::tuple<std::string, std::string, std::string>> g_iniReads;

std::string FakeIniRead(std::string_view file, std::string_view section, std::string_view key, std::string_view def) {
  g_iniReads.emplace_back(file, section, key);
  auto it = g_iniValues.find(std::string(key));
  return it == g_iniValues.end() ? std::string(def) : it->second;
}

class IniStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_iniValues.clear();
    g_iniReads.clear();
    namespace fs = std::filesystem;
    root_ = fs::temp_directory_path() /
            ("tarnix-langtext-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    folder_ = root_.string() + std::string(1, fs::path::preferred_separator);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  // Wherever the platform puts the parts of the name, the file is there.
  void CreateTextFile() {
    const std::filesystem::path file(LanguageTextFile(folder_));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "[STRINGS]\n";
  }

  std::filesystem::path root_;
  std::string folder_;
};

TEST_F(IniStringTest, WithoutTheFileEveryTextIsTheDefault) {
  g_iniValues["RunTimeDir_01"] = "never read";
  EXPECT_EQ(IniMessage(folder_, "RunTimeDir_01", "RunTimeDir (<?>)<P><P>Not Found!", "C:\\Program Files\\RT",
                       FakeIniRead),
            "RunTimeDir (C:\\Program Files\\RT)<P><P>Not Found!");
  EXPECT_EQ(IniString(folder_, "RunTimeDir_01", "def", FakeIniRead), "def");
  EXPECT_TRUE(g_iniReads.empty());
}

TEST_F(IniStringTest, ValuesAreUnwrappedAndEmptyOnesGiveTheDefault) {
  CreateTextFile();
  g_iniValues = {{"Wrapped", "|  two blanks  |"}, {"Bar", "|"},         {"Bars", "||"},
                 {"Plain", "plain text"},         {"Open", "|open"},    {"Inner", "|a|b|"},
                 {"Empty", ""},                   {"Msg", "|<?> and <?>|"}};
  const struct {
    std::string key, expected;
  } cases[] = {
      {"Wrapped", "  two blanks  "}, {"Bar", "def"},   {"Bars", "def"},  {"Plain", "plain text"},
      {"Open", "|open"},             {"Inner", "a|b"}, {"Empty", "def"}, {"Missing", "def"},
  };
  for (const auto& c : cases) EXPECT_EQ(IniString(folder_, c.key, "def", FakeIniRead), c.expected) << c.key;
  ASSERT_FALSE(g_iniReads.empty());
  EXPECT_EQ(std::get<0>(g_iniReads.front()), LanguageTextFile(folder_));
  EXPECT_EQ(std::get<1>(g_iniReads.front()), "STRINGS");
  EXPECT_EQ(std::get<2>(g_iniReads.front()), "Wrapped");

  EXPECT_EQ(IniMessage(folder_, "Msg", "def <?>", "X", FakeIniRead), "X and X");
  EXPECT_EQ(IniMessage(folder_, "Missing", "def <?>", "X", FakeIniRead), "def X");
}

}  // namespace
}  // namespace tarnix
