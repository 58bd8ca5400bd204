// Turning decoded file blocks, taken in package order, into files: blocks
// of one name follow each other and make one file, written piece by piece
// as they come and closed once, with the stamp of its blocks, when another
// file begins or the extraction ends. The stub and the builder's extract
// share this; each writes through an output of its own.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "package/FileBlocks.h"

namespace tarnix {

// Where the files go. Each call reports its own failures (a message box in
// the stub, a fault line in the builder).
class FileOutput {
 public:
  virtual ~FileOutput() = default;
  // Opens `name` (a plain file name): a new file that replaces whatever lies
  // there, or with `append` one that earlier blocks began. False when it
  // cannot be opened.
  virtual bool Open(const std::string& name, bool append) = 0;
  // False when not every byte could be written.
  virtual bool Write(std::string_view bytes) = 0;
  // Closes the open file; `stamp` (a packed date and time, 0 for none) is
  // set when its last block was written whole.
  virtual void Close(uint32_t stamp) = 0;
  // A block of `name` could not be opened or written whole; `dataSize` is
  // the length of the block's data.
  virtual void Failed(const std::string& name, uint64_t dataSize) = 0;
  // `name` would leave the target folder: its blocks are skipped. Called
  // once per name.
  virtual void Refused(const std::string& name) = 0;
};

class FileAssembler {
 public:
  FileAssembler(FileOutput& output, PumpFn pump = {}) : output_(output), pump_(std::move(pump)) {}
  ~FileAssembler() { Finish(); }
  FileAssembler(const FileAssembler&) = delete;
  FileAssembler& operator=(const FileAssembler&) = delete;

  // Writes one block; true when it begins a file not seen before (the
  // progress steps once per file). A block without a header, or with a
  // refused name, writes nothing.
  bool Take(const StreamedBlock& block);
  // Closes the file being written.
  void Finish();

  // The name of the last block that marked the setup program, "*" and
  // arguments included; empty when none did.
  const std::string& SetupEntry() const { return setupEntry_; }

  // Whether a file could not be opened or a block not written whole: what
  // was written is not the package's, and nothing may run it.
  bool WriteFailed() const { return writeFailed_; }

 private:
  FileOutput& output_;
  PumpFn pump_;
  std::string open_;  // upper-cased name of the open file; empty when none
  uint32_t stamp_ = 0;
  bool whole_ = false;  // the open file's last block was written whole
  bool writeFailed_ = false;
  std::string setupEntry_;
  std::set<std::string> seen_;  // upper-cased: Windows names ignore case
  std::set<std::string> refused_;
};

}  // namespace tarnix
