// The download loop against a scripted body: what each read asks for, where
// the pieces go, how the bar is driven, and every way the loop stops.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/DownloadAbort.h"
#include "net/DownloadLoop.h"
#include "net/DownloadRules.h"

namespace tarnix {
namespace {

// Stands still unless a read moves it on.
uint32_t g_tick = 1000;
uint32_t TestClock() { return g_tick; }

struct BarEvent {
  int action;
  int range;
  std::string text;
  int position;
};
std::vector<BarEvent> g_bar;
int g_cancelAfterSteps = -1;
TProgBar* g_cancelBar = nullptr;

void RecordingSink(int action, uint16_t, int range, const char* text, int, int position) {
  g_bar.push_back({action, range, text ? text : "", position});
  if (action == kProgressStep && --g_cancelAfterSteps == 0) g_cancelBar->SetCancel(true);
}

void NoPump(int64_t) {}

// A body served piece by piece, as the library would; `failAt` and `abortAt`
// name a read (from 0) that fails, or during which the abort flag is set.
struct ScriptedBody {
  std::string body;
  bool endless = false;
  int failAt = -1;
  int abortAt = -1;
  int keepFailsAt = -1;
  int abortOnPump = -1;
  // How long each read takes, by index; 0 when not listed.
  std::vector<uint32_t> readMs;

  size_t position = 0;
  std::vector<uint32_t> asked;
  std::string kept;
  int pumps = 0;
  // "p" for a pump, "r" for a read, in order.
  std::string order;

  DownloadLoopIo Io() {
    DownloadLoopIo io;
    io.read = [this](char* buffer, uint32_t want, uint32_t& got) {
      const int index = static_cast<int>(asked.size());
      asked.push_back(want);
      order += 'r';
      if (index < static_cast<int>(readMs.size())) g_tick += readMs[index];
      if (index == abortAt) SetDownloadAbort(true);
      if (index == failAt) return false;
      if (endless) {
        std::fill(buffer, buffer + want, 'x');
        got = want;
        return true;
      }
      got = static_cast<uint32_t>(std::min<size_t>(want, body.size() - position));
      std::copy(body.begin() + position, body.begin() + position + got, buffer);
      position += got;
      return true;
    };
    io.keep = [this](std::string_view piece) {
      if (static_cast<int>(asked.size()) - 1 == keepFailsAt) return false;
      kept.append(piece);
      return true;
    };
    io.pump = [this] {
      order += 'p';
      if (++pumps == abortOnPump) SetDownloadAbort(true);
    };
    return io;
  }
};

std::string Pattern(size_t length) {
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

int Steps() {
  int steps = 0;
  for (const BarEvent& e : g_bar) steps += e.action == kProgressStep ? 1 : 0;
  return steps;
}

class DownloadLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDownloadAbort(false);
    g_bar.clear();
    g_cancelAfterSteps = -1;
  }
  void TearDown() override { SetDownloadAbort(false); }

  DownloadLoopResult Run(ScriptedBody& body, uint32_t size, uint64_t limit, bool withBar = true,
                         uint64_t start = 0) {
    std::optional<TProgBar> bar;
    if (withBar) bar.emplace(RecordingSink, NoPump);
    g_cancelBar = bar ? &*bar : nullptr;
    return RunDownloadLoop(size, start, limit, "setup.exe", bar ? &*bar : nullptr, body.Io(), TestClock);
  }
};

struct WholeBodyCase {
  uint32_t size;
  size_t length;
  std::vector<uint32_t> asks;
  int barSteps;
  int steps;
};

TEST_F(DownloadLoopTest, ReadsTheWholeBodyAndFillsTheBar) {
  const WholeBodyCase cases[] = {
      {9, 9, std::vector<uint32_t>(10, 1), 10, 9},
      {20000, 20000, std::vector<uint32_t>(11, 2000), 11, 10},
      // Reads that come back full at once grow; the last one is short.
      {200000, 200000, {8192, 16384, 32768, 65536, 131072, 131072}, 26, 25},
      {kUnknownSize, 100000, {8192, 16384, 32768, 65536, 65536}, 1002, 1},
  };
  for (const WholeBodyCase& c : cases) {
    SCOPED_TRACE(c.size);
    g_bar.clear();
    ScriptedBody body;
    body.body = Pattern(c.length);
    const DownloadLoopResult result = Run(body, c.size, c.size);
    EXPECT_EQ(result.stop, DownloadStop::EndOfBody);
    EXPECT_EQ(result.received, c.length);
    EXPECT_EQ(body.kept, body.body);
    EXPECT_EQ(body.asked, c.asks);
    ASSERT_FALSE(g_bar.empty());
    EXPECT_EQ(g_bar[0].action, kProgressSetUp);
    EXPECT_EQ(g_bar[0].range, c.barSteps);
    EXPECT_EQ(g_bar[0].position, 1);
    EXPECT_EQ(Steps(), c.steps);
    if (c.size != kUnknownSize) {
      EXPECT_EQ(1 + Steps(), c.barSteps) << "the bar ends full";
    }
  }
}

TEST_F(DownloadLoopTest, SlowReadsShrinkTheNextRead) {
  ScriptedBody body;
  body.body = Pattern(500000);
  // Three quick reads, then each takes 300 ms.
  body.readMs = {0, 0, 0, 300, 300, 300, 300};
  Run(body, 500000, 500000);
  ASSERT_GE(body.asked.size(), 7u);
  EXPECT_EQ(std::vector<uint32_t>(body.asked.begin(), body.asked.begin() + 7),
            (std::vector<uint32_t>{8192, 16384, 32768, 65536, 32768, 16384, 8192}));
}

TEST_F(DownloadLoopTest, MessagesArePumpedBeforeEveryRead) {
  ScriptedBody body;
  body.body = Pattern(9);
  Run(body, 9, 9);
  std::string expected;
  for (int i = 0; i < 10; ++i) expected += "pr";
  EXPECT_EQ(body.order, expected);
}

TEST_F(DownloadLoopTest, EveryStepCarriesTheAmountText) {
  ScriptedBody body;
  body.body = Pattern(3);
  Run(body, 30, 30);
  std::vector<std::string> texts;
  for (const BarEvent& e : g_bar) {
    if (e.action == kProgressStep) texts.push_back(e.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"3/30 BytesArr"}));
}

