// How a fleet of agents shares one static update location: when the next
// scheduled probe comes (a random spread after the interval, a server's
// Retry-After, an exponential back-off after failures), which installations
// a staged rollout offers a release to, which announcement file a channel
// reads, and the conditional request that lets an unchanged announcement
// come back as "304 Not Modified". Plain rules, without clock, randomness or
// files of their own: the agent and the fleet simulation (bench/fleet-sim)
// run the same code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

inline constexpr int64_t kPacingDaySeconds = 86400;

// Spread: each scheduled probe comes a random part of its interval later,
// never earlier: at most a fifth of the interval, and at most a day. 0 for
// an interval of 0 or less (no scheduled probes).
int64_t SpreadBound(int64_t interval);
// The delay for `random` (any 64-bit value, uniformly drawn): 0 to
// SpreadBound(interval), both included.
int64_t SpreadDelay(int64_t interval, uint64_t random);

// Seconds since 1970-01-01 00:00 UTC of an HTTP date in any of the three
// forms of RFC 9110 (IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT", the
// obsolete RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT" and asctime "Sun Nov  6
// 08:49:37 1994"); nullopt for anything else.
std::optional<int64_t> ParseHttpDate(std::string_view text);

// The seconds a Retry-After header asks to wait: its delay in seconds, or
// its date less `reference` (the response's Date when the server sent one,
// so that a wrong clock on the machine does not matter; else the machine's
// UTC time), at least 0. nullopt when the header is missing or neither form.
std::optional<int64_t> RetryAfterSeconds(std::string_view header, int64_t reference);

// Whether a failed probe's status asks the client to come back later and
// may carry Retry-After: 503 Service Unavailable, 429 Too Many Requests.
bool IsBusyStatus(uint32_t status);

// The pause after `failures` failed probes in a row (1 and up) without a
// Retry-After: the interval, doubled with each further failure, up to a day
// (an interval above a day stays as it is).
int64_t BackOffSeconds(int64_t interval, int failures);

// The pause a Retry-After of `seconds` sets: not beyond a day, not before
// the interval.
int64_t RetryAfterPause(int64_t interval, int64_t seconds);

// What the last probe came to, for the plan of the next one.
struct ProbeOutcome {
  // ProbeSecondsInterval; 0 or less: no scheduled probes, nothing to plan.
  int64_t interval = 0;
  // The announcement did not arrive (a 304 counts as arrived).
  bool failed = false;
  // The server's status when it answered; 0 when it did not.
  uint32_t httpStatus = 0;
  // RetryAfterSeconds of the answer.
  std::optional<int64_t> retryAfter;
  // Failed probes in a row before this one.
  int failuresBefore = 0;
  // A uniformly drawn value for the spread.
  uint64_t random = 0;
};

struct ProbePlan {
  // Seconds from this probe to the next scheduled one; at least the
  // interval.
  int64_t delay = 0;
  // The part of `delay` that is spread.
  int64_t spread = 0;
  // Failed probes in a row, this one included; 0 after a success.
  int failures = 0;
  // "interval", "Retry-After" or "back-off", for the log.
  const char* why = "interval";
};

// A success resets the back-off: the interval plus its spread. A busy
// server's Retry-After is kept to the second (RetryAfterPause). Any other
// failure backs off (BackOffSeconds), spread like an interval of that
// length.
ProbePlan PlanNextProbe(const ProbeOutcome& outcome);

// The time at which a scheduled probe is due: `last` plus the interval, or
// the planned `next` time when it is later (and not beyond any plan: a next
// time from a clock that has since been set back counts only so far).
// Without a plan (`next` 0 or before `last`), and for an interval of 0 or
// less, last plus the interval.
int64_t ScheduledProbeDue(int64_t last, int64_t interval, int64_t next);

// Staged rollout. [NewSetup] RolloutPercent of the announcement: 0 to 100;
// missing, empty or not a whole number: 100 (every installation). Values
// outside are held to the range.
int RolloutPercentOf(std::string_view text);
// The installation's bucket, drawn once: 0 to 99.
int RolloutBucketOf(uint64_t random);
// Whether a stored bucket is one (0 to 99 as decimal digits).
bool ValidRolloutBucket(std::string_view text);
// Whether the release is offered to the installation of `bucket`: when the
// bucket is below the percentage.
bool InRollout(int bucket, int percent);

// Channels. A channel name is 1 to 32 letters, digits, '-' or '_'.
bool ValidChannelName(std::string_view channel);
// The announcement file of `channel`: "Product.info" and "beta" give
// "Product.beta.info" (the channel goes before the last extension, or at the
// end of a name without one). The plain name for an empty or invalid channel.
std::string ChannelInfoName(std::string_view infoName, std::string_view channel);

// The request headers of a conditional probe, each line ending in CR LF:
// If-None-Match with the kept ETag, If-Modified-Since with the kept
// Last-Modified; empty when neither is kept. Values with line breaks are
// left out.
std::string ConditionalHeaders(std::string_view etag, std::string_view lastModified);

}  // namespace tarnix
