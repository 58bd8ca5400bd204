// The rich-edit box's rules that need no window: the box's place on the
// screen, the text and the button in the client area, the text's face and
// how much of a text the box takes.
#include <gtest/gtest.h>

#include <string>

#include "ui/RichEditBoxLayout.h"

namespace tarnix {
namespace {

TEST(RichEditBoxLayoutTest, BoxIsCentredOnTheScreenAndKeptOnIt) {
  struct Case {
    const char* name;
    int screenWidth, screenHeight, width, height;
    PixelRect place;
  } cases[] = {
      {"usual size", 1024, 768, 360, 360, {332, 204, 360, 360}},
      {"halves truncate", 1025, 769, 360, 361, {332, 204, 360, 361}},
      {"wider than the screen", 1024, 768, 5000, 400, {0, 184, 1024, 400}},
      {"taller than the screen", 1024, 768, 400, 900, {312, 0, 400, 768}},
      {"zero keeps the button visible", 1024, 768, 0, 0, {412, 309, kRichEditBoxMinWidth, kRichEditBoxMinHeight}},
      {"negative", 1024, 768, -50, -1, {412, 309, kRichEditBoxMinWidth, kRichEditBoxMinHeight}},
      {"tiny screen keeps the minimum", 100, 100, 360, 360,
       {-50, -25, kRichEditBoxMinWidth, kRichEditBoxMinHeight}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RichEditBoxPlace(c.screenWidth, c.screenHeight, c.width, c.height), c.place) << c.name;
}

TEST(RichEditBoxLayoutTest, TextFillsTheClientAreaAboveTheButtonStrip) {
  struct Case {
    const char* name;
    int cw, ch;
    bool hasLink;
    PixelRect text;
  } cases[] = {
      {"with a link", 344, 326, true, {3, 0, 341, 283}},
      {"without a link", 344, 326, false, {3, 0, 341, 326}},
      {"narrower", 200, 100, true, {3, 0, 197, 57}},
      {"minimised", 0, 0, true, {3, 0, 0, 0}},
      {"shorter than the strip", 2, 20, true, {3, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(RichEditTextPlace(c.cw, c.ch, c.hasLink), c.text) << c.name;
}

TEST(RichEditBoxLayoutTest, ButtonIsCentred33PixelsAboveTheBottom) {
  struct Case {
    const char* name;
    int cw, ch;
    PixelRect button;
  } cases[] = {
      {"usual", 344, 326, {92, 293, 160, 25}},
      {"odd width truncates", 345, 326, {92, 293, 160, 25}},
      {"wide", 1000, 700, {420, 667, 160, 25}},
      {"narrower than the button", 100, 100, {-30, 67, 160, 25}},
  };
  for (const auto& c : cases) EXPECT_EQ(RichEditButtonPlace(c.cw, c.ch), c.button) << c.name;
}

TEST(RichEditBoxLayoutTest, TahomaOrNoFaceGivesVerdana) {
  struct Case {
    const char* face;
    const char* shown;
  } cases[] = {
      {"", "Verdana"},
      {"Tahoma", "Verdana"},
      // Only the exact name stands for the boxes' usual face.
      {"tahoma", "tahoma"},
      {" Tahoma", " Tahoma"},
      {"Arial", "Arial"},
      {"MS PGothic", "MS PGothic"},
  };
  for (const auto& c : cases) EXPECT_EQ(RichEditTextFace(c.face), c.shown) << '"' << c.face << '"';
}

TEST(RichEditBoxLayoutTest, TextIsTakenUpToItsBound) {
  EXPECT_EQ(RichEditShownText(""), "");
  EXPECT_EQ(RichEditShownText("News\r\n{\\rtf1 <b>as it stands</b>"), "News\r\n{\\rtf1 <b>as it stands</b>");
  const std::string huge(kRichEditMaxText + 100, 'x');
  EXPECT_EQ(RichEditShownText(huge).size(), kRichEditMaxText);
  EXPECT_EQ(RichEditShownText(std::string_view(huge).substr(0, kRichEditMaxText)).size(), kRichEditMaxText);
}

TEST(RichEditBoxLayoutTest, TheBoxAndItsButtonGrowInProportionAtEveryDpi) {
  for (int dpi : {96, 120, 144, 192}) {
    const auto px = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
    const PixelRect box = RichEditBoxPlace(3840, 2160, 360, 360, dpi);
    EXPECT_EQ(box.width, px(360)) << dpi;
    EXPECT_EQ(box.height, px(360)) << dpi;
    const PixelRect small = RichEditBoxPlace(3840, 2160, 10, 10, dpi);
    EXPECT_EQ(small.width, px(kRichEditBoxMinWidth)) << dpi;
    const int cw = box.width - px(8), ch = box.height - px(30);
    const PixelRect text = RichEditTextPlace(cw, ch, true, dpi);
    const PixelRect button = RichEditButtonPlace(cw, ch, dpi);
    EXPECT_EQ(button.width, px(kRichEditButtonWidth)) << dpi;
    EXPECT_EQ(button.height, px(kRichEditButtonHeight)) << dpi;
    EXPECT_GE(button.top, text.top + text.height) << dpi << ": the button covers the text";
    EXPECT_LE(button.top + button.height, ch) << dpi;
    EXPECT_GE(button.left, 0) << dpi;
  }
}

}  // namespace
}  // namespace tarnix
