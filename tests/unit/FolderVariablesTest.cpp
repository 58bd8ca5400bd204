#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "Utils/StrUtils.h"
#include "environment/FolderExpansion.h"

namespace tarnix {
namespace {

DateTimeParts Moment(int y, int m, int d, int h, int n, int s) {
  DateTimeParts p;
  p.year = y;
  p.month = m;
  p.day = d;
  p.hour = h;
  p.minute = n;
  p.second = s;
  return p;
}

// Resolves "." and ".." in a backslash path the way the system does;
// relative paths are taken from C:\Cur.
std::string ResolveDotsLikeTheSystem(std::string_view path) {
  std::string full(path);
  if (full.size() < 3 || full[1] != ':') full = "C:\\Cur\\" + full;
  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= full.size()) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (part != "." && !part.empty()) {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result = full.substr(0, 3);
  for (size_t i = 0; i < parts.size(); ++i) result += (i ? "\\" : "") + parts[i];
  return result;
}

// A machine with plain, recognisable values. `asked` lists what the
// expansion asked for, so that work done for absent variables shows.
struct FakeMachine final : FolderVariableSource {
  std::string windows = "C:\\WINDOWS";
  std::string system = "C:\\WINDOWS\\System32";
  std::set<std::string> existing = {"C:\\WINDOWS", "C:\\WINDOWS\\System32", "C:\\WINDOWS\\System"};
  std::map<std::string, std::string> registry;  // "key|name"
  std::map<int, std::string> runTimeDirs;
  std::string userVariables;
  double now = EncodeDateTime(Moment(2024, 3, 9, 14, 5, 7));
  DateSeparators format;
  std::vector<std::string> asked;
  std::vector<std::string> fullPaths;

  std::string Ask(const std::string& what, std::string value) {
    asked.push_back(what);
    return value;
  }

