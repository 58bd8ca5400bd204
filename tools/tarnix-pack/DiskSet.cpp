#include "DiskSet.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tarnix::pack {

DiskSet::DiskSet(const PackageSpec& plan, const PackageTrailer& base, const BlockEncoder& encoder, std::string outPath,
                 BuildReport& report)
    : plan_(plan),
      encoder_(encoder),
      outPath_(std::move(outPath)),
      cd_((plan.options & kCdSpanning) != 0),
      disk_(base, report) {}

uint64_t DiskSet::SmallestDiskSize(const PackageSpec& plan, const BlockEncoder& encoder, uint64_t stubSize,
                                   uint64_t headersSize) {
  const uint64_t firstBlock = plan.files.empty() ? 0 : encoder.SmallestBlock(0);
  uint64_t anyBlock = 0;
  for (size_t i = 0; i < plan.files.size(); ++i) anyBlock = std::max(anyBlock, encoder.SmallestBlock(i));
  const bool cd = (plan.options & kCdSpanning) != 0;
  const uint64_t first = cd ? std::max(stubSize + headersSize + kTrailerSize, headersSize + firstBlock + kTrailerSize)
                            : stubSize + headersSize + firstBlock + kTrailerSize;
  return std::max(first, anyBlock + kTrailerSize);
}

bool DiskSet::Begin(std::string_view stub, std::string_view headers, std::string& error) {
  if (!disk_.Open(outPath_, error) || !disk_.Write(stub, error) || !disk_.Write(headers, error)) return false;
  packageStart_ = static_cast<uint32_t>(stub.size());
  if (!cd_) return true;
  // The CD's executable carries only the header blocks; the relaunched copy
  // reads the files from NAME.001 onwards.
  if (!disk_.Finish(packageStart_, false, true, error) || !disk_.Open(outPath_ + ".001", error) ||
      !disk_.Write(headers, error))
    return false;
  packageStart_ = 0;
  return true;
}

uint64_t DiskSet::Room() const { return plan_.diskSize - kTrailerSize - disk_.Size(); }

bool DiskSet::Add(BlockJob job, std::string encoded, std::string& error) {
  if (plan_.diskSize == 0) return disk_.WriteBlock(encoded, error);
  // SmallestDiskSize leaves room on every new disk for a block of any file,
  // so each round writes on this disk or moves to a fresh one that takes a
  // part of the slice.
  for (;;) {
    const uint64_t room = Room();
    if (encoded.size() <= room) return disk_.WriteBlock(encoded, error);
    if (room >= encoder_.SmallestBlock(job.file)) {
      BlockJob head;
      std::string cut;
      if (!encoder_.EncodeToFit(job, encoded.size(), room, head, cut, error) || !disk_.WriteBlock(cut, error))
        return false;
      if (head.length == job.length) return true;
      job.offset += head.length;
      job.length -= head.length;
      if (!encoder_.Encode(job, encoded, error)) return false;
    }
    if (!NextDisk(error)) return false;
  }
}

bool DiskSet::NextDisk(std::string& error) {
  if (number_ == kMaxDiskNumber) {
    error = PackageKeyError(
        plan_, "DiskSize",
        "the package needs more than " + std::to_string(kMaxDiskNumber) + " disk files; choose a larger size");
    return false;
  }
  if (!disk_.Finish(packageStart_, true, number_ == 1 && !cd_, error)) return false;
  ++number_;
  packageStart_ = 0;
  return disk_.Open(DiskFileName(cd_ ? outPath_ + ".001" : outPath_, number_), error);
}

bool DiskSet::End(std::string& error) {
  if (!disk_.Finish(packageStart_, false, number_ == 1 && !cd_, error)) return false;
  disk_.Keep();
  return true;
}

}  // namespace tarnix::pack
