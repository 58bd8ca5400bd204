// Whether a signed announcement is the current one: the vendor's signature
// alone does not tell, since whoever answers the agent's requests can replay
// an old signed .info for ever (a freeze: a security release never arrives)
// or an older one after the vendor pulled a bad release (a rollback).
//
// `tarnix-pack info --sign` writes, inside the signed bytes,
//
//   [Signature]
//   Serial=12                       one more than the file's last, or given
//   Expires=2027-01-31T12:00:00Z    optional, UTC, with --expires DAYS
//
// A keyed agent keeps the highest Serial it has accepted, together with the
// key that signed it, in its state ([OriginalSetup] AnnouncementSerial and
// AnnouncementSerialKey), and refuses an announcement
//   - with a lower Serial (equal is the same announcement again: accepted),
//   - without a Serial once it has accepted one with a Serial (files signed
//     before serials existed work only until the first serialed one),
//   - whose Expires has passed by more than kClockTolerance (wrong clocks).
// A serial kept under a key that the agent's package no longer carries
// counts for nothing: after a rotation away from a leaked key, a serial the
// thief signed cannot block the vendor's next announcements.
//
// Everything here is portable: text in, verdict out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

inline constexpr char kSignatureSection[] = "Signature";
inline constexpr char kSerialKey[] = "Serial";
inline constexpr char kExpiresKey[] = "Expires";
// The state keys of the highest serial accepted and the key that signed it.
inline constexpr char kSerialStateKey[] = "AnnouncementSerial";
inline constexpr char kSerialKeyStateKey[] = "AnnouncementSerialKey";
// The state key of the last announcement refused as stale, so that each is
// reported once, not at every probe.
inline constexpr char kStaleStateKey[] = "StaleAnnouncement";

// How far an agent's clock may be wrong: an announcement expired by less is
// still accepted.
inline constexpr int64_t kClockTolerance = 86400;

// What an announcement says of itself, from its [Signature] section.
struct Freshness {
  // The Serial (1 or more) when the key is there and a number.
  std::optional<int64_t> serial;
  // The Expires as seconds since 1970-01-01 UTC, when there.
  std::optional<int64_t> expires;
  // A key that is there but cannot be read: the announcement is refused.
  bool badSerial = false;
  bool badExpires = false;
};

// The [Signature] section of an INI text (section and key names in any
// case, the first of each counting, values trimmed).
Freshness ReadFreshness(std::string_view text);

enum class FreshnessVerdict {
  Accepted,
  Replayed,     // a lower serial than one accepted before
  NoSerial,     // none, after a serialed one was accepted
  Expired,      // beyond Expires and the clock tolerance
  BadSerial,    // a Serial that is not a number of 1 or more
  BadExpires,   // an Expires that is not a UTC date and time
};

// What the agent kept of the announcements it accepted.
struct SerialState {
  // 0: no serialed announcement accepted (under any of the current keys).
  int64_t highest = 0;
};

// `now` in seconds since 1970-01-01 UTC.
FreshnessVerdict JudgeFreshness(const Freshness& announced, const SerialState& kept, int64_t now,
                                int64_t tolerance = kClockTolerance);

// The reason for the log and the box, such as "its serial 4 is below 7, the
// highest accepted: an older announcement replayed".
std::string FreshnessText(FreshnessVerdict verdict, const Freshness& announced, const SerialState& kept);

// The highest serial to judge by: `keptSerial` when `keptKeyHex` (the key
// that signed it) is one of `packageKeys` (the package's key item), or is
// empty (kept before keys were recorded); else 0.
int64_t SerialInForce(int64_t keptSerial, std::string_view keptKeyHex, std::string_view packageKeys);

// The serial to keep after accepting `announced`: the higher of the two.
int64_t SerialToKeep(const Freshness& announced, int64_t highest);

// "2027-01-31T12:00:00Z" of seconds since 1970 UTC, and back. The parser
// takes that form, also with a blank in place of the "T" and " UTC" in place
// of the "Z"; false for anything else.
std::string UtcText(int64_t seconds);
bool ParseUtcText(std::string_view text, int64_t& seconds);

// The Serial `tarnix-pack info --sign` writes: `given` when there is one,
// else one more than the file's (1 for a file without, or with one that
// cannot be read).
int64_t NextSerial(const Freshness& current, std::optional<int64_t> given);

}  // namespace tarnix
