// The programs of a setup import only libraries that Windows always takes
// from the system folder, whatever lies beside the program; every other
// library they load at run time from the system folder by its full path,
// and what the system's own libraries load later is looked for there only.
// The import tables are read from the files, so a new import of another
// library fails here before any planted file could be loaded in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "DebugTestSupport.h"
#include "Utils/SystemLibrary.h"
#include "Utils/UniqueResource.h"
#include "win/support/SetupProcess.h"
#include "win/support/PlantedLibraries.h"

namespace tarnix {
namespace {

// Known DLLs on Windows XP, 7 and 10/11 alike, so never searched for beside
// the program. msvcrt is listed from Windows 7 on; the C runtime cannot be
// loaded late, so it stays an import.
const std::set<std::string>& AllowedImports() {
  static const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                                "advapi32.dll", "shell32.dll",  "msvcrt.dll",
                                                "ole32.dll",    "oleaut32.dll", "comdlg32.dll"};
  return allowed;
}

// A PE32 file's headers, read with every offset checked against the file.
class PeImage {
 public:
  explicit PeImage(std::string bytes) : bytes_(std::move(bytes)) {}

  // The libraries named by the import and the delay-load import tables, in
  // lower case; nullopt with `error` set when the file is no PE32 image or
  // a table leaves it.
  std::optional<std::vector<std::string>> ImportedLibraries(std::string& error) const {
    if (!ReadHeaders(error)) return std::nullopt;
    std::vector<std::string> names;
    // IMAGE_IMPORT_DESCRIPTOR: 20 bytes, the name's address at 12; a zeroed
    // entry ends the table.
    if (!WalkTable(IMAGE_DIRECTORY_ENTRY_IMPORT, 20, 12, names, error)) return std::nullopt;
    // The delay-load descriptor: 32 bytes, the name's address at 4.
    if (!WalkTable(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, 32, 4, names, error)) return std::nullopt;
    return names;
  }

 private:
  std::optional<uint32_t> U32(uint64_t at) const {
    if (at + 4 > bytes_.size()) return std::nullopt;
    uint32_t v = 0;
    std::memcpy(&v, bytes_.data() + at, 4);
    return v;
  }
  std::optional<uint16_t> U16(uint64_t at) const {
    if (at + 2 > bytes_.size()) return std::nullopt;
    uint16_t v = 0;
    std::memcpy(&v, bytes_.data() + at, 2);
    return v;
  }

