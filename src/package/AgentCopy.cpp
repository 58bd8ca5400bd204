#include "package/AgentCopy.h"

#include <cstddef>

namespace tarnix {

namespace {
constexpr uint64_t kEndOfPackageLowHalf = kEndOfPackageFieldOffset + 4;
constexpr uint64_t kMaxSignatureCut = 10000;
// IsAgent is the fifth byte from the trailer's end.
constexpr size_t kIsAgentFromEnd = kTrailerSize - offsetof(PackageTrailer, IsAgent);
}  // namespace

std::string AgentFromPackageImage(std::string image, PackageTrailer trailer) {
  if (image.size() >= kEndOfPackageLowHalf + 4) image.replace(kEndOfPackageLowHalf, 4, 4, '\0');
  trailer.IsAgent = 1;
  trailer.TrailerSize = kTrailerSize;
  const TrailerBytes raw = EncodeTrailer(trailer);
  image.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  return image;
}

std::string AgentFromRunningStub(std::string exe, uint64_t endOfPackage) {
  // 0 says "the package ends at the file's end": nothing to cut then.
  if (endOfPackage > 0 && endOfPackage < exe.size() && exe.size() - endOfPackage < kMaxSignatureCut) exe.resize(endOfPackage);
  if (exe.size() >= 6) exe[exe.size() - kIsAgentFromEnd] = 1;
  return exe;
}

}  // namespace tarnix
