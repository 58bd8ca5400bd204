#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Utils/InFile.h"

namespace tarnix {

namespace {

class PosixFile final : public InFile {
 public:
  PosixFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    for (;;) {
      ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) return 0;
    }
  }

 private:
  int fd_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<InFile> OpenInFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, static_cast<uint64_t>(st.st_size));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tarnix
