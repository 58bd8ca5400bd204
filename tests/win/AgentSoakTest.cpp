// An agent that probes every five seconds for a long while, its server
// answering now with an announcement of the version it has, now with a
// server failure: what it holds of the system, read from outside its
// process, stays where it was after its first probes, and it leaves no
// files behind. Two minutes unless TARNIX_SOAK_SECONDS asks otherwise (a
// minute at least; bench/agent-soak.sh runs it for as long as asked).
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "win/support/LeftoverFiles.h"
#include "win/support/OwnTempAgentFixture.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::Entries;
using test::HttpResponse;
using test::Joined;

constexpr DWORD kDefaultSoakSeconds = 120;
// Each reading is the least seen over this long: a probe in flight holds a
// thread and its connection for a moment, an idle agent holds neither.
constexpr DWORD kWindowMs = 15000;
constexpr DWORD kSampleMs = 1000;

DWORD SoakSeconds() {
  const char* value = std::getenv("TARNIX_SOAK_SECONDS");
  const long seconds = value ? std::strtol(value, nullptr, 10) : 0;
  return seconds >= 60 ? DWORD(seconds) : kDefaultSoakSeconds;
}

// What a process holds, as the system reports it to another process.
struct Holdings {
  DWORD handles = 0;
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;
  SIZE_T privateBytes = 0;

  void KeepLeast(const Holdings& other) {
    handles = std::min(handles, other.handles);
    gdiObjects = std::min(gdiObjects, other.gdiObjects);
    userObjects = std::min(userObjects, other.userObjects);
    privateBytes = std::min(privateBytes, other.privateBytes);
  }
};

// One entry of the system's handle table (SystemHandleInformation).
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct SystemHandleTable {
  ULONG count;
  SystemHandleEntry entries[1];
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = NTSTATUS(0xC0000004L);

// The handles of process `pid` as the system's handle table lists them.
std::optional<DWORD> HandlesInTable(DWORD pid) {
  std::vector<char> table(1 << 16);
  NTSTATUS status;
  while ((status = ::NtQuerySystemInformation(SYSTEM_INFORMATION_CLASS(kSystemHandleInformation), table.data(),
                                              ULONG(table.size()), nullptr)) == kInfoLengthMismatch &&
         table.size() < (64u << 20))
    table.resize(table.size() * 2);
  if (status < 0) return std::nullopt;
  ULONG count = 0;
  std::memcpy(&count, table.data(), sizeof count);
  const size_t first = offsetof(SystemHandleTable, entries);
  count = ULONG(std::min<size_t>(count, (table.size() - first) / sizeof(SystemHandleEntry)));
  DWORD handles = 0;
  for (ULONG i = 0; i < count; ++i) {
    SystemHandleEntry entry;
    std::memcpy(&entry, table.data() + first + i * sizeof entry, sizeof entry);
    handles += entry.ownerPid == pid;
  }
  return handles;
}

std::optional<Holdings> HoldingsOf(HANDLE process) {
  Holdings now;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!::GetProcessHandleCount(process, &now.handles) ||
      !::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    return std::nullopt;
  // A live process holds handles; a system that reports none (Wine) does
  // not count them, but lists them in its handle table.
  if (now.handles == 0) {
    const std::optional<DWORD> listed = HandlesInTable(::GetProcessId(process));
    if (!listed) return std::nullopt;
    now.handles = *listed;
  }
  // The commit charge, which the system also gives as the page-file use
  // where it leaves the private bytes out (Wine).
  now.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  now.gdiObjects = ::GetGuiResources(process, GR_GDIOBJECTS);
  now.userObjects = ::GetGuiResources(process, GR_USEROBJECTS);
  return now;
}

class AgentSoakTest : public test::OwnTempAgentFixture {
 protected:
  AgentSoakTest() : OwnTempAgentFixture("SoakAgent.exe") {}

  // Alternates the server's answer with every download of the
  // announcement, and reads the agent's holdings every kSampleMs; the
  // least of them over the `ms` that follow.
  std::optional<Holdings> Observe(HANDLE agent, DWORD ms) {
    std::optional<Holdings> least;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
      AlternateAnswer();
      const std::optional<Holdings> now = HoldingsOf(agent);
      if (!now) return std::nullopt;
      if (least)
        least->KeepLeast(*now);
      else
        least = now;
      WaitUntil([] { return false; }, kSampleMs);
    }
    return least;
  }

  void AlternateAnswer() {
    const int downloads = InfoRequests();
    if (downloads == answered_) return;
    answered_ = downloads;
    HttpResponse answer;
    answer.contentType = "text/plain";
    if (downloads % 2) {
      answer.status = "503 Service Unavailable";
      answer.body = "busy";
    } else {
      answer.body = "[NewSetup]\r\nVersionNew=1\r\nStamp=1\r\n";
    }
    server_.Serve("/updates/" + std::string(test::kInfoName), answer);
  }

  int answered_ = -1;
};