  bool ReadHeaders(std::string& error) const {
    const auto peOffset = U32(0x3C);
    if (bytes_.compare(0, 2, "MZ") != 0 || !peOffset || bytes_.compare(*peOffset, 4, std::string("PE\0\0", 4)) != 0) {
      error = "no PE signature";
      return false;
    }
    const uint64_t fileHeader = *peOffset + 4ull;
    optionalHeader_ = fileHeader + sizeof(IMAGE_FILE_HEADER);
    const auto sections = U16(fileHeader + offsetof(IMAGE_FILE_HEADER, NumberOfSections));
    const auto optionalSize = U16(fileHeader + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader));
    const auto magic = U16(optionalHeader_);
    if (!sections || !optionalSize ||
        (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)) {
      error = "no PE32 or PE32+ optional header";
      return false;
    }
    // The count of data directories and the directories, eight bytes each,
    // follow it: PE32+ has 64-bit fields before them.
    directories_ = optionalHeader_ + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 108 : 92);
    sectionTable_ = optionalHeader_ + *optionalSize;
    sectionCount_ = *sections;
    if (sectionTable_ + sectionCount_ * uint64_t(sizeof(IMAGE_SECTION_HEADER)) > bytes_.size()) {
      error = "section table past the end of the file";
      return false;
    }
    return true;
  }

  // The file offset of an address in the loaded image; nullopt outside
  // every section's raw data.
  std::optional<uint64_t> FileOffset(uint32_t rva) const {
    for (uint32_t i = 0; i < sectionCount_; ++i) {
      const uint64_t header = sectionTable_ + i * uint64_t(sizeof(IMAGE_SECTION_HEADER));
      const uint32_t address = *U32(header + offsetof(IMAGE_SECTION_HEADER, VirtualAddress));
      const uint32_t rawSize = *U32(header + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData));
      const uint32_t rawStart = *U32(header + offsetof(IMAGE_SECTION_HEADER, PointerToRawData));
      if (rva >= address && rva - address < rawSize && uint64_t(rawStart) + (rva - address) < bytes_.size())
        return uint64_t(rawStart) + (rva - address);
    }
    return std::nullopt;
  }

  std::optional<std::string> NameAt(uint32_t rva) const {
    const auto at = FileOffset(rva);
    if (!at) return std::nullopt;
    const size_t end = bytes_.find('\0', *at);
    if (end == std::string::npos || end - *at > MAX_PATH) return std::nullopt;
    std::string name = bytes_.substr(*at, end - *at);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
  }

  bool WalkTable(int directory, uint32_t entrySize, uint32_t nameField, std::vector<std::string>& names,
                 std::string& error) const {
    const auto count = U32(directories_);
    if (!count || uint32_t(directory) >= *count) return true;
    const auto tableRva = U32(directories_ + 4 + 8ull * directory);
    if (!tableRva || *tableRva == 0) return true;
    const auto table = FileOffset(*tableRva);
    if (!table) {
      error = "import table " + std::to_string(directory) + " outside the sections";
      return false;
    }
    for (uint64_t entry = *table;; entry += entrySize) {
      if (entry + entrySize > bytes_.size()) {
        error = "unterminated import table " + std::to_string(directory);
        return false;
      }
      if (bytes_.compare(entry, entrySize, std::string(entrySize, '\0')) == 0) return true;
      const auto name = NameAt(*U32(entry + nameField));
      if (!name) {
        error = "unreadable library name in import table " + std::to_string(directory);
        return false;
      }
      names.push_back(*name);
    }
  }

  std::string bytes_;
  mutable uint64_t optionalHeader_ = 0;
  mutable uint64_t directories_ = 0;
  mutable uint64_t sectionTable_ = 0;
  mutable uint32_t sectionCount_ = 0;
};

struct Program {
  const char* name;
  const char* pathVariable;
};
void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

class ImportTableTest : public ::testing::TestWithParam<Program> {};

TEST_P(ImportTableTest, NamesOnlyLibrariesTheSystemFolderAlwaysProvides) {
  const std::string path = test::PathFromEnv(GetParam().pathVariable);
  ASSERT_FALSE(path.empty()) << GetParam().pathVariable << " is not set";
  std::string error;
  const auto imports = PeImage(test::ReadWholeFile(path)).ImportedLibraries(error);
  ASSERT_TRUE(imports) << path << ": " << error;
  // Every program imports kernel32: without it the table was not read.
  EXPECT_NE(std::find(imports->begin(), imports->end(), "kernel32.dll"), imports->end());
  for (const std::string& name : *imports) EXPECT_EQ(AllowedImports().count(name), 1u) << path << " imports " << name;
}

