#include "package/PackageFormat.h"

namespace tarnix {

namespace {

// Offsets of the u32 fields; every other byte is a u8. The struct's memory
// layout equals the file layout (pinned in the header), so only the byte
// order of these fields needs converting.
constexpr size_t kU32Fields[] = {4, 8, 12, 16, 28, 32, 36, 40, 44, 48, 52, 56, 60, 70};

unsigned char* Bytes(PackageTrailer& t) { return reinterpret_cast<unsigned char*>(&t); }

}  // namespace

void DecodeTrailer(const unsigned char* raw, size_t count, PackageTrailer& t) {
  if (count > kTrailerSize) count = kTrailerSize;
  std::memcpy(Bytes(t), raw, count);
  for (size_t at : kU32Fields) {
    if (at + 4 > count) continue;
    uint32_t v = LoadU32(raw + at);
    std::memcpy(Bytes(t) + at, &v, 4);
  }
}

TrailerBytes EncodeTrailer(const PackageTrailer& trailer) {
  TrailerBytes raw{};
  std::memcpy(raw.data(), &trailer, kTrailerSize);
  for (size_t at : kU32Fields) {
    uint32_t v;
    std::memcpy(&v, raw.data() + at, 4);
    StoreU32(raw.data() + at, v);
  }
  return raw;
}

size_t SpaceIndexForCluster(uint32_t clusterSize) {
  size_t index = 0;
  for (size_t i = 1; i < kClusterSizeCount; ++i)
    if (clusterSize >= ClusterSizeOfIndex(i)) index = i;
  return index;
}

FileBlockHeader SplitFileBlock(std::string_view contents) {
  size_t zero = contents.find('\0');
  if (zero == std::string_view::npos) return {};
  return {contents.substr(0, zero), contents.substr(zero + 1)};
}

std::string DiskFileName(std::string_view firstDisk, int number) {
  std::string_view base = firstDisk;
  if (base.size() >= 4 && base.substr(base.size() - 4) == ".001") base.remove_suffix(4);
  std::string digits = std::to_string(number);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return std::string(base) + "." + digits;
}

}  // namespace tarnix
