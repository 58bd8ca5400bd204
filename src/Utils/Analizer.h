// The choice of a process's main window among its top-level windows. A
// window that owns others (directly or through a chain of owners) is what
// the user sees as the program; a title and visibility break the ties.
// Windows are plain numbers here, so the rule runs without the platform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace tarnix {

// What the scoring needs to know of one recorded window.
struct WindowFacts {
  uintptr_t rootOwner = 0;  // end of its owner chain; the window itself when unowned
  bool hasTitle = false;
  bool visible = false;
};

class TAnalizer {
 public:
  static constexpr int kCapacity = 2001;

  // No windows and no process.
  void Clear();
  void SetPid(uint32_t pid) { pid_ = pid; }
  uint32_t Pid() const { return pid_; }

  // Records a window of the process, in enumeration order, with score 0;
  // false, recording nothing, once kCapacity windows are held.
  bool Add(uintptr_t window);

  int Count() const { return count_; }
  // 0 outside the recorded range.
  uintptr_t Window(int index) const;
  uint16_t Score(int index) const;

  // Scores the recorded windows: one point for every recorded window whose
  // root owner it is (itself included), times 4, plus 2 with a title, plus 1
  // when visible. The first window with the highest score wins; 0 when every
  // score is 0.
  uintptr_t Pick(const std::function<WindowFacts(uintptr_t)>& factsOf);

 private:
  int IndexOf(uintptr_t window) const;

  std::array<uintptr_t, kCapacity> windows_{};
  std::array<uint16_t, kCapacity> scores_{};
  int count_ = 0;
  uint32_t pid_ = 0;
};

}  // namespace tarnix