  std::string WindowsDir() override { return Ask("windows", windows); }
  std::string SystemDir() override { return Ask("system", system); }
  std::string TempDir() override { return Ask("temp", "C:\\Temp"); }
  std::string ExeDir() override { return Ask("exe", "C:\\Agent"); }
  std::string OriginDir() override { return Ask("origin", "D:\\Setup"); }
  std::string SpecialFolderDir(SpecialFolder folder) override {
    for (const SpecialFolderName& f : kSpecialFolders)
      if (f.folder == folder) return Ask(std::string(f.name), "S:\\" + std::string(f.name));
    return {};
  }
  std::string RunTimeDir(int slot) override {
    const auto it = runTimeDirs.find(slot);
    return Ask("RunTimeDir " + std::to_string(slot), it == runTimeDirs.end() ? std::string() : it->second);
  }
  bool DirectoryExists(std::string_view path) override { return existing.count(std::string(path)) != 0; }
  std::string ReadRegValue(std::string_view path, std::string_view name) override {
    const auto it = registry.find(std::string(path) + "|" + std::string(name));
    return Ask("registry " + std::string(name), it == registry.end() ? std::string() : it->second);
  }
  std::string UserNameText() override { return Ask("user", "ann"); }
  std::string RegisteredOwner() override { return Ask("owner", "Ann Owner"); }
  std::string RegisteredOrganization() override { return Ask("organization", "Owner Corp"); }
  std::string ComputerNameText() override { return Ask("computer", "PC1"); }
  std::string UserDomain() override { return Ask("domain", "HOME"); }
  double Now() override { return now; }
  const DateSeparators& DateFormat() override { return format; }
  std::string FullPath(std::string_view path) override {
    fullPaths.emplace_back(path);
    return ResolveDotsLikeTheSystem(path);
  }
  std::string UserVariables() override { return userVariables; }
};

const std::string kShellFolders =
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kCurrentVersion = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

const InstallFolders kFolders{"C:\\Apps\\Tool", "C:\\Apps\\Common", "E:\\Aux"};

// With the agent's settings: suffix "\", every stage and dot resolution on.
std::string Expand(std::string_view text, FakeMachine& machine, const InstallFolders& folders = kFolders) {
  return ExpandFolderVariables(text, "\\", true, true, true, folders, machine);
}

struct ExpandCase {
  const char* name;
  const char* text;
  const char* expected;
};

void PrintTo(const ExpandCase& c, std::ostream* os) { *os << c.name; }

class FolderVariableTest : public testing::TestWithParam<ExpandCase> {};

TEST_P(FolderVariableTest, Expands) {
  FakeMachine machine;
  machine.registry = {
      {kShellFolders + "|Start Menu", "C:\\Menu"},
      {kCurrentVersion + "|ProgramFilesDir", "C:\\Program Files"},
  };
  EXPECT_EQ(Expand(GetParam().text, machine), GetParam().expected) << GetParam().text;
}

std::string CaseName(const testing::TestParamInfo<ExpandCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    SuffixRule, FolderVariableTest,
    testing::Values(ExpandCase{"FileAfterTheFolder", "<InstallDir>Tool.exe", "C:\\Apps\\Tool\\Tool.exe"},
                    ExpandCase{"BackslashAfterTheFolder", "<InstallDir>\\Tool.exe", "C:\\Apps\\Tool\\Tool.exe"},
                    ExpandCase{"FolderAlone", "<InstallDir>", "C:\\Apps\\Tool"},
                    ExpandCase{"LowerCase", "<installdir>tool.exe", "C:\\Apps\\Tool\\tool.exe"},
                    ExpandCase{"UpperCase", "<INSTALLDIR>TOOL.EXE", "C:\\Apps\\Tool\\TOOL.EXE"},
                    ExpandCase{"BlankAfterTheFolder", "<InstallDir> /silent", "C:\\Apps\\Tool /silent"},
                    ExpandCase{"EveryOccurrence", "<InstallDir>a.exe;<InstallDir>b.exe",
                               "C:\\Apps\\Tool\\a.exe;C:\\Apps\\Tool\\b.exe"},
                    // The first occurrence decides for all of them.
                    ExpandCase{"FirstOccurrenceDecides", "<InstallDir> <InstallDir>x",
                               "C:\\Apps\\Tool C:\\Apps\\Toolx"},
                    ExpandCase{"ListDelimiterFollows", "|<WinDir>|<TempDir>|", "|C:\\WINDOWS|C:\\Temp|"},
                    ExpandCase{"CommaListDelimiterFollows", ",<WinDir>,<TempDir>,", ",C:\\WINDOWS,C:\\Temp,"},
                    ExpandCase{"NoListWithoutClosingDelimiter", "|<WinDir>|<TempDir>", "|C:\\WINDOWS\\|C:\\Temp"},
                    ExpandCase{"LetterIsNoDelimiter", "x<WinDir>x", "xC:\\WINDOWS\\x"},
                    ExpandCase{"AngleBracketIsNoDelimiter", "<<WinDir><", "<C:\\WINDOWS\\<"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderVariableTest,
    testing::Values(
        ExpandCase{"InstallationFolders", "<InstallDir>a|<InstallCommonDir>b|<InstallAuxDir>c",
                   "C:\\Apps\\Tool\\a|C:\\Apps\\Common\\b|E:\\Aux\\c"},
        ExpandCase{"OlderNames", "<Application Folder>a;<Common Folder>b;<Auxiliary Folder>c",
                   "C:\\Apps\\Tool\\a;C:\\Apps\\Common\\b;E:\\Aux\\c"},
        ExpandCase{"WindowsDirectoryDropsInstallDir", "<Windows Directory><InstallDir>x.dll", "C:\\WINDOWS\\x.dll"},
        ExpandCase{"SystemDirectoryDropsEveryInstallationFolder",
                   "<System Directory><InstallCommonDir><InstallAuxDir>x.dll", "C:\\WINDOWS\\System32\\x.dll"},
        ExpandCase{"InstallDirKeptAfterNewerNames", "<WinDir><InstallDir>", "C:\\WINDOWS\\C:\\Apps\\Tool"},
        ExpandCase{"AbsoluteDirVanishes", "<AbsoluteDir>D:\\Tools\\x.exe", "D:\\Tools\\x.exe"},
        ExpandCase{"SystemFolders", "<WinSysDir>a;<WinSys32Dir>b;<WinSys16Dir>c;<System16 Directory>d",
                   "C:\\WINDOWS\\System32\\a;C:\\WINDOWS\\System32\\b;C:\\WINDOWS\\System\\c;C:\\WINDOWS\\System\\d"},
        ExpandCase{"Drives", "<InstallDrive>a;<WinDrive>b;<WinSysDrive>c;<OriginDrive>d", "C:\\a;C:\\b;C:\\c;D:\\d"},
        ExpandCase{"Disks", "<InstallDisk>\\a;<WinDisk>;<WinSysDisk>;<OriginDisk>", "C:\\a;C:;C:;D:"},
        ExpandCase{"RegistryFolders", "<StartMenuDir>Programs;<ProgramFilesDir>Tool\\x.exe",
                   "C:\\Menu\\Programs;C:\\Program Files\\Tool\\x.exe"},
        ExpandCase{"MissingRegistryFolder", "<CommonFilesDir>x.dll", "\\x.dll"},
        ExpandCase{"FontsBesideWindows", "<FontDir>arial.ttf", "C:\\WINDOWS\\Fonts\\arial.ttf"},
        ExpandCase{"ProgramFolders", "<SrcDir>a;<ServiceDir>b;<OriginDir>c;<TempDir>d",
                   "C:\\Agent\\a;C:\\Agent\\b;D:\\Setup\\c;C:\\Temp\\d"},
        ExpandCase{"SpecialFolder", "<UserAppDataDir>Vendor\\x.ini", "S:\\UserAppDataDir\\Vendor\\x.ini"},
        ExpandCase{"UndefinedRunTimeDir", "<RunTimeDir_1>", ""},
        ExpandCase{"UndefinedRunTimeDirBeforeAFile", "<RunTimeDir_8>x.exe", "\\x.exe"},
        ExpandCase{"UninstallerVanishes", "<UnInstallExePath>", ""},
        ExpandCase{"UnknownVariableStays", "<Nowhere>\\x.exe", "<Nowhere>\\x.exe"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    UserAndMachine, FolderVariableTest,
    testing::Values(ExpandCase{"Names", "<LoggedUserName>;<UserName>;<CompanyName>;<ComputerName>;<CurrentDomainName>",
                               "ann;Ann Owner;Owner Corp;PC1;HOME"},
                    ExpandCase{"NamesTakeNoSuffix", "<ComputerName>x", "PC1x"},
                    ExpandCase{"Counters", "<LastExecutableExitCode>;<ReqFreeDiskSpaceMB>", "0;0"},
                    ExpandCase{"EnteredUserNameVanishes", "a<EnteredUserName>b", "ab"},
                    ExpandCase{"WizardValuesVanish",
                               "<EnteredCompanyName><EnteredStartProgramMenu><VendorCompanyName><ProjectName>"
                               "<ProgramDescriptiveName><ProgramVersion><SelectedLanguage>",
                               ""},
                    ExpandCase{"NamesInAPath", "\\\\<ComputerName>\\Users\\<LoggedUserName>\\x.txt",
                               "\\\\PC1\\Users\\ann\\x.txt"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Dates, FolderVariableTest,
    testing::Values(
        ExpandCase{"FullMonthName", "<Date=#>", "09/March/2024"}, ExpandCase{"DaysSince2000", "<Date=0>", "8834"},
        ExpandCase{"DayMonthYear", "<Date=1>", "09-03-24"}, ExpandCase{"MonthDayYear", "<Date=2>", "03-09-24"},
        ExpandCase{"YearMonthDay", "<Date=3>", "24-03-09"}, ExpandCase{"DayMonthLongYear", "<Date=4>", "09-03-2024"},
        ExpandCase{"MonthDayLongYear", "<Date=5>", "03-09-2024"},
        ExpandCase{"LongYearMonthDay", "<Date=6>", "2024-03-09"},
        ExpandCase{"WithTime", "<Date=7>", "2024-03-09 14:05:07"},
        ExpandCase{"InAPath", "<TempDir>log-<Date=6>.txt", "C:\\Temp\\log-2024-03-09.txt"},
        ExpandCase{"LowerCase", "<date=6>", "2024-03-09"}, ExpandCase{"UnknownCodeStays", "<Date=9>", "<Date=9>"},
        ExpandCase{"OnlyTheFirst", "<Date=6>/<Date=4>", "2024-03-09/<Date=4>"},
        ExpandCase{"UnknownFirstKeepsTheRest", "<Date=9>/<Date=6>", "<Date=9>/<Date=6>"},
        ExpandCase{"Unclosed", "x<Date=6", "x<Date=6"}, ExpandCase{"CodeMissing", "<Date=>", "<Date=>"},
        // Only a code closed at once counts, so nothing after it is lost.
        ExpandCase{"CodeNotClosedAtOnce", "<Date=6x>", "<Date=6x>"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Slashes, FolderVariableTest,
    testing::Values(ExpandCase{"NetworkPathKeepsItsPair", "\\\\srv\\share\\\\<AbsoluteDir>\\x.exe",
                               "\\\\srv\\share\\x.exe"},
                    ExpandCase{"ListOfNetworkPaths", "|\\\\srv\\a|<InstallDir>\\x|\\\\srv\\b|",
                               "|\\\\srv\\a|C:\\Apps\\Tool\\x|\\\\srv\\b|"},
                    // Doubled backslashes that the folders did not make stay.
                    ExpandCase{"UnchangedByFolders", "C:\\a\\\\b\\<Nowhere>", "C:\\a\\\\b\\<Nowhere>"},
                    ExpandCase{"ChangedOnlyBeforeTheFolders", "C:\\a\\\\<Date=6>", "C:\\a\\\\2024-03-09"},
                    ExpandCase{"ChangedByTheFolders", "C:\\a\\\\<TempDir>", "C:\\a\\C:\\Temp"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Dots, FolderVariableTest,
    testing::Values(ExpandCase{"BesideTheApplicationFolder", "<InstallDir>..\\Common\\x.dll",
                               "C:\\Apps\\Common\\x.dll"},
                    ExpandCase{"WithoutVariables", "C:\\a\\b\\..\\c.exe", "C:\\a\\c.exe"},
                    ExpandCase{"Relative", "..\\x.exe", "C:\\x.exe"},
                    ExpandCase{"EachListItem", "|<InstallDir>..\\x.exe|C:\\y.exe|<TempDir>\\..\\z|",
                               "|C:\\Apps\\x.exe|C:\\y.exe|C:\\z|"},
                    ExpandCase{"CommaListWithoutClosingDelimiter", ",C:\\a\\..\\b,C:\\c", ",C:\\b,C:\\c"},
                    ExpandCase{"OtherDelimitersAreNoList", ";C:\\a\\..\\b;", "C:\\Cur\\;C:\\b;"}),
    CaseName);

TEST(FolderVariableOptionsTest, StagesAndSuffixAsAsked) {
  struct Case {
    const char* name;
    const char* suffix;
    bool dots, folders, users;
    const char* text;
    const char* expected;
  } cases[] = {
      {"NoFolderStage", "\\", true, false, true, "<InstallDir>x;<ComputerName>;<Date=6>",
       "<InstallDir>x;PC1;2024-03-09"},
      {"NoFolderStageNoCollapse", "\\", false, false, true, "C:\\\\a\\<ComputerName>", "C:\\\\a\\PC1"},
      {"NoDots", "\\", false, true, true, "<InstallDir>..\\x.dll", "C:\\Apps\\Tool\\..\\x.dll"},
      {"EmptySuffix", "", true, true, true, "<InstallDir>x.exe", "C:\\Apps\\Toolx.exe"},
      {"SlashSuffix", "/", true, true, true, "<TempDir>x", "C:\\Temp/x"},
      {"NoUserStage", "\\", true, true, false, "<Product>", "<Product>"},
      {"UserStage", "\\", true, true, true, "<Product>", "Tarnix"},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    machine.userVariables = "|<Product>=Tarnix|";
    EXPECT_EQ(ExpandFolderVariables(c.text, c.suffix, c.dots, c.folders, c.users, kFolders, machine), c.expected)
        << c.name;
  }
}

TEST(FolderVariableOptionsTest, SixteenBitSystemFolder) {
  struct Case {
    const char* name;
    const char* system;
    std::set<std::string> existing;
    const char* expected;
  } cases[] = {
      {"SystemBesideSystem32", "C:\\WINDOWS\\System32", {"C:\\WINDOWS\\System"}, "C:\\WINDOWS\\System"},
      {"OnlyTheFirst32Goes", "C:\\W32\\System32", {"C:\\W\\System32"}, "C:\\W\\System32"},
      {"SystemInTheWindowsFolder", "C:\\WINDOWS\\Sys32Dir", {"C:\\WINDOWS\\System"}, "C:\\WINDOWS\\System"},
      {"NeitherExists", "C:\\WINDOWS\\System32", {}, "C:\\WINDOWS\\System32"},
      {"No32", "C:\\WINDOWS\\SYSTEM", {"C:\\WINDOWS\\SYSTEM"}, "C:\\WINDOWS\\SYSTEM"},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    machine.system = c.system;
    machine.existing = c.existing;
    EXPECT_EQ(Expand("<WinSys16Dir>", machine), c.expected) << c.name;
  }
}

TEST(FolderVariableOptionsTest, FontsFolderFromTheRegistryWhenItExists) {
  FakeMachine machine;
  machine.registry[kShellFolders + "|Fonts"] = "D:\\Fonts";
  EXPECT_EQ(Expand("<FontDir>a.ttf", machine), "C:\\WINDOWS\\Fonts\\a.ttf");
  machine.existing.insert("D:\\Fonts");
  EXPECT_EQ(Expand("<FontDir>a.ttf", machine), "D:\\Fonts\\a.ttf");
}

TEST(FolderVariableOptionsTest, EverySpecialFolderByItsName) {
  FakeMachine machine;
  for (const SpecialFolderName& f : kSpecialFolders) {
    const std::string name(f.name);
    EXPECT_EQ(Expand("<" + name + ">x", machine), "S:\\" + name + "\\x");
    EXPECT_EQ(Expand("<" + name + ">", machine), "S:\\" + name);
  }
}

TEST(FolderVariableOptionsTest, RunTimeDirsAreAskedOnlyWhenUsed) {
  FakeMachine machine;
  machine.runTimeDirs = {{2, "C:\\RT"}};
  EXPECT_EQ(Expand("<RunTimeDir_2>bin\\x.exe;<runtimedir_2>y", machine), "C:\\RT\\bin\\x.exe;C:\\RT\\y");
  EXPECT_EQ(machine.asked, std::vector<std::string>{"RunTimeDir 2"});
}

TEST(FolderVariableOptionsTest, OnlyTheValuesThatOccurAreAsked) {
  FakeMachine machine;
  EXPECT_EQ(Expand("<InstallDir>x.exe", machine), "C:\\Apps\\Tool\\x.exe");
  EXPECT_TRUE(machine.asked.empty());
  EXPECT_EQ(Expand("C:\\x.exe", machine), "C:\\x.exe");
  EXPECT_TRUE(machine.asked.empty());
  EXPECT_TRUE(machine.fullPaths.empty());
}

TEST(FolderVariableOptionsTest, UnsetInstallationFoldersGiveRelativePaths) {
  FakeMachine machine;
  EXPECT_EQ(Expand("<InstallDir>x.exe", machine, InstallFolders{}), "\\x.exe");
  EXPECT_EQ(Expand("<InstallDrive>x.exe", machine, InstallFolders{}), "x.exe");
}

TEST(FolderVariableOptionsTest, DateBefore2000CountsDaysToIt) {
  FakeMachine machine;
  machine.now = EncodeDateTime(Moment(1999, 12, 29, 12, 0, 0));
  EXPECT_EQ(Expand("<Date=0>", machine), "2");
  machine.now = EncodeDateTime(Moment(2000, 1, 1, 23, 59, 59));
  EXPECT_EQ(Expand("<Date=0>", machine), "0");
}

TEST(FolderVariableOptionsTest, DateTakesTheLocaleTexts) {
  FakeMachine machine;
  machine.format.date = ".";
  machine.format.time = "h";
  machine.format.monthNames[2] = "M\xE4rz";
  EXPECT_EQ(Expand("<Date=#>", machine), "09.M\xE4rz.2024");
  EXPECT_EQ(Expand("<Date=7>", machine), "2024-03-09 14h05h07");
}

TEST(FolderVariableOptionsTest, UserVariables) {
  struct Case {
    const char* name;
    const char* text;
    const char* expected;
  } cases[] = {
      {"Found", "<Product>.exe", "Tarnix.exe"},
      {"IgnoresCase", "<PRODUCT>", "Tarnix"},
      {"EmptyValueRemoves", "a<Empty>b", "ab"},
      {"MissingStays", "<Missing>\\<Product>", "<Missing>\\Tarnix"},
      {"BeforeTheFolders", "<InstallDir><Product>.exe", "C:\\Apps\\Tool\\Tarnix.exe"},
      {"ValueExpandsInLaterStages", "<Nested>x.exe", "C:\\Apps\\Tool\\x.exe"},
      {"OverridesAFolderVariable", "<TempDir>x", "X:\\Minex"},
      {"DoubledBracketsStandForOne", "<<Product>>", "Tarnix"},
      {"BlanksAroundTheName", "<Spaced>", "yes"},
      // A value is not scanned again, so one that names itself ends.
      {"SelfNamingValue", "<Loop>", "<Loop><Loop>"},
      {"OpenBracketWithoutClose", "a<Product", "a<Product"},
      {"OpenBracketBeforeAName", "a<b<Product>", "a<b<Product>"},
      {"ScanGoesOn", "<Missing><Product><Empty><Product>", "<Missing>TarnixTarnix"},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    machine.userVariables =
        "|<Product>=Tarnix|<Empty>=|<Nested>=<InstallDir>|<TempDir>=X:\\Mine| <Spaced> =yes|<Loop>=<Loop><Loop>|";
    EXPECT_EQ(Expand(c.text, machine), c.expected) << c.name;
  }
}

TEST(FolderVariableLimitTest, TextsThatGrowTooLongFail) {
  FakeMachine machine;
  const std::string longFolder(4000, 'f');
  const InstallFolders folders{"C:\\" + longFolder, "", ""};
  std::string many;
  while (many.size() < 300 * 12) many += "<InstallDir>";
  EXPECT_EQ(Expand(many, machine, folders), "");
  // Just below the limit the same variables expand.
  std::string fewer;
  while (fewer.size() < 250 * 12) fewer += "<InstallDir>";
  EXPECT_EQ(Expand(fewer, machine, folders).size(), 250 * (longFolder.size() + 4));

  EXPECT_EQ(Expand(std::string(kMaxExpandedText + 1, 'a'), machine), "");
  EXPECT_EQ(Expand(std::string(kMaxExpandedText, 'a'), machine), std::string(kMaxExpandedText, 'a'));
}

TEST(FolderVariableLimitTest, SelfDoublingUserVariableStopsAtTheLimit) {
  FakeMachine machine;
  machine.userVariables = "|<L>=<L><L><L><L><L><L><L><L>|";
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "<L>";
  EXPECT_EQ(Expand(text, machine), "");
}

TEST(FolderVariableLimitTest, DotListThatGrowsTooLongFails) {
  FakeMachine machine;
  std::string list = "|";
  // Each item grows by the current folder in front of it.
  while (list.size() < kMaxExpandedText - 8) list += "a\\..\\b|";
  EXPECT_EQ(Expand(list, machine), "");
}

}  // namespace
}  // namespace tarnix
