// The message box's rules that need no window: button sets, icons, keys,
// text measurement, sizes and places, and what the wrappers add.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/MsgBoxLayout.h"

namespace tarnix {
namespace {

using Buttons = std::vector<MsgBoxButton>;
using Captions = std::vector<std::string>;

TEST(MsgBoxLayoutTest, StyleChoosesButtonsLeftToRight) {
  struct Case {
    uint32_t flags;
    Buttons buttons;
  } cases[] = {
      {kMbOk, {{0, kIdOk}}},
      {kMbOkCancel, {{0, kIdOk}, {1, kIdCancel}}},
      {kMbAbortRetryIgnore, {{4, kIdAbort}, {5, kIdRetry}, {6, kIdIgnore}}},
      {kMbYesNoCancel, {{2, kIdYes}, {3, kIdNo}, {1, kIdCancel}}},
      {kMbYesNo, {{2, kIdYes}, {3, kIdNo}}},
      {kMbRetryCancel, {{5, kIdRetry}, {1, kIdCancel}}},
      {6, {}},
      {15, {}},
      // Only the low four bits count.
      {kMbIconQuestion | kMbYesNo | kMbRight | kMbNoClose | 0x200, {{2, kIdYes}, {3, kIdNo}}},
  };
  for (const auto& c : cases) EXPECT_EQ(MsgBoxButtons(c.flags), c.buttons) << c.flags;
}

TEST(MsgBoxLayoutTest, IconAndDefaultButtonComeFromTheirBits) {
  EXPECT_EQ(MsgBoxSystemIcon(kMbIconHand | kMbYesNo), 32513);
  EXPECT_EQ(MsgBoxSystemIcon(kMbIconQuestion), 32514);
  EXPECT_EQ(MsgBoxSystemIcon(kMbIconExclamation), 32515);
  EXPECT_EQ(MsgBoxSystemIcon(kMbIconAsterisk), 32516);
  EXPECT_EQ(MsgBoxSystemIcon(0), 0);
  EXPECT_EQ(MsgBoxSystemIcon(0x50), 0);
  EXPECT_EQ(MsgBoxSystemIcon(0xF0), 0);

  EXPECT_EQ(MsgBoxDefaultButton(kMbYesNoCancel), 0);
  EXPECT_EQ(MsgBoxDefaultButton(0x100 | kMbIconHand), 1);
  EXPECT_EQ(MsgBoxDefaultButton(0x200 | kMbRight), 2);
}

TEST(MsgBoxLayoutTest, FocusWrapsAroundTheButtons) {
  struct Case {
    int index, count, expected;
  } cases[] = {{-1, 3, 2}, {3, 3, 0}, {1, 3, 1}, {-1, 2, 1}, {2, 2, 0}, {5, 1, 0}, {-4, 3, 2}, {0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(WrapButtonIndex(c.index, c.count), c.expected) << c.index << "/" << c.count;
}

TEST(MsgBoxLayoutTest, KeysChooseButtonsByTheirCaptions) {
  const Captions english = {"&Yes", "&No", "&Cancel"};
  const Captions french = {"&Oui", "&Non", "Annuler"};
  const Captions clash = {"&Next", "Ne&w", "&none"};
  struct Case {
    Captions captions;
    char key;
    int alt;     // Alt + key, as typed
    int letter;  // the key's letter alone
  } cases[] = {
      {english, 'n', 1, -1},
      {english, 'N', 1, 1},
      {english, 'y', 0, -1},
      {english, 'C', 2, 2},
      {english, 'x', -1, -1},
      {french, 'A', -1, 2},
      {french, 'n', 1, -1},
      {french, 'O', 0, 0},
      // Alt takes the first match, a letter the last.
      {clash, 'N', 0, 2},
      {clash, 'n', 0, -1},
      {clash, 'W', -1, 1},
      {{"&", "", "x"}, 'X', -1, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AltKeyButton(c.captions, c.key), c.alt) << c.captions[0] << " " << c.key;
    if (c.key >= 'A' && c.key <= 'Z') {
      EXPECT_EQ(LetterKeyButton(c.captions, c.key), c.letter) << c.key;
    }
  }
}

TEST(MsgBoxLayoutTest, TextIsMeasuredLineByLine) {
  // Ten pixels a character, 13 a line.
  auto width = [](std::string_view line) { return static_cast<int>(line.size()) * 10; };
  struct Case {
    std::string text;
    PixelSize size;
  } cases[] = {
      {"", {20, 13}},
      {"abc", {40, 13}},
      {"abc\r\nabcdefgh", {90, 26}},
      {"a\r\n\r\nb", {20, 39}},
      {"a\r\n\r\n", {20, 13}},
      {"\r\n", {20, 13}},
      {std::string(59, 'x'), {600, 13}},
      {std::string(60, 'x'), {600, 26}},
      {std::string(130, 'x') + "\r\nx", {600, 52}},
  };
  for (const auto& c : cases) EXPECT_EQ(MeasureMsgBoxText(c.text, 13, width), c.size) << c.text;
}

TEST(MsgBoxLayoutTest, BoxIsAtLeast360WideAndFitsItsText) {
  struct Case {
    int tw, th;
    PixelSize box;
  } cases[] = {
      // Small texts get wider margins.
      {50, 13, {kMsgBoxMinWidth, 13 + 36 + 90 + 8 + 19}},      {199, 38, {199 + 54 + 128 + 8, 38 + 36 + 90 + 8 + 19}},
      {200, 39, {kMsgBoxMinWidth, 39 + 36 + 64 + 8 + 19}},     {250, 39, {250 + 54 + 64 + 8, 39 + 36 + 64 + 8 + 19}},
      {610, 200, {610 + 54 + 64 + 8, 200 + 36 + 64 + 8 + 19}},
  };
  for (const auto& c : cases) EXPECT_EQ(MsgBoxWindowSize(c.tw, c.th, 4, 4, 19), c.box) << c.tw << "x" << c.th;
}

TEST(MsgBoxLayoutTest, TextSitsRightOfTheBandAndButtonsEndAtTheRight) {
  EXPECT_EQ(MsgBoxTextPlace(400, 200, 100, 26), (PixelRect{54 + 123, 69, 100, 200 - 69 - 39}));
  // Halves are cut towards zero.
  EXPECT_EQ(MsgBoxTextPlace(355, 150, 100, 27), (PixelRect{54 + 100, 43, 100, 150 - 43 - 39}));

  EXPECT_EQ(MsgBoxButtonPlace(400, 200, 0, 1), (PixelRect{320, 171, 70, 23}));
  EXPECT_EQ(MsgBoxButtonPlace(400, 200, 0, 3), (PixelRect{180, 171, 70, 23}));
  EXPECT_EQ(MsgBoxButtonPlace(400, 200, 1, 3), (PixelRect{250, 171, 70, 23}));
  EXPECT_EQ(MsgBoxButtonPlace(400, 200, 2, 3), (PixelRect{320, 171, 70, 23}));
}

TEST(MsgBoxLayoutTest, WrappersAddRightToLeftFlagsAndTheHeading) {
  struct FlagCase {
    int64_t mode;
    uint32_t style;
    int charset;
    uint32_t flags;
  } flagCases[] = {
      {0, 0x24, 0, 0x52024},   {1, 0x10, 177, 0x1D2010}, {1, 0x10, 178, 0x1D2010},
      {1, 0x10, 179, 0x52010}, {2, 0x30, 0, 0x10052030}, {0x1234, 0x21, 1, 0x52021},
  };
  for (const auto& c : flagCases)
    EXPECT_EQ(MsgBoxGenericFlags(c.mode, c.style, c.charset), c.flags) << c.mode << " " << c.charset;

  struct TextCase {
    int64_t mode;
    std::string title;
    std::string text;
  } textCases[] = {
      {0, "Error", "<<b>ERROR</b><P><P>body<P>"},
      {0, "Confirm", "<<b>CONFIRM</b><P><P>body<P>"},
      {0, "Erreur", "<<b>Erreur</b><P><P>body<P>"},
      {0, "error", "<<b>error</b><P><P>body<P>"},
      {1, "Error", "body"},
      {2, "Error", "body"},
      {0x1234, "Error", "body"},
  };
  for (const auto& c : textCases) EXPECT_EQ(MsgBoxGenericText(c.mode, "body", c.title), c.text) << c.title;
}

TEST(MsgBoxLayoutTest, ScaleToDpiRoundsToTheNearestPixel) {
  struct Case {
    int pixels, dpi, expected;
  } cases[] = {
      {70, 96, 70}, {70, 120, 88}, {70, 144, 105}, {70, 192, 140}, {23, 120, 29},  // 28.75
      {-3, 144, -5},                                                                // -4.5, away from 0
      {70, 0, 70},                                                                  // no DPI known
  };
  for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;
}

// At 100, 125, 150 and 200 % the box grows in proportion: a text whose
// font grew with the DPI gets a box, text place and buttons of the 96-DPI
// layout scaled, and every button stays inside the strip, right of the
// band, tall enough for a line of the scaled font.
TEST(MsgBoxLayoutTest, TheBoxGrowsInProportionAtEveryDpi) {
  const PixelSize at96 = MsgBoxWindowSize(250, 60, 4, 4, 23);
  for (int dpi : {96, 120, 144, 192}) {
    const auto px = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
    const PixelSize box = MsgBoxWindowSize(px(250), px(60), px(4), px(4), px(23), dpi);
    EXPECT_NEAR(box.width, px(at96.width), 3) << dpi;
    EXPECT_NEAR(box.height, px(at96.height), 3) << dpi;
    const int cw = box.width - 2 * px(4);
    const int ch = box.height - 2 * px(4) - px(23);
    const PixelRect text = MsgBoxTextPlace(cw, ch, px(250), px(60), dpi);
    EXPECT_GE(text.left, px(kMsgBoxBandWidth)) << dpi;
    EXPECT_LE(text.top + px(60), ch - px(kMsgBoxStripHeight)) << dpi;
    for (int k = 0; k < 3; ++k) {
      const PixelRect b = MsgBoxButtonPlace(cw, ch, k, 3, dpi);
      EXPECT_GE(b.left, px(kMsgBoxBandWidth)) << dpi << " button " << k;
      EXPECT_LE(b.left + b.width, cw) << dpi << " button " << k;
      EXPECT_GE(b.top, ch - px(kMsgBoxStripHeight)) << dpi << " button " << k;
      EXPECT_LE(b.top + b.height, ch) << dpi << " button " << k;
      // An 8-point line is 13 pixels high at 96 DPI.
      EXPECT_GE(b.height, px(13) + 4) << dpi << " button " << k;
    }
  }
}

TEST(MsgBoxLayoutTest, TheTextWrapsAtAScaledWidth) {
  const auto width = [](std::string_view line) { return static_cast<int>(line.size()) * 10; };
  const std::string line(100, 'x');  // 1000 pixels
  EXPECT_EQ(MeasureMsgBoxText(line, 13, width), (PixelSize{600, 26}));
  EXPECT_EQ(MeasureMsgBoxText(line, 26, width, 192), (PixelSize{1000 + 20, 26}));
}

}  // namespace
}  // namespace tarnix
