// The rules of continuing a download: the record kept beside the partial
// file, the validator chosen, when an earlier download may continue, the
// range request, and what each answer of the server means for the bytes
// kept.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "net/ResumeRules.h"

namespace tarnix {
namespace {

constexpr char kUrl[] = "http://updates.example.com/product/Setup2.exe";

ResumeRecord Record(uint64_t received) { return {kUrl, 50000000, "\"v2-abc\"", received}; }

TEST(ResumeRulesTest, RecordReadsBackAsWritten) {
  const ResumeRecord written = Record(31457280);
  const std::string text = FormatResumeRecord(written);
  EXPECT_EQ(text, std::string("Url=") + kUrl + "\r\nSize=50000000\r\nValidator=\"v2-abc\"\r\nReceived=31457280\r\n");
  const std::optional<ResumeRecord> read = ParseResumeRecord(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->url, written.url);
  EXPECT_EQ(read->size, written.size);
  EXPECT_EQ(read->validator, written.validator);
  EXPECT_EQ(read->received, written.received);
}

TEST(ResumeRulesTest, DamagedRecordsAreNoRecords) {
  const std::string good = FormatResumeRecord(Record(1000));
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"cut before the count", good.substr(0, good.find("Received="))},
      {"last line without its end", good.substr(0, good.size() - 2)},
      {"no validator", std::string("Url=") + kUrl + "\r\nSize=5\r\nValidator=\r\nReceived=1\r\n"},
      {"no url", "Url=\r\nSize=5\r\nValidator=x\r\nReceived=1\r\n"},
      {"more received than the size", std::string("Url=") + kUrl + "\r\nSize=5\r\nValidator=x\r\nReceived=6\r\n"},
      {"size beyond 32 bits", std::string("Url=") + kUrl + "\r\nSize=4294967296\r\nValidator=x\r\nReceived=1\r\n"},
      {"count not a number", std::string("Url=") + kUrl + "\r\nSize=5\r\nValidator=x\r\nReceived=-1\r\n"},
      {"count overflowing", std::string("Url=") + kUrl + "\r\nSize=5\r\nValidator=x\r\nReceived=99999999999999999999\r\n"},
      {"keys in another order", std::string("Size=5\r\nUrl=") + kUrl + "\r\nValidator=x\r\nReceived=1\r\n"},
      {"a line too many", good + "Extra=1\r\n"},
      {"binary", std::string("\0\xff\r\n\0", 5)},
      {"too long", std::string("Url=") + std::string(5000, 'a') + "\r\nSize=5\r\nValidator=x\r\nReceived=1\r\n"},
  };
  for (const Case& c : cases) EXPECT_FALSE(ParseResumeRecord(c.text)) << c.name;
  // A count cut short by a switched-off machine is a smaller count, which is
  // always safe: the bytes it names were on the disk before it.
  const std::optional<ResumeRecord> cut =
      ParseResumeRecord(std::string("Url=") + kUrl + "\r\nSize=50000000\r\nValidator=x\r\nReceived=314\r\n");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->received, 314u);
}

