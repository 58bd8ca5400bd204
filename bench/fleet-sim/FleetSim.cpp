// Fleet simulation: a million installations of one product probe one static
// update location for 14 simulated days, through the same portable rules the
// agent uses (autoupdate/Schedule.h, autoupdate/ProbePacing.h), without any
// network. It prints, for the fleet without the measures, with each measure
// alone and with all of them, the load at the server and how fast the
// release reaches the fleet, and draws requests per minute as a PNG.
//
//   fleet-sim [--machines N] [--days D] [--png FILE] [--seed S]
//
// The fleet: 70 % office machines started on weekday mornings (around
// 8:50 local time, a quarter of an hour either way, for about nine hours;
// one in seven also for two hours on a weekend day), 20 % home machines
// started most evenings for three hours, 10 % machines that never stop;
// in five time zones (UTC-8, -5, 0, +1, +9). The probe interval is a day.
// The release comes out on day 3 (a Thursday) at 10:00 UTC at a 10 %
// rollout, raised to 100 % on day 7 at 10:00 UTC; a machine that is offered
// it installs it at once. Every probe is one HEAD and one GET, as the
// agent's downloader sends them. On day 8 the server is down for two hours
// (503 with Retry-After). A week runs before day 0, so that the
// fleet's probe times have settled when counting starts.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "autoupdate/ProbePacing.h"
#include "autoupdate/Schedule.h"

namespace {

using tarnix::ProbeOutcome;
using tarnix::ProbePlan;

constexpr int64_t kDay = 86400;
constexpr int64_t kWarmUpDays = 7;
constexpr int64_t kInterval = kDay;
constexpr int64_t kFirstProbeDelay = 4;  // the fourth tick after start

// What travels, in bytes: the response heads (nginx's, about 240 bytes),
// the announcement's body, the request itself.
constexpr int64_t kRequestBytes = 180;
constexpr int64_t kHeadBytes = 240;
constexpr int64_t kInfoBytes = 700;
constexpr int64_t kSetupBytes = 40 * 1000 * 1000;

struct Measures {
  const char* name;
  bool conditional = false;
  bool spread = false;
  bool backOff = false;
  bool rollout = false;
};

struct Config {
  int64_t machines = 1000000;
  int64_t days = 14;
  uint64_t seed = 2026;
  std::string png = "fleet-sim.png";
};

// The announcement over time: version 0 until the release, then the release
// at 10 % (or at once at 100 % without the rollout), then at 100 %.
struct Release {
  int64_t at = 3 * kDay + 10 * 3600;
  int64_t raisedAt = 7 * kDay + 10 * 3600;
  // 0: the old announcement, 1: the release at its first percentage, 2: at 100 %.
  int InfoVersion(int64_t t, bool rollout) const {
    if (t < at) return 0;
    if (!rollout) return 1;
    return t < raisedAt ? 1 : 2;
  }
  int Percent(int64_t t, bool rollout) const {
    if (!rollout) return 100;
    return t < raisedAt ? 10 : 100;
  }
};

// The server answers 503 with Retry-After: 3600 for two hours on day 8
// (a Tuesday), 07:00 to 09:00 UTC, the start of the European morning.
struct Outage {
  int64_t from = 8 * kDay + 7 * 3600;
  int64_t to = 8 * kDay + 9 * 3600;
  bool Covers(int64_t t) const { return t >= from && t < to; }
};

struct Session {
  int64_t start, end;
};

// The machine's sessions from `from` to `to` (seconds since day 0, 00:00
// UTC, a Monday), drawn from its own generator so that every scenario meets
// the same fleet.
std::vector<Session> Sessions(uint64_t seed, int64_t id, int64_t from, int64_t to) {
  std::mt19937_64 rng(seed * 0x9E3779B97F4A7C15ULL + uint64_t(id));
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::normal_distribution<double> n(0.0, 1.0);
  static constexpr std::array<std::pair<int, double>, 5> kZones = {
      {{-8, 0.10}, {-5, 0.25}, {0, 0.15}, {1, 0.40}, {9, 0.10}}};
  double pick = u(rng);
  int zone = 1;
  for (const auto& [offset, share] : kZones) {
    if (pick < share) {
      zone = offset;
      break;
    }
    pick -= share;
  }
  const double kind = u(rng);
  std::vector<Session> sessions;
  if (kind < 0.10) {
    const int64_t start = from + int64_t(u(rng) * kDay);
    sessions.push_back({start, to});
    return sessions;
  }
  // Each machine keeps its habits: its usual start and length.
  const double usualStart = kind < 0.80 ? 8 * 3600 + 50 * 60 + n(rng) * 900 : 19 * 3600 + n(rng) * 3600;
  const double usualLength = kind < 0.80 ? 9 * 3600 + n(rng) * 2400 : 3 * 3600 + n(rng) * 1800;
  const int64_t firstDay = from / kDay - 1;
  const int64_t lastDay = to / kDay + 1;
  for (int64_t day = firstDay; day <= lastDay; ++day) {
    const int64_t localMidnight = day * kDay - zone * 3600;
    const int weekday = int(((day % 7) + 7) % 7);  // 0 Monday
    const bool weekend = weekday >= 5;
    double start = 0, length = 0;
    if (kind < 0.80) {
      if (!weekend) {
        if (u(rng) < 0.04) continue;  // a day off
        start = usualStart + n(rng) * 600;
        length = usualLength + n(rng) * 1800;
      } else {
        if (u(rng) >= 0.5 / 7 * 2) continue;
        start = 10 * 3600 + u(rng) * 10 * 3600;
        length = 2 * 3600;
      }
    } else {
      if (u(rng) >= 0.6) continue;
      start = usualStart + n(rng) * 1200;
      length = usualLength + n(rng) * 1800;
    }
    length = std::max(length, 1800.0);
    const int64_t s = localMidnight + int64_t(start);
    const int64_t e = s + int64_t(length);
    if (e <= from || s >= to) continue;
    sessions.push_back({std::max(s, from), std::min(e, to)});
  }
  return sessions;
}

struct Tally {
  std::vector<uint32_t> perSecond;  // requests, counted days only
  std::vector<uint32_t> perMinute;
  int64_t requests = 0;
  int64_t infoBytes = 0;
  std::vector<int64_t> setupBytesPerDay;
  int64_t full = 0, notModified = 0;
  // Installation times, seconds after the release.
  std::vector<int64_t> installedAfter;
};

class Scenario {
 public:
  Scenario(const Config& config, const Measures& measures) : config_(config), m_(measures) {
    tally_.perSecond.assign(size_t(config.days * kDay), 0);
    tally_.perMinute.assign(size_t(config.days * 1440), 0);
    tally_.setupBytesPerDay.assign(size_t(config.days), 0);
  }

