// The pipeline that inflates blocks ahead on workers: whatever order the
// workers finish in, blocks leave in package order, decoded exactly as one
// block at a time would decode them; a damaged block stops the walk exactly
// where it lies, with blocks behind it in flight; and a pipeline that goes
// away mid-walk leaves no worker touching its blocks.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Utils/WorkerPool.h"
#include "package/BlockPipeline.h"
#include "unit/BlockFixtures.h"

namespace tarnix {
namespace {

using test::BlockDisk;
using test::BlockPlain;
using test::Compressed;
using test::Damaged;
using test::Joined;
using test::Stored;
using test::Text;

// Runs nothing until the owner waits, then finishes every job it holds, the
// last handed in first: the oldest block always finishes last. It touches
// the jobs it still holds when it goes away, as a worker would, so a
// pipeline that freed its blocks before its pool shows up under the
// sanitizers.
class LastFirstPool final : public WorkerPool {
 public:
  explicit LastFirstPool(unsigned workers, int* submitted = nullptr) : workers_(workers), submitted_(submitted) {}
  ~LastFirstPool() override {
    for (PoolJob* job : pending_) (void)job->Finished();
  }
  unsigned Workers() const override { return workers_; }
  void Submit(PoolJob& job) override {
    pending_.push_back(&job);
    if (submitted_) ++*submitted_;
  }
  bool WaitFinished(const PoolJob& job, uint32_t) override {
    while (!pending_.empty()) {
      PoolJob* last = pending_.back();
      pending_.pop_back();
      last->RunAndFinish();
    }
    return job.Finished();
  }

 private:
  unsigned workers_;
  int* submitted_;
  std::deque<PoolJob*> pending_;
};

struct PoolCase {
  const char* name;
  std::function<std::unique_ptr<WorkerPool>()> make;
};

const PoolCase kPools[] = {
    {"CallingThreadOnly", [] { return std::unique_ptr<WorkerPool>(); }},
    {"OldestFinishesLast", [] { return std::unique_ptr<WorkerPool>(std::make_unique<LastFirstPool>(2)); }},
    {"TwoWorkerThreads", [] { return StartWorkerPool(2); }},
    {"FourWorkerThreads", [] { return StartWorkerPool(4); }},
};

struct Taken {
  std::string header;
  std::string name;
  uint32_t stamp;
  std::string data;
  uint64_t offset;
};

std::vector<Taken> TakeAll(BlockPipeline& pipeline, BlockWalker& walker) {
  std::vector<Taken> taken;
  while (const StreamedBlock* block = pipeline.Next(walker))
    taken.push_back({block->header, block->name, block->stamp, Joined(*block), block->offset});
  return taken;
}

class PipelineTest : public ::testing::TestWithParam<PoolCase> {};

TEST_P(PipelineTest, HandsBlocksOutInPackageOrderAsOneAtATimeDecodesThem) {
  // Stored and compressed, small and larger than the first piece of output,
  // empty data, no separator at all, and one file over many blocks.
  std::vector<std::string> blocks = {
      Compressed(BlockPlain("setup.exe* /q", 7, test::Random(3000, 1))),
      Stored(BlockPlain("stored.txt", 8, "as it is")),
      Compressed(BlockPlain("large.txt", 9, Text(7 << 20, 2))),
      Compressed(BlockPlain("empty.txt", 10, "")),
      Stored("no separator"),
      Compressed(std::string(1, '\0') + "data without a header"),
  };
  for (uint32_t i = 0; i < 12; ++i) blocks.push_back(Compressed(BlockPlain("split.bin", 11, Text(40000, 10 + i))));
  BlockDisk disk(blocks);

  BlockPipeline pipeline(GetParam().make(), 0);
  BlockWalker walker = disk.Walker();
  const std::vector<Taken> taken = TakeAll(pipeline, walker);
  EXPECT_TRUE(pipeline.Fault().empty()) << pipeline.Fault();
  ASSERT_EQ(taken.size(), blocks.size());
  BlockWalker again = disk.Walker();
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(i);
    RawBlock raw;
    ASSERT_TRUE(again.Next(raw));
    FileBlock expected;
    std::string error;
    ASSERT_TRUE(DecodeFileBlock(raw, expected, error)) << error;
    EXPECT_EQ(taken[i].offset, disk.offsets[i]);
    EXPECT_EQ(taken[i].header, expected.header);
    EXPECT_EQ(taken[i].name, expected.name);
    EXPECT_EQ(taken[i].stamp, expected.stamp);
    // A block without a header carries nothing to write.
    EXPECT_TRUE(taken[i].data == (expected.header.empty() ? std::string_view() : expected.data()));
  }
  // The end of the walk stays the end.
  EXPECT_EQ(pipeline.Next(walker), nullptr);
}

// A damaged block with blocks before it and behind it in flight: every block
// before it leaves, it and nothing behind it.
TEST_P(PipelineTest, ADamagedBlockStopsTheWalkExactlyWhereItLies) {
  for (size_t damaged : {size_t(1), size_t(2), size_t(5)}) {
    SCOPED_TRACE(damaged);
    std::vector<std::string> blocks;
    for (uint32_t i = 0; i < 9; ++i) {
      const std::string plain = BlockPlain("f" + std::to_string(i), i, Text(300000, i));
      blocks.push_back(i == damaged ? Damaged(plain) : Compressed(plain));
    }
    BlockDisk disk(blocks);
    BlockPipeline pipeline(GetParam().make(), 0);
    BlockWalker walker = disk.Walker();
    const std::vector<Taken> taken = TakeAll(pipeline, walker);
    ASSERT_EQ(taken.size(), damaged);
    for (size_t i = 0; i < damaged; ++i) EXPECT_EQ(taken[i].name, "f" + std::to_string(i));
    EXPECT_NE(pipeline.Fault().find("block at offset " + std::to_string(disk.offsets[damaged]) + " does not inflate"),
              std::string::npos)
        << pipeline.Fault();
    EXPECT_EQ(pipeline.Next(walker), nullptr);
  }
}

// A length that points past the disk ends the walk where it lies, after the
// blocks read before it, which are already inflating.
TEST_P(PipelineTest, ABlockThatCannotBeReadEndsTheWalkAfterTheBlocksBeforeIt) {
  std::vector<std::string> blocks;
  for (uint32_t i = 0; i < 4; ++i) blocks.push_back(Compressed(BlockPlain("f" + std::to_string(i), i, Text(50000, i))));
  blocks.push_back(test::U32(0x00FFFFFF) + "short");
  BlockDisk disk(blocks);
  BlockPipeline pipeline(GetParam().make(), 0);
  BlockWalker walker = disk.Walker();
  const std::vector<Taken> taken = TakeAll(pipeline, walker);
  ASSERT_EQ(taken.size(), 4u);
  EXPECT_EQ(taken.back().name, "f3");
  EXPECT_NE(pipeline.Fault().find("past the end of the disk"), std::string::npos) << pipeline.Fault();
}

// Blocks of one package over several disks: one pipeline walks them all.
TEST_P(PipelineTest, WalksDiskAfterDisk) {
  BlockDisk first({Compressed(BlockPlain("a", 1, Text(100000, 1))), Compressed(BlockPlain("b", 2, Text(9000, 2)))});
  BlockDisk second({Compressed(BlockPlain("b", 2, Text(9000, 3))), Stored(BlockPlain("c", 3, "c"))});
  BlockPipeline pipeline(GetParam().make(), 0);
  std::vector<std::string> names;
  for (BlockDisk* disk : {&first, &second}) {
    BlockWalker walker = disk->Walker();
    for (const Taken& t : TakeAll(pipeline, walker)) names.push_back(t.name);
    EXPECT_TRUE(pipeline.Fault().empty()) << pipeline.Fault();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "b", "c"}));
}

