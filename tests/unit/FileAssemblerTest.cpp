// Blocks taken in package order becoming files: one open and one close per
// file however many blocks (and disks) it spans, its stamp set once and only
// when its last block was written whole, names that ignore case, names that
// would leave the folder refused once, and write failures reported per
// block.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Utils/WorkerPool.h"
#include "package/BlockPipeline.h"
#include "package/FileAssembler.h"
#include "unit/BlockFixtures.h"

namespace tarnix {
namespace {

using test::BlockDisk;
using test::BlockPlain;
using test::Compressed;
using test::Stored;
using test::Text;

// Files in memory, and every call in order as a line of text.
class MemoryOutput final : public FileOutput {
 public:
  bool Open(const std::string& name, bool append) override {
    calls.push_back((append ? "append " : "open ") + name);
    if (name == failOpen) return false;
    open = name;
    if (!append) files[name].clear();
    return true;
  }
  bool Write(std::string_view bytes) override {
    ++writes;
    if (open == failWrite) return false;
    files[open].append(bytes);
    return true;
  }
  void Close(uint32_t stamp) override {
    calls.push_back("close " + open + " " + std::to_string(stamp));
    open.clear();
  }
  void Failed(const std::string& name, uint64_t dataSize) override {
    calls.push_back("failed " + name + " " + std::to_string(dataSize));
  }
  void Refused(const std::string& name) override { calls.push_back("refused " + name); }

  std::vector<std::string> calls;
  std::map<std::string, std::string> files;
  std::string open;
  std::string failOpen;
  std::string failWrite;
  int writes = 0;
};

// Runs every block of the disks through one pipeline into the output;
// returns which blocks began a new file.
std::vector<bool> Extract(std::vector<BlockDisk*> disks, FileAssembler& files) {
  BlockPipeline pipeline(StartWorkerPool(2), 0);
  std::vector<bool> firsts;
  for (BlockDisk* disk : disks) {
    BlockWalker walker = disk->Walker();
    while (const StreamedBlock* block = pipeline.Next(walker)) firsts.push_back(files.Take(*block));
    EXPECT_TRUE(pipeline.Fault().empty()) << pipeline.Fault();
  }
  files.Finish();
  return firsts;
}

TEST(FileAssemblerTest, AFileOverManyBlocksAndDisksIsOpenedAndStampedOnce) {
  std::string whole;
  std::vector<std::string> first, second;
  for (uint32_t i = 0; i < 20; ++i) {
    const std::string piece = Text(70000 + i, i);
    whole += piece;
    (i < 12 ? first : second).push_back(Compressed(BlockPlain("big.dat", 0x5A2B3C4D, piece)));
  }
  second.push_back(Compressed(BlockPlain("after.txt", 42, "after")));
  BlockDisk one(first), two(second);
  MemoryOutput out;
  FileAssembler files(out);
  const std::vector<bool> firsts = Extract({&one, &two}, files);
  EXPECT_TRUE(out.files["big.dat"] == whole);
  EXPECT_EQ(out.calls, (std::vector<std::string>{"open big.dat", "close big.dat " + std::to_string(0x5A2B3C4Du),
                                                 "open after.txt", "close after.txt 42"}));
  // Progress steps once per file.
  std::vector<bool> expected(21, false);
  expected[0] = expected[20] = true;
  EXPECT_EQ(firsts, expected);
}

TEST(FileAssemblerTest, AnEmptyFileIsCreatedAndStamped) {
  BlockDisk disk({Stored(BlockPlain("empty.txt", 77, "")), Compressed(BlockPlain("empty2.txt", 78, ""))});
  MemoryOutput out;
  FileAssembler files(out);
  Extract({&disk}, files);
  EXPECT_EQ(out.calls, (std::vector<std::string>{"open empty.txt", "close empty.txt 77", "open empty2.txt",
                                                 "close empty2.txt 78"}));
  EXPECT_EQ(out.writes, 0);
  EXPECT_EQ(out.files.count("empty.txt"), 1u);
}

TEST(FileAssemblerTest, NamesIgnoreCaseAndANameSeenBeforeIsAppendedTo) {
  BlockDisk disk({Stored(BlockPlain("Readme.TXT", 1, "one ")), Stored(BlockPlain("README.txt", 2, "two ")),
                  Stored(BlockPlain("other.bin", 3, "x")), Stored(BlockPlain("readme.txt", 4, "three"))});
  MemoryOutput out;
  FileAssembler files(out);
  EXPECT_EQ(Extract({&disk}, files), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(out.calls, (std::vector<std::string>{"open Readme.TXT", "close Readme.TXT 2", "open other.bin",
                                                 "close other.bin 3", "append readme.txt", "close readme.txt 4"}));
  EXPECT_EQ(out.files["Readme.TXT"], "one two ");
  EXPECT_EQ(out.files["readme.txt"], "three");
}

TEST(FileAssemblerTest, NamesThatLeaveTheFolderAreRefusedOnceAndNeverStarted) {
  BlockDisk disk({Stored(BlockPlain("..\\evil.exe* /x", 1, "bad")), Stored(BlockPlain("..\\evil.exe* /x", 1, "bad")),
                  Stored(BlockPlain("setup.exe* /q", 2, "MZ")), Stored(BlockPlain("C:x", 3, "bad")),
                  Stored("|no data follows|")});
  MemoryOutput out;
  FileAssembler files(out);
  Extract({&disk}, files);
  EXPECT_EQ(out.calls, (std::vector<std::string>{"refused ..\\evil.exe", "open setup.exe", "refused C:x",
                                                 "close setup.exe 2"}));
  EXPECT_EQ(files.SetupEntry(), "setup.exe* /q");
}

// A block that cannot be written is reported with its data size; the file's
// stamp is left alone when its last block fell short, and the assembler
// tells that a write failed.
TEST(FileAssemblerTest, FailuresAreReportedPerBlockAndLeaveTheStampAlone) {
  struct Case {
    const char* name;
    std::string failOpen;
    std::string failWrite;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"NoFailure", "", "", {"open a.bin", "close a.bin 8", "open b.bin", "close b.bin 9"}},
      {"CannotOpen", "a.bin", "",
       {"open a.bin", "failed a.bin 5", "append a.bin", "failed a.bin 6", "open b.bin", "close b.bin 9"}},
      {"CannotWrite", "", "a.bin", {"open a.bin", "failed a.bin 5", "failed a.bin 6", "close a.bin 0", "open b.bin",
                                    "close b.bin 9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockDisk disk({Stored(BlockPlain("a.bin", 8, "12345")), Stored(BlockPlain("a.bin", 8, "123456")),
                    Stored(BlockPlain("b.bin", 9, "b"))});
    MemoryOutput out;
    out.failOpen = c.failOpen;
    out.failWrite = c.failWrite;
    FileAssembler files(out);
    Extract({&disk}, files);
    EXPECT_EQ(out.calls, c.calls);
    EXPECT_EQ(files.WriteFailed(), !c.failOpen.empty() || !c.failWrite.empty());
  }
}


}  // namespace
}  // namespace tarnix
