#include "autoupdate/TransientOverrides.h"

#include <array>

#include "Utils/SUB.h"

namespace tarnix {

namespace {

std::array<uint8_t, kOverrideSlotCount> g_slots = {kNoOverride, kNoOverride, kNoOverride, kNoOverride,
                                                   kNoOverride, kNoOverride, kNoOverride, kNoOverride};

bool InRange(int slot, int count) { return slot >= 0 && slot < count; }

}  // namespace

uint8_t OverrideValue(int slot) { return InRange(slot, kOverrideSlotCount) ? g_slots[slot] : kNoOverride; }

std::optional<bool> SwitchOverride(int slot) {
  const uint8_t value = OverrideValue(slot);
  if (value == kNoOverride) return std::nullopt;
  return value == 1;
}

bool AskBeforeCheck() { return OverrideValue(kSlotAskBeforeCheck) == 1; }

bool SetOverride(int slot, int64_t value) {
  if (!InRange(slot, kCommandSlotCount)) return false;
  g_slots[slot] = static_cast<uint8_t>(value);
  return true;
}

std::string TransientText() {
  std::string text = "|";
  for (uint8_t value : g_slots) text += std::to_string(value) + "|";
  return text;
}

void ApplyTransientText(std::string_view text) {
  if (text.empty()) return;
  std::string list(text);
  if (list.size() < 2 || list.back() != list.front()) list += list.front();
  for (int slot = 0; slot < kOverrideSlotCount; ++slot)
    g_slots[slot] = static_cast<uint8_t>(SUB::ItemAsInt64(list, slot, g_slots[slot]));
}

}  // namespace tarnix