TEST_F(AgentSoakTest, AnAgentProbingEveryFiveSecondsHoldsNoMoreAtTheEndThanAtTheStart) {
  const DWORD seconds = SoakSeconds();
  InstallAgent();
  WriteOriginal(1, 5, 0);
  AlternateAnswer();
  ASSERT_EQ(StartPlainAgent(), 0u);
  ASSERT_TRUE(WaitForXAgent());
  DWORD pid = 0;
  ::GetWindowThreadProcessId(XAgentWindow(), &pid);
  UniqueHandle agent(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid));
  ASSERT_TRUE(agent) << ::GetLastError();
  // The first probes load the network library and fill its caches.
  ASSERT_TRUE(WaitUntil(
      [&] {
        AlternateAnswer();
        return InfoRequests() >= 2;
      },
      60000));

  const int probesBefore = InfoRequests();
  const std::optional<Holdings> start = Observe(agent.get(), kWindowMs);
  ASSERT_TRUE(start) << "the agent's holdings cannot be read: " << ::GetLastError();
  ASSERT_TRUE(Observe(agent.get(), seconds * 1000 - 2 * kWindowMs));
  const std::optional<Holdings> end = Observe(agent.get(), kWindowMs);
  ASSERT_TRUE(end) << "the agent ended: " << Log();
  const int probes = InfoRequests() - probesBefore;
  StopXAgent();

  const int64_t logBytes = test::PathExists(LogPath()) ? int64_t(std::filesystem::file_size(LogPath())) : 0;
  const std::string previousLog = installDir_ + "\\X_" + AgentStem() + ".old.log";
  const int64_t previousLogBytes =
      test::PathExists(previousLog) ? int64_t(std::filesystem::file_size(previousLog)) : 0;
  // A process with a window holds USER objects; a system that reports
  // none (Wine) does not count them, nor GDI objects.
  const std::string gui = start->userObjects == 0
                              ? std::string("GDI and USER objects not counted by this system")
                              : "GDI objects " + std::to_string(start->gdiObjects) + " -> " +
                                    std::to_string(end->gdiObjects) + ", USER objects " +
                                    std::to_string(start->userObjects) + " -> " + std::to_string(end->userObjects);
  std::printf("[ figure ] soak of %lu s, %d probes: handles %lu -> %lu, %s, private bytes %llu -> %llu; log %lld "
              "bytes, previous log %lld bytes\n",
              static_cast<unsigned long>(seconds), probes, start->handles, end->handles, gui.c_str(),
              static_cast<unsigned long long>(start->privateBytes), static_cast<unsigned long long>(end->privateBytes),
              static_cast<long long>(logBytes), static_cast<long long>(previousLogBytes));

  // A loaded machine may stretch the interval; a stopped agent would not.
  EXPECT_GE(probes, int(seconds / 10));
  EXPECT_LE(end->handles, start->handles + 5);
  EXPECT_LE(end->gdiObjects, start->gdiObjects + 2);
  EXPECT_LE(end->userObjects, start->userObjects + 2);
  EXPECT_LE(end->privateBytes, start->privateBytes + 1048576);

  std::vector<std::string> own = {agentName_, test::kInfoName, test::kOriginalName, "X_" + AgentStem() + ".log"};
  if (previousLogBytes > 0) own.push_back("X_" + AgentStem() + ".old.log");
  std::sort(own.begin(), own.end());
  EXPECT_EQ(Joined(Entries(installDir_)), Joined(own));
  EXPECT_TRUE(WaitUntil([&] { return Entries(agentTemp_).empty(); }, 20000)) << Joined(Entries(agentTemp_));
}

}  // namespace
}  // namespace tarnix
