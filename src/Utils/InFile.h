// Read-only random access to a file, shared with every other opener. The
// package reader and the block walker read through this so that they run
// unchanged in the stub (Win32 handles) and in native tools and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnix {

class InFile {
 public:
  virtual ~InFile() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to `count` bytes at `offset`; returns the number read (0 at or
  // past the end, or on a read error).
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;

  // Reads exactly `count` bytes or fails.
  bool ReadExactAt(uint64_t offset, void* buffer, size_t count);
  bool ReadU32At(uint64_t offset, uint32_t& value);
};

// Opens `path` for reading, sharing read, write and delete with others;
// null when it cannot be opened.
std::unique_ptr<InFile> OpenInFile(const std::string& path);
bool FileExists(const std::string& path);

// A file held in memory, for tests and fuzzing.
std::unique_ptr<InFile> MemoryInFile(std::string bytes);

}  // namespace tarnix
