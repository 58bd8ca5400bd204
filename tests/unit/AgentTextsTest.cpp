// The agent's built-in English texts: every text it shows has one, and
// PROG_NAME stands only in the texts whose callers put the product's name
// in its place.
#include "autoupdate/AgentTexts.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarnix {
namespace {

// Each key the agent reads from [AutoUpdate], and whether the agent replaces
// PROG_NAME in its text.
struct UsedKey {
  const char* key;
  bool namesTheProduct;
};

constexpr UsedKey kUsedKeys[] = {
    {"s2", true},   {"s3", false},  {"s4", false},  {"s5", false},  {"s11", true},  {"s12", true},  {"s13", true},
    {"s14", true},  {"s15", true},  {"s16", true},  {"s17", false}, {"s18", true},  {"s19", true},  {"s20", true},
    {"s21", true},  {"s22", true},  {"s23", true},  {"s24", true},  {"s31", false}, {"s32", false}, {"s33", false},
    {"s34", false}, {"s35", false}, {"s36", true},  {"s37", true},  {"s38", true},
    {"s39", true},
};

TEST(AgentTextsTest, EveryTextTheAgentShowsHasAnEnglishDefault) {
  for (const UsedKey& used : kUsedKeys) {
    SCOPED_TRACE(used.key);
    const std::string_view text = AgentTextDefault(used.key);
    EXPECT_FALSE(text.empty());
    if (!used.namesTheProduct) {
      EXPECT_EQ(text.find("PROG_NAME"), std::string_view::npos) << "shown as it stands";
    }
  }
  EXPECT_EQ(std::size(kUsedKeys), kAgentTexts.size()) << "a text with a default that nothing shows";
}

TEST(AgentTextsTest, KeysCompareIgnoringCase) {
  EXPECT_EQ(AgentTextDefault("S11"), AgentTextDefault("s11"));
  EXPECT_EQ(AgentTextDefault("s5"), "Unable to Download File!");
  EXPECT_EQ(AgentTextDefault("s1"), "");
  EXPECT_EQ(AgentTextDefault("s111"), "");
  EXPECT_EQ(AgentTextDefault(""), "");
}

}  // namespace
}  // namespace tarnix
