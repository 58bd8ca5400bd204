#include "ui/Markup.h"

#include <algorithm>
#include <set>

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr std::string_view kOpenTag = "<B>";
constexpr std::string_view kCloseTag = "</B>";

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The text as a list of characters that tags are taken out of one by one.
// Each tag is found in the text as it stands at that moment, and taking one
// out can join the characters around the gap into a new tag ("<<B>B>");
// removing from a linked list, counting positions with a Fenwick tree and
// keeping the tags found in sorted sets makes that cost n log n instead of
// a copy of the whole text per tag.
class TagText {
 public:
  explicit TagText(const std::string& text)
      : text_(text), next_(text.size()), prev_(text.size()), tree_(text.size() + 1) {
    const int n = static_cast<int>(text.size());
    for (int i = 0; i < n; ++i) {
      next_[i] = i + 1 < n ? i + 1 : -1;
      prev_[i] = i - 1;
    }
    for (int i = 1; i <= n; ++i) tree_[i] = i & -i;
    for (int i = 0; i < n; ++i) {
      if (Matches(i, kOpenTag)) opens_.insert(i);
      if (Matches(i, kCloseTag)) closes_.insert(i);
    }
  }

  // The first tag of each kind, or -1.
  int FirstOpen() const { return opens_.empty() ? -1 : *opens_.begin(); }
  int FirstClose() const { return closes_.empty() ? -1 : *closes_.begin(); }

  // Characters of the text before `node`.
  uint32_t Position(int node) const {
    uint32_t sum = 0;
    for (int i = node; i > 0; i -= i & -i) sum += static_cast<uint32_t>(tree_[i]);
    return sum;
  }

  void TakeOut(int node, std::string_view tag) {
    (tag == kOpenTag ? opens_ : closes_).erase(node);
    int last = prev_[node];
    for (size_t k = 0; k < tag.size(); ++k) {
      const int after = next_[node];
      Unlink(node);
      node = after;
    }
    // A new tag can only start in the few characters in front of the gap.
    for (std::string_view t : {kOpenTag, kCloseTag}) {
      int start = last;
      for (size_t k = 1; k < t.size() && start >= 0; ++k, start = prev_[start])
        if (Matches(start, t)) (t == kOpenTag ? opens_ : closes_).insert(start);
    }
  }

  std::string Text() const {
    std::string r;
    for (int i = first_; i >= 0; i = next_[i]) r += text_[i];
    return r;
  }

 private:
  bool Matches(int node, std::string_view tag) const {
    for (char c : tag) {
      if (node < 0 || Upper(text_[node]) != c) return false;
      node = next_[node];
    }
    return true;
  }

  void Unlink(int node) {
    if (prev_[node] >= 0)
      next_[prev_[node]] = next_[node];
    else
      first_ = next_[node];
    if (next_[node] >= 0) prev_[next_[node]] = prev_[node];
    for (int i = node + 1; i < static_cast<int>(tree_.size()); i += i & -i) --tree_[i];
  }

  std::string text_;
  std::vector<int> next_;
  std::vector<int> prev_;
  std::vector<int> tree_;
  int first_ = 0;
  std::set<int> opens_;
  std::set<int> closes_;
};

}  // namespace

MarkupText ParseMarkup(std::string_view markup) {
  MarkupText r;
  std::string text = ExpandEscapes(markup.substr(0, std::min(markup.size(), kMaxMarkupLength)));
  if (text.starts_with("<<b>")) text.erase(0, 1);
  if (text.empty()) return r;

  TagText tags(text);
  for (int open; (open = tags.FirstOpen()) >= 0;) {
    const uint32_t start = tags.Position(open);
    tags.TakeOut(open, kOpenTag);
    const int close = tags.FirstClose();
    if (close < open) continue;
    const uint32_t end = tags.Position(close);
    tags.TakeOut(close, kCloseTag);
    r.bold.push_back({start, end});
  }
  for (int close; (close = tags.FirstClose()) >= 0;) tags.TakeOut(close, kCloseTag);
  r.text = tags.Text();

  // A range recorded before later tags were taken out may reach past the
  // end of the final text.
  const auto length = static_cast<uint32_t>(r.text.size());
  std::vector<BoldRange> kept;
  for (BoldRange b : r.bold) {
    b.start = std::min(b.start, length);
    b.end = std::min(b.end, length);
    if (b.start < b.end) kept.push_back(b);
  }
  r.bold = std::move(kept);
  return r;
}

std::string MarkupLogText(std::string_view markup) {
  std::string text = ParseMarkup(markup).text;
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\r' || text[i] == '\n' || text[i] == '\t' ? ' ' : text[i];
  }
  return line;
}

}  // namespace tarnix
