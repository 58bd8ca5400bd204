// One disk file of a package being written: the bytes as they come, then
// the trailer with this disk's block count, the end-of-package field of a
// disk that starts with the stub, and the real checksum of a small disk.
// Every disk file of a build that does not finish is removed again.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "PackageBuilder.h"
#include "package/PackageFormat.h"

namespace tarnix::pack {

class DiskWriter {
 public:
  DiskWriter(const PackageTrailer& base, BuildReport& report) : base_(base), report_(report) {}
  ~DiskWriter();
  DiskWriter(const DiskWriter&) = delete;
  DiskWriter& operator=(const DiskWriter&) = delete;

  bool Open(const std::string& name, std::string& error);
  bool Write(std::string_view bytes, std::string& error);
  bool WriteBlock(std::string_view block, std::string& error);

  uint64_t Size() const { return size_; }
  uint32_t Blocks() const { return blocks_; }

  // Writes the trailer, the end-of-package field of a PE disk and the
  // checksum of a small disk, then closes the file.
  bool Finish(uint32_t packageStart, bool moreDisks, bool isPe, std::string& error);

  // The build succeeded: the files stay.
  void Keep() { done_ = true; }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

  bool PatchChecksum(uint64_t length, std::string& error);

  PackageTrailer base_;
  BuildReport& report_;
  FilePtr file_;
  std::string name_;
  uint64_t size_ = 0;
  uint32_t blocks_ = 0;
  bool done_ = false;
};

}  // namespace tarnix::pack
