// The manifest and language-file readers: what a manifest turns into, and
// the one-line errors that name the file, section and key at fault.
#include <gtest/gtest.h>

#include <algorithm>

#include "Fixtures.h"
#include "IniFile.h"
#include "Manifest.h"
#include "Utils/SUB.h"
#include "package/LanguageDefaults.h"

namespace tarnix::pack::test {
namespace {

TEST(IniFileTest, KeepsEntriesInOrderAndIgnoresCase) {
  IniFile ini;
  std::string error;
  ASSERT_TRUE(ini.Parse("\xEF\xBB\xBF; comment\r\n[files]\r\n# another\r\n  b = 2 \r\nA=1\n[FILES]\nb = 3\n", error))
      << error;
  ASSERT_EQ(ini.Sections().size(), 1u);
  const IniSection* s = ini.Find("Files");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->entries.size(), 3u);
  EXPECT_EQ(s->entries[0].key, "b");
  EXPECT_EQ(s->entries[0].value, "2");
  EXPECT_EQ(s->entries[1].key, "A");
  EXPECT_EQ(s->entries[2].value, "3");
  EXPECT_EQ(s->entries[2].line, 7);
}

TEST(IniFileTest, RejectsMalformedLines) {
  struct Case {
    const char* text;
    const char* fragment;
  } cases[] = {
      {"key = value\n", "line 1: \"key\" comes before any [Section]"},
      {"[A]\njust words\n", "line 2: expected key = value"},
      {"[A]\n= value\n", "line 2: the key is missing"},
      {"[A\n", "line 1: a section line"},
  };
  for (const auto& c : cases) {
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.Parse(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.fragment), std::string::npos) << c.text << " -> " << error;
  }
}

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.Path() / "setup.exe", "MZsetup");
    WriteFile(dir.Path() / "a.txt", "alpha");
    WriteFile(dir.Path() / "full.exe", std::string(12345, 'x'));
    WriteFile(dir.Path() / "dir" / "zeta.bin", "z");
    WriteFile(dir.Path() / "dir" / "beta.bin", "b");
    WriteFile(dir.Path() / "dir2" / "A.TXT", "clash");
    WriteFile(dir.Path() / "lang" / "Short.ini", "[Texts]\ns1 = Auspacken...\nCHARSET = 0\n");
  }

  bool Read(const std::string& text, PackageSpec& plan, std::string& error) {
    WriteFile(dir.Path() / "manifest.ini", text);
    return ReadManifest(dir / "manifest.ini", plan, error);
  }

  TempDir dir;
};

TEST_F(ManifestTest, ReadsEverySection) {
  PackageSpec plan;
  std::string error;
  ASSERT_TRUE(Read("[Package]\n"
                   "BlockSize = 4096\nLevel = 0\nDiskSize = 1457664\nCdSpanning = 1\nShowTempSpaceInfo = 1\n"
                   "showactivitybar = 0\nAgentLog = 1\nCreateAgent = 1\nIsAgent = 0\nConfirmDownload = 1\n"
                   "[Setup]\nProgram = SETUP.EXE\nArguments = /s /lang=de\n"
                   "[Settings]\nUpdateLocation = http://example.test/upd/\nInfoFileName = Product.info\n"
                   "AgentExeName = Agent.exe\nToken = s3cret\nSilent = 1\n"
                   "[Download]\nLocation = http://example.test/dl/\nFileName = full.exe\nAlwaysDownload = 1\n"
                   "Token = dl\n"
                   "[Languages]\nDeutsch = lang/Short.ini\nEnglish = builtin\n"
                   "[Files]\nsetup.exe = setup.exe\nFolder = dir\nnotes.txt = a.txt\n",
                   plan, error))
      << error;
  EXPECT_EQ(plan.blockSize, 4096u);
  EXPECT_EQ(plan.level, 0);
  EXPECT_EQ(plan.diskSize, 1457664u);
  EXPECT_EQ(plan.options, kCdSpanning | kShowTempSpaceInfo | kAgentLog);
  EXPECT_TRUE(plan.createAgent);
  EXPECT_FALSE(plan.isAgent);
  EXPECT_TRUE(plan.confirmDownload);
  EXPECT_EQ(plan.updateLocation, "http://example.test/upd/");
  EXPECT_EQ(plan.infoFileName, "Product.info");
  EXPECT_EQ(plan.agentExeName, "Agent.exe");
  EXPECT_EQ(plan.settingsToken, "s3cret");
  EXPECT_TRUE(plan.silent);
  ASSERT_TRUE(plan.download.has_value());
  EXPECT_EQ(plan.download->location, "http://example.test/dl/");
  EXPECT_TRUE(plan.download->alwaysDownload);
  EXPECT_EQ(plan.download->token, "dl");
  EXPECT_EQ(plan.download->size, "12345");  // taken from the file beside the manifest

  ASSERT_EQ(plan.files.size(), 4u);
  const char* names[] = {"setup.exe", "beta.bin", "zeta.bin", "notes.txt"};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(plan.files[i].name, names[i]);
  EXPECT_TRUE(plan.files[0].isSetup);
  EXPECT_EQ(plan.files[0].setupArgs, "/s /lang=de");
  EXPECT_FALSE(plan.files[3].isSetup);
  EXPECT_EQ(fs::path(plan.files[3].sourcePath), dir.Path() / "a.txt");

  ASSERT_EQ(plan.languageRecords.size(), 2u);
  EXPECT_EQ(plan.languageRecords[1], BuildLanguageRecord("English", BuiltinEnglishTexts()));
  LanguageTexts german = BuiltinEnglishTexts();
  for (auto& [key, value] : german)
    if (key == "s1") value = "Auspacken...";
  EXPECT_EQ(plan.languageRecords[0], BuildLanguageRecord("Deutsch", german));
}

