#include <windows.h>
#include <winioctl.h>

#include "Utils/FileUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"

namespace tarnix {

namespace {

constexpr uint64_t kMiB = 1048576;

bool IsLead(unsigned char c) { return ::IsDBCSLeadByte(c) != 0; }

// Runs `body`, turning anything it throws into the failure result: callers
// test results, and a progress callback or a failed allocation must not
// unwind through them.
template <typename T, typename Body>
T Guarded(const char* where, T failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportException(e, where, {});
  } catch (...) {
  }
  return failure;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path = NormalizeDir(folder, true, IsLead);
  path += name;
  return path;
}

// The path up to and including its last separator, empty when it has none.
std::string FolderPart(std::string_view path) {
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (IsLead(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      end = i + 1;
    }
  }
  return std::string(path.substr(0, end));
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

bool FileExists(const std::string& path) {
  const DWORD attr = Attributes(path);
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDotEntry(const WIN32_FIND_DATAA& entry) {
  return std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0;
}

// A path the system writes into a buffer. Answers longer than the first
// buffer are fetched again with the size the call asked for; the attempts are
// bounded because the answer can grow between two calls.
template <typename Call>
std::string FetchPath(Call call) {
  std::string buffer(MAX_PATH + 1, '\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.assign(n, '\0');
  }
  return {};
}

template <typename Call>
std::string SystemFolder(Call call, bool addBackslash) {
  const std::string folder = FetchPath(call);
  return folder.empty() ? folder : NormalizeDir(folder, addBackslash, IsLead);
}

// The absolute form of a path, so that "..", "." and drive-relative names
// cannot disguise a root.
std::string FullPath(const std::string& path) {
  return FetchPath(
      [&](char* buffer, DWORD size) { return ::GetFullPathNameA(path.c_str(), size, buffer, nullptr); });
}

// Moving to the end and writing are two calls, so two processes appending at
// once could both write at the same old end. A lock on one byte far beyond
// any log's size serialises the appenders without touching the text; a lock
// held longer than a line takes is not waited for.
constexpr DWORD kAppendLockOffset = 0xFFFFFFFF;
constexpr int kAppendLockTries = 200;

class AppendLock {
 public:
  explicit AppendLock(HANDLE file) : file_(file) {
    for (int i = 0; i < kAppendLockTries && !locked_; ++i) {
      locked_ = ::LockFile(file_, kAppendLockOffset, 0, 1, 0) != 0;
      if (!locked_) ::Sleep(1);
    }
  }
  ~AppendLock() {
    if (locked_) ::UnlockFile(file_, kAppendLockOffset, 0, 1, 0);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  HANDLE file_;
  bool locked_ = false;
};

UniqueFileHandle OpenForAppend(const std::string& fileName) {
  UniqueFileHandle file(::CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file && SeekFile64(file.get(), 2, 0) < 0) file.reset();
  return file;
}

// Writes as much of `data` as one call takes; 0 when nothing could be written.
DWORD WriteSome(HANDLE file, const char* data, uint64_t length) {
  DWORD written = 0;
  const DWORD request = static_cast<DWORD>(std::min<uint64_t>(length, MAXDWORD));
  if (!::WriteFile(file, data, request, &written, nullptr)) return 0;
  return written;
}

using DiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// The extended call is missing from the first Windows 95 release. kernel32
// stays loaded in every process, so the address outlives the library handle.
DiskFreeSpaceExFn DiskFreeSpaceEx() {
  static const DiskFreeSpaceExFn fn = []() -> DiskFreeSpaceExFn {
    HMODULE kernel = nullptr;
    const FARPROC address = LoadProc("kernel32.dll", "GetDiskFreeSpaceExA", kernel);
    const UniqueModule release(kernel);
    return reinterpret_cast<DiskFreeSpaceExFn>(reinterpret_cast<void (*)()>(address));
  }();
  return fn;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string LetterRoot(char letter) { return std::string{letter, ':', '\\'}; }

// The subfolders a search descends into: not hidden (the search asks for
// directories and system entries only) and not links, which could lead back
// up the tree. Messages are pumped after every entry.
template <typename Visit>
std::string SearchSubfolders(const std::string& folder, Visit visit) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA(JoinPath(folder, "*.*").c_str(), &entry));
  if (!find) return {};
  do {
    const DWORD attr = entry.dwFileAttributes;
    const bool descend = (attr & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                         (attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 && !IsDotEntry(entry);
    std::string found;
    if (descend) found = visit(JoinPath(folder, entry.cFileName));
    YieldX(0);
    if (!found.empty()) return found;
  } while (::FindNextFileA(find.get(), &entry));
  return {};
}

std::string FindFileIn(const std::string& folder, std::string_view fileName) {
  const std::string candidate = JoinPath(folder, fileName);
  if (FileExists(candidate)) return candidate;
  return SearchSubfolders(folder, [&](const std::string& sub) { return FindFileIn(sub, fileName); });
}

std::string FindDirIn(const std::string& folder, std::string_view dirName) {
  const std::string dir = NormalizeDir(folder, false, IsLead);
  if (EndsWith("\\" + std::string(dirName), dir, true)) return dir;
  return SearchSubfolders(dir, [&](const std::string& sub) { return FindDirIn(sub, dirName); });
}

template <typename Search>
std::string SearchDrives(unsigned driveType, Search search) {
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const std::string root = LetterRoot(letter);
    if (::GetDriveTypeA(root.c_str()) != driveType) continue;
    std::string found = search(root);
    if (!found.empty()) return found;
  }
  return {};
}

}  // namespace

std::string GetExeFileName(bool baseNameOnly) {
  return Guarded("Utils.GetExeFileName()", std::string(), [&] {
    std::string path(MAX_PATH + 1, '\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return std::string();
      // A full buffer means the path was cut; try again with room to spare.
      if (n < path.size() - 1 || path.size() >= 32768) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);
    }
    return baseNameOnly ? GetBaseName(path, false, IsLead) : path;
  });
}

std::string GetExeDir(bool addBackslash) {
  return Guarded("Utils.GetExeDir()", std::string(), [&] {
    const std::string folder = FolderPart(GetExeFileName());
    return folder.empty() ? folder : NormalizeDir(folder, addBackslash, IsLead);
  });
}

std::string GetWindowsDir(bool addBackslash) {
  return Guarded("Utils.GetWindowsDir()", std::string(), [&] {
    return SystemFolder([](char* buffer, DWORD size) { return ::GetWindowsDirectoryA(buffer, size); }, addBackslash);
  });
}

std::string GetTempDir(bool addBackslash) {
  return Guarded("Utils.GetTempDir()", std::string(), [&] {
    return SystemFolder([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); }, addBackslash);
  });
}

std::string GetSystemDir(bool addBackslash) {
  return Guarded("Utils.GetSystemDir()", std::string(), [&] {
    return SystemFolder([](char* buffer, DWORD size) { return ::GetSystemDirectoryA(buffer, size); }, addBackslash);
  });
}

void ReadFilePart(std::string_view fileName, uint64_t maxLength, std::string& out, int64_t offset) {
  out.clear();
  Guarded("Utils.ReadFilePart()", false, [&] {
    UniqueFileHandle file(::CreateFileA(std::string(fileName).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const int64_t size = GetFileSize64(file.get());
    if (offset < 0 || offset >= size) return false;
    uint64_t count = static_cast<uint64_t>(size - offset);
    if (maxLength > 0) count = std::min(count, maxLength);
    if (count > out.max_size() || SeekFile64(file.get(), 0, offset) != offset) return false;
    std::string data(static_cast<size_t>(count), '\0');
    size_t done = 0;
    while (done < data.size()) {
      DWORD got = 0;
      const DWORD request = static_cast<DWORD>(std::min<size_t>(data.size() - done, MAXDWORD));
      if (!::ReadFile(file.get(), data.data() + done, request, &got, nullptr) || got == 0) return false;
      done += got;
    }
    out = std::move(data);
    return true;
  });
}

bool WriteFileText(std::string_view fileName, std::string_view text, uint32_t stamp, bool append,
                   const FileProgress& progress) {
  return Guarded("Utils.WriteFileText()", false, [&] {
    const std::string name(fileName);
    UniqueFileHandle file = append ? OpenForAppend(name)
                                   : UniqueFileHandle(::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                                    nullptr));
    if (!file) return false;
    const uint64_t total = text.size();
    uint64_t written = 0;
    if (progress || total > kMiB) {
      bool abort = false;
      const auto report = [&] {
        if (progress) progress(kProgressWriting, 0, int64_t(total), abort, 1, int64_t(written));
      };
      report();
      const uint64_t block = ChooseBlockSize(kMiB, total);
      while (written < total && !abort) {
        const DWORD n = WriteSome(file.get(), text.data() + written, std::min(block, total - written));
        if (n == 0) break;
        written += n;
        report();
      }
    } else if (total > 0) {
      written = WriteSome(file.get(), text.data(), total);
    }
    const bool complete = written == total;
    if (complete && stamp != 0) SetFileStamp(file.get(), stamp);
    return complete;
  });
}

bool CopyFileInPieces(std::string_view source, std::string_view target, uint64_t most,
                      const std::function<void()>& betweenPieces) {
  const std::string partial = std::string(target) + ".part";
  const bool copied = Guarded("Utils.CopyFileInPieces()", false, [&] {
    UniqueFileHandle in(::CreateFileA(std::string(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) return false;
    UniqueFileHandle out(::CreateFileA(partial.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    std::string buffer(kMiB, '\0');
    uint64_t copied = 0;
    for (;;) {
      DWORD got = 0;
      if (!::ReadFile(in.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) return false;
      if (got == 0) return true;
      if (got > most - copied) {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
      }
      copied += got;
      if (WriteSome(out.get(), buffer.data(), got) != got) return false;
      if (betweenPieces) betweenPieces();
    }
  });
  const std::string targetName(target);
  if (copied) {
    ::DeleteFileA(targetName.c_str());
    if (::MoveFileA(partial.c_str(), targetName.c_str())) return true;
  }
  ::DeleteFileA(partial.c_str());
  return false;
}

bool AppendFileText(std::string_view fileName, std::string_view text, uint32_t stamp) {
  return Guarded("Utils.AppendFileText()", false, [&] {
    UniqueFileHandle file(::CreateFileA(std::string(fileName).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    AppendLock lock(file.get());
    if (SeekFile64(file.get(), 2, 0) < 0) return false;
    const uint64_t written = text.empty() ? 0 : WriteSome(file.get(), text.data(), text.size());
    if (stamp != 0) SetFileStamp(file.get(), stamp);
    return written == text.size();
  });
}

bool SetFileStamp(void* file, uint32_t stamp) {
  FILETIME local, utc;
  if (!::DosDateTimeToFileTime(HIWORD(stamp), LOWORD(stamp), &local)) return false;
  if (!::LocalFileTimeToFileTime(&local, &utc)) return false;
  return ::SetFileTime(file, nullptr, nullptr, &utc) != 0;
}

bool SetFileStampByName(std::string_view fileName, uint32_t stamp) {
  return Guarded("Utils.SetFileStampByName()", false, [&] {
    UniqueFileHandle file(::CreateFileA(std::string(fileName).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && SetFileStamp(file.get(), stamp);
  });
}

bool DirectoryExists(std::string_view folder) {
  const DWORD attributes = ::GetFileAttributesA(std::string(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::string_view folder) {
  return Guarded("Utils.ForceDirectories()", false, [&] {
    std::string path(folder);
    for (char& c : path)
      if (c == '/') c = '\\';
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (path.empty()) return false;
    // Every parent from the root down; the ones that exist simply fail.
    for (size_t at = path.find('\\', 1); at != std::string::npos; at = path.find('\\', at + 1))
      if (at > 0 && path[at - 1] != ':' && path[at - 1] != '\\') ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return DirectoryExists(path);
  });
}

bool GetFileStampByName(std::string_view fileName, uint32_t& stamp) {
  return Guarded("Utils.GetFileStampByName()", false, [&] {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(::FindFirstFileA(std::string(fileName).c_str(), &entry));
    FILETIME local;
    WORD date = 0, time = 0;
    if (!find || !::FileTimeToLocalFileTime(&entry.ftLastWriteTime, &local) ||
        !::FileTimeToDosDateTime(&local, &date, &time))
      return false;
    stamp = uint32_t{date} << 16 | time;
    return true;
  });
}

int64_t GetFileSizeByName(std::string_view fileName) {
  return Guarded("Utils.GetFileSizeByName()", int64_t{0}, [&] {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(::FindFirstFileA(std::string(fileName).c_str(), &entry));
    if (!find) return int64_t{0};
    return static_cast<int64_t>(uint64_t{entry.nFileSizeHigh} << 32 | entry.nFileSizeLow);
  });
}

int64_t GetFileSize64(void* file) {
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>(uint64_t{high} << 32 | low);
}

int64_t SeekFile64(void* file, int origin, int64_t distance) {
  if (origin < 0 || origin > 2) return -1;
  LONG high = static_cast<LONG>(distance >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low = ::SetFilePointer(file, static_cast<LONG>(distance & 0xFFFFFFFF), &high, static_cast<DWORD>(origin));
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>(uint64_t{static_cast<DWORD>(high)} << 32 | low);
}

double GetFreeDiskSpace(std::string_view path) {
  return Guarded("Utils.GetFreeDiskSpace()", -1.0, [&] {
    std::string shaped(path);
    if (shaped.empty()) return -1.0;
    if (DiskFreeSpaceExFn ex = DiskFreeSpaceEx()) {
      ULARGE_INTEGER freeToCaller, total, totalFree;
      if (!ex(GetDriveRoot(shaped, false, IsLead).c_str(), &freeToCaller, &total, &totalFree) &&
          !ex(GetDriveRoot(shaped, true, IsLead).c_str(), &freeToCaller, &total, &totalFree)) {
        return -1.0;
      }
      return static_cast<double>(freeToCaller.QuadPart);
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(GetDriveRoot(shaped, true, IsLead).c_str(), &sectorsPerCluster, &bytesPerSector,
                             &freeClusters, &clusters)) {
      return -1.0;
    }
    return static_cast<double>(sectorsPerCluster) * bytesPerSector * freeClusters;
  });
}

bool EjectCD(std::string_view path) {
  return Guarded("Utils.EjectCD()", false, [&] {
    if (path.empty()) return false;
    const char letter = UpperAscii(path.front());
    if (letter < 'A' || letter > 'Z' || ::GetDriveTypeA(LetterRoot(letter).c_str()) != DRIVE_CDROM) return false;
    const std::string device = std::string("\\\\.\\") + letter + ":";
    UniqueFileHandle drive(::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    Trace("EjectCD-2: %s %ld", device.c_str(), static_cast<long>(reinterpret_cast<intptr_t>(drive.get())));
    if (!drive) {
      drive.reset(::CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    }
    Trace("EjectCD-3: %s %ld", device.c_str(), static_cast<long>(reinterpret_cast<intptr_t>(drive.get())));
    if (!drive) return false;
    DWORD returned = 0;
    return ::DeviceIoControl(drive.get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned, nullptr) !=
           0;
  });
}

std::string FindFileInTree(std::string_view folder, std::string_view fileName) {
  return Guarded("Utils.FindFileInTree()", std::string(), [&] {
    if (folder.empty() || fileName.empty()) return std::string();
    return FindFileIn(std::string(folder), fileName);
  });
}

std::string FindFileOnDrives(std::string_view fileName, unsigned driveType) {
  return Guarded("Utils.FindFileOnDrives()", std::string(), [&] {
    if (fileName.empty()) return std::string();
    return SearchDrives(driveType, [&](const std::string& root) { return FindFileIn(root, fileName); });
  });
}

std::string FindDirInTree(std::string_view folder, std::string_view dirName) {
  return Guarded("Utils.FindDirInTree()", std::string(), [&] {
    if (folder.empty() || dirName.empty()) return std::string();
    return FindDirIn(std::string(folder), dirName);
  });
}

std::string FindDirOnDrives(std::string_view dirPathOrName, unsigned driveType) {
  return Guarded("Utils.FindDirOnDrives()", std::string(), [&] {
    const std::string arg(dirPathOrName);
    if (arg.empty()) return std::string();
    if (arg.size() >= 3 && arg.compare(1, 2, ":\\") == 0) {
      const bool onDrive = ::GetDriveTypeA(LetterRoot(arg[0]).c_str()) == driveType;
      return onDrive && DirectoryExists(arg) ? arg : std::string();
    }
    return SearchDrives(driveType, [&](const std::string& root) { return FindDirIn(root, arg); });
  });
}

bool DeleteFilesByMask(std::string_view mask, bool clearAttributes) {
  return Guarded("Utils.DeleteFilesByMask()", false, [&] {
    const std::string folder = FolderPart(mask);
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(::FindFirstFileA(std::string(mask).c_str(), &entry));
    if (!find) return false;
    bool matched = false;
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      matched = true;
      const std::string path = folder + entry.cFileName;
      if (clearAttributes) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(path.c_str());
    } while (::FindNextFileA(find.get(), &entry));
    return matched;
  });
}

bool RemoveDirTree(std::string_view folder, bool clearAttributes, const FileProgress& progress) {
  return Guarded("Utils.RemoveDirTree()", false, [&] {
    const std::string name(folder);
    if (name.empty() || IsRootPath(name, IsLead) || IsRootPath(FullPath(name), IsLead)) return false;
    const std::string dir = NormalizeDir(folder, false, IsLead);
    const DWORD attr = Attributes(dir);
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    // A linked folder goes as a link: emptying it would empty its target.
    if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      DeleteFilesByMask(JoinPath(dir, "*.*"), clearAttributes);

      struct Subfolder {
        std::string path;
        bool link;
      };
      std::vector<Subfolder> subfolders;
      WIN32_FIND_DATAA entry;
      UniqueFindHandle find(::FindFirstFileA(JoinPath(dir, "*.*").c_str(), &entry));
      if (find) {
        do {
          if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(entry)) {
            subfolders.push_back(
                {JoinPath(dir, entry.cFileName), (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
          }
        } while (::FindNextFileA(find.get(), &entry));
      }
      find.reset();

      bool abort = false;
      for (const Subfolder& sub : subfolders) {
        if (abort) break;
        if (!sub.link) RemoveDirTree(sub.path, clearAttributes, nullptr);
        if (progress) progress(kProgressRemoving, 0, 0, abort, 0, 0);
        ::RemoveDirectoryA(sub.path.c_str());
      }
    }
    ::RemoveDirectoryA(dir.c_str());
    return !DirectoryExists(dir);
  });
}

}  // namespace tarnix
