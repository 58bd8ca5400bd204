#include <windows.h>

#include "Utils/InFile.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

namespace {

class Win32File final : public InFile {
 public:
  Win32File(UniqueFileHandle h, uint64_t size) : handle_(std::move(h)), size_(size) {}

  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    // One ReadFile takes a DWORD; callers loop for larger reads.
    DWORD want = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!::ReadFile(handle_.get(), buffer, want, &got, &at)) return 0;
    return got;
  }

 private:
  UniqueFileHandle handle_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<InFile> OpenInFile(const std::string& path) {
  UniqueFileHandle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h) return nullptr;
  // Not GetFileSizeEx, which Windows 9x and NT 4 lack: this gives the same
  // 64-bit size everywhere. All ones is a valid low half too, so only the
  // error code tells a failure.
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(h.get(), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return nullptr;
  return std::make_unique<Win32File>(std::move(h), uint64_t(high) << 32 | low);
}

bool FileExists(const std::string& path) {
  DWORD attr = ::GetFileAttributesA(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tarnix