  void Run() {
    const int64_t from = -kWarmUpDays * kDay;
    const int64_t to = config_.days * kDay;
    std::mt19937_64 agentRng(config_.seed ^ 0xA5A5A5A5ULL);
    for (int64_t id = 0; id < config_.machines; ++id) RunMachine(id, from, to, agentRng);
  }

  const Tally& Result() const { return tally_; }

 private:
  void Count(int64_t t, int64_t bytes) {
    if (t < 0 || t >= config_.days * kDay) return;
    // HEAD and GET go out together.
    tally_.perSecond[size_t(t)] += 2;
    tally_.perMinute[size_t(t / 60)] += 2;
    tally_.requests += 2;
    tally_.infoBytes += bytes;
  }

  void RunMachine(int64_t id, int64_t from, int64_t to, std::mt19937_64& rng) {
    const std::vector<Session> sessions = Sessions(config_.seed, id, from, to);
    // The fleet had been running before: the last probe some time on the
    // day before the warm-up.
    int64_t last = from - int64_t(rng() % uint64_t(kDay));
    int64_t next = 0;
    int failures = 0;
    int keptVersion = 0;  // the announcement the machine holds
    bool installed = false;
    const int bucket = tarnix::RolloutBucketOf(rng());
    for (const Session& session : sessions) {
      // The agent starts with the machine; its first look at the schedule
      // comes with the fourth tick.
      int64_t t = session.start + kFirstProbeDelay;
      while (t < session.end) {
        tarnix::ShotTimeFacts facts;
        facts.probeSecondsInterval = kInterval;
        facts.probeSecondsLast = last;
        facts.probeSecondsNext = next;
        facts.now = t;
        if (tarnix::ShotTimeStatus(facts) == 0) {
          // Sleep until the schedule is due (the agent ticks every second).
          t = std::max(t + 1, tarnix::ScheduledProbeDue(last, kInterval, next));
          continue;
        }
        // The probe.
        ProbeOutcome outcome;
        outcome.interval = kInterval;
        outcome.failuresBefore = failures;
        outcome.random = rng();
        if (outage_.Covers(t)) {
          Count(t, kRequestBytes * 2 + kHeadBytes * 2);
          outcome.failed = true;
          outcome.httpStatus = 503;
          outcome.retryAfter = 3600;
          const ProbePlan plan = tarnix::PlanNextProbe(outcome);
          failures = plan.failures;
          last = t;
          next = m_.backOff || m_.spread ? t + plan.delay : 0;
          t = std::max(t + 1, tarnix::ScheduledProbeDue(last, kInterval, next));
          continue;
        }
        const int version = release_.InfoVersion(t, m_.rollout);
        const bool unchanged = m_.conditional && version == keptVersion;
        Count(t, kRequestBytes * 2 + kHeadBytes * 2 + (unchanged ? 0 : kInfoBytes));
        if (t >= 0 && t < config_.days * kDay) ++(unchanged ? tally_.notModified : tally_.full);
        keptVersion = version;
        if (!installed && version > 0 && tarnix::InRollout(bucket, release_.Percent(t, m_.rollout))) {
          installed = true;
          if (t >= 0 && t < config_.days * kDay) {
            tally_.setupBytesPerDay[size_t(t / kDay)] += kSetupBytes;
            tally_.installedAfter.push_back(t - release_.at);
          }
        }
        const ProbePlan plan = tarnix::PlanNextProbe(outcome);
        failures = plan.failures;
        last = t;
        next = m_.spread ? t + plan.delay : 0;
        t = std::max(t + 1, tarnix::ScheduledProbeDue(last, kInterval, next));
      }
    }
  }

