#include "Utils/Analizer.h"

#include <vector>

namespace tarnix {

void TAnalizer::Clear() {
  count_ = 0;
  pid_ = 0;
  scores_.fill(0);
}

bool TAnalizer::Add(uintptr_t window) {
  if (count_ >= kCapacity) return false;
  windows_[static_cast<size_t>(count_)] = window;
  scores_[static_cast<size_t>(count_)] = 0;
  ++count_;
  return true;
}

uintptr_t TAnalizer::Window(int index) const {
  return index >= 0 && index < count_ ? windows_[static_cast<size_t>(index)] : 0;
}

uint16_t TAnalizer::Score(int index) const {
  return index >= 0 && index < count_ ? scores_[static_cast<size_t>(index)] : 0;
}

int TAnalizer::IndexOf(uintptr_t window) const {
  for (int i = 0; i < count_; ++i)
    if (windows_[static_cast<size_t>(i)] == window) return i;
  return -1;
}

uintptr_t TAnalizer::Pick(const std::function<WindowFacts(uintptr_t)>& factsOf) {
  std::vector<WindowFacts> facts(static_cast<size_t>(count_));
  for (int i = 0; i < count_; ++i) {
    facts[static_cast<size_t>(i)] = factsOf ? factsOf(windows_[static_cast<size_t>(i)]) : WindowFacts{};
    scores_[static_cast<size_t>(i)] = 0;
  }
  // At most kCapacity points per window, so 4 * 2001 + 3 fits the 16 bits.
  for (int i = 0; i < count_; ++i) {
    const int root = IndexOf(facts[static_cast<size_t>(i)].rootOwner);
    if (root >= 0) ++scores_[static_cast<size_t>(root)];
  }
  uintptr_t best = 0;
  uint16_t bestScore = 0;
  for (int i = 0; i < count_; ++i) {
    const WindowFacts& f = facts[static_cast<size_t>(i)];
    uint16_t& score = scores_[static_cast<size_t>(i)];
    score = static_cast<uint16_t>(score * 4 + (f.hasTitle ? 2 : 0) + (f.visible ? 1 : 0));
    if (score > bestScore) {
      bestScore = score;
      best = windows_[static_cast<size_t>(i)];
    }
  }
  return best;
}

}  // namespace tarnix