TEST_F(DownloadLoopTest, AContinuedDownloadStartsWhereTheKeptBytesEnd) {
  ScriptedBody body;
  body.body = Pattern(8000);
  // 12000 of 20000 bytes are on the disk already; reads of 2000 bytes.
  const DownloadLoopResult result = Run(body, 20000, 20000, true, 12000);
  EXPECT_EQ(result.stop, DownloadStop::EndOfBody);
  EXPECT_EQ(result.received, 20000u);
  EXPECT_EQ(body.kept, body.body);
  ASSERT_FALSE(g_bar.empty());
  EXPECT_EQ(g_bar[0].range, 11);
  EXPECT_EQ(g_bar[0].position, 7) << "six steps of 2000 bytes are done";
  EXPECT_EQ(Steps(), 4) << "the bar ends full";
  std::vector<std::string> texts;
  for (const BarEvent& e : g_bar) {
    if (e.action == kProgressStep) texts.push_back(e.text.substr(0, e.text.find(' ')));
  }
  EXPECT_EQ(texts.front(), "14000/20000");
  EXPECT_EQ(texts.back(), "20000/20000");
}

TEST_F(DownloadLoopTest, WorksWithoutABar) {
  ScriptedBody body;
  body.body = Pattern(20000);
  const DownloadLoopResult result = Run(body, 20000, 20000, false);
  EXPECT_EQ(result.stop, DownloadStop::EndOfBody);
  EXPECT_EQ(body.kept, body.body);
  EXPECT_TRUE(g_bar.empty());
}

struct StopCase {
  const char* name;
  ScriptedBody body;
  int cancelAfterSteps;
  DownloadStop stop;
  size_t reads;
  uint64_t received;
};

TEST_F(DownloadLoopTest, StopsEarly) {
  auto body = [](int failAt, int abortAt, int keepFailsAt, int abortOnPump) {
    ScriptedBody b;
    b.body = Pattern(100);
    b.failAt = failAt;
    b.abortAt = abortAt;
    b.keepFailsAt = keepFailsAt;
    b.abortOnPump = abortOnPump;
    return b;
  };
  StopCase cases[] = {
      {"read fails", body(2, -1, -1, -1), -1, DownloadStop::ReadFailed, 3, 20},
      {"abort while reading", body(-1, 2, -1, -1), -1, DownloadStop::Aborted, 3, 30},
      {"abort from a window", body(-1, -1, -1, 3), -1, DownloadStop::Aborted, 2, 20},
      {"piece not kept", body(-1, -1, 1, -1), -1, DownloadStop::KeepFailed, 2, 20},
      {"bar cancelled", body(-1, -1, -1, -1), 4, DownloadStop::Cancelled, 4, 40},
  };
  for (StopCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetDownloadAbort(false);
    g_bar.clear();
    g_cancelAfterSteps = c.cancelAfterSteps;
    const DownloadLoopResult result = Run(c.body, 100, 100);
    EXPECT_EQ(result.stop, c.stop);
    EXPECT_EQ(c.body.asked.size(), c.reads);
    EXPECT_EQ(result.received, c.received);
  }
}

TEST_F(DownloadLoopTest, FailedReadTakesNoStep) {
  ScriptedBody body;
  body.body = Pattern(100);
  body.failAt = 0;
  Run(body, 100, 100);
  EXPECT_EQ(Steps(), 0);
}

TEST_F(DownloadLoopTest, StopsOnceMoreThanTheLimitArrived) {
  ScriptedBody longer;
  longer.body = Pattern(1000);
  DownloadLoopResult result = Run(longer, 100, 100);
  EXPECT_EQ(result.stop, DownloadStop::OverLimit);
  EXPECT_EQ(result.received, 110u);
  EXPECT_EQ(longer.kept, longer.body.substr(0, 100)) << "nothing past the limit is kept";

  ScriptedBody endless;
  endless.endless = true;
  result = Run(endless, kUnknownSize, 200000);
  EXPECT_EQ(result.stop, DownloadStop::OverLimit);
  EXPECT_EQ(result.received, 8192u + 16384 + 32768 + 65536 + 131072);
  EXPECT_EQ(endless.kept.size(), 200000u);
}

TEST_F(DownloadLoopTest, ABodyOfExactlyTheLimitEndsNormally) {
  ScriptedBody body;
  body.body = Pattern(100);
  const DownloadLoopResult result = Run(body, 100, 100);
  EXPECT_EQ(result.stop, DownloadStop::EndOfBody);
  EXPECT_EQ(result.received, 100u);
}

}  // namespace
}  // namespace tarnix
