#include "DiskWriter.h"

#include <cstddef>
#include <filesystem>

#include "package/TGFileInfo.h"

namespace tarnix::pack {

DiskWriter::~DiskWriter() {
  file_.reset();
  if (!done_)
    for (const auto& name : report_.diskFiles) {
      std::error_code ec;
      std::filesystem::remove(name, ec);
    }
}

bool DiskWriter::Open(const std::string& name, std::string& error) {
  file_.reset(std::fopen(name.c_str(), "wb"));
  if (!file_) {
    error = name + ": cannot be created";
    return false;
  }
  report_.diskFiles.push_back(name);
  name_ = name;
  size_ = 0;
  blocks_ = 0;
  return true;
}

bool DiskWriter::Write(std::string_view bytes, std::string& error) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    error = name_ + ": write failed";
    return false;
  }
  size_ += bytes.size();
  return true;
}

bool DiskWriter::WriteBlock(std::string_view block, std::string& error) {
  ++blocks_;
  ++report_.fileBlocks;
  return Write(block, error);
}

bool DiskWriter::Finish(uint32_t packageStart, bool moreDisks, bool isPe, std::string& error) {
  PackageTrailer t = base_;
  t.PackageStart = packageStart;
  t.FileBlockCount = blocks_;
  t.Checksum = kUncheckedChecksum;
  if (moreDisks) t.Options |= kMoreDisks;
  auto raw = EncodeTrailer(t);
  if (!Write(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()), error)) return false;
  const uint64_t length = size_;
  if (isPe) {
    unsigned char field[8];
    StoreU32(field, static_cast<uint32_t>(length >> 32));
    StoreU32(field + 4, static_cast<uint32_t>(length));
    if (std::fseek(file_.get(), static_cast<long>(kEndOfPackageFieldOffset), SEEK_SET) != 0 ||
        std::fwrite(field, 1, 8, file_.get()) != 8) {
      error = name_ + ": write failed";
      return false;
    }
  }
  if (std::fclose(file_.release()) != 0) {
    error = name_ + ": write failed";
    return false;
  }
  report_.outputBytes += length;
  if (length <= kChecksumMaxFileSize) return PatchChecksum(length, error);
  return true;
}

bool DiskWriter::PatchChecksum(uint64_t length, std::string& error) {
  uint32_t sum = PackageChecksum(name_, kTrailerSize);
  unsigned char raw[4];
  StoreU32(raw, sum);
  FilePtr f(std::fopen(name_.c_str(), "r+b"));
  if (!f ||
      std::fseek(f.get(), static_cast<long>(length - kTrailerSize + offsetof(PackageTrailer, Checksum)), SEEK_SET) !=
          0 ||
      std::fwrite(raw, 1, 4, f.get()) != 4) {
    error = name_ + ": write failed";
    return false;
  }
  return true;
}

}  // namespace tarnix::pack
