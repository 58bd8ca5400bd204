// The main-window choice: windows that own the others win, a title and
// visibility break ties, the first of equal windows is kept, and windows
// beyond the analyser's capacity are ignored.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "Utils/Analizer.h"

namespace tarnix {
namespace {

struct Window {
  uintptr_t handle;
  uintptr_t rootOwner;
  bool hasTitle;
  bool visible;
};

struct Outcome {
  uintptr_t winner;
  std::vector<uint16_t> scores;
};

Outcome Analyse(const std::vector<Window>& windows) {
  std::map<uintptr_t, WindowFacts> facts;
  TAnalizer analizer;
  analizer.Clear();
  analizer.SetPid(42);
  for (const Window& w : windows) {
    facts[w.handle] = WindowFacts{w.rootOwner, w.hasTitle, w.visible};
    EXPECT_TRUE(analizer.Add(w.handle));
  }
  Outcome outcome;
  outcome.winner = analizer.Pick([&](uintptr_t handle) { return facts.at(handle); });
  for (int i = 0; i < analizer.Count(); ++i) outcome.scores.push_back(analizer.Score(i));
  return outcome;
}

TEST(AnalizerTest, ScoresAndPicksTheMainWindow) {
  struct Case {
    const char* name;
    std::vector<Window> windows;
    uintptr_t winner;
    std::vector<uint16_t> scores;
  } cases[] = {
      {"a visible titled window owning two hidden dialogs",
       {{10, 10, true, true}, {11, 10, false, false}, {12, 10, false, false}},
       10,
       {15, 0, 0}},
      {"the dialogs listed first and titled still lose",
       {{11, 10, true, false}, {12, 10, true, false}, {10, 10, true, true}},
       10,
       {2, 2, 15}},
      {"an owner chain counts for the window at its end",
       {{3, 1, false, false}, {2, 1, false, false}, {1, 1, false, false}},
       1,
       {0, 0, 12}},
      {"equal windows: the first is kept",
       {{1, 1, true, true}, {2, 2, true, true}},
       1,
       {7, 7}},
      {"a strictly better later window replaces the best",
       {{1, 1, false, false}, {2, 2, false, true}},
       2,
       {4, 5}},
      {"an unowned window beats a titled one owned from outside",
       {{1, 99, true, true}, {2, 2, false, false}},
       2,
       {3, 4}},
      {"all windows owned from outside, hidden and untitled: none",
       {{1, 99, false, false}, {2, 98, false, false}},
       0,
       {0, 0}},
      {"no windows: none", {}, 0, {}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Analyse(c.windows);
    EXPECT_EQ(outcome.winner, c.winner) << c.name;
    EXPECT_EQ(outcome.scores, c.scores) << c.name;
  }
}

TEST(AnalizerTest, WindowsBeyondTheCapacityAreIgnored) {
  TAnalizer analizer;
  analizer.Clear();
  analizer.SetPid(7);
  for (int i = 0; i < TAnalizer::kCapacity; ++i) ASSERT_TRUE(analizer.Add(1000 + static_cast<uintptr_t>(i)));
  // One more window, which would be the best of all, does not fit.
  EXPECT_FALSE(analizer.Add(1));
  EXPECT_FALSE(analizer.Add(2));
  EXPECT_EQ(analizer.Count(), TAnalizer::kCapacity);
  EXPECT_EQ(analizer.Window(TAnalizer::kCapacity), 0u);
  EXPECT_EQ(analizer.Window(-1), 0u);
  EXPECT_EQ(analizer.Score(TAnalizer::kCapacity), 0);

  // Every recorded window is owned by the last one: the highest score a
  // full analyser can give still fits its 16 bits.
  const uintptr_t last = 1000 + TAnalizer::kCapacity - 1;
  const uintptr_t winner = analizer.Pick([&](uintptr_t handle) {
    return handle == 1 ? WindowFacts{1, true, true} : WindowFacts{last, true, true};
  });
  EXPECT_EQ(winner, last);
  EXPECT_EQ(analizer.Score(TAnalizer::kCapacity - 1), TAnalizer::kCapacity * 4 + 3);
  EXPECT_EQ(analizer.Score(0), 3);
}

TEST(AnalizerTest, ClearForgetsWindowsAndProcess) {
  TAnalizer analizer;
  analizer.SetPid(5);
  analizer.Add(1);
  analizer.Pick([](uintptr_t h) { return WindowFacts{h, true, true}; });
  analizer.Clear();
  EXPECT_EQ(analizer.Count(), 0);
  EXPECT_EQ(analizer.Pid(), 0u);
  EXPECT_EQ(analizer.Score(0), 0);
  EXPECT_EQ(analizer.Pick([](uintptr_t h) { return WindowFacts{h, true, true}; }), 0u);
}

}  // namespace
}  // namespace tarnix
