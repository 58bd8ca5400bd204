#include "package/TGFileInfo.h"

namespace tarnix {

uint32_t PackageChecksum(InFile& file, uint32_t trailerSize) {
  const uint64_t length = file.Size();
  if (length > kChecksumMaxFileSize) return kUncheckedChecksum;

  uint32_t endField = 0;
  if (IsPeFile(file)) endField = static_cast<uint32_t>(ReadEndOfPackage(file));
  int64_t remaining = endField != 0 ? int64_t(endField) : int64_t(length);
  remaining -= trailerSize;
  uint64_t offset = 0;
  if (endField != 0) {
    // The first 512 bytes hold the end-of-package field, which the builder
    // fills in after the sum is taken.
    remaining -= 512;
    offset = 512;
  }

  uint32_t sum = 0;
  unsigned char buffer[4096];
  for (;;) {
    size_t got = file.ReadAt(offset, buffer, sizeof buffer);
    offset += got;
    for (size_t i = 0; i + 4 <= got; i += 4) {
      remaining -= 4;
      if (remaining > 4) sum += LoadU32(buffer + i);
    }
    if (remaining > 4) sum += kUncheckedChecksum;
    if (got != sizeof buffer) break;
  }
  return sum;
}

uint32_t PackageChecksum(const std::string& fileName, uint32_t trailerSize) {
  auto file = OpenInFile(fileName);
  return file ? PackageChecksum(*file, trailerSize) : kUncheckedChecksum;
}

}  // namespace tarnix
