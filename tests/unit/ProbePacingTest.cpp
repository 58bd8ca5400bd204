// A fleet on a static server: the spread of scheduled probes, Retry-After
// and the exponential back-off, the staged rollout's buckets, the channel's
// file name and the conditional request, as plain rules; and how the probe
// schedule and the update decision use them.
#include "autoupdate/ProbePacing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "autoupdate/Schedule.h"
#include "autoupdate/UpdateDecision.h"

namespace tarnix {
namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 3'970'000'000;

// --- Spread -------------------------------------------------------------

struct SpreadCase {
  int64_t interval;
  int64_t bound;
};

class SpreadTest : public testing::TestWithParam<SpreadCase> {};

// Whatever the random value, the delay lies within 0 and the bound (a fifth
// of the interval, at most a day), and the extremes are reached.
TEST_P(SpreadTest, NeverEarlyAndWithinItsBound) {
  const SpreadCase c = GetParam();
  EXPECT_EQ(SpreadBound(c.interval), c.bound);
  std::mt19937_64 rng(42);
  int64_t lowest = INT64_MAX, highest = -1;
  for (int i = 0; i < 20000; ++i) {
    const int64_t delay = SpreadDelay(c.interval, rng());
    ASSERT_GE(delay, 0);
    ASSERT_LE(delay, c.bound);
    lowest = std::min(lowest, delay);
    highest = std::max(highest, delay);
  }
  for (uint64_t edge : {uint64_t{0}, UINT64_MAX, uint64_t(c.bound), uint64_t(c.bound) + 1}) {
    EXPECT_GE(SpreadDelay(c.interval, edge), 0);
    EXPECT_LE(SpreadDelay(c.interval, edge), c.bound);
  }
  EXPECT_EQ(SpreadDelay(c.interval, 0), 0);
  EXPECT_EQ(SpreadDelay(c.interval, uint64_t(c.bound)), c.bound);
  if (c.bound > 0 && c.bound < 1000) {
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, c.bound);
  }
  // The next scheduled probe, planned after a success: never before the
  // interval, never later than interval plus bound.
  ProbeOutcome ok;
  ok.interval = c.interval;
  for (int i = 0; i < 1000; ++i) {
    ok.random = rng();
    const ProbePlan plan = PlanNextProbe(ok);
    if (c.interval <= 0 || c.interval > 365 * kDay) continue;
    ASSERT_GE(plan.delay, c.interval);
    ASSERT_LE(plan.delay, c.interval + c.bound);
    ASSERT_EQ(plan.failures, 0);
    // The schedule follows the plan.
    ShotTimeFacts facts;
    facts.probeSecondsInterval = c.interval;
    facts.probeSecondsLast = kNow;
    facts.probeSecondsNext = kNow + plan.delay;
    facts.now = kNow + plan.delay - 1;
    ASSERT_EQ(ShotTimeStatus(facts), 0);
    facts.now = kNow + plan.delay;
    ASSERT_EQ(ShotTimeStatus(facts), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Intervals, SpreadTest,
                         testing::Values(SpreadCase{-1, 0}, SpreadCase{0, 0}, SpreadCase{1, 0}, SpreadCase{4, 0},
                                         SpreadCase{5, 1}, SpreadCase{60, 12}, SpreadCase{3600, 720},
                                         SpreadCase{kDay, kDay / 5}, SpreadCase{7 * kDay, kDay},
                                         SpreadCase{30 * kDay, kDay}, SpreadCase{INT64_MAX, kDay}));

TEST(ScheduleWithPlanTest, TestModeAndChecksOnRequestAreNeverPostponed) {
  ShotTimeFacts facts;
  facts.probeSecondsInterval = kDay;
  facts.probeSecondsLast = kNow - kDay;
  facts.probeSecondsNext = kNow + 3600;
  facts.now = kNow;
  EXPECT_EQ(ShotTimeStatus(facts), 0) << "the plan postpones the scheduled probe";
  facts.forcedShot = true;
  EXPECT_EQ(ShotTimeStatus(facts), 1) << "a check asked for";
  facts.forcedShot = false;
  facts.testMode = true;
  EXPECT_EQ(ShotTimeStatus(facts), 1) << "test mode";
}

TEST(ScheduleWithPlanTest, APlanBeforeTheIntervalOrFromASetBackClockCountsOnlySoFar) {
  EXPECT_EQ(ScheduledProbeDue(kNow, kDay, 0), kNow + kDay);
  EXPECT_EQ(ScheduledProbeDue(kNow, kDay, kNow + 10), kNow + kDay) << "never earlier than the interval";
  EXPECT_EQ(ScheduledProbeDue(kNow, kDay, kNow - 10), kNow + kDay) << "a plan older than the last probe";
  EXPECT_EQ(ScheduledProbeDue(kNow, kDay, kNow + 100 * kDay), kNow + kDay + kDay / 5);
  EXPECT_EQ(ScheduledProbeDue(kNow, 0, kNow + 100), kNow) << "once per start is never planned";
  EXPECT_EQ(ScheduledProbeDue(kNow, 3600, kNow + 5000), kNow + 5000);
}

// --- Retry-After and back-off ------------------------------------------

TEST(HttpDateTest, TheThreeForms) {
  const int64_t expected = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
  EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
  EXPECT_EQ(ParseHttpDate("Sun Nov  6 08:49:37 1994"), expected);
  EXPECT_EQ(ParseHttpDate("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
  EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2028 23:59:59 GMT"), 1835481599);
  for (const char* bad : {"", "soon", "Sun, 06 Nov 1994", "06 Nov 1994 25:00:00 GMT", "Sun, 06 Xyz 1994 08:49:37 GMT",
                          "Sun, 06 Nov 199 08:49:37 GMT"})
    EXPECT_FALSE(ParseHttpDate(bad).has_value()) << bad;
}

TEST(RetryAfterTest, SecondsOrADateAgainstTheServersClock) {
  EXPECT_EQ(RetryAfterSeconds("120", 0), 120);
  EXPECT_EQ(RetryAfterSeconds(" 0 ", 0), 0);
  const int64_t date = 784111777;
  EXPECT_EQ(RetryAfterSeconds("Sun, 06 Nov 1994 08:49:37 GMT", date - 3600), 3600);
  EXPECT_EQ(RetryAfterSeconds("Sun, 06 Nov 1994 08:49:37 GMT", date + 50), 0) << "a date past is now";
  EXPECT_FALSE(RetryAfterSeconds("", 0).has_value());
  EXPECT_FALSE(RetryAfterSeconds("-5", 0).has_value());
  EXPECT_FALSE(RetryAfterSeconds("later", 0).has_value());
  EXPECT_GT(*RetryAfterSeconds("99999999999999999999", 0), 10 * kDay);
}

ProbeOutcome Failed(int64_t interval, uint32_t status, std::optional<int64_t> retryAfter, int before = 0) {
  ProbeOutcome o;
  o.interval = interval;
  o.failed = true;
  o.httpStatus = status;
  o.retryAfter = retryAfter;
  o.failuresBefore = before;
  return o;
}

TEST(RetryAfterTest, MovesTheNextProbeCappedAtADayAndNeverBeforeTheInterval) {
  for (uint32_t status : {503u, 429u}) {
    SCOPED_TRACE(status);
    EXPECT_EQ(PlanNextProbe(Failed(3600, status, 7200)).delay, 7200);
    EXPECT_STREQ(PlanNextProbe(Failed(3600, status, 7200)).why, "Retry-After");
    EXPECT_EQ(PlanNextProbe(Failed(3600, status, 60)).delay, 3600) << "not before the interval";
    EXPECT_EQ(PlanNextProbe(Failed(3600, status, 10 * kDay)).delay, kDay) << "capped at a day";
    EXPECT_EQ(PlanNextProbe(Failed(3 * kDay, status, 10 * kDay)).delay, 3 * kDay) << "an interval above a day";
    EXPECT_EQ(PlanNextProbe(Failed(3600, status, 7200, 4)).failures, 5);
  }
  // Retry-After on another status is not the server's word on load.
  EXPECT_STREQ(PlanNextProbe(Failed(3600, 500, 7200)).why, "back-off");
}

TEST(BackOffTest, DoublesFromTheIntervalUpToADay) {
  EXPECT_EQ(BackOffSeconds(3600, 1), 3600);
  EXPECT_EQ(BackOffSeconds(3600, 2), 7200);
  EXPECT_EQ(BackOffSeconds(3600, 3), 14400);
  EXPECT_EQ(BackOffSeconds(3600, 5), 57600);
  EXPECT_EQ(BackOffSeconds(3600, 6), kDay);
  EXPECT_EQ(BackOffSeconds(3600, 1000), kDay);
  EXPECT_EQ(BackOffSeconds(kDay, 3), kDay);
  EXPECT_EQ(BackOffSeconds(2 * kDay, 3), 2 * kDay);
  EXPECT_EQ(BackOffSeconds(1, 40), kDay);
}

TEST(BackOffTest, FailuresCountUpWithSpreadAndASuccessResets) {
  ProbeOutcome o = Failed(3600, 0, std::nullopt);
  int64_t expected[] = {3600, 7200, 14400, 28800, 57600, kDay, kDay};
  for (int64_t pause : expected) {
    o.random = 0;
    const ProbePlan plan = PlanNextProbe(o);
    EXPECT_EQ(plan.delay, pause);
    EXPECT_STREQ(plan.why, "back-off");
    o.random = UINT64_MAX;
    const ProbePlan spread = PlanNextProbe(o);
    EXPECT_GE(spread.delay, pause);
    EXPECT_LE(spread.delay, pause + SpreadBound(pause));
    o.failuresBefore = plan.failures;
  }
  EXPECT_EQ(o.failuresBefore, 7);
  // A 503 without Retry-After backs off too.
  EXPECT_EQ(PlanNextProbe(Failed(3600, 503, std::nullopt, 2)).delay, 14400);
  ProbeOutcome ok;
  ok.interval = 3600;
  ok.failuresBefore = 7;
  const ProbePlan reset = PlanNextProbe(ok);
  EXPECT_EQ(reset.failures, 0);
  EXPECT_EQ(reset.delay, 3600);
  EXPECT_STREQ(reset.why, "interval");
}

// --- Staged rollout ----------------------------------------------------

TEST(RolloutTest, PercentagesAndBuckets) {
  EXPECT_EQ(RolloutPercentOf(""), 100);
  EXPECT_EQ(RolloutPercentOf("abc"), 100);
  EXPECT_EQ(RolloutPercentOf("10"), 10);
  EXPECT_EQ(RolloutPercentOf(" 0 "), 0);
  EXPECT_EQ(RolloutPercentOf("250"), 100);
  EXPECT_EQ(RolloutPercentOf("-3"), 0);
  for (int bucket = 0; bucket < 100; ++bucket) {
    EXPECT_FALSE(InRollout(bucket, 0)) << "0 % offers nothing";
    EXPECT_TRUE(InRollout(bucket, 100)) << "100 % offers all";
  }
  EXPECT_TRUE(InRollout(9, 10)) << "the edge: bucket 9 is below 10";
  EXPECT_FALSE(InRollout(10, 10)) << "the edge: bucket 10 is not";
  EXPECT_TRUE(InRollout(0, 1));
  EXPECT_FALSE(InRollout(99, 99));
  int counts[100] = {};
  std::mt19937_64 rng(7);
  for (int i = 0; i < 100000; ++i) ++counts[RolloutBucketOf(rng())];
  for (int n : counts) EXPECT_NEAR(n, 1000, 200);
  EXPECT_TRUE(ValidRolloutBucket("0"));
  EXPECT_TRUE(ValidRolloutBucket("99"));
  EXPECT_FALSE(ValidRolloutBucket("100"));
  EXPECT_FALSE(ValidRolloutBucket(""));
  EXPECT_FALSE(ValidRolloutBucket("-1"));
}

// The decision of an announcement that passes every test, with a rollout.
UpdateDecision DecideWithRollout(int bucket, int percent, bool onDemand, bool testMode = false) {
  struct Sizes : FileSizeSource {
    bool LocalFileSize(const std::string&, int64_t&) override { return false; }
    bool InternetConnected() override { return true; }
    int32_t HttpFileSize(const std::string&) override {
      ++asked;
      return 1000;
    }
    int asked = 0;
  } sizes;
  DecisionSettings s;
  s.versionOriginal = 5;
  s.versionNew = 6;
  s.originalStamp = 1;
  s.newStamp = 2;
  s.downloadUrlUpdate = "http://updates.example/p";
  s.nameOfUpdateFile = "Setup.exe";
  s.sizeOfUpdateFile = 1000;
  s.rolloutBucket = bucket;
  s.rolloutPercent = percent;
  DecisionState state;
  state.now = kNow;
  state.onDemand = onDemand;
  state.testMode = testMode;
  state.testModeURL = "http://updates.example/p";
  UpdateDecision d = DecideUpdate(true, s, state, sizes);
  if (d.rolloutHeld) {
    EXPECT_EQ(sizes.asked, 0) << "a held installation asks the server nothing more";
  }
  return d;
}

TEST(RolloutTest, TheDecisionOffersTheReleaseOnlyBelowThePercentage) {
  EXPECT_TRUE(DecideWithRollout(0, 100, false).Ok());
  EXPECT_TRUE(DecideWithRollout(99, 100, false).Ok());
  const UpdateDecision none = DecideWithRollout(0, 0, false);
  EXPECT_FALSE(none.Ok());
  EXPECT_TRUE(none.rolloutHeld);
  EXPECT_EQ(none.status, 4);
  EXPECT_EQ(none.text, kRolloutHeldText);
  EXPECT_EQ(DecisionReason(none, ""), "rollout bucket 0 is not below RolloutPercent 0");
  EXPECT_TRUE(DecideWithRollout(9, 10, false).Ok());
  EXPECT_FALSE(DecideWithRollout(10, 10, false).Ok());
  // A check the user asked for, and test mode, ignore the rollout.
  EXPECT_TRUE(DecideWithRollout(10, 10, true).Ok());
  EXPECT_TRUE(DecideWithRollout(99, 0, true).Ok());
  // (Test mode takes the setup's size from the test folder only.)
  const UpdateDecision testMode = DecideWithRollout(99, 0, false, true);
  EXPECT_FALSE(testMode.rolloutHeld);
  EXPECT_EQ(testMode.status, 5);
}

// --- Channels and conditional requests ----------------------------------

TEST(ChannelTest, TheChannelsFileName) {
  EXPECT_EQ(ChannelInfoName("Product.info", "beta"), "Product.beta.info");
  EXPECT_EQ(ChannelInfoName("Product.info", ""), "Product.info");
  EXPECT_EQ(ChannelInfoName("Product", "beta"), "Product.beta");
  EXPECT_EQ(ChannelInfoName("My.Product.info", "early-access_2"), "My.Product.early-access_2.info");
  for (const char* bad : {"be ta", "../x", "beta.info", "a/b", "b\\c", "\xE4"}) {
    EXPECT_FALSE(ValidChannelName(bad)) << bad;
    EXPECT_EQ(ChannelInfoName("Product.info", bad), "Product.info") << bad;
  }
  EXPECT_TRUE(ValidChannelName(std::string(32, 'x')));
  EXPECT_FALSE(ValidChannelName(std::string(33, 'x')));
}

TEST(ConditionalTest, TheKeptValidatorsAsHeaders) {
  EXPECT_EQ(ConditionalHeaders("", ""), "");
  EXPECT_EQ(ConditionalHeaders("\"5f1-abc\"", ""), "If-None-Match: \"5f1-abc\"\r\n");
  EXPECT_EQ(ConditionalHeaders("", "Sun, 06 Nov 1994 08:49:37 GMT"),
            "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
  EXPECT_EQ(ConditionalHeaders("W/\"x\"", "Sun, 06 Nov 1994 08:49:37 GMT"),
            "If-None-Match: W/\"x\"\r\nIf-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
  EXPECT_EQ(ConditionalHeaders("\"a\"\r\nX: y", ""), "") << "no header smuggled in";
}

}  // namespace
}  // namespace tarnix
