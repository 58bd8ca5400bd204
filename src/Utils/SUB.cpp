#include "Utils/SUB.h"

#include <algorithm>
#include <array>

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

// Padding beyond this index would let one bad index allocate gigabytes.
constexpr int kMaxSetIndex = 65535;

bool IsList(std::string_view list) { return list.size() >= 2 && list.back() == list.front(); }

using CharSet = std::array<bool, 256>;

void Mark(CharSet& used, std::string_view text) {
  for (char c : text) used[static_cast<unsigned char>(c)] = true;
}

// The first preferred delimiter that is unused; when a text uses all of them,
// any other visible byte keeps the items apart, and only when every byte is
// taken does the build separator stay.
char ChooseDelimiter(const CharSet& used) {
  for (char c : SUB::kDelimiterCandidates)
    if (!used[static_cast<unsigned char>(c)]) return c;
  for (int c = '!'; c <= 0xFF; ++c)
    if (!used[c]) return static_cast<char>(c);
  return '\0';
}

std::string JoinWith(char d, const std::vector<std::string>& items) {
  if (items.empty()) return {};
  std::string r(1, d);
  for (const auto& item : items) {
    r += item;
    r += d;
  }
  return r;
}

// A new list of the items, delimited by a character none of them holds.
std::string Build(const std::vector<std::string>& items) {
  CharSet used{};
  for (const auto& item : items) Mark(used, item);
  return JoinWith(ChooseDelimiter(used), items);
}

// Offset and length of item `index` (0-based, not negative) of a valid list.
bool ItemSpan(std::string_view list, int index, size_t& begin, size_t& length) {
  const char d = list.front();
  size_t start = 1;
  for (int i = 0;; ++i) {
    size_t end = list.find(d, start);
    if (end == std::string_view::npos) return false;
    if (i == index) {
      begin = start;
      length = end - start;
      return true;
    }
    start = end + 1;
  }
}

}  // namespace

int SUB::Count(std::string_view list) {
  if (!IsList(list)) return 0;
  return static_cast<int>(std::count(list.begin() + 1, list.end(), list.front()));
}

std::vector<std::string> SUB::Items(std::string_view list) {
  std::vector<std::string> items;
  if (!IsList(list)) return items;
  const char d = list.front();
  size_t start = 1;
  for (size_t end; (end = list.find(d, start)) != std::string_view::npos; start = end + 1)
    items.emplace_back(list.substr(start, end - start));
  return items;
}

std::string SUB::Item(std::string_view list, int index, std::string_view def) {
  const int n = Count(list);
  if (index == -1) index = n - 1;
  size_t begin = 0, length = 0;
  if (index < 0 || index >= n || !ItemSpan(list, index, begin, length) || length == 0) return std::string(def);
  return std::string(list.substr(begin, length));
}

int64_t SUB::ItemAsInt64(std::string_view list, int index, int64_t def) {
  int64_t value;
  return ParseInt64(Item(list, index), value) ? value : def;
}

int SUB::IndexOf(std::string_view list, std::string_view item, int def, bool prefix) {
  const std::string upper = UpperCase(Trim(list));
  if (!IsList(upper)) return def;
  const char d = upper.front();
  auto find = [&](std::string_view text) {
    std::string search(1, d);
    search += UpperCase(text);
    if (!prefix) search += d;
    return upper.find(search);
  };
  size_t at = find(item);
  if (at == std::string::npos) {
    const std::string trimmed = Trim(item);
    if (trimmed.size() != item.size()) at = find(trimmed);
  }
  if (at == std::string::npos) return def;
  return static_cast<int>(std::count(upper.begin() + 1, upper.begin() + static_cast<std::ptrdiff_t>(at) + 1, d));
}

bool SUB::Contains(std::string_view list, std::string_view item, bool trim, bool ignoreCase) {
  const std::string l = trim ? Trim(list) : std::string(list);
  if (!IsList(l)) return false;
  std::string search(1, l.front());
  search += trim ? Trim(item) : std::string(item);
  search += l.front();
  return ignoreCase ? PosCI(search, l) > 0 : l.find(search) != std::string::npos;
}

std::string SUB::Value(std::string_view list, std::string_view key, std::string_view defIfEmpty,
                       std::string_view defIfMissing) {
  if (list.size() < 3 || list.back() != list.front()) return std::string(defIfMissing);
  const char d = list.front();
  std::string search(1, d);
  search += key;
  if (key.size() < 2 || key.back() != '=') search += '=';

  std::string text(list);
  if (text.find(' ') != std::string::npos) {
    text = ReplaceAll(text, std::string{d, ' '}, std::string(1, d));
    // Removing every blank right before "=" equals collapsing " =" until
    // none is left.
    std::string packed;
    packed.reserve(text.size());
    for (char c : text) {
      if (c == '=')
        while (!packed.empty() && packed.back() == ' ') packed.pop_back();
      packed += c;
    }
    text = std::move(packed);
  }

  const size_t at = PosCI(search, text);
  if (at == 0) return std::string(defIfMissing);
  const size_t start = at - 1 + search.size();
  size_t end = text.find(d, start);
  if (end == std::string::npos) end = text.size();
  if (end == start) return std::string(defIfEmpty);
  return text.substr(start, end - start);
}