// Going away after the first block, with the blocks behind it queued or
// inflating: it returns, and the sanitizers see no worker touching a block
// that is gone and no block left unfreed.
TEST_P(PipelineTest, GoingAwayMidWalkWithBlocksInFlight) {
  std::vector<std::string> blocks;
  for (uint32_t i = 0; i < 8; ++i)
    blocks.push_back(Compressed(BlockPlain("f" + std::to_string(i), i, Text(1 << 20, i))));
  BlockDisk disk(blocks);
  auto pipeline = std::make_unique<BlockPipeline>(GetParam().make(), 0);
  BlockWalker walker = disk.Walker();
  const StreamedBlock* first = pipeline->Next(walker);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->name, "f0");
  pipeline.reset();
}

INSTANTIATE_TEST_SUITE_P(Pools, PipelineTest, ::testing::ValuesIn(kPools),
                         [](const ::testing::TestParamInfo<PoolCase>& info) { return std::string(info.param.name); });

// The window bounds what is held: never more blocks handed to the workers
// than it allows ahead of the one handed out.
TEST(PipelineWindowTest, ReadsNoFurtherAheadThanTheWindow) {
  std::vector<std::string> blocks;
  for (uint32_t i = 0; i < 10; ++i) blocks.push_back(Compressed(BlockPlain("f" + std::to_string(i), i, "x")));
  BlockDisk disk(blocks);
  for (size_t window : {size_t(1), size_t(3)}) {
    SCOPED_TRACE(window);
    int submitted = 0;
    BlockPipeline pipeline(std::make_unique<LastFirstPool>(2, &submitted), window);
    BlockWalker walker = disk.Walker();
    for (int taken = 1; taken <= 10; ++taken) {
      ASSERT_NE(pipeline.Next(walker), nullptr);
      // The blocks handed out, and at most window - 1 behind the last one.
      EXPECT_LE(submitted, std::min(10, taken + int(window) - 1));
    }
  }
}

}  // namespace
}  // namespace tarnix
