// Cutting standard-output text into the pieces the debug viewer receives, and
// the debug file's line ends.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Utils/DebugChannel.h"

namespace tarnix {
namespace {

class DebugTextCutterTest : public ::testing::Test {
 protected:
  DebugTextCutter cutter_{[this](std::string_view piece) { pieces_.emplace_back(piece); }};
  std::vector<std::string> pieces_;
};

TEST_F(DebugTextCutterTest, A300CharacterLineArrivesAsThreePiecesTheLastEndingInCrLf) {
  cutter_.Write(std::string(300, 'a') + "\n");
  ASSERT_EQ(pieces_.size(), 3u);
  EXPECT_EQ(pieces_[0], std::string(128, 'a'));
  EXPECT_EQ(pieces_[1], std::string(128, 'a'));
  EXPECT_EQ(pieces_[2], std::string(44, 'a') + "\r\n");
}

TEST_F(DebugTextCutterTest, EachCompletedLineIsOnePieceWithItsLineEnd) {
  cutter_.Write("first\nsecond\r\nthi");
  cutter_.Write("rd\n\n");
  EXPECT_EQ(pieces_, (std::vector<std::string>{"first\r\n", "second\r\n", "third\r\n", "\r\n"}));
}

TEST_F(DebugTextCutterTest, TextWithoutALineEndWaitsForAFullBufferOrAFlush) {
  cutter_.Write(std::string(100, 'b'));
  EXPECT_TRUE(pieces_.empty());
  cutter_.Write(std::string(27, 'b'));
  EXPECT_TRUE(pieces_.empty());
  cutter_.Write("bc");
  ASSERT_EQ(pieces_.size(), 1u);
  EXPECT_EQ(pieces_[0], std::string(128, 'b'));
  cutter_.Flush();
  ASSERT_EQ(pieces_.size(), 2u);
  EXPECT_EQ(pieces_[1], "c");
  cutter_.Flush();
  EXPECT_EQ(pieces_.size(), 2u) << "an empty buffer is not handed over";
}

TEST_F(DebugTextCutterTest, ACrLfSplitByAFullBufferGetsNoSecondCr) {
  cutter_.Write(std::string(127, 'x') + "\r\n");
  ASSERT_EQ(pieces_.size(), 2u);
  EXPECT_EQ(pieces_[0], std::string(127, 'x') + "\r");
  EXPECT_EQ(pieces_[1], "\n");
}

TEST_F(DebugTextCutterTest, ALoneLfAtTheBufferEndBecomesCrLfAcrossTwoPieces) {
  cutter_.Write(std::string(127, 'x') + "\n");
  ASSERT_EQ(pieces_.size(), 2u);
  EXPECT_EQ(pieces_[0], std::string(127, 'x') + "\r");
  EXPECT_EQ(pieces_[1], "\n");
}

TEST(DebugTextCutterHandOverTest, AFailingHandOverIsSwallowedAndItsPieceNeverSentAgain) {
  std::vector<std::string> pieces;
  bool fail = true;
  DebugTextCutter cutter([&](std::string_view piece) {
    if (fail) throw std::runtime_error("viewer gone");
    pieces.emplace_back(piece);
  });
  cutter.Write("lost\n");
  EXPECT_EQ(cutter.Buffered(), 0u);
  fail = false;
  cutter.Write("kept\n");
  cutter.Flush();
  EXPECT_EQ(pieces, (std::vector<std::string>{"kept\r\n"}));
}

TEST(DebugTextCutterHandOverTest, AReceiverWritingBackStartsAFreshPiece) {
  std::vector<std::string> pieces;
  DebugTextCutter* self = nullptr;
  DebugTextCutter cutter([&](std::string_view piece) {
    pieces.emplace_back(piece);
    if (pieces.size() == 1) self->Write("echo\n");
  });
  self = &cutter;
  cutter.Write("line\n");
  EXPECT_EQ(pieces, (std::vector<std::string>{"line\r\n", "echo\r\n"}));
}

TEST(DebugChannelTest, LineEndsOfTheDebugFileBecomeCrLf) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a\nb\rc\r\n", "a\r\nb\r\nc\r\n"},
      {"", ""},
      {"plain", "plain"},
      {"\n\r", "\r\n\r\n"},
      {"\r\r\n\n", "\r\n\r\n\r\n"},
      {"x\r", "x\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeLineEnds(c.in), c.out) << testing::PrintToString(c.in);
}

TEST(DebugChannelTest, TheModeChoosesFileAndViewer) {
  struct Case {
    uint8_t mode;
    bool file, viewer;
  } cases[] = {{0, false, true}, {1, true, false}, {2, true, true}, {3, false, false}, {255, false, false}};
  for (const auto& c : cases) {
    const DebugTargets t = DebugTargetsFor(c.mode);
    EXPECT_EQ(t.file, c.file) << int(c.mode);
    EXPECT_EQ(t.viewer, c.viewer) << int(c.mode);
  }
  EXPECT_FALSE(DebugTargetsFor(kDebugMode).file) << "the shipped mode never writes the debug file";
}

}  // namespace
}  // namespace tarnix
