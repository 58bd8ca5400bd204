// The markup of message-box texts: "<P>" breaks the line, "<T>" is a tab and
// "<B>"..."</B>" makes a run bold, all in any case. The box shows plain text
// and applies the bold runs afterwards, so the markup is taken apart here,
// without the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

// Characters [start, end) of the plain text, 0-based.
struct BoldRange {
  uint32_t start = 0;
  uint32_t end = 0;
  bool operator==(const BoldRange&) const = default;
};

struct MarkupText {
  std::string text;
  std::vector<BoldRange> bold;
};

// Longer markup is cut to this length: nobody reads more in a message box,
// and the work of taking the tags out grows with length times tags.
inline constexpr size_t kMaxMarkupLength = 65535;

// The escapes \\n and \\t and the tags <P> and <T> become CR LF and TAB; a
// leading "<<b>" (the heading that the wrappers put in front) loses its
// first "<"; then, from the left, each "<B>" is taken out and paired with
// the first "</B>" of the text as it then stands, when that one lies after
// it. A "<B>" with no "</B>" after it makes nothing bold; no tag of either
// kind is left in the text. Any other text in angle brackets stays as it is.
MarkupText ParseMarkup(std::string_view markup);

// The plain text of `markup` on one line, for a log: line breaks and tabs
// become blanks.
std::string MarkupLogText(std::string_view markup);

}  // namespace tarnix
