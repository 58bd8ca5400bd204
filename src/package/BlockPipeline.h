// Inflating the file blocks of a package a few blocks ahead, on worker
// threads, while the calling thread takes them in package order. Every
// block is an independent zlib stream, so blocks inflate in any order; what
// leaves the pipeline is always the next block of the walk, or the fault
// that stops it exactly there. At most `window` blocks are held at once,
// the one handed out included, so memory stays bounded by a few blocks
// whatever the package size.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "Utils/WorkerPool.h"
#include "package/FileBlocks.h"

namespace tarnix {

class BlockPipeline {
 public:
  // Without a pool the calling thread inflates each block when it is due.
  // A `window` of 0 holds one block more than there are workers: one being
  // written while each worker inflates another. `pump` runs while the
  // caller waits for a block.
  BlockPipeline(std::unique_ptr<WorkerPool> pool, size_t window, PumpFn pump = {});
  // Ends the workers before the blocks they inflate: a block still being
  // inflated is finished, blocks not begun are dropped.
  ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  // The next block of `walker` (the blocks of one disk, read ahead on the
  // calling thread), decoded; valid until the next call. Null at the end of
  // the walk, or at a fault: a block that cannot be read or inflated, after
  // every block before it was handed out. Fault() then says which.
  const StreamedBlock* Next(BlockWalker& walker);
  const std::string& Fault() const { return fault_; }

 private:
  class Job;

  void ReadAhead(BlockWalker& walker);

  size_t window_;
  PumpFn pump_;
  std::deque<std::unique_ptr<Job>> held_;  // in package order
  bool handedOut_ = false;                 // the front was handed out
  std::string readFault_;                  // where the walk stopped, not yet reached
  bool failed_ = false;
  std::string fault_;
  // Declared last, so destroyed first: no worker outlives the jobs.
  std::unique_ptr<WorkerPool> pool_;
};

}  // namespace tarnix
