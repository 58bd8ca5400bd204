#include "PackageDisks.h"

#include "Utils/StrUtils.h"

namespace tarnix::pack {

bool DiskChain::Next(PackageDisk& disk) {
  if (done_) return false;
  done_ = true;
  disk = PackageDisk{};
  disk.path = next_;
  disk.number = number_;
  disk.file = OpenInFile(next_);
  if (!disk.file) {
    fault_ = next_ + (first_ ? ": not found" : ": missing (disk " + std::to_string(number_) + ")");
    return false;
  }
  if (!ReadTrailer(*disk.file, disk.trailer) || disk.trailer.Magic != kPackageMagic) {
    fault_ = next_ + ": holds no package (no trailer at its end)";
    return false;
  }
  disk.hasHeaders = nextHasHeaders_;
  if (disk.hasHeaders) {
    disk.headers = TGFileInfo(*disk.file);
    if (!disk.headers.Fault().empty()) {
      fault_ = next_ + ": " + disk.headers.Fault();
      return false;
    }
    disk.blocksStart = disk.headers.FileBlocksStart();
    disk.end = disk.headers.PackageEndOffset();
  } else {
    disk.blocksStart = disk.trailer.PackageStart;
    disk.end = PackageEnd(*disk.file);
  }

  const bool cdLauncher = first_ && (disk.trailer.Options & kCdSpanning) && !EndsWith(".001", disk.path, false);
  if (cdLauncher) {
    disk.number = 0;
    base_ = next_ = disk.path + ".001";
    number_ = 1;
    nextHasHeaders_ = true;
    done_ = false;
  } else if (disk.trailer.Options & kMoreDisks) {
    if (first_) base_ = disk.path;
    if (number_ >= kMaxDiskNumber) {
      fault_ = disk.path + ": says more disks follow disk " + std::to_string(kMaxDiskNumber);
    } else {
      next_ = DiskFileName(base_, ++number_);
      nextHasHeaders_ = false;
      done_ = false;
    }
  }
  first_ = false;
  return true;
}

}  // namespace tarnix::pack
