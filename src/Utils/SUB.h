// Self-delimited lists: a text whose first character is its delimiter and
// which ends with it, such as "|&OK|&Cancel|". Items count from 0. The
// delimiter travels with the list, so items may hold "|" when another
// delimiter is chosen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnix {

class SUB {
 public:
  SUB() = delete;

  // Preferred delimiters, in order, when a list is built or re-delimited.
  static constexpr std::string_view kDelimiterCandidates{"|*~^!@#$&\xFF", 10};

  static int Count(std::string_view list);
  static std::string Item(std::string_view list, int index, std::string_view def = {});
  static int64_t ItemAsInt64(std::string_view list, int index, int64_t def);
  static int IndexOf(std::string_view list, std::string_view item, int def, bool prefix);
  static bool Contains(std::string_view list, std::string_view item, bool trim, bool ignoreCase);
  static std::string Value(std::string_view list, std::string_view key, std::string_view defIfEmpty,
                           std::string_view defIfMissing);
  static std::string LeftSides(std::string_view list);
  static std::string RightSides(std::string_view list);
  static std::pair<std::string, std::string> SplitPairs(std::string_view list);
  static std::string Zip(std::string_view keys, std::string_view values, bool dropEmptyEnds);
  static std::string Delete(std::string_view list, int index);
  static std::string SetItem(std::string_view list, int index, std::string_view value);
  static std::string Join(const std::vector<std::string>& texts, bool removeDuplicates);
  static std::string Append(std::string_view list, const std::vector<std::string>& texts, bool removeDuplicates);
  static std::string Reverse(std::string_view list);
  static std::string Distinct(std::string_view list);
  static std::string TrimEmpty(std::string_view list, bool atEnd, bool atStart);
  static std::string Redelimit(std::string_view text);
  static std::string SetDelimiter(std::string_view list, char newDelimiter);

  // All items in order (empty items kept); empty for a text that is no list.
  static std::vector<std::string> Items(std::string_view list);
};

}  // namespace tarnix