std::pair<std::string, std::string> SUB::SplitPairs(std::string_view list) {
  std::vector<std::string> lefts, rights;
  for (const auto& item : Items(list)) {
    const size_t eq = item.find('=');
    // An item without "=" is a key without a value.
    lefts.push_back(item.substr(0, eq));
    rights.push_back(eq == std::string::npos ? std::string() : item.substr(eq + 1));
  }
  if (lefts.empty()) return {};
  return {JoinWith(list.front(), lefts), JoinWith(list.front(), rights)};
}

std::string SUB::LeftSides(std::string_view list) { return SplitPairs(list).first; }

std::string SUB::RightSides(std::string_view list) { return SplitPairs(list).second; }

std::string SUB::Zip(std::string_view keys, std::string_view values, bool dropEmptyEnds) {
  const std::string k = dropEmptyEnds ? TrimEmpty(keys, true, false) : std::string(keys);
  const std::string v = dropEmptyEnds ? TrimEmpty(values, true, false) : std::string(values);
  const auto ks = Items(k), vs = Items(v);
  std::vector<std::string> pairs(std::max(ks.size(), vs.size()));
  for (size_t i = 0; i < pairs.size(); ++i)
    pairs[i] = (i < ks.size() ? ks[i] : std::string()) + "=" + (i < vs.size() ? vs[i] : std::string());
  return Build(pairs);
}

std::string SUB::Delete(std::string_view list, int index) {
  if (index < 0 || index >= Count(list)) return std::string(list);
  auto items = Items(list);
  items.erase(items.begin() + index);
  return JoinWith(list.front(), items);
}

std::string SUB::SetItem(std::string_view list, int index, std::string_view value) {
  if (index < 0 || index > kMaxSetIndex) return std::string(list);
  const bool empty = Count(list) == 0;
  const char d = empty ? '|' : list.front();
  auto items = Items(list);
  if (static_cast<size_t>(index) >= items.size()) items.resize(static_cast<size_t>(index) + 1);
  items[static_cast<size_t>(index)] = std::string(value);
  return value.find(d) == std::string_view::npos ? JoinWith(d, items) : Build(items);
}

std::string SUB::Join(const std::vector<std::string>& texts, bool removeDuplicates) {
  std::string list = Build(texts);
  return removeDuplicates ? Distinct(list) : list;
}

std::string SUB::Append(std::string_view list, const std::vector<std::string>& texts, bool removeDuplicates) {
  if (Count(list) == 0) return Join(texts, removeDuplicates);
  const char d = list.front();
  std::string result;
  if (std::none_of(texts.begin(), texts.end(), [d](const std::string& t) { return t.find(d) != std::string::npos; })) {
    result = std::string(list);
    for (const auto& t : texts) {
      result += t;
      result += d;
    }
  } else {
    auto items = Items(list);
    items.insert(items.end(), texts.begin(), texts.end());
    result = Build(items);
  }
  return removeDuplicates ? Distinct(result) : result;
}

std::string SUB::Reverse(std::string_view list) {
  auto items = Items(list);
  std::reverse(items.begin(), items.end());
  return JoinWith(items.empty() ? '|' : list.front(), items);
}

std::string SUB::Distinct(std::string_view list) {
  std::vector<std::string> kept, seen;
  for (auto& item : Items(list)) {
    std::string key = UpperCase(Trim(item));
    if (key.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(std::move(key));
    kept.push_back(std::move(item));
  }
  return JoinWith(kept.empty() ? '|' : list.front(), kept);
}

std::string SUB::TrimEmpty(std::string_view list, bool atEnd, bool atStart) {
  auto items = Items(list);
  if (atEnd)
    while (!items.empty() && items.back().empty()) items.pop_back();
  if (atStart) {
    auto first = std::find_if(items.begin(), items.end(), [](const std::string& s) { return !s.empty(); });
    items.erase(items.begin(), first);
  }
  return JoinWith(items.empty() ? '|' : list.front(), items);
}

std::string SUB::Redelimit(std::string_view text) {
  if (text.size() < 2) return {};
  std::string r(text);
  const char first = r.front();
  if (r.find('\0') == std::string::npos) std::replace(r.begin(), r.end(), first, '\0');
  CharSet used{};
  Mark(used, r);
  std::replace(r.begin(), r.end(), '\0', ChooseDelimiter(used));
  return r;
}

std::string SUB::SetDelimiter(std::string_view list, char newDelimiter) {
  if (list.empty()) return {};
  return ReplaceChar(list, list.front(), newDelimiter);
}

}  // namespace tarnix