INSTANTIATE_TEST_SUITE_P(Programs, ImportTableTest,
                         ::testing::Values(Program{"Stub", "TARNIX_STUB_EXE"},
                                           Program{"StandinSetup", "TARNIX_STANDIN_EXE"},
                                           Program{"PackTool", "TARNIX_PACK_EXE"}),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

// The package builder, like the stub, is run from wherever it was
// downloaded to.
TEST(PackToolLibraries, LibrariesPlantedBesideThePackToolAreNotLoaded) {
  const std::string tool = test::PathFromEnv("TARNIX_PACK_EXE");
  ASSERT_FALSE(tool.empty()) << "TARNIX_PACK_EXE is not set";
  test::ScratchDir dir;
  test::PlantedLibraries planted(dir / "marks", {"tarnix-pack.exe"});
  const std::string copy = dir / "tarnix-pack.exe";
  ASSERT_TRUE(::CopyFileA(tool.c_str(), copy.c_str(), FALSE));
  test::PlantedLibraries::PlantIn(copy.substr(0, copy.find_last_of('\\')));

  const test::StartedProcess started = test::StartProcess(copy, "tarnix-pack.exe token planted", planted.Environment());
  ASSERT_TRUE(started.process);
  ASSERT_EQ(::WaitForSingleObject(started.process.get(), 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  ::GetExitCodeProcess(started.process.get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(planted.Marks(), "");
}

std::string FolderOf(HMODULE module) {
  char path[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameA(module, path, MAX_PATH);
  const std::string file(path, n < MAX_PATH ? n : 0);
  return file.substr(0, file.find_last_of('\\') == std::string::npos ? 0 : file.find_last_of('\\'));
}

// The loader takes a library from the system folder (or, for a 32-bit
// program on 64-bit Windows, the folder the system maps it to) and from
// nowhere else, and a name with a path in it not at all.
TEST(SystemLibraryTest, LoadsFromTheSystemFolderOnly) {
  for (const char* name :
       {"", "C:\\Windows\\System32\\version.dll", "..\\version.dll", "sub/version.dll", "C:version.dll"})
    EXPECT_EQ(LoadSystemLibrary(name), nullptr) << name;
  EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);

  char system[MAX_PATH + 1] = {}, wow64[MAX_PATH + 1] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  ::GetSystemWow64DirectoryA(wow64, MAX_PATH);
  const UniqueModule version(LoadSystemLibrary("version.dll"));
  ASSERT_TRUE(version);
  const std::string folder = FolderOf(version.get());
  EXPECT_TRUE(lstrcmpiA(folder.c_str(), system) == 0 || lstrcmpiA(folder.c_str(), wow64) == 0) << folder;

  // The marker library lies beside this program, where a bare LoadLibrary
  // would find it.
  const UniqueModule beside(LoadSystemLibrary("marker-library.dll"));
  EXPECT_FALSE(beside) << FolderOf(beside.get());
}

// What the system's libraries load by name after the start, and what the
// programs' own code would, is looked for in the system folder only: with
// the search narrowed at start, a library beside the program or in its
// current folder no longer loads by its bare name. The planted name is one
// that neither Windows nor Wine has, so each finds only the planted file.
struct SearchCase {
  const char* name;
  bool inCurrentFolder;  // else beside the program
  bool narrowed;
  bool loads;
};
void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class LibrarySearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(LibrarySearchTest, NarrowedSearchFindsNothingBesideTheProgramOrInTheCurrentFolder) {
  const SearchCase& c = GetParam();
  const std::string child = test::PathFromEnv("TARNIX_TEST_CHILD_EXE");
  ASSERT_FALSE(child.empty()) << "TARNIX_TEST_CHILD_EXE is not set";
  test::ScratchDir dir;
  for (const char* folder : {"program", "current", "marks"})
    ASSERT_TRUE(::CreateDirectoryA((dir / folder).c_str(), nullptr));
  const std::string program = dir / "program\\child.exe";
  ASSERT_TRUE(::CopyFileA(child.c_str(), program.c_str(), FALSE));
  const std::string planted = dir / (c.inCurrentFolder ? "current" : "program") + "\\tarnix-planted.dll";
  ASSERT_TRUE(::CopyFileA(test::PlantedLibraries::MarkerLibrary().c_str(), planted.c_str(), FALSE));

  std::string commandLine = "child.exe load tarnix-planted.dll";
  if (c.narrowed) commandLine += " narrow";
  std::string environment = test::EnvironmentWith({{"TARNIX_MARKER_DIR", dir / "marks"}});
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                               (dir / "current").c_str(), &startup, &started))
      << ::GetLastError();
  const UniqueHandle process(started.hProcess), thread(started.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  DWORD code = 2;
  ::GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, c.loads ? 0u : 1u);
  EXPECT_EQ(test::PathExists(dir / "marks\\tarnix-planted.dll.loaded"), c.loads);
}

INSTANTIATE_TEST_SUITE_P(Places, LibrarySearchTest,
                         ::testing::Values(SearchCase{"BesideTheProgram", false, false, true},
                                           SearchCase{"BesideTheProgramNarrowed", false, true, false},
                                           SearchCase{"InTheCurrentFolder", true, false, true},
                                           SearchCase{"InTheCurrentFolderNarrowed", true, true, false}),
                         [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnix
