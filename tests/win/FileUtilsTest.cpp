// Files, folders and drives against the real file API: every test works in a
// folder of its own under the temp folder, which the fixture creates and
// removes with plain API calls so that a fault in the code under test cannot
// hide itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "Utils/FileUtils.h"
#include "Utils/UniqueResource.h"

namespace tarnix {
namespace {

constexpr uint64_t kMiB = 1048576;

// 15 June 2021 13:45:30 as a packed DOS date and time.
constexpr uint32_t kStamp = uint32_t((2021 - 1980) << 9 | 6 << 5 | 15) << 16 | (13 << 11 | 45 << 5 | 30 / 2);

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Wipe(const std::string& path) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((path + "\\*").c_str(), &entry));
  if (find) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Wipe(child);
      } else {
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(find.get(), &entry));
  }
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryA(path.c_str());
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that differ from block to block, so a block written twice or
// skipped shows in the content.
std::string Pattern(size_t length) {
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
  return text;
}

uint32_t StampOf(const std::string& path) {
  UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  FILETIME written, local;
  WORD date = 0, time = 0;
  if (!file || !::GetFileTime(file.get(), nullptr, nullptr, &written) || !::FileTimeToLocalFileTime(&written, &local) ||
      !::FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return uint32_t{date} << 16 | time;
}

struct ProgressCall {
  int operation, reserved;
  int64_t total;
  int writing;
  int64_t done;
};

// Records every call; sets the abort flag on call number `abortAt` (1-based).
struct ProgressRecorder {
  std::vector<ProgressCall> calls;
  size_t abortAt = 0;

  FileProgress Callback() {
    return [this](int operation, int reserved, int64_t total, bool& abort, int writing, int64_t done) {
      calls.push_back({operation, reserved, total, writing, done});
      if (calls.size() == abortAt) abort = true;
    };
  }
};

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathA(sizeof temp, temp), 0u);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::string(temp) + "TarnixFiles-" + std::to_string(::GetCurrentProcessId()) + "-" + info->name();
    Wipe(root_);
    ASSERT_TRUE(::CreateDirectoryA(root_.c_str(), nullptr)) << root_;
  }

  void TearDown() override { Wipe(root_); }

  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }

  void MakeDir(const std::string& relative, DWORD attributes = 0) {
    ASSERT_TRUE(::CreateDirectoryA(Path(relative).c_str(), nullptr)) << relative;
    if (attributes) ::SetFileAttributesA(Path(relative).c_str(), attributes);
  }

  void MakeFile(const std::string& relative, const std::string& content, DWORD attributes = 0) {
    {
      std::ofstream out(Path(relative), std::ios::binary);
      out << content;
      ASSERT_TRUE(out.good()) << relative;
    }
    if (attributes) ::SetFileAttributesA(Path(relative).c_str(), attributes);
  }

  std::string root_;
};

TEST_F(FileUtilsTest, WriteFileTextCreatesReplacesAndAppends) {
  const std::string file = Path("text.txt");
  EXPECT_TRUE(WriteFileText(file, "hello world"));
  EXPECT_EQ(ReadAll(file), "hello world");
  EXPECT_TRUE(WriteFileText(file, "bye"));
  EXPECT_EQ(ReadAll(file), "bye");
  EXPECT_TRUE(WriteFileText(file, "-more", 0, true));
  EXPECT_EQ(ReadAll(file), "bye-more");
  EXPECT_TRUE(WriteFileText(file, ""));
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(ReadAll(file), "");

  const std::string appended = Path("new-by-append.txt");
  EXPECT_TRUE(WriteFileText(appended, "first", 0, true));
  EXPECT_EQ(ReadAll(appended), "first");

  EXPECT_FALSE(WriteFileText(Path("missing\\x.txt"), "data"));
  EXPECT_FALSE(Exists(Path("missing")));
}

