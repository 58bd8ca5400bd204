#include "Utils/InFile.h"

#include <algorithm>
#include <cstring>

#include "package/PackageFormat.h"

namespace tarnix {

bool InFile::ReadExactAt(uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    size_t got = ReadAt(offset, out, count);
    if (got == 0) return false;
    out += got;
    offset += got;
    count -= got;
  }
  return true;
}

bool InFile::ReadU32At(uint64_t offset, uint32_t& value) {
  unsigned char raw[4];
  if (!ReadExactAt(offset, raw, 4)) return false;
  value = LoadU32(raw);
  return true;
}

namespace {

class MemoryFile final : public InFile {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() const override { return bytes_.size(); }
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset >= bytes_.size()) return 0;
    size_t n = std::min<uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<InFile> MemoryInFile(std::string bytes) { return std::make_unique<MemoryFile>(std::move(bytes)); }

}  // namespace tarnix