  const Config& config_;
  Measures m_;
  Release release_;
  Outage outage_;
  Tally tally_;
};

std::string Duration(std::optional<int64_t> seconds) {
  if (!seconds) return "not reached";
  char text[64];
  const int64_t s = *seconds;
  if (s < kDay)
    std::snprintf(text, sizeof text, "%.1f h", double(s) / 3600);
  else
    std::snprintf(text, sizeof text, "%.2f d", double(s) / kDay);
  return text;
}

std::optional<int64_t> TimeToShare(std::vector<int64_t> times, int64_t machines, double share) {
  std::sort(times.begin(), times.end());
  const size_t need = size_t(std::ceil(double(machines) * share));
  if (need == 0 || times.size() < need) return std::nullopt;
  return times[need - 1];
}

// A PNG of requests per minute: one line per scenario, days marked.
void WritePng(const std::string& path, const std::vector<std::pair<const char*, std::vector<uint32_t>>>& series,
              int64_t days) {
  const int width = int(days * 72);  // a pixel for 20 minutes
  const int height = 240;
  std::vector<uint8_t> rgb(size_t(width) * height * 3, 255);
  auto put = [&](int x, int y, const uint8_t* c) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    std::memcpy(&rgb[(size_t(y) * width + x) * 3], c, 3);
  };
  const uint8_t grid[3] = {200, 200, 200};
  const uint8_t weekend[3] = {240, 236, 226};
  for (int x = 0; x < width; ++x) {
    const int64_t day = x / 72;
    for (int y = 0; y < height; ++y) {
      if (x % 72 == 0) put(x, y, grid);
      else if (day % 7 >= 5) put(x, y, weekend);
    }
  }
  uint32_t top = 1;
  std::vector<std::vector<uint32_t>> binned;
  for (const auto& [name, perMinute] : series) {
    std::vector<uint32_t> bins(size_t(width), 0);
    for (size_t i = 0; i < perMinute.size(); ++i) bins[std::min(size_t(width - 1), i / 20)] =
        std::max(bins[std::min(size_t(width - 1), i / 20)], perMinute[i]);
    for (uint32_t v : bins) top = std::max(top, v);
    binned.push_back(std::move(bins));
  }
  static const uint8_t colours[][3] = {{200, 30, 30}, {30, 90, 200}, {30, 150, 60}};
  for (size_t s = 0; s < binned.size(); ++s) {
    int lastY = -1;
    for (int x = 0; x < width; ++x) {
      const int y = height - 1 - int(double(binned[s][size_t(x)]) / top * (height - 10));
      const int from = lastY < 0 ? y : std::min(y, lastY), to = lastY < 0 ? y : std::max(y, lastY);
      for (int yy = from; yy <= to; ++yy) put(x, yy, colours[s % 3]);
      lastY = y;
    }
  }
  // Raw scanlines with filter byte 0, compressed by zlib.
  std::vector<uint8_t> raw;
  raw.reserve(size_t(height) * (width * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), &rgb[size_t(y) * width * 3], &rgb[size_t(y) * width * 3] + width * 3);
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) return;
  packed.resize(packedSize);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto be32 = [](std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
  };
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    be32(png, uint32_t(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    be32(png, uint32_t(crc32(0, body.data(), uInt(body.size()))));
  };
  std::vector<uint8_t> header;
  be32(header, uint32_t(width));
  be32(header, uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(png.data(), 1, png.size(), file);
    std::fclose(file);
  }
}