TEST_F(FileUtilsTest, AppendFileTextAddsToTheEndAndCreatesMissingFiles) {
  const std::string log = Path("stub.log");
  EXPECT_TRUE(AppendFileText(log, "line 1\r\n"));
  EXPECT_TRUE(AppendFileText(log, "line 2\r\n"));
  EXPECT_TRUE(AppendFileText(log, ""));
  EXPECT_EQ(ReadAll(log), "line 1\r\nline 2\r\n");
  EXPECT_TRUE(AppendFileText(log, "x", kStamp));
  EXPECT_EQ(StampOf(log), kStamp);
  EXPECT_FALSE(AppendFileText(Path("missing\\stub.log"), "x"));
}

TEST_F(FileUtilsTest, FileDatesAreSetFromPackedStamps) {
  const std::string file = Path("stamped.bin");
  EXPECT_TRUE(WriteFileText(file, "content", kStamp));
  EXPECT_EQ(StampOf(file), kStamp);

  // A zero stamp leaves the date the write gave the file.
  EXPECT_TRUE(WriteFileText(file, "more", 0, true));
  EXPECT_NE(StampOf(file), kStamp);

  constexpr uint32_t kNewYear = uint32_t((2000 - 1980) << 9 | 1 << 5 | 1) << 16;
  EXPECT_TRUE(SetFileStampByName(file, kNewYear));
  EXPECT_EQ(StampOf(file), kNewYear);
  EXPECT_FALSE(SetFileStampByName(Path("absent.bin"), kNewYear));
}

TEST_F(FileUtilsTest, LargeTextsAreWrittenInTenthsWithProgress) {
  const std::string file = Path("large.bin");
  const std::string text = Pattern(3 * kMiB);
  ProgressRecorder recorder;
  ASSERT_TRUE(WriteFileText(file, text, 0, false, recorder.Callback()));
  EXPECT_EQ(ReadAll(file), text);

  // The start, ten blocks of 314,572 bytes and a last one of 8.
  ASSERT_EQ(recorder.calls.size(), 12u);
  for (size_t i = 0; i < recorder.calls.size(); ++i) {
    const ProgressCall& call = recorder.calls[i];
    EXPECT_EQ(call.operation, kProgressWriting);
    EXPECT_EQ(call.reserved, 0);
    EXPECT_EQ(call.total, int64_t(text.size()));
    EXPECT_EQ(call.writing, 1);
    const int64_t expected = i == 11 ? int64_t(text.size()) : int64_t(i) * 314572;
    EXPECT_EQ(call.done, expected) << "call " << i;
  }

  // Without a callback the same text is still written whole.
  const std::string plain = Path("large-plain.bin");
  EXPECT_TRUE(WriteFileText(plain, text));
  EXPECT_EQ(ReadAll(plain), text);
}

TEST_F(FileUtilsTest, SmallTextsWithACallbackAreWrittenIn1024ByteBlocks) {
  const std::string file = Path("small.bin");
  const std::string text = Pattern(5000);
  ProgressRecorder recorder;
  ASSERT_TRUE(WriteFileText(file, text, kStamp, false, recorder.Callback()));
  EXPECT_EQ(ReadAll(file), text);
  EXPECT_EQ(StampOf(file), kStamp);
  std::vector<int64_t> done;
  for (const ProgressCall& call : recorder.calls) done.push_back(call.done);
  EXPECT_EQ(done, (std::vector<int64_t>{0, 1024, 2048, 3072, 4096, 5000}));

  ProgressRecorder empty;
  EXPECT_TRUE(WriteFileText(Path("empty.bin"), "", 0, false, empty.Callback()));
  ASSERT_EQ(empty.calls.size(), 1u);
  EXPECT_EQ(empty.calls[0].total, 0);
  EXPECT_TRUE(Exists(Path("empty.bin")));
}

TEST_F(FileUtilsTest, AbortingTheCallbackStopsTheWriteAndKeepsWhatWasWritten) {
  const std::string text = Pattern(5000);
  struct Case {
    size_t abortAt;
    size_t expectedBytes;
  } cases[] = {{1, 0}, {3, 2048}, {6, 5000}};
  for (const Case& c : cases) {
    const std::string file = Path("aborted-" + std::to_string(c.abortAt) + ".bin");
    ProgressRecorder recorder;
    recorder.abortAt = c.abortAt;
    const bool ok = WriteFileText(file, text, kStamp, false, recorder.Callback());
    EXPECT_EQ(ok, c.expectedBytes == text.size()) << "abort at " << c.abortAt;
    EXPECT_EQ(recorder.calls.size(), c.abortAt);
    EXPECT_EQ(ReadAll(file), text.substr(0, c.expectedBytes)) << "abort at " << c.abortAt;
    // The date goes only on a complete file.
    EXPECT_EQ(StampOf(file) == kStamp, ok);
  }
}

