#include "net/HttpDownload.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "net/DownloadAbort.h"
#include "net/DownloadLoop.h"
#include "net/DownloadRules.h"
#include "net/InternetThread_win32.h"
#include "net/ResumeRules.h"
#include "net/SecureConnection.h"
#include "net/WinInetBinding_win32.h"

namespace tarnix {

namespace {

bool IsLead(unsigned char c) { return IsLeadByte(c); }

constexpr char kAbortedText[] = "Download Aborted";

std::string StallText() {
  return "no data from the server for " + std::to_string(kNetworkStallMs / 1000) + " seconds";
}

// The error text of a download that went wrong after its request was
// answered; `why` keeps the reason and its numbers for the log.
std::string DownloadFailure(const std::string& displayName, Failure& why, const std::string& detail,
                            uint32_t httpStatus = 0, uint32_t systemError = 0) {
  std::string error = displayName + " --- Error downloading file";
  if (!detail.empty()) error += " (" + detail + ")";
  why = {detail.empty() ? std::string("Error downloading file") : detail, httpStatus, systemError};
  return error;
}

// The error of a wait for the server that did not end with an answer.
std::string WaitFailure(NetWait end, const std::string& failure, Failure& why) {
  if (end == NetWait::Aborted) {
    why = {kAbortedText, 0, 0};
    return kAbortedText;
  }
  why = {StallText(), 0, 0};
  return failure + " (" + why.reason + ")";
}

// The error of a request that could not be sent, with the system's reason
// when there is one in words.
std::string OpenFailure(const std::string& url, unsigned long systemError, Failure& why) {
  const std::string reason = ConnectionFailureReason(systemError);
  std::string error = "Unable to open Internet Connection: " + url;
  if (!reason.empty()) error += " (" + reason + ")";
  why = {reason.empty() ? std::string("Unable to open Internet Connection") : reason, 0,
         static_cast<uint32_t>(systemError)};
  return error;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.size() - FileNamePart(path, IsLead).size()); }

// Calls `each` with the name of every file (not folder) in `folder` that
// matches `mask`.
template <typename Each>
void ForEachFile(const std::string& folder, const std::string& mask, Each each) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((folder + mask).c_str(), &entry));
  if (!find) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) each(std::string(entry.cFileName));
  } while (::FindNextFileA(find.get(), &entry));
}

// Removes what earlier downloads of `target` left behind, partial files and
// their resume records, except the partial file `keep` and its record;
// every other file beside it stays, whatever its name.
void DeleteDownloadTempFiles(const std::string& target, const std::string& keep = "") {
  const std::string name = FileNamePart(target, IsLead);
  const std::string folder = FolderOf(target);
  const std::string kept = FileNamePart(keep, IsLead);
  ForEachFile(folder, name + ".*", [&](const std::string& file) {
    const bool own = IsDownloadTempName(name, file) || SameText(ResumeRecordTarget(file), name);
    if (own && (kept.empty() || (!SameText(file, kept) && !SameText(file, ResumeRecordName(kept))))) {
      ::DeleteFileA((folder + file).c_str());
    }
  });
}