bool ParseArgs(int argc, char** argv, Config& config) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (arg == "--machines") config.machines = std::stoll(value);
    else if (arg == "--days") config.days = std::stoll(value);
    else if (arg == "--seed") config.seed = std::stoull(value);
    else if (arg == "--png") config.png = value;
    else return false;
  }
  return config.machines > 0 && config.days >= 8 && config.days <= 60;
}

}  // namespace

int main(int argc, char** argv) {
  Config config;
  if (!ParseArgs(argc, argv, config)) {
    std::fprintf(stderr, "usage: fleet-sim [--machines N] [--days D (8-60)] [--png FILE] [--seed S]\n");
    return 2;
  }
  const std::vector<Measures> scenarios = {
      {"none", false, false, false, false},
      {"conditional probes", true, false, false, false},
      {"spread", false, true, false, false},
      {"back-off", false, false, true, false},
      {"staged rollout", false, false, false, true},
      {"all measures", true, true, true, true},
  };
  std::printf("fleet-sim: %lld installations, %lld days, probe interval 1 day, release day 3 10:00 UTC "
              "(rollout 10 %% -> 100 %% on day 7)\n\n",
              (long long)config.machines, (long long)config.days);
  std::printf("| Measures | peak req/s (busiest second) | peak req/s (busiest minute) | daily peak req/s (median "
              "busiest minute) | requests/day | 200 / 304 | .info MB/day | setups GB on busiest day | 50 %% run the "
              "release | 99 %% run the release |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  std::vector<std::pair<const char*, std::vector<uint32_t>>> plot;
  const auto started = std::chrono::steady_clock::now();
  for (const Measures& m : scenarios) {
    Scenario scenario(config, m);
    scenario.Run();
    const Tally& t = scenario.Result();
    const uint32_t peakSecond = *std::max_element(t.perSecond.begin(), t.perSecond.end());
    const uint32_t peakMinute = *std::max_element(t.perMinute.begin(), t.perMinute.end());
    const int64_t setupPeak = *std::max_element(t.setupBytesPerDay.begin(), t.setupBytesPerDay.end());
    // The busiest minute of each day, the median of them: what a usual day
    // asks of the server, beside the one busiest moment.
    std::vector<uint32_t> daily;
    for (int64_t day = 0; day < config.days; ++day)
      daily.push_back(*std::max_element(t.perMinute.begin() + day * 1440, t.perMinute.begin() + (day + 1) * 1440));
    std::nth_element(daily.begin(), daily.begin() + daily.size() / 2, daily.end());
    const uint32_t medianPeak = daily[daily.size() / 2];
    std::printf("| %s | %u | %.0f | %.0f | %.0f | %lld / %lld | %.0f | %.0f | %s | %s |\n", m.name, peakSecond,
                peakMinute / 60.0, medianPeak / 60.0, double(t.requests) / config.days, (long long)t.full, (long long)t.notModified,
                double(t.infoBytes) / config.days / 1e6, double(setupPeak) / 1e9,
                Duration(TimeToShare(t.installedAfter, config.machines, 0.50)).c_str(),
                Duration(TimeToShare(t.installedAfter, config.machines, 0.99)).c_str());
    std::fflush(stdout);
    if (std::string(m.name) == "none" || std::string(m.name) == "all measures")
      plot.emplace_back(m.name, t.perMinute);
  }
  WritePng(config.png, plot, config.days);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("\nrequests per minute (busiest minute of each 20): %s (red: none, blue: all measures); %.1f s\n",
              config.png.c_str(), seconds);
  return 0;
}
