// The rules by which a download that broke off continues where it stopped:
// the record kept beside the bytes already on disk, the range request that
// asks for the rest, and what the server's answer means for the bytes kept.
// A download only continues when the server can prove it still has the
// same file (a validator that If-Range sends back); anything else starts
// over, so a partial file is never joined to the tail of another one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

// The bytes between two updates of the record. The record only ever names
// bytes that were flushed to the disk first, so a machine switched off in
// the middle loses at most this much of the download.
inline constexpr uint64_t kResumeCheckpointBytes = 1048576;

// What the record beside a partial download holds.
struct ResumeRecord {
  std::string url;
  // The whole file's length.
  uint32_t size = 0;
  // An entity tag as the server sent it, or its Last-Modified text.
  std::string validator;
  // Bytes at the start of the partial file that are known to be on disk.
  uint64_t received = 0;
};

// The record's text, and back; nullopt for a text that is not a whole,
// sound record (a record torn by a switched-off machine starts over).
std::string FormatResumeRecord(const ResumeRecord& record);
std::optional<ResumeRecord> ParseResumeRecord(std::string_view text);

// A record never grows beyond this; a longer file is no record.
inline constexpr size_t kMaxResumeRecord = 4096;

// The record's file name: the partial file's name + ".resume".
std::string ResumeRecordName(std::string_view tempName);

// For a file name that is a record of the downloader's ("<target>.<number>
// .resume"), the target's name; empty for any other name.
std::string ResumeRecordTarget(std::string_view fileName);

// Whether a Last-Modified date tells this file from any later one: the
// response's Date is at least 60 seconds later (RFC 9110, 8.8.2.2). A file
// may change twice within the second its date names, and the clocks of the
// machines that wrote and serve it need not agree to the second. Both in
// seconds on one scale.
bool DateVouchesForLastModified(int64_t lastModifiedSeconds, int64_t dateSeconds);

// The validator that proves on a later request that the file is the same:
// a strong entity tag, else a Last-Modified date the server vouches for
// (`lastModifiedStrong`: DateVouchesForLastModified); empty when there is
// none, and the download cannot continue later.
std::string ChooseResumeValidator(std::string_view etag, std::string_view lastModified, bool lastModifiedStrong);

// The range request that continues a download.
struct ResumePlan {
  uint64_t offset = 0;
  uint32_t size = 0;
  std::string validator;
};

// The plan for `url` from the record and the partial file's length on disk;
// nullopt when there is nothing to continue (another url, no validator, no
// bytes yet, all bytes already, or fewer bytes on disk than the record says).
std::optional<ResumePlan> PlanResume(const ResumeRecord& record, std::string_view url, int64_t partialLength);

// "Range: bytes=<offset>-" and "If-Range: <validator>", each ending in CR LF.
std::string ResumeRequestHeaders(const ResumePlan& plan);

// A Content-Range value, "bytes <first>-<last>/<total>".
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t total = 0;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

enum class ResumeVerdict {
  // 206 with exactly the rest of the same file: append it.
  Continue,
  // A whole response (200 and the like): the server ignores ranges or the
  // file changed; the body replaces the bytes kept.
  StartOver,
  // A range answer that does not fit (416, another range or length): the
  // bytes kept are dropped and the file is asked for again without a range.
  AskAgain,
};

ResumeVerdict JudgeResumeResponse(const ResumePlan& plan, uint32_t status, std::string_view contentRange);

}  // namespace tarnix