TEST_F(ManifestTest, ExplicitDownloadSizeWins) {
  PackageSpec plan;
  std::string error;
  ASSERT_TRUE(Read("[Download]\nFileName = full.exe\nSize = 99\n", plan, error)) << error;
  EXPECT_EQ(plan.download->size, "99");
  EXPECT_TRUE(plan.files.empty());
}

TEST_F(ManifestTest, ErrorsNameFileSectionAndKey) {
  struct Case {
    const char* text;
    const char* fragment;
  } cases[] = {
      {"[Package]\nLevel = 12\n[Files]\na.txt = a.txt\n", "manifest.ini: [Package] Level: must be 0 to 9"},
      {"[Package]\nLevel = nine\n[Files]\na.txt = a.txt\n", "[Package] Level: must be 0 to 9"},
      {"[Package]\nBlockSize = 0\n[Files]\na.txt = a.txt\n", "[Package] BlockSize: must be 1 to"},
      {"[Package]\nDiskSize = -1\n[Files]\na.txt = a.txt\n", "[Package] DiskSize: must be 0 (one file)"},
      {"[Package]\nCdSpanning = yes\n[Files]\na.txt = a.txt\n", "[Package] CdSpanning: must be 0 or 1"},
      {"[Package]\nColour = red\n[Files]\na.txt = a.txt\n", "[Package] Colour: unknown key"},
      {"[Package]\nLevel = 1\nlevel = 2\n[Files]\na.txt = a.txt\n", "[Package] Level: given more than once"},
      {"[Pakage]\nLevel = 1\n", "[Pakage]: unknown section"},
      {"[Package]\nCreateAgent = 1\n[Files]\na.txt = a.txt\n", "[Package] CreateAgent: needs [Settings] AgentExeName"},
      {"[Settings]\nUpdateLocation = a|b\n[Files]\na.txt = a.txt\n", "[Settings] UpdateLocation: must not contain"},
      {"[Settings]\nSilent = 2\n[Files]\na.txt = a.txt\n", "[Settings] Silent: must be 0 or 1"},
      {"[Download]\nLocation = http://x/\n", "[Download] FileName: missing"},
      {"[Download]\nFileName = f.exe\nSize = big\n", "[Download] Size: must be a size in bytes"},
      {"[Files]\nsub/b.txt = a.txt\n", "[Files] sub/b.txt: \"sub/b.txt\" is not a plain file name"},
      {"[Files]\ngone.txt = gone.txt\n", "[Files] gone.txt: "},
      {"[Files]\nb.txt =\n", "[Files] b.txt: the path is missing"},
      {"[Files]\nFolder = nowhere\n", "[Files] Folder: "},
      {"[Files]\na.txt = a.txt\nFolder = dir2\n", "[Files] Folder: \"A.TXT\" is packed twice"},
      {"[Files]\n", "[Files]: nothing to pack"},
      {"[Setup]\nProgram = other.exe\n[Files]\na.txt = a.txt\n", "[Setup] Program: \"other.exe\" is not in [Files]"},
      {"[Setup]\nArguments = /s\n[Files]\na.txt = a.txt\n", "[Setup] Arguments: needs [Setup] Program"},
      {"[Setup]\nProgram = a.txt\nArguments = a|b\n[Files]\na.txt = a.txt\n", "[Setup] Arguments: must not contain"},
      {"[Languages]\nFrench = missing.ini\n[Files]\na.txt = a.txt\n", "[Languages] French: "},
      {"[Languages]\nFrench = builtin\nfrench = builtin\n[Files]\na.txt = a.txt\n",
       "[Languages] french: given more than once"},
      {"[Languages]\nFrench =\n[Files]\na.txt = a.txt\n", "[Languages] French: needs a language file"},
      {"[Files]\nbroken line\n", "manifest.ini: line 2: expected key = value"},
  };
  for (const auto& c : cases) {
    PackageSpec plan;
    std::string error;
    EXPECT_FALSE(Read(c.text, plan, error)) << c.text;
    EXPECT_NE(error.find(c.fragment), std::string::npos) << c.text << "\n-> " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST_F(ManifestTest, MissingManifestIsAnError) {
  PackageSpec plan;
  std::string error;
  EXPECT_FALSE(ReadManifest(dir / "none.ini", plan, error));
  EXPECT_NE(error.find("none.ini: cannot be read"), std::string::npos) << error;
}

TEST_F(ManifestTest, LanguageFileErrors) {
  struct Case {
    const char* text;
    const char* fragment;
  } cases[] = {
      {"[Other]\ns1 = x\n", "[Other]: unknown section"},
      {"; nothing\n", "[Texts]: section missing"},
      {"[Texts]\ns9 = x\n", "[Texts] s9: unknown key"},
      {"[Texts]\ns1 = x\nS1 = y\n", "[Texts] s1: given more than once"},
      {"[Texts]\nFontSize = big\n", "[Texts] FontSize: must be a number"},
      {"[Texts]\nBtnText = |&OK|&Cancel|\n", "[Texts] BtnText: must list 7 captions"},
      {"[Texts]\ns0 = a\x01" "b\n", "[Texts] s0: holds a control character"},
  };
  for (const auto& c : cases) {
    WriteFile(dir.Path() / "Bad.ini", c.text);
    LanguageTexts texts;
    std::string error;
    EXPECT_FALSE(ReadLanguageFile(dir / "Bad.ini", texts, error)) << c.text;
    EXPECT_NE(error.find("Bad.ini: " + std::string(c.fragment)), std::string::npos) << c.text << "\n-> " << error;
  }
}

// The shipped translations: every key written out (no English fallback), the
// font of the stub, seven button captions, and the markup and placeholders
// of the English texts unchanged, in ANSI rather than UTF-8.
std::vector<std::string> Tags(const std::string& text) {
  std::vector<std::string> tags;
  for (size_t open = text.find('<'); open != std::string::npos; open = text.find('<', open + 1)) {
    size_t close = text.find('>', open);
    if (close == std::string::npos) break;
    tags.push_back(text.substr(open, close - open + 1));
  }
  return tags;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 99;
    if (n == 99 || i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n + 1;
  }
  return true;
}

TEST(ShippedLanguagesTest, TranslateEveryKeyKeepingMarkup) {
  for (const char* name : {"French", "German", "Italian", "Spanish"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(TARNIX_PACK_LANGUAGES) + "/" + name + ".ini";
    IniFile ini;
    std::string error;
    ASSERT_TRUE(LoadIniFile(path, ini, error)) << error;
    LanguageTexts texts;
    ASSERT_TRUE(ReadLanguageFile(path, texts, error)) << error;
    const IniSection* s = ini.Find("Texts");
    ASSERT_NE(s, nullptr);
    const size_t keys = kLanguageKeys.size() + kExtraLanguageKeys.size();
    EXPECT_EQ(s->entries.size(), keys);

    ASSERT_EQ(texts.size(), keys);
    for (size_t i = 0; i < texts.size(); ++i) {
      const auto& [key, value] = texts[i];
      const LanguageKey& expected =
          i < kLanguageKeys.size() ? kLanguageKeys[i] : kExtraLanguageKeys[i - kLanguageKeys.size()];
      EXPECT_EQ(key, expected.key);
      EXPECT_EQ(Tags(value), Tags(std::string(expected.englishDefault))) << key << " = " << value;
    }
    EXPECT_EQ(texts[0].second, "0");
    EXPECT_EQ(texts[1].second, "8");
    EXPECT_EQ(texts[2].second, "Tahoma");
    const std::string buttons = texts[15].second;
    ASSERT_EQ(texts[15].first, "BtnText");
    ASSERT_EQ(SUB::Count(buttons), 7);
    EXPECT_EQ(buttons.front(), '|');
    for (const auto& caption : SUB::Items(buttons)) EXPECT_NE(caption.find('&'), std::string::npos) << caption;

    const std::string bytes = ReadFile(path);
    EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    EXPECT_FALSE(ValidUtf8(bytes)) << "written as UTF-8, not Windows-1252";
  }
}

}  // namespace
}  // namespace tarnix::pack::test