TEST_F(FileUtilsTest, AThrowingCallbackFailsTheWriteInsteadOfUnwinding) {
  FileProgress throwing = [](int, int, int64_t, bool&, int, int64_t) { throw std::runtime_error("callback failed"); };
  EXPECT_FALSE(WriteFileText(Path("thrown.bin"), "data", 0, false, throwing));
  MakeDir("tree");
  MakeDir("tree\\sub");
  EXPECT_FALSE(RemoveDirTree(Path("tree"), false, throwing));
}

TEST_F(FileUtilsTest, ReadFilePartHonoursOffsetAndMaximum) {
  const std::string file = Path("digits.txt");
  MakeFile("digits.txt", "0123456789");
  struct Case {
    uint64_t max;
    int64_t offset;
    const char* expected;
  } cases[] = {
      {0, 0, "0123456789"}, {4, 0, "0123"}, {0, 7, "789"}, {5, 7, "789"}, {2, 3, "34"},
      {0, 9, "9"},          {0, 10, ""},    {0, 11, ""},   {0, -1, ""},   {100, 0, "0123456789"},
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    ReadFilePart(file, c.max, out, c.offset);
    EXPECT_EQ(out, c.expected) << "max " << c.max << " offset " << c.offset;
  }
  std::string out = "stale";
  ReadFilePart(Path("absent.txt"), 0, out);
  EXPECT_EQ(out, "");
  MakeFile("empty.txt", "");
  out = "stale";
  ReadFilePart(Path("empty.txt"), 0, out);
  EXPECT_EQ(out, "");
}

