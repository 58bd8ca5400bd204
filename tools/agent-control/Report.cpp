#include "Report.h"

#include <algorithm>
#include <cstdio>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"
#include "autoupdate/ProbePacing.h"
#include "autoupdate/Schedule.h"

namespace tarnix::control {

namespace {

constexpr int64_t kNeverProbes = -1;

uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

const char* StatusWords(int status) {
  switch (status) {
    case 0:
      return "idle";
    case 1:
      return "downloading the announcement";
    case 2:
      return "downloading the update or inform file";
    case 3:
      return "running the new setup";
    default:
      return "not answering";
  }
}

std::string TimeText(int64_t seconds) { return seconds > 0 ? SecondsText(seconds) : std::string("never"); }

std::string PartialText(const PartialDownload& partial) {
  return partial.target + ": " + std::to_string(partial.bytes) + " of " + std::to_string(partial.size) +
         " bytes (" + partial.file + ")";
}

// One line of the text report: the name in a column of its own.
void Line(std::string& out, std::string_view name, std::string_view value) {
  std::string line(name);
  line.resize(std::max<size_t>(line.size() + 1, 20), ' ');
  out += line;
  out.append(value);
  out += '\n';
}

// Texts are bytes in the system's code page: control characters and every
// byte above 0x7F are written as \u00XX, so the output is plain ASCII.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

// A time as both the agent's seconds and readable text, or null.
std::string TimeJson(int64_t seconds) {
  if (seconds <= 0) return "null";
  return "{\"seconds\": " + std::to_string(seconds) + ", \"text\": " + Quote(SecondsText(seconds)) + "}";
}

}  // namespace

std::string ArchitectureName(std::string_view head) {
  constexpr size_t kNewHeaderField = 0x3C;
  if (head.size() < kNewHeaderField + 4 || head.substr(0, 2) != "MZ") return "unknown";
  const uint32_t pe = LittleEndian(head, kNewHeaderField, 4);
  if (pe > head.size() || head.size() - pe < 6 || head.substr(pe, 4) != std::string_view("PE\0\0", 4))
    return "unknown";
  switch (LittleEndian(head, pe + 4, 2)) {
    case 0x014C:
      return "x86 (32-bit)";
    case 0x8664:
      return "x64 (64-bit)";
    case 0xAA64:
      return "ARM64 (64-bit)";
    default:
      return "unknown";
  }
}

NextProbe NextProbeTime(const ReportFacts& facts) {
  if (facts.probeInterval == kNeverProbes) return {0, "only when asked (ProbeSecondsInterval=-1)"};
  if (facts.probeInterval == 0) return {0, "once at every start of the agent (ProbeSecondsInterval=0)"};
  const int64_t interval = facts.testMode ? kTestModeProbeSeconds : facts.probeInterval;
  const int64_t due = facts.testMode ? AddSaturated64(facts.lastProbe, interval)
                                     : ScheduledProbeDue(facts.lastProbe, interval, facts.plannedProbe);
  const std::string every = " (every " + std::to_string(interval) + " seconds" + (facts.testMode ? ", test mode)" : ")");
  if (due > facts.now) return {due, SecondsText(due) + every};
  if (facts.running) return {facts.now, "now" + every};
  return {0, "at the agent's next start" + every};
}

int ProbeStatus(std::string_view probeResult) {
  int64_t status = 0;
  const size_t digits = probeResult.find_first_not_of("0123456789");
  if (digits == 0 || !ParseInt64(probeResult.substr(0, digits), status) || status > 99) return -1;
  return static_cast<int>(status);
}

std::vector<std::string> LastLines(std::string_view text, size_t count) {
  std::vector<std::string> lines;
  if (count == 0) return lines;
  size_t end = text.size();
  if (end > 0 && text[end - 1] == '\n') --end;
  while (lines.size() < count && end > 0) {
    const size_t newline = text.rfind('\n', end - 1);
    const size_t begin = newline == std::string_view::npos ? 0 : newline + 1;
    std::string_view line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (newline == std::string_view::npos) break;
    end = newline;
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

std::string ReportText(const ReportFacts& f) {
  std::string out;
  Line(out, "Agent", f.agentPath + (f.packageFound ? "" : "  (no agent package found)"));
  Line(out, "Agent version", (f.agentVersion.empty() ? std::string("unknown") : f.agentVersion) + ", " +
                                 f.architecture);
  Line(out, "Running", f.running ? "yes, process " + std::to_string(f.processId) + ": " + StatusWords(f.agentStatus)
                                 : std::string("no"));
  Line(out, "Installed version",
       f.originalFound ? std::to_string(f.installedVersion) : std::string("unknown (no .original file)"));
  Line(out, "Update location", f.updateLocation);
  if (!f.channel.empty()) Line(out, "Channel", f.channel);
  Line(out, "Vendor key", f.vendorKey ? "yes: updates must be signed" : "no");
  if (f.testMode) Line(out, "Test mode", "on");
  std::string last = TimeText(f.lastProbe);
  if (!f.probeResult.empty()) last += ": " + f.probeResult;
  Line(out, "Last probe", last);
  if (!f.probeReason.empty()) Line(out, "Reason", f.probeReason);
  Line(out, "Next probe", NextProbeTime(f).text);
  if (f.partials.empty()) Line(out, "Partial download", "none");
  for (const PartialDownload& partial : f.partials) Line(out, "Partial download", PartialText(partial));
  if (f.logTail.empty()) {
    Line(out, "Log", f.logName + ": none");
  } else {
    Line(out, "Log", f.logName + ", last " + std::to_string(f.logTail.size()) + " lines:");
    for (const std::string& line : f.logTail) out += "  " + line + "\n";
  }
  return out;
}

std::string ReportJson(const ReportFacts& f) {
  const NextProbe next = NextProbeTime(f);
  std::string out = "{\n";
  const auto field = [&out](std::string_view name, const std::string& value, bool last = false) {
    out += "  " + Quote(name) + ": " + value + (last ? "\n" : ",\n");
  };
  field("agent", Quote(f.agentPath));
  field("package_found", Bool(f.packageFound));
  field("agent_version", Quote(f.agentVersion));
  field("architecture", Quote(f.architecture));
  field("running", Bool(f.running));
  field("process_id", f.running ? std::to_string(f.processId) : "null");
  field("agent_status", f.running && f.agentStatus >= 0 ? std::to_string(f.agentStatus) : "null");
  field("installed_version", f.originalFound ? std::to_string(f.installedVersion) : "null");
  field("update_location", Quote(f.updateLocation));
  field("vendor_key", Bool(f.vendorKey));
  field("test_mode", Bool(f.testMode));
  const int status = ProbeStatus(f.probeResult);
  field("last_probe", "{\"time\": " + TimeJson(f.lastProbe) + ", \"status\": " +
                          (status < 0 ? std::string("null") : std::to_string(status)) + ", \"result\": " +
                          Quote(f.probeResult) + ", \"reason\": " + Quote(f.probeReason) + "}");
  field("probe_interval", std::to_string(f.probeInterval));
  field("next_probe", "{\"time\": " + TimeJson(next.time) + ", \"text\": " + Quote(next.text) + "}");
  std::string partials = "[";
  for (const PartialDownload& p : f.partials) {
    if (partials.size() > 1) partials += ", ";
    partials += "{\"target\": " + Quote(p.target) + ", \"file\": " + Quote(p.file) + ", \"url\": " + Quote(p.url) +
                ", \"bytes\": " + std::to_string(p.bytes) + ", \"size\": " + std::to_string(p.size) + "}";
  }
  field("partial_downloads", partials + "]");
  field("log", Quote(f.logName));
  std::string tail = "[";
  for (const std::string& line : f.logTail) tail += (tail.size() > 1 ? ", " : "") + Quote(line);
  field("log_tail", tail + "]", true);
  return out + "}\n";
}

}  // namespace tarnix::control
