#include "package/BlockPipeline.h"

#include <new>

namespace tarnix {

namespace {

// How long the caller sleeps between two pumps while it waits for a block.
constexpr uint32_t kWaitSliceMs = 10;

}  // namespace

class BlockPipeline::Job final : public PoolJob {
 public:
  explicit Job(RawBlock raw) : raw_(std::move(raw)) {}

  void Run() override {
    try {
      if (!DecodeStreamedBlock(raw_, block_, error_)) return;
      // The compressed bytes are done with; a stored block's data lives in
      // them.
      if (raw_.Compressed()) std::string().swap(raw_.bytes);
      ok_ = true;
    } catch (const std::bad_alloc&) {
      error_ = "not enough memory";
    }
  }

  bool Compressed() const { return raw_.Compressed(); }
  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }
  uint64_t Offset() const { return raw_.offset; }
  const StreamedBlock& Block() const { return block_; }

 private:
  RawBlock raw_;
  StreamedBlock block_;
  bool ok_ = false;
  std::string error_;
};

BlockPipeline::BlockPipeline(std::unique_ptr<WorkerPool> pool, size_t window, PumpFn pump)
    : window_(window > 0 ? window : pool ? pool->Workers() + 1 : 1), pump_(std::move(pump)), pool_(std::move(pool)) {}

BlockPipeline::~BlockPipeline() { pool_.reset(); }

void BlockPipeline::ReadAhead(BlockWalker& walker) {
  while (held_.size() < window_ && readFault_.empty() && walker.More()) {
    RawBlock raw;
    if (!walker.Next(raw)) {
      // Reported once the blocks before it are handed out.
      readFault_ = walker.Fault();
      return;
    }
    auto job = std::make_unique<Job>(std::move(raw));
    // A stored block only needs splitting, which costs nothing here.
    // Without workers a compressed block is inflated when it is due.
    if (!job->Compressed()) {
      job->RunAndFinish();
    } else if (pool_) {
      pool_->Submit(*job);
    }
    held_.push_back(std::move(job));
  }
}

const StreamedBlock* BlockPipeline::Next(BlockWalker& walker) {
  if (failed_) return nullptr;
  if (handedOut_) {
    held_.pop_front();
    handedOut_ = false;
  }
  ReadAhead(walker);
  if (held_.empty()) {
    if (!readFault_.empty()) {
      fault_ = readFault_;
      failed_ = true;
    }
    return nullptr;
  }
  Job& job = *held_.front();
  if (!pool_ && !job.Finished()) job.RunAndFinish();
  while (!job.Finished()) {
    if (pump_) pump_();
    pool_->WaitFinished(job, kWaitSliceMs);
  }
  if (!job.Ok()) {
    // The blocks behind it may still be inflating; they go with the pool.
    fault_ = "block at offset " + std::to_string(job.Offset()) + " does not inflate: " + job.Error();
    failed_ = true;
    return nullptr;
  }
  handedOut_ = true;
  return &job.Block();
}

}  // namespace tarnix