TEST_F(FileUtilsTest, ReadFilePartReadsAFileOpenForWritingElsewhere) {
  const std::string file = Path("shared.log");
  MakeFile("shared.log", "shared");
  UniqueFileHandle writer(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  std::string out;
  ReadFilePart(file, 0, out);
  EXPECT_EQ(out, "shared");
  EXPECT_TRUE(AppendFileText(file, "+"));
}

TEST_F(FileUtilsTest, SizesAndPositions) {
  MakeFile("ten.bin", "0123456789");
  EXPECT_EQ(GetFileSizeByName(Path("ten.bin")), 10);
  EXPECT_EQ(GetFileSizeByName(Path("absent.bin")), 0);
  EXPECT_EQ(GetFileSizeByName(""), 0);

  UniqueFileHandle file(::CreateFileA(Path("ten.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr));
  ASSERT_TRUE(file);
  EXPECT_EQ(GetFileSize64(file.get()), 10);
  EXPECT_EQ(SeekFile64(file.get(), 2, 0), 10);
  EXPECT_EQ(SeekFile64(file.get(), 1, -3), 7);
  EXPECT_EQ(SeekFile64(file.get(), 0, 2), 2);
  EXPECT_EQ(SeekFile64(file.get(), 1, 0), 2);
  EXPECT_EQ(SeekFile64(file.get(), 3, 0), -1);
  EXPECT_EQ(SeekFile64(file.get(), 0, -1), -1);
  EXPECT_EQ(GetFileSize64(INVALID_HANDLE_VALUE), -1);
}

TEST_F(FileUtilsTest, PositionsBeyond4GiBUseTheHighWord) {
  UniqueFileHandle file(::CreateFileA(Path("sparse.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  const int64_t beyond = (int64_t{1} << 32) + 5;
  EXPECT_EQ(SeekFile64(file.get(), 0, beyond), beyond);
  EXPECT_EQ(SeekFile64(file.get(), 1, 0), beyond);
}

TEST_F(FileUtilsTest, RemoveDirTreeDeletesNestedTreesWithProtectedFiles) {
  MakeDir("tree");
  MakeFile("tree\\top.txt", "top");
  MakeFile("tree\\hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN);
  MakeDir("tree\\a");
  MakeDir("tree\\a\\b");
  MakeFile("tree\\a\\b\\deep.txt", "deep");
  MakeFile("tree\\a\\b\\readonly.txt", "ro", FILE_ATTRIBUTE_READONLY);
  MakeDir("tree\\c", FILE_ATTRIBUTE_HIDDEN);
  MakeFile("tree\\c\\system.txt", "s", FILE_ATTRIBUTE_SYSTEM);

  ProgressRecorder recorder;
  EXPECT_TRUE(RemoveDirTree(Path("tree"), true, recorder.Callback()));
  EXPECT_FALSE(Exists(Path("tree")));
  EXPECT_TRUE(Exists(root_));

  // One report per subfolder of the top folder, none from deeper levels.
  ASSERT_EQ(recorder.calls.size(), 2u);
  for (const ProgressCall& call : recorder.calls) {
    EXPECT_EQ(call.operation, kProgressRemoving);
    EXPECT_EQ(call.total, 0);
    EXPECT_EQ(call.writing, 0);
    EXPECT_EQ(call.done, 0);
  }
}

TEST_F(FileUtilsTest, RemoveDirTreeTakesATrailingBackslash) {
  MakeDir("tree");
  MakeFile("tree\\f.txt", "f");
  EXPECT_TRUE(RemoveDirTree(Path("tree\\"), false));
  EXPECT_FALSE(Exists(Path("tree")));
}

TEST_F(FileUtilsTest, RemoveDirTreeReportsFalseForWhatItCannotRemove) {
  MakeDir("tree");
  MakeDir("tree\\sub");
  MakeFile("tree\\sub\\readonly.txt", "ro", FILE_ATTRIBUTE_READONLY);
  MakeFile("tree\\plain.txt", "p");
  EXPECT_FALSE(RemoveDirTree(Path("tree"), false));
  EXPECT_TRUE(Exists(Path("tree\\sub\\readonly.txt")));
  EXPECT_FALSE(Exists(Path("tree\\plain.txt")));

  EXPECT_FALSE(RemoveDirTree(Path("absent"), true));
  EXPECT_FALSE(RemoveDirTree("", true));
  MakeFile("file.txt", "not a folder");
  EXPECT_FALSE(RemoveDirTree(Path("file.txt"), true));
  EXPECT_TRUE(Exists(Path("file.txt")));
}

TEST_F(FileUtilsTest, RemoveDirTreeStopsWhenTheCallbackAborts) {
  MakeDir("tree");
  MakeDir("tree\\one");
  MakeDir("tree\\two");
  MakeFile("tree\\one\\x.txt", "x");
  MakeFile("tree\\two\\y.txt", "y");
  ProgressRecorder recorder;
  recorder.abortAt = 1;
  EXPECT_FALSE(RemoveDirTree(Path("tree"), false, recorder.Callback()));
  EXPECT_EQ(recorder.calls.size(), 1u);
  EXPECT_TRUE(Exists(Path("tree")));
  EXPECT_NE(Exists(Path("tree\\one")), Exists(Path("tree\\two")));
}

TEST_F(FileUtilsTest, RemoveDirTreeRefusesADriveRoot) {
  // A spare drive letter mapped onto the test folder stands in for a real
  // drive, so a failure empties only the test folder.
  char letter = 0;
  const DWORD used = ::GetLogicalDrives();
  for (char l = 'Z'; l >= 'D'; --l) {
    if (!(used & (1u << (l - 'A')))) {
      letter = l;
      break;
    }
  }
  if (letter == 0) GTEST_SKIP() << "no free drive letter";
  const std::string device{letter, ':'};
  if (!::DefineDosDeviceA(0, device.c_str(), root_.c_str())) GTEST_SKIP() << "cannot map a drive letter";
  if (!Exists(device + "\\")) {
    ::DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(), root_.c_str());
    GTEST_SKIP() << "the mapped drive letter does not reach the folder";
  }
  MakeFile("keep.txt", "keep");
  MakeDir("keep");
  for (const std::string& root : {device, device + "\\", device + "\\\\"}) {
    EXPECT_FALSE(RemoveDirTree(root, true)) << root;
  }
  ::DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(), root_.c_str());
  EXPECT_TRUE(Exists(Path("keep.txt")));
  EXPECT_TRUE(Exists(Path("keep")));
}

TEST_F(FileUtilsTest, DeleteFilesByMaskDeletesMatchingFilesOnly) {
  MakeFile("a.tmp", "a");
  MakeFile("b.tmp", "b", FILE_ATTRIBUTE_HIDDEN);
  MakeFile("c.tmp", "c", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  MakeFile("d.tmp", "d", FILE_ATTRIBUTE_READONLY);
  MakeFile("e.txt", "e");
  MakeDir("f.tmp");

  EXPECT_TRUE(DeleteFilesByMask(Path("*.tmp"), false));
  EXPECT_FALSE(Exists(Path("a.tmp")));
  EXPECT_FALSE(Exists(Path("b.tmp")));
  EXPECT_FALSE(Exists(Path("c.tmp")));
  EXPECT_TRUE(Exists(Path("d.tmp")));
  EXPECT_TRUE(Exists(Path("e.txt")));
  EXPECT_TRUE(Exists(Path("f.tmp")));

  // The read-only file still matches; with the flag it goes too.
  EXPECT_TRUE(DeleteFilesByMask(Path("*.tmp"), true));
  EXPECT_FALSE(Exists(Path("d.tmp")));
  EXPECT_FALSE(DeleteFilesByMask(Path("*.tmp"), true));
  EXPECT_FALSE(DeleteFilesByMask(Path("absent\\*.*"), true));
}

class FileSearchTest : public FileUtilsTest {
 protected:
  void SetUp() override {
    FileUtilsTest::SetUp();
    MakeDir("tree");
    MakeDir("tree\\Alpha");
    MakeDir("tree\\Alpha\\Beta");
    MakeFile("tree\\Alpha\\Beta\\target.txt", "t");
    MakeDir("tree\\Gamma");
    MakeFile("tree\\Gamma\\other.txt", "o");
    MakeDir("tree\\Hidden", FILE_ATTRIBUTE_HIDDEN);
    MakeFile("tree\\Hidden\\secret.txt", "s");
    MakeFile("tree\\top.txt", "top");
  }
};

TEST_F(FileSearchTest, FindFileInTreeSearchesSubfoldersDepthFirst) {
  EXPECT_EQ(FindFileInTree(Path("tree"), "target.txt"), Path("tree\\Alpha\\Beta\\target.txt"));
  EXPECT_EQ(FindFileInTree(Path("tree") + "\\", "top.txt"), Path("tree\\top.txt"));
  EXPECT_EQ(FindFileInTree(Path("tree"), "other.txt"), Path("tree\\Gamma\\other.txt"));
  EXPECT_EQ(FindFileInTree(Path("tree"), "absent.txt"), "");
  // A folder of the name is not the file.
  EXPECT_EQ(FindFileInTree(Path("tree"), "Beta"), "");
  // Hidden folders are not entered.
  EXPECT_EQ(FindFileInTree(Path("tree"), "secret.txt"), "");
  EXPECT_EQ(FindFileInTree(Path("absent"), "target.txt"), "");
}

TEST_F(FileSearchTest, FindDirInTreeComparesNamesIgnoringCase) {
  EXPECT_EQ(FindDirInTree(Path("tree"), "beta"), Path("tree\\Alpha\\Beta"));
  EXPECT_EQ(FindDirInTree(Path("tree"), "GAMMA"), Path("tree\\Gamma"));
  EXPECT_EQ(FindDirInTree(Path("tree\\Alpha"), "Alpha"), Path("tree\\Alpha"));
  EXPECT_EQ(FindDirInTree(Path("tree\\Alpha\\"), "alpha"), Path("tree\\Alpha"));
  EXPECT_EQ(FindDirInTree(Path("tree"), "top.txt"), "");
  EXPECT_EQ(FindDirInTree(Path("tree"), "eta"), "");
  EXPECT_EQ(FindDirInTree(Path("tree"), ""), "");
}

TEST_F(FileSearchTest, SearchesPumpTheMessageQueue) {
  constexpr UINT kProbe = WM_APP + 17;
  MSG msg;
  // A thread gets its queue on its first look at it.
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), kProbe, 0, 0));
  EXPECT_EQ(FindFileInTree(Path("tree"), "absent.txt"), "");
  EXPECT_FALSE(::PeekMessageA(&msg, nullptr, kProbe, kProbe, PM_REMOVE));
}

TEST_F(FileSearchTest, FindDirOnDrivesTakesAFullPathOnADriveOfTheType) {
  const std::string drive = root_.substr(0, 3);
  const UINT type = ::GetDriveTypeA(drive.c_str());
  const UINT otherType = type == DRIVE_CDROM ? DRIVE_REMOTE : DRIVE_CDROM;
  EXPECT_EQ(FindDirOnDrives(Path("tree\\Alpha"), type), Path("tree\\Alpha"));
  EXPECT_EQ(FindDirOnDrives(Path("tree\\Alpha"), otherType), "");
  EXPECT_EQ(FindDirOnDrives(Path("tree\\Absent"), type), "");
  EXPECT_EQ(FindDirOnDrives(Path("tree\\top.txt"), type), "");
  // No drive is a RAM disk here, so nothing is searched.
  EXPECT_EQ(FindDirOnDrives("Beta", DRIVE_RAMDISK), "");
  EXPECT_EQ(FindFileOnDrives("target.txt", DRIVE_RAMDISK), "");
}

TEST_F(FileUtilsTest, FreeDiskSpace) {
  EXPECT_GT(GetFreeDiskSpace(root_), 0.0);
  EXPECT_GT(GetFreeDiskSpace(Path("not\\yet\\made")), 0.0);
  EXPECT_GT(GetFreeDiskSpace(root_.substr(0, 1)), 0.0);

  const DWORD used = ::GetLogicalDrives();
  char missing = 0;
  for (char l = 'Z'; l >= 'D'; --l) {
    if (!(used & (1u << (l - 'A')))) {
      missing = l;
      break;
    }
  }
  ASSERT_NE(missing, 0) << "every drive letter is in use";
  EXPECT_EQ(GetFreeDiskSpace(std::string{missing, ':', '\\', 'x'}), -1.0);
  EXPECT_EQ(GetFreeDiskSpace(std::string{missing}), -1.0);
  EXPECT_EQ(GetFreeDiskSpace(""), -1.0);
}

TEST_F(FileUtilsTest, EjectCDIgnoresPathsOffCdDrives) {
  MakeFile("keep.txt", "keep");
  EXPECT_FALSE(EjectCD(Path("keep.txt")));
  EXPECT_FALSE(EjectCD(""));
  EXPECT_FALSE(EjectCD("1:\\setup.exe"));
  EXPECT_TRUE(Exists(Path("keep.txt")));
}

TEST(SystemFoldersTest, FoldersComeWithoutOrWithExactlyOneTrailingBackslash) {
  struct Case {
    const char* name;
    std::string (*get)(bool);
  } cases[] = {
      {"temp", GetTempDir}, {"windows", GetWindowsDir}, {"system", GetSystemDir}, {"exe", GetExeDir},
  };
  for (const Case& c : cases) {
    const std::string bare = c.get(false), slashed = c.get(true);
    ASSERT_GT(bare.size(), 2u) << c.name;
    EXPECT_NE(bare.back(), '\\') << c.name;
    EXPECT_EQ(slashed, bare + "\\") << c.name;
    const DWORD attr = ::GetFileAttributesA(bare.c_str());
    EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) << c.name << ": " << bare;
  }
  char temp[MAX_PATH + 1];
  ASSERT_GT(::GetTempPathA(sizeof temp, temp), 0u);
  EXPECT_EQ(GetTempDir(true), temp);
}

TEST(SystemFoldersTest, ExecutableNameAndFolder) {
  const std::string exe = GetExeFileName();
  EXPECT_EQ(GetExeDir(true) + "win_tests.exe", exe);
  EXPECT_EQ(GetExeFileName(true), "win_tests");
}

}  // namespace
}  // namespace tarnix
