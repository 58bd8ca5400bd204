// Whether a signed announcement is the current one: its [Signature] Serial
// against the highest the agent accepted, its Expires against the clock
// with a day's tolerance, the serial kept only under a key still carried,
// and the UTC text of the expiry. Also the package's key item with two keys.
#include "autoupdate/AnnouncementFreshness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/StrUtils.h"
#include "package/VendorSignature.h"

namespace tarnix {
namespace {

constexpr int64_t kNow = 1800000000;  // 2027-01-15T08:00:00Z
constexpr int64_t kDay = 86400;

Freshness Serial(int64_t serial) {
  Freshness f;
  f.serial = serial;
  return f;
}

Freshness Expiring(int64_t expires, std::optional<int64_t> serial = 5) {
  Freshness f;
  f.serial = serial;
  f.expires = expires;
  return f;
}

TEST(AnnouncementFreshnessTest, TheTable) {
  struct Case {
    const char* name;
    Freshness announced;
    int64_t highest;
    FreshnessVerdict verdict;
  } cases[] = {
      {"the first serial", Serial(1), 0, FreshnessVerdict::Accepted},
      {"a higher serial", Serial(8), 7, FreshnessVerdict::Accepted},
      {"the same serial again (a 304, a second probe)", Serial(7), 7, FreshnessVerdict::Accepted},
      {"a lower serial: replayed", Serial(6), 7, FreshnessVerdict::Replayed},
      {"no serial before any", Freshness{}, 0, FreshnessVerdict::Accepted},
      {"no serial after one", Freshness{}, 1, FreshnessVerdict::NoSerial},
      {"not expired", Expiring(kNow + kDay), 5, FreshnessVerdict::Accepted},
      {"expired within the tolerance", Expiring(kNow - kDay + 1), 5, FreshnessVerdict::Accepted},
      {"expired at the tolerance", Expiring(kNow - kDay), 5, FreshnessVerdict::Accepted},
      {"expired beyond the tolerance", Expiring(kNow - kDay - 1), 5, FreshnessVerdict::Expired},
      {"expired, no serial, none kept", Expiring(kNow - 2 * kDay, std::nullopt), 0, FreshnessVerdict::Expired},
      {"a replay that also expired tells the replay", Expiring(kNow - 9 * kDay, 3), 5, FreshnessVerdict::Replayed},
      {"a far expiry does not wrap", Expiring(INT64_MAX), 5, FreshnessVerdict::Accepted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JudgeFreshness(c.announced, SerialState{c.highest}, kNow), c.verdict);
  }
}

TEST(AnnouncementFreshnessTest, UnreadableValuesAreRefused) {
  Freshness bad;
  bad.badSerial = true;
  EXPECT_EQ(JudgeFreshness(bad, {}, kNow), FreshnessVerdict::BadSerial);
  bad = {};
  bad.badExpires = true;
  EXPECT_EQ(JudgeFreshness(bad, {}, kNow), FreshnessVerdict::BadExpires);
}

TEST(AnnouncementFreshnessTest, TheSectionIsRead) {
  const Freshness f = ReadFreshness(
      "[NewSetup]\r\nSerial=99\r\nVersionNew=2\r\n[signature]\r\n serial = 12 \r\nExpires=2027-01-31T12:00:00Z\r\n"
      "Serial=13\r\n");
  ASSERT_TRUE(f.serial);
  EXPECT_EQ(*f.serial, 12);
  ASSERT_TRUE(f.expires);
  EXPECT_EQ(UtcText(*f.expires), "2027-01-31T12:00:00Z");
  EXPECT_FALSE(f.badSerial || f.badExpires);

  const Freshness none = ReadFreshness("[NewSetup]\nVersionNew=2\n");
  EXPECT_FALSE(none.serial || none.expires || none.badSerial || none.badExpires);

  for (const char* serial : {"0", "-3", "+4", "x", "", "99999999999999999999", "1 2"}) {
    SCOPED_TRACE(serial);
    const Freshness f2 = ReadFreshness(std::string("[Signature]\nSerial=") + serial + "\n");
    EXPECT_TRUE(f2.badSerial);
    EXPECT_FALSE(f2.serial);
  }
  for (const char* expires : {"2027-01-31", "2027-02-30T00:00:00Z", "2027-01-31T24:00:00Z", "tomorrow",
                              "2027-01-31T12:00:00+01:00", ""}) {
    SCOPED_TRACE(expires);
    EXPECT_TRUE(ReadFreshness(std::string("[Signature]\nExpires=") + expires + "\n").badExpires);
  }
}

TEST(AnnouncementFreshnessTest, UtcTextBothWays) {
  EXPECT_EQ(UtcText(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(UtcText(kNow), "2027-01-15T08:00:00Z");
  EXPECT_EQ(UtcText(951782400), "2000-02-29T00:00:00Z");
  for (const int64_t t : {int64_t{0}, kNow, int64_t{951782400}, int64_t{4102444799}, int64_t{-1}}) {
    int64_t back = 0;
    ASSERT_TRUE(ParseUtcText(UtcText(t), back)) << UtcText(t);
    EXPECT_EQ(back, t);
  }
  int64_t t = 0;
  EXPECT_TRUE(ParseUtcText("2027-01-15 08:00:00 UTC", t));
  EXPECT_EQ(t, kNow);
  EXPECT_TRUE(ParseUtcText("2024-02-29T00:00:00Z", t));
  EXPECT_FALSE(ParseUtcText("2023-02-29T00:00:00Z", t));
  EXPECT_FALSE(ParseUtcText("2027-01-15T08:00:00", t));
}

TEST(AnnouncementFreshnessTest, TheReasonsNameWhatFailed) {
  EXPECT_EQ(FreshnessText(FreshnessVerdict::Replayed, Serial(4), {7}),
            "its serial 4 is below 7, the highest accepted: an older announcement replayed");
  EXPECT_EQ(FreshnessText(FreshnessVerdict::NoSerial, {}, {7}),
            "it carries no serial, but serial 7 was accepted: an older announcement replayed");
  EXPECT_EQ(FreshnessText(FreshnessVerdict::Expired, Expiring(kNow), {}),
            "it expired at 2027-01-15T08:00:00Z: the server keeps an old announcement");
}

TEST(AnnouncementFreshnessTest, TheSerialKeptCountsOnlyUnderAKeyStillCarried) {
  const std::string a(kPublicKeyBytes, '\xAA'), b(kPublicKeyBytes, '\xBB'), c(kPublicKeyBytes, '\xCC');
  const std::string pair = JoinPublicKeys({a, b});
  EXPECT_EQ(SerialInForce(7, LowerHex(a), pair), 7);
  EXPECT_EQ(SerialInForce(7, UpperCase(LowerHex(b)), pair), 7);
  EXPECT_EQ(SerialInForce(7, LowerHex(c), pair), 0) << "a key rotated away";
  EXPECT_EQ(SerialInForce(7, "", pair), 7) << "kept without its key";
  EXPECT_EQ(SerialInForce(0, LowerHex(a), pair), 0);
  EXPECT_EQ(SerialToKeep(Serial(9), 7), 9);
  EXPECT_EQ(SerialToKeep(Serial(5), 7), 7);
  EXPECT_EQ(SerialToKeep(Freshness{}, 7), 7);
}

TEST(AnnouncementFreshnessTest, TheNextSerialOfTheBuilder) {
  EXPECT_EQ(NextSerial(Freshness{}, std::nullopt), 1);
  EXPECT_EQ(NextSerial(Serial(12), std::nullopt), 13);
  EXPECT_EQ(NextSerial(Serial(12), 40), 40);
  Freshness bad;
  bad.badSerial = true;
  EXPECT_EQ(NextSerial(bad, std::nullopt), 1);
}

// The key item: one key or two, 128 hex digits each, nothing else.
TEST(AnnouncementFreshnessTest, KeyItemsWithOneOrTwoKeys) {
  const std::string a(kPublicKeyBytes, '\x01'), b(kPublicKeyBytes, '\x02');
  EXPECT_EQ(SplitPublicKeys(LowerHex(a)), std::vector<std::string>{a});
  EXPECT_EQ(SplitPublicKeys(LowerHex(a) + LowerHex(b)), (std::vector<std::string>{a, b}));
  EXPECT_TRUE(SplitPublicKeys("").empty());
  EXPECT_TRUE(SplitPublicKeys(LowerHex(a) + "0").empty());
  EXPECT_TRUE(SplitPublicKeys(LowerHex(a) + LowerHex(b) + LowerHex(a)).empty()) << "three keys";
  EXPECT_TRUE(SplitPublicKeys(LowerHex(a) + std::string(128, 'x')).empty());
  EXPECT_EQ(JoinPublicKeys({a, b}), LowerHex(a) + LowerHex(b));
}

}  // namespace
}  // namespace tarnix
