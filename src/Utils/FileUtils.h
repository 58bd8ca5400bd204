// Files, folders and drives on Windows: the system's folders, whole-file
// reading and writing, 64-bit sizes and positions, free space, searches,
// deletion of files and folder trees, and ejecting a CD. Every operation
// reports failure by its result and never throws.
//
// Folder paths come without a trailing backslash unless `addBackslash` asks
// for exactly one. Open files are passed as the HANDLE of the file API.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarnix {

// Progress of a long file operation: (operation, 0, total bytes, abort,
// writing, bytes done). Writing a file reports operation 0 with the total
// and the bytes written so far; removing a tree reports operation 1 with
// zeros. Setting `abort` stops the operation after the current step.
using FileProgress =
    std::function<void(int operation, int reserved, int64_t total, bool& abort, int writing, int64_t done)>;

inline constexpr int kProgressWriting = 0;
inline constexpr int kProgressRemoving = 1;

std::string GetExeFileName(bool baseNameOnly = false);
std::string GetExeDir(bool addBackslash);
std::string GetWindowsDir(bool addBackslash);
std::string GetTempDir(bool addBackslash);
std::string GetSystemDir(bool addBackslash);

// Up to `maxLength` bytes (0 = all) from `offset` to the end of the file;
// `out` is empty when the file is missing, the offset lies outside it or the
// read comes up short.
void ReadFilePart(std::string_view fileName, uint64_t maxLength, std::string& out, int64_t offset = 0);

// Creates or empties the file, or with `append` adds to its end, and writes
// `text`; in blocks with progress reports when a callback is given or the
// text is over 1 MiB. `stamp` is a packed DOS date and time (0 leaves the
// date alone). True when every byte was written; a failed or aborted write
// leaves what was written.
bool WriteFileText(std::string_view fileName, std::string_view text, uint32_t stamp = 0, bool append = false,
                   const FileProgress& progress = nullptr);

// Copies `source` to `target` in pieces of 1 MiB, calling `betweenPieces`
// after each, so a large file neither fills the memory of a 32-bit process
// nor stops the windows. The copy is written beside the target first and
// takes the target's name only when complete: a failed copy leaves no
// partial file and an earlier target untouched. A source longer than
// `most` bytes fails the copy before a byte past `most` is written. True
// when the copy is complete.
bool CopyFileInPieces(std::string_view source, std::string_view target, uint64_t most,
                      const std::function<void()>& betweenPieces);

// Appends `text` in one write to the file (created when missing), opened with
// sharing and closed again. Processes appending to one file this way at the
// same time (the stub and its X_ copy logging) never overwrite each other.
bool AppendFileText(std::string_view fileName, std::string_view text, uint32_t stamp = 0);

// Sets the modification time of an open file (opened for writing) or of a
// file by name from a packed DOS date and time in local time.
bool SetFileStamp(void* file, uint32_t stamp);
bool SetFileStampByName(std::string_view fileName, uint32_t stamp);

bool DirectoryExists(std::string_view folder);
// Creates the folder with every missing parent; true when it exists after.
bool ForceDirectories(std::string_view folder);
// The modification time as a packed DOS date and time in local time; false
// when the file is missing or its time cannot be packed.
bool GetFileStampByName(std::string_view fileName, uint32_t& stamp);
// 0 when no file of that name is found.
int64_t GetFileSizeByName(std::string_view fileName);
// -1 on failure.
int64_t GetFileSize64(void* file);
// `origin`: 0 start, 1 current position, 2 end. The new position, -1 on failure.
int64_t SeekFile64(void* file, int origin, int64_t distance);

// Bytes free for the calling user on the drive of `path`, -1 when unknown.
double GetFreeDiskSpace(std::string_view path);

// Ejects the medium when `path` lies on a CD drive; false otherwise.
bool EjectCD(std::string_view path);

// Depth-first searches that keep windows responsive while they walk. Empty
// when nothing is found. The drive searches visit C: to Z: whose drive type
// (GetDriveTypeA) is `driveType`.
std::string FindFileInTree(std::string_view folder, std::string_view fileName);
std::string FindFileOnDrives(std::string_view fileName, unsigned driveType);
std::string FindDirInTree(std::string_view folder, std::string_view dirName);
std::string FindDirOnDrives(std::string_view dirPathOrName, unsigned driveType);

// Deletes the files matching a wildcard mask, hidden and system ones
// included; with `clearAttributes`, read-only ones too. True when any file
// matched, whether or not it could be deleted.
bool DeleteFilesByMask(std::string_view mask, bool clearAttributes);

// Deletes a folder with everything below it. True when the folder existed
// and is gone. Linked folders are removed as links, never emptied; drive and
// share roots are refused.
bool RemoveDirTree(std::string_view folder, bool clearAttributes, const FileProgress& progress = nullptr);

}  // namespace tarnix