TEST(ResumeRulesTest, RecordNamesAndTheTargetTheyBelongTo) {
  EXPECT_EQ(ResumeRecordName("C:\\agent\\Setup2.exe.1512793064"), "C:\\agent\\Setup2.exe.1512793064.resume");
  struct Case {
    const char* file;
    const char* target;
  };
  const Case cases[] = {
      {"Setup2.exe.1512793064.resume", "Setup2.exe"},
      {"Setup2.exe.0.RESUME", "Setup2.exe"},
      {"a.b.c.12.resume", "a.b.c"},
      {"Setup2.exe.resume", ""},
      {"Setup2.exe.12a.resume", ""},
      {"Setup2.exe.12345678901.resume", ""},
      {"Setup2.exe.123", ""},
      {".123.resume", ""},
      {"Setup2.exe.123.resume.bak", ""},
      {".resume", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResumeRecordTarget(c.file), c.target) << c.file;
}

TEST(ResumeRulesTest, ValidatorIsAStrongTagElseAVouchedDate) {
  struct Case {
    const char* name;
    const char* etag;
    const char* lastModified;
    bool strongDate;
    const char* validator;
  };
  const Case cases[] = {
      {"strong tag", "\"abc\"", "Tue, 15 Jun 2021 13:45:30 GMT", true, "\"abc\""},
      {"weak tag, vouched date", "W/\"abc\"", "Tue, 15 Jun 2021 13:45:30 GMT", true, "Tue, 15 Jun 2021 13:45:30 GMT"},
      {"weak tag, date too fresh", "W/\"abc\"", "Tue, 15 Jun 2021 13:45:30 GMT", false, ""},
      {"no tag, vouched date", "", "Tue, 15 Jun 2021 13:45:30 GMT", true, "Tue, 15 Jun 2021 13:45:30 GMT"},
      {"nothing", "", "", false, ""},
      {"tag over two lines", "\"a\r\nb\"", "", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseResumeValidator(c.etag, c.lastModified, c.strongDate), c.validator) << c.name;
  }
  EXPECT_EQ(ChooseResumeValidator(std::string(2000, 'a'), "", false), "") << "too long to send back";
}

TEST(ResumeRulesTest, ALastModifiedDateIsStrongOnlyAMinuteBeforeTheAnswer) {
  constexpr int64_t kModified = 1'000'000'000;
  const struct {
    const char* name;
    int64_t date;
    bool strong;
  } cases[] = {
      {"same second", kModified, false},
      {"a second later", kModified + 1, false},
      {"59 seconds later", kModified + 59, false},
      {"60 seconds later", kModified + 60, true},
      {"a day later", kModified + 86400, true},
      {"an answer dated before the file", kModified - 3600, false},
  };
  for (const auto& c : cases) EXPECT_EQ(DateVouchesForLastModified(kModified, c.date), c.strong) << c.name;
}

TEST(ResumeRulesTest, OnlyASoundRecordOfTheSameUrlContinues) {
  struct Case {
    const char* name;
    ResumeRecord record;
    std::string url;
    int64_t onDisk;
    std::optional<uint64_t> offset;
  };
  ResumeRecord noValidator = Record(1000);
  noValidator.validator.clear();
  const Case cases[] = {
      {"bytes kept", Record(30000000), kUrl, 30000000, 30000000},
      {"more on disk than recorded: the rest was never flushed", Record(30000000), kUrl, 30500000, 30000000},
      {"fewer on disk than recorded", Record(30000000), kUrl, 29999999, std::nullopt},
      {"partial file gone", Record(30000000), kUrl, -1, std::nullopt},
      {"another url", Record(30000000), std::string(kUrl) + "?v=3", 30000000, std::nullopt},
      {"nothing received yet", Record(0), kUrl, 0, std::nullopt},
      {"everything received", Record(50000000), kUrl, 50000000, std::nullopt},
      {"no validator", noValidator, kUrl, 1000, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<ResumePlan> plan = PlanResume(c.record, c.url, c.onDisk);
    ASSERT_EQ(plan.has_value(), c.offset.has_value()) << c.name;
    if (!plan) continue;
    EXPECT_EQ(plan->offset, *c.offset) << c.name;
    EXPECT_EQ(plan->size, c.record.size) << c.name;
    EXPECT_EQ(plan->validator, c.record.validator) << c.name;
  }
}

TEST(ResumeRulesTest, RangeRequestAsksForTheRestOfTheSameFile) {
  ResumePlan plan;
  plan.offset = 31457280;
  plan.size = 52428800;
  plan.validator = "\"v2-abc\"";
  EXPECT_EQ(ResumeRequestHeaders(plan), "Range: bytes=31457280-\r\nIf-Range: \"v2-abc\"\r\n");
}

TEST(ResumeRulesTest, ContentRange) {
  struct Case {
    const char* value;
    std::optional<ContentRange> range;
  };
  const Case cases[] = {
      {"bytes 100-199/200", ContentRange{100, 199, 200}},
      {"BYTES 0-0/1", ContentRange{0, 0, 1}},
      {"bytes 100-199/*", std::nullopt},
      {"bytes */200", std::nullopt},
      {"bytes 200-100/300", std::nullopt},
      {"bytes 100-200/200", std::nullopt},
      {"items 1-2/3", std::nullopt},
      {"bytes 1-2", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<ContentRange> range = ParseContentRange(c.value);
    ASSERT_EQ(range.has_value(), c.range.has_value()) << c.value;
    if (!range) continue;
    EXPECT_EQ(range->first, c.range->first) << c.value;
    EXPECT_EQ(range->last, c.range->last) << c.value;
    EXPECT_EQ(range->total, c.range->total) << c.value;
  }
}

TEST(ResumeRulesTest, TheServersAnswerDecidesWhatBecomesOfTheBytesKept) {
  ResumePlan plan;
  plan.offset = 600;
  plan.size = 1000;
  plan.validator = "\"x\"";
  struct Case {
    const char* name;
    uint32_t status;
    const char* contentRange;
    ResumeVerdict verdict;
  };
  const Case cases[] = {
      {"the rest", 206, "bytes 600-999/1000", ResumeVerdict::Continue},
      {"ranges ignored or file changed", 200, "", ResumeVerdict::StartOver},
      {"file gone", 404, "", ResumeVerdict::StartOver},
      {"range not satisfiable", 416, "bytes */1000", ResumeVerdict::AskAgain},
      {"another start", 206, "bytes 500-999/1000", ResumeVerdict::AskAgain},
      {"another length", 206, "bytes 600-1099/1100", ResumeVerdict::AskAgain},
      {"not to the end", 206, "bytes 600-799/1000", ResumeVerdict::AskAgain},
      {"no range named", 206, "", ResumeVerdict::AskAgain},
  };
  for (const Case& c : cases) EXPECT_EQ(JudgeResumeResponse(plan, c.status, c.contentRange), c.verdict) << c.name;
}

}  // namespace
}  // namespace tarnix
