// What `agent-control NAME report` tells a support desk first, gathered from
// the agent's files beside it (and from the agent itself when it runs), in
// two forms: aligned lines for people, JSON for scripts. Portable: the
// gathering is in Report_win32.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::control {

// A download of the agent's that broke off and waits to continue, as its
// record beside the partial file says.
struct PartialDownload {
  // The file it becomes, and the partial file itself (names, no folder).
  std::string target;
  std::string file;
  std::string url;
  // Bytes on the disk now, of the whole file's `size`.
  uint64_t bytes = 0;
  uint32_t size = 0;
};

struct ReportFacts {
  std::string agentPath;
  // The agent's file could be read as a package.
  bool packageFound = false;
  std::string agentVersion;
  std::string architecture;
  bool running = false;
  uint32_t processId = 0;
  // The running agent's answer to the status request; -1 when not asked or
  // unanswered.
  int agentStatus = -1;
  // Whether the .original file is there.
  bool originalFound = false;
  int32_t installedVersion = 0;
  std::string updateLocation;
  bool vendorKey = false;
  bool testMode = false;
  // Agent times (seconds since 30 December 1899, local time).
  int64_t now = 0;
  int64_t probeInterval = 0;
  // 0: no probe recorded.
  int64_t lastProbe = 0;
  // The next scheduled probe as the last one planned it (spread, back-off,
  // Retry-After); 0: none.
  int64_t plannedProbe = 0;
  // The channel the product follows; empty: none.
  std::string channel;
  std::string probeResult;
  std::string probeReason;
  std::vector<PartialDownload> partials;
  std::string logName;
  std::vector<std::string> logTail;
};

// The processor a Windows program is built for, from the first bytes of its
// file (its DOS and PE headers): "x86 (32-bit)", "x64 (64-bit)", or
// "unknown" for bytes that are no program or one for another processor.
std::string ArchitectureName(std::string_view head);

// When the agent probes next, as the probe interval, the last probe and
// whether it runs say. `time` is 0 when there is no one moment.
struct NextProbe {
  int64_t time = 0;
  std::string text;
};
NextProbe NextProbeTime(const ReportFacts& facts);

// The status number that a recorded probe result begins with; -1 when there
// is none.
int ProbeStatus(std::string_view probeResult);

// The last `count` lines of a log's text (CR LF or LF ends), without their
// ends; a last line without an end counts.
std::vector<std::string> LastLines(std::string_view text, size_t count);

std::string ReportText(const ReportFacts& facts);
std::string ReportJson(const ReportFacts& facts);

}  // namespace tarnix::control