// The temporary file of a download, opened on the first piece and kept open
// until the download ends; every piece is written through at once, so what
// arrived stays in the file whatever ends the download.
class TempFile {
 public:
  explicit TempFile(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  // Opens the file with its first `length` bytes kept and the rest cut off,
  // for a download that continues.
  bool KeepFirst(uint64_t length) {
    if (!Open() || SeekFile64(file_.get(), 0, static_cast<int64_t>(length)) < 0 || !::SetEndOfFile(file_.get())) {
      return Failed();
    }
    return true;
  }

  // A download that does not continue starts with an empty file: bytes of
  // an earlier one that could not be deleted never precede its own.
  bool Append(std::string_view piece) {
    if (!file_ && !KeepFirst(0)) return false;
    while (!piece.empty()) {
      DWORD written = 0;
      if (!::WriteFile(file_.get(), piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) ||
          written == 0) {
        return Failed();
      }
      piece.remove_prefix(written);
    }
    return true;
  }

  // Puts what was written on the disk itself, so that it survives the
  // machine being switched off.
  bool Flush() { return file_ && ::FlushFileBuffers(file_.get()); }

  void Close() { file_.reset(); }
  const std::string& Error() const { return error_; }
  uint32_t ErrorNumber() const { return errorNumber_; }

 private:
  bool Open() {
    file_.reset(::CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
  }

  bool Failed() {
    errorNumber_ = ::GetLastError();
    error_ = SysErrorMessage(errorNumber_);
    file_.reset();
    return false;
  }

  std::string name_;
  UniqueFileHandle file_;
  std::string error_;
  uint32_t errorNumber_ = 0;
};

// A download that may continue later: its partial file, and the record
// beside it of what the file holds.
struct Partial {
  std::string tempName;
  ResumeRecord record;
};

std::string RecordPath(const std::string& tempName) { return ResumeRecordName(tempName); }

// Writes the record through to the disk; the partial file's bytes it counts
// must be there first.
void WriteRecord(const Partial& partial) {
  const std::string text = FormatResumeRecord(partial.record);
  UniqueFileHandle file(::CreateFileA(RecordPath(partial.tempName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    ::FlushFileBuffers(file.get());
  }
}

void DeletePartial(const std::string& tempName) {
  ::DeleteFileA(tempName.c_str());
  ::DeleteFileA(RecordPath(tempName).c_str());
}

// The partial download of `url` into `target` that an earlier call kept,
// with the plan to continue it; nullopt when there is none to continue.
std::optional<std::pair<Partial, ResumePlan>> FindPartial(const std::string& target, const std::string& url) {
  const std::string name = FileNamePart(target, IsLead);
  const std::string folder = FolderOf(target);
  std::optional<std::pair<Partial, ResumePlan>> found;
  ForEachFile(folder, name + ".*", [&](const std::string& file) {
    if (found || !SameText(ResumeRecordTarget(file), name)) return;
    std::string text;
    ReadFilePart(folder + file, kMaxResumeRecord + 1, text);
    const std::optional<ResumeRecord> record = ParseResumeRecord(text);
    if (!record) return;
    Partial partial{folder + file.substr(0, file.size() - (ResumeRecordName("").size())), *record};
    const std::optional<ResumePlan> plan = PlanResume(*record, url, GetFileSizeByName(partial.tempName));
    if (plan) found.emplace(std::move(partial), *plan);
  });
  return found;
}

struct DownloadJob {
  HWND window;
  std::string url;
  std::string target;
  std::string user;
  std::string password;
  TProgBar* progress;
  std::string displayName;
  // What arrived is kept for a later call when the download breaks off.
  bool resumable;
  // The lengths the caller expects; none: any.
  std::optional<SizeRange> expected;
  // The most a download into memory may hold.
  uint64_t memoryLimit = kMaxMemoryDownload;
  // A conditional request's headers in, the response's head out; may be null.
  HttpExchange* exchange = nullptr;
};

// Whether the caller expects a file of `size` bytes.
bool ExpectedLength(const DownloadJob& job, uint32_t size) {
  return !job.expected || size == kUnknownSize || job.expected->Holds(size);
}

std::string UnexpectedLength(const DownloadJob& job, uint32_t size, Failure& why) {
  return DownloadFailure(job.displayName, why,
                         "the server sends " + std::to_string(size) + " bytes, announced are " +
                             SizeRangeText(*job.expected));
}

// The response to the download's request, sent with a range when an earlier
// download can continue; `partial` then holds it, and is empty when the
// download starts over.
std::string OpenDownload(InternetThread& net, const DownloadJob& job,
                         std::optional<std::pair<Partial, ResumePlan>>& partial, NetResponseHead& head, Failure& why) {
  NetRequest request{job.url, job.user, job.password, partial ? ResumeRequestHeaders(partial->second) : ""};
  if (!partial && job.exchange) request.headers = job.exchange->requestHeaders;
  bool opened = false;
  unsigned long openError = 0;
  NetWait end = net.Open(request, opened, head, openError);
  if (end == NetWait::Done && opened && partial) {
    const ResumeVerdict verdict = JudgeResumeResponse(partial->second, head.status, head.contentRange);
    if (verdict != ResumeVerdict::Continue) partial.reset();
    if (verdict == ResumeVerdict::AskAgain) {
      request.headers.clear();
      end = net.Open(request, opened, head, openError);
    }
  }
  if (end != NetWait::Done) return WaitFailure(end, "Unable to open Internet Connection: " + job.url, why);
  if (!opened) return OpenFailure(job.url, openError, why);
  if (HttpExchange* exchange = job.exchange) {
    exchange->status = head.status;
    exchange->etag = head.etag;
    exchange->lastModified = head.lastModified;
    exchange->retryAfter = head.retryAfter;
    exchange->date = head.date;
    // Unchanged since the copy the caller keeps: no body to read.
    exchange->notModified = head.status == 304 && !exchange->requestHeaders.empty();
    if (exchange->notModified) return {};
  }
  if (!IsFileStatus(head.status)) return DownloadFailure(job.displayName, why, StatusReason(head.status), head.status);
  return {};
}

// The download itself; the error text, empty on success, and `why` it
// failed.
std::string Download(const DownloadJob& job, std::string& data, Failure& why) {
  InternetThread net;
  if (!net.Start()) {
    why = {"WinINet.dll could not be loaded", 0, static_cast<uint32_t>(::GetLastError())};
    return "Unable to initialize \"WinINet.dll\"";
  }
  const NetWait warmedUp = net.WarmUp(job.url);
  if (warmedUp != NetWait::Done) return WaitFailure(warmedUp, "Unable to open Internet Connection: " + job.url, why);

  const std::string& target = job.target;
  const bool toFile = !target.empty();
  std::optional<std::pair<Partial, ResumePlan>> partial;
  if (toFile && job.resumable) partial = FindPartial(target, job.url);
  // Bytes kept of a file of another size than announced now are no start.
  if (partial && !ExpectedLength(job, partial->second.size)) partial.reset();
  NetResponseHead head;
  if (std::string error = OpenDownload(net, job, partial, head, why); !error.empty()) return error;
  if (job.exchange && job.exchange->notModified) return {};
  const uint32_t size = partial ? partial->second.size : head.length;
  const uint32_t date = head.lastModifiedStamp;
  if (size == 0) {
    why = {"the server sends an empty file", head.status, 0};
    return job.url + " --- File Not Found !";
  }
  // Refused before anything is written: a server must not fill the disk
  // with more than was announced.
  if (!ExpectedLength(job, size)) return UnexpectedLength(job, size, why);
  if (!toFile && size != kUnknownSize && size > job.memoryLimit)
    return DownloadFailure(job.displayName, why,
                           "the server sends " + std::to_string(size) + " bytes, more than the " +
                               std::to_string(job.memoryLimit) + " allowed");

  if (reinterpret_cast<uintptr_t>(job.window) > 10) ::ShowWindow(job.window, SW_SHOW);
  const uint64_t start = partial ? partial->second.offset : 0;
  if (!partial && toFile) {
    // A fresh download can continue later only when the server gives the
    // means to ask for the rest of the same file.
    Partial fresh{DownloadTempName(target, size, date), {job.url, size, "", 0}};
    if (job.resumable && size != kUnknownSize)
      fresh.record.validator = ChooseResumeValidator(head.etag, head.lastModified, head.lastModifiedStrong);
    partial.emplace(std::move(fresh), ResumePlan());
  }
  const std::string tempName = toFile ? partial->first.tempName : std::string();
  // A download that may continue keeps a record beside its partial file
  // from the start, so that whatever ends it, even the end of the process,
  // the partial file is known for what it is and cleaned up later.
  const bool recordKept = toFile && job.resumable;
  const bool canContinue = recordKept && !partial->first.record.validator.empty();
  TempFile temp(tempName);
  if (toFile) DeleteDownloadTempFiles(target, start > 0 ? tempName : "");
  if (start > 0 && !temp.KeepFirst(start))
    return DownloadFailure(job.displayName, why, temp.Error(), 0, temp.ErrorNumber());
  if (recordKept && start == 0) WriteRecord(partial->first);
  if (!toFile && size != kUnknownSize && size <= job.memoryLimit) data.reserve(size);

  std::string readError;
  unsigned long readErrorNumber = 0;
  uint64_t received = start;
  uint64_t recorded = start;
  // The record counts only bytes flushed to the disk before it.
  const auto checkpoint = [&] {
    if (!canContinue || recorded == received || !temp.Flush()) return;
    partial->first.record.received = received;
    WriteRecord(partial->first);
    recorded = received;
  };
  DownloadLoopIo io;
  io.read = [&](char* buffer, uint32_t want, uint32_t& got) {
    bool ok = false;
    const NetWait end = net.Read(buffer, want, got, ok, readError, readErrorNumber);
    if (end == NetWait::Stalled) readError = StallText();
    return end == NetWait::Done && ok;
  };
  io.keep = [&](std::string_view piece) {
    if (!toFile) {
      data.append(piece);
      return true;
    }
    if (!temp.Append(piece)) return false;
    received += piece.size();
    if (received - recorded >= kResumeCheckpointBytes) checkpoint();
    return true;
  };
  io.pump = [] { YieldX(0); };
  uint64_t limit = toFile ? uint64_t{size} : std::min<uint64_t>(size, job.memoryLimit);
  if (job.expected) limit = std::min(limit, job.expected->most);
  const DownloadLoopResult result = RunDownloadLoop(size, start, limit, job.displayName, job.progress, io);
  checkpoint();
  temp.Close();

  std::string error;
  if (result.stop == DownloadStop::ReadFailed) {
    error = DownloadFailure(job.displayName, why, readError, 0, readErrorNumber);
  } else if (result.stop == DownloadStop::KeepFailed) {
    error = DownloadFailure(job.displayName, why, temp.Error(), 0, temp.ErrorNumber());
  } else if (result.stop == DownloadStop::OverLimit && !toFile && result.received > job.memoryLimit) {
    data.clear();
    error = DownloadFailure(job.displayName, why,
                            "more than " + std::to_string(job.memoryLimit) + " bytes" +
                                (job.memoryLimit == kMaxMemoryDownload ? " for memory" : ""));
  } else if (result.stop == DownloadStop::EndOfBody && !toFile && size != kUnknownSize && result.received < size) {
    // A body cut short is no announcement: its last keys would be missing.
    data.clear();
    error = DownloadFailure(job.displayName, why,
                            "received " + std::to_string(result.received) + " of " + std::to_string(size) + " bytes");
  }
  if (DownloadAborted()) {
    error = kAbortedText;
    why = {kAbortedText, 0, 0};
  }
  if (!toFile) return error;
  const int64_t onDisk = GetFileSizeByName(tempName);
  if (onDisk == int64_t{size}) {
    ::DeleteFileA(target.c_str());
    if (!::MoveFileA(tempName.c_str(), target.c_str())) {
      const DWORD moveError = ::GetLastError();
      error = DownloadFailure(job.displayName, why, SysErrorMessage(moveError), 0, moveError);
    }
    ::DeleteFileA(RecordPath(tempName).c_str());
    return error;
  }
  if (error.empty()) {
    // The target stays as it was; the caller must not take it for the file.
    error = DownloadFailure(job.displayName, why,
                            size == kUnknownSize ? "the server announced no size"
                                                 : "received " + std::to_string(onDisk) + " of " +
                                                       std::to_string(size) + " bytes");
  }
  // What cannot continue later is of no use on the disk, nor is a file that
  // fell short of what the caller expects.
  if (recordKept && (!canContinue || recorded == 0 || onDisk > int64_t{size})) DeletePartial(tempName);
  if (!recordKept && job.expected) ::DeleteFileA(tempName.c_str());
  return error;
}

void RunDownload(DownloadJob job, std::string_view url, std::string& data, std::string& error, Failure* why) {
  error.clear();
  data.clear();
  Failure failure;
  try {
    job.displayName = DownloadDisplayName(url);
    job.url = UrlWithScheme(url);
    error = Download(job, data, failure);
  } catch (const std::exception& e) {
    ReportException(e, "HTTP_DownloadFile_Incremental", url);
    error = DownloadFailure(job.displayName, failure, e.what());
  } catch (...) {
    ReportException(std::bad_exception(), "HTTP_DownloadFile_Incremental", url);
    error = DownloadFailure(job.displayName, failure, "");
  }
  if (!error.empty()) Trace("%lu HTTP_DownloadFile_Incremental: %s", ::GetCurrentProcessId(), error.c_str());
  if (why) *why = error.empty() ? Failure() : failure;
}

}  // namespace

bool InternetConnected(std::string& error) {
  DWORD flags = 0;
  const bool connected = ProcessWinInet().GetConnectedState(&flags, 0) != 0;
  error = connected ? std::string() : LastErrorText();
  return connected;
}

bool InternetConnected() {
  std::string error;
  return InternetConnected(error);
}

int32_t HTTP_GetFileSize(std::string_view url) {
  try {
    const std::string full = UrlWithScheme(url);
    InternetThread net;
    if (!net.Start() || net.WarmUp(full) != NetWait::Done) return -1;
    bool opened = false;
    uint32_t size = kUnknownSize;
    if (net.QuerySize(full, opened, size) != NetWait::Done || !opened) return -1;
    Trace("HTTP_GetFileSize=%d  %s", static_cast<int32_t>(size), full.c_str());
    return static_cast<int32_t>(size);
  } catch (const std::exception& e) {
    ReportException(e, "HTTP_GetFileSize", url);
  } catch (...) {
    ReportException(std::bad_exception(), "HTTP_GetFileSize", url);
  }
  return -1;
}

void HTTP_DownloadFile(HWND window, std::string_view url, std::string_view targetFile, std::string& data,
                       TProgBar* progress, std::string& error, Failure* why, HttpExchange* exchange) {
  if (!exchange) {
    HTTP_DownloadFile_Incremental(window, url, targetFile, "", "", data, progress, error, why);
    return;
  }
  DownloadJob job{window, "", std::string(targetFile), "", "", progress, "", false, std::nullopt};
  job.exchange = exchange;
  RunDownload(job, url, data, error, why);
}

void HTTP_DownloadFile_Incremental(HWND window, std::string_view url, std::string_view targetFile,
                                   std::string_view user, std::string_view password, std::string& data,
                                   TProgBar* progress, std::string& error, Failure* why) {
  const DownloadJob job{window, "", std::string(targetFile), std::string(user), std::string(password), progress, "",
                        false, std::nullopt};
  RunDownload(job, url, data, error, why);
}

void HTTP_DownloadSmallFile(HWND window, std::string_view url, uint64_t most, std::string& data, TProgBar* progress,
                            std::string& error, Failure* why, HttpExchange* exchange) {
  DownloadJob job{window, "", "", "", "", progress, "", false, std::nullopt};
  job.memoryLimit = std::min(most, kMaxMemoryDownload);
  job.exchange = exchange;
  RunDownload(job, url, data, error, why);
}

void HTTP_DownloadFileOfSize(HWND window, std::string_view url, std::string_view targetFile,
                             const SizeRange& expected, TProgBar* progress, std::string& error, Failure* why) {
  std::string data;
  const DownloadJob job{window, "", std::string(targetFile), "", "", progress, "", false, expected};
  RunDownload(job, url, data, error, why);
}

void HTTP_DownloadFileResuming(HWND window, std::string_view url, std::string_view targetFile,
                               const SizeRange& expected, TProgBar* progress, std::string& error, Failure* why) {
  std::string data;
  const DownloadJob job{window, "", std::string(targetFile), "", "", progress, "", !targetFile.empty(), expected};
  RunDownload(job, url, data, error, why);
}

void DeleteResumeFilesExcept(std::string_view folder, std::string_view keepTarget) {
  const std::string dir = NormalizeDir(folder, true, IsLead);
  ForEachFile(dir, "*.resume", [&](const std::string& file) {
    const std::string target = ResumeRecordTarget(file);
    if (target.empty() || SameText(target, keepTarget)) return;
    DeletePartial(dir + file.substr(0, file.size() - ResumeRecordName("").size()));
  });
}

bool IsHtmlErrorPage(std::string_view fileName, std::string_view content) {
  if (!fileName.empty()) {
    const DWORD attr = ::GetFileAttributesA(std::string(fileName).c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      std::string head;
      ReadFilePart(fileName, 1000, head);
      return IsHtmlErrorPage(head);
    }
  }
  return IsHtmlErrorPage(content);
}

std::string HtmlErrorMessage(std::string_view fileName, std::string_view content, std::string_view url,
                             std::string_view def, bool iisHint) {
  if (!IsHtmlErrorPage(fileName, content)) return std::string(def);
  return HtmlNotFoundMessage(url, iisHint && PosCI("IIS", content) > 0);
}

}  // namespace tarnix
