#include <gtest/gtest.h>

#include <array>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "environment/RunTimeDirs.h"

namespace tarnix {
namespace {

struct FakeMachine final : RunTimeDirSource {
  // Upper-cased key path and value name, and the view.
  std::map<std::tuple<std::string, std::string, bool>, std::string> values;
  std::set<std::string> files, folders;
  std::map<std::pair<std::string, unsigned>, std::string> fileHits, folderHits;
  std::vector<std::string> calls;
  std::vector<bool> views;
  std::vector<std::string> reports;

  void Value(std::string_view path, std::string_view name, std::string value, bool view64 = Use64BitRegistryView) {
    values[{UpperCase(path), UpperCase(name), view64}] = std::move(value);
  }

  std::string ReadRegValue(std::string_view path, std::string_view name, bool view64) override {
    calls.push_back("reg " + std::string(path) + "|" + std::string(name));
    views.push_back(view64);
    const auto it = values.find({UpperCase(path), UpperCase(name), view64});
    return it == values.end() ? std::string() : it->second;
  }
  bool FileExists(std::string_view path) override { return files.count(std::string(path)) != 0; }
  bool DirectoryExists(std::string_view path) override { return folders.count(std::string(path)) != 0; }
  std::string FindFileOnDrives(std::string_view name, unsigned type) override {
    calls.push_back("file " + std::string(name) + " " + std::to_string(type));
    const auto it = fileHits.find({std::string(name), type});
    return it == fileHits.end() ? std::string() : it->second;
  }
  std::string FindDirOnDrives(std::string_view name, unsigned type) override {
    calls.push_back("dir " + std::string(name) + " " + std::to_string(type));
    const auto it = folderHits.find({std::string(name), type});
    return it == folderHits.end() ? std::string() : it->second;
  }
  void ReportNotFound(std::string_view name) override { reports.emplace_back(name); }
};

// A recipe with the given items and every other item empty.
std::string Recipe(const std::map<int, std::string>& items) {
  std::string list = "|";
  for (int i = 0; i <= 21; ++i) {
    const auto it = items.find(i);
    list += (it == items.end() ? std::string() : it->second) + "|";
  }
  return list;
}

const std::string kRunExeKey = std::string(kAppPathsKey) + "run.exe";
const std::string kVendorKey = "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Runtime";

struct RecipeCase {
  const char* name;
  std::map<int, std::string> items;
  void (*machine)(FakeMachine&);
  const char* expected;
  std::vector<std::string> reports;
};

void PrintTo(const RecipeCase& c, std::ostream* os) { *os << c.name; }

class RunTimeDirRecipeTest : public testing::TestWithParam<RecipeCase> {};

TEST_P(RunTimeDirRecipeTest, Resolves) {
  FakeMachine machine;
  GetParam().machine(machine);
  EXPECT_EQ(ResolveRunTimeDir(Recipe(GetParam().items), machine), GetParam().expected);
  EXPECT_EQ(machine.reports, GetParam().reports);
}

void Nothing(FakeMachine&) {}

INSTANTIATE_TEST_SUITE_P(
    Recipes, RunTimeDirRecipeTest,
    testing::Values(
        RecipeCase{"NoStepSwitchedOn", {{1, "run.exe"}, {13, "C:\\Fixed"}, {16, "1"}}, Nothing, "", {""}},
        RecipeCase{"AppPaths",
                   {{0, "1"}, {1, "run.exe"}},
                   [](FakeMachine& m) { m.Value(kRunExeKey, "", "C:\\Tools\\run.exe"); },
                   "C:\\Tools",
                   {}},
        RecipeCase{"AppPathsInQuotes",
                   {{0, "1"}, {1, "run.exe"}},
                   [](FakeMachine& m) { m.Value(kRunExeKey, "", "\"C:\\Program Files\\Tool\\run.exe\""); },
                   "C:\\Program Files\\Tool",
                   {}},
        RecipeCase{"RegistryPathDefaultValue",
                   {{2, "1"}, {3, kVendorKey}},
                   [](FakeMachine& m) { m.Value(kVendorKey, "", "D:\\Runtime\\"); },
                   "D:\\Runtime",
                   {}},
        RecipeCase{"RegistryPathNamedValue",
                   {{2, "1"}, {3, kVendorKey + "\\InstallDir"}},
                   [](FakeMachine& m) { m.Value(kVendorKey, "InstallDir", "D:\\Runtime"); },
                   "D:\\Runtime",
                   {}},
        RecipeCase{"RegistryPathNamesAFile",
                   {{2, "1"}, {3, kVendorKey + "\\Library"}},
                   [](FakeMachine& m) {
                     m.Value(kVendorKey, "Library", "D:\\Runtime\\bin\\rt.dll");
                     m.files.insert("D:\\Runtime\\bin\\rt.dll");
                     m.folders.insert("D:\\Runtime\\bin");
                   },
                   "D:\\Runtime\\bin",
                   {}},
        RecipeCase{"FileOnANetworkDriveAfterTheFixedOnes",
                   {{4, "1"}, {5, "rt.dll"}, {6, "1"}, {7, "1"}},
                   [](FakeMachine& m) {
                     m.fileHits[{"rt.dll", kDriveRemote}] = "\\\\srv\\share\\rt\\rt.dll";
                   },
                   "\\\\srv\\share\\rt",
                   {}},
        RecipeCase{"FileSearchOnlyWhereAsked",
                   {{4, "1"}, {5, "rt.dll"}, {6, "1"}},
                   [](FakeMachine& m) {
                     m.fileHits[{"rt.dll", kDriveRemote}] = "\\\\srv\\share\\rt\\rt.dll";
                   },
                   "",
                   {}},
        RecipeCase{"FolderOnAFixedDrive",
                   {{8, "1"}, {9, "Runtime"}, {10, "1"}, {11, "1"}},
                   [](FakeMachine& m) {
                     m.folderHits[{"Runtime", kDriveFixed}] = "E:\\Apps\\Runtime";
                   },
                   "E:\\Apps\\Runtime",
                   {}},
        RecipeCase{"FixedPath", {{12, "1"}, {13, "C:\\Fixed"}}, Nothing, "C:\\Fixed", {}},
        RecipeCase{"FirstFindWins",
                   {{0, "1"}, {1, "run.exe"}, {12, "1"}, {13, "C:\\Fixed"}},
                   [](FakeMachine& m) { m.Value(kRunExeKey, "", "C:\\Tools\\run.exe"); },
                   "C:\\Tools",
                   {}},
        RecipeCase{"FallsThroughToTheFixedPath",
                   {{0, "1"}, {1, "run.exe"}, {2, "1"}, {3, kVendorKey}, {12, "1"}, {13, "C:\\Fixed"}, {16, "1"}},
                   Nothing,
                   "C:\\Fixed",
                   {}},
        RecipeCase{"NotFoundNamesTheRegistryPath",
                   {{0, "1"}, {1, "run.exe"}, {2, "1"}, {3, kVendorKey}, {4, "1"}, {5, "rt.dll"}, {16, "1"}},
                   Nothing,
                   "",
                   {kVendorKey}},
        RecipeCase{"NotFoundNamesTheProgram",
                   {{0, "1"}, {1, "run.exe"}, {4, "1"}, {5, "rt.dll"}, {16, "1"}},
                   Nothing,
                   "",
                   {"run.exe"}},
        RecipeCase{"NotFoundNamesTheFile",
                   {{0, "1"}, {4, "1"}, {5, "rt.dll"}, {8, "1"}, {9, "Runtime"}, {16, "1"}},
                   Nothing,
                   "",
                   {"rt.dll"}},
        RecipeCase{"NotFoundNamesTheFolder",
                   {{4, "1"}, {8, "1"}, {9, "Runtime"}, {10, "1"}, {16, "1"}},
                   Nothing,
                   "",
                   {"Runtime"}},
        RecipeCase{"NotFoundQuietly", {{0, "1"}, {1, "run.exe"}, {16, "0"}}, Nothing, "", {}},
        RecipeCase{"FlagsAreOnlyTheDigitOne", {{12, "yes"}, {13, "C:\\Fixed"}, {16, "true"}}, Nothing, "", {}}),
    [](const testing::TestParamInfo<RecipeCase>& info) { return std::string(info.param.name); });

TEST(RunTimeDirRecipeTest, EmptySearchNamesWalkNoDrive) {
  FakeMachine machine;
  EXPECT_EQ(ResolveRunTimeDir(Recipe({{4, "1"}, {6, "1"}, {7, "1"}, {8, "1"}, {10, "1"}, {11, "1"}}), machine), "");
  EXPECT_TRUE(machine.calls.empty());
}

TEST(RunTimeDirRecipeTest, RegistryViewSelectors) {
  struct Case {
    const char* selector;
    bool valueIn64BitView;
    const char* expected;
    std::vector<bool> views;  // read in this order, true for the 64-bit view
  } cases[] = {
      {"", false, "C:\\Tools", {false}},  {"0", true, "", {false}},  {"1", true, "", {false}},
      {"2", true, "C:\\Tools", {true}},   {"2", false, "", {true}},  {"3", true, "C:\\Tools", {false, true}},
      {"7", false, "C:\\Tools", {false}}, {"-1", true, "", {false}}, {"x", true, "", {false}},
  };
  for (const Case& c : cases) {
    for (const bool appPaths : {true, false}) {
      FakeMachine machine;
      machine.Value(appPaths ? kRunExeKey : kVendorKey, "", "C:\\Tools\\run.exe", c.valueIn64BitView);
      machine.files.insert("C:\\Tools\\run.exe");
      machine.folders.insert("C:\\Tools");
      const std::map<int, std::string> items =
          appPaths ? std::map<int, std::string>{{0, "1"}, {1, "run.exe"}, {20, c.selector}}
                   : std::map<int, std::string>{{2, "1"}, {3, kVendorKey}, {21, c.selector}};
      const std::string where = std::string(c.selector) + (appPaths ? " App Paths" : " registry path");
      EXPECT_EQ(ResolveRunTimeDir(Recipe(items), machine), c.expected) << where;
      // A registry path that gives nothing is read once more, with its last
      // part as the value name, in the same views.
      std::vector<bool> views = c.views;
      if (!appPaths && std::string(c.expected).empty()) views.insert(views.end(), c.views.begin(), c.views.end());
      EXPECT_EQ(machine.views, views) << where;
    }
  }
}

TEST(RunTimeDirsTest, EachSlotIsResolvedOnceAndKept) {
  std::array<std::string, kRunTimeDirSlots> recipes;
  recipes[0] = Recipe({{0, "1"}, {1, "run.exe"}, {16, "1"}});
  recipes[1] = Recipe({{12, "1"}, {13, "C:\\Fixed"}});
  RunTimeDirs dirs(recipes);
  FakeMachine machine;

  EXPECT_EQ(dirs.Get(1, machine), "");
  EXPECT_EQ(machine.reports, std::vector<std::string>{"run.exe"});
  // Installed since: a second use does not look again, and says nothing.
  machine.Value(kRunExeKey, "", "C:\\Tools\\run.exe");
  const size_t calls = machine.calls.size();
  EXPECT_EQ(dirs.Get(1, machine), "");
  EXPECT_EQ(machine.calls.size(), calls);
  EXPECT_EQ(machine.reports.size(), 1u);

  EXPECT_EQ(dirs.Get(2, machine), "C:\\Fixed");
  EXPECT_EQ(dirs.Get(2, machine), "C:\\Fixed");
  for (int slot : {3, 8}) EXPECT_EQ(dirs.Get(slot, machine), "") << slot;
  for (int slot : {0, -1, 9}) EXPECT_EQ(dirs.Get(slot, machine), "") << slot;
  EXPECT_EQ(machine.calls.size(), calls);
}

TEST(RunTimeDirsTest, WithoutRecipesEverySlotIsEmptyAndSilent) {
  RunTimeDirs dirs;
  FakeMachine machine;
  for (int slot = 1; slot <= kRunTimeDirSlots; ++slot) EXPECT_EQ(dirs.Get(slot, machine), "") << slot;
  EXPECT_TRUE(machine.calls.empty());
  EXPECT_TRUE(machine.reports.empty());
}

}  // namespace
}  // namespace tarnix
