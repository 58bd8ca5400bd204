// The debug channel between processes and windows: pieces reach a viewer
// window through global atoms, the modes choose file and viewer, nothing
// happens without a viewer, and the stub's banners arrive while it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugTestSupport.h"
#include "Utils/DebugChannel.h"
#include "Utils/Trace.h"

namespace tarnix {
namespace {

using test::CrLfLines;
using test::PieceCollector;

bool ViewerRunning() { return ::FindWindowA(kDebugViewerClass, nullptr) != nullptr; }

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The process's standard output goes to the debug channel for the test's
// length only; the test runner keeps its console.
class InstalledDebugOutput {
 public:
  InstalledDebugOutput() : previous_(InstallDebugOutput()) {}
  ~InstalledDebugOutput() { SetStandardOutput(previous_); }
  InstalledDebugOutput(const InstalledDebugOutput&) = delete;
  InstalledDebugOutput& operator=(const InstalledDebugOutput&) = delete;

 private:
  TextSink previous_;
};

TEST(DebugChannelWinTest, StandardOutputReachesTheViewerIn128CharacterPiecesOnChannel1) {
  ASSERT_FALSE(ViewerRunning()) << "another debug viewer runs";
  PieceCollector viewer;
  ASSERT_NE(viewer.Window(), nullptr);
  {
    InstalledDebugOutput installed;
    Trace("%s", std::string(300, 'q').c_str());
    TraceValues("QueryValue", "a.exe", "FileVersion", "1.0.0.1");
  }
  const auto& pieces = viewer.Pieces();
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].text, std::string(128, 'q'));
  EXPECT_EQ(pieces[1].text, std::string(128, 'q'));
  EXPECT_EQ(pieces[2].text, std::string(44, 'q') + "\r\n");
  EXPECT_EQ(pieces[3].text, "[QueryValue]  [a.exe]  [FileVersion]  [1.0.0.1]\r\n");
  for (const auto& p : pieces) EXPECT_EQ(p.channel, kDebugChannelId);
}

TEST(DebugChannelWinTest, TheAtomLivesWhileTheViewerReadsAndIsGoneAfterTheSend) {
  ASSERT_FALSE(ViewerRunning()) << "another debug viewer runs";
  const std::string text = "Tarnix atom check 7d3f\r\n";
  bool foundDuringSend = false;
  DebugReceiver viewer([&](uint16_t, const std::string& received) {
    foundDuringSend = received == text && ::GlobalFindAtomA(text.c_str()) != 0;
  });
  ASSERT_NE(viewer.Window(), nullptr);
  DispatchDebugText(text);
  EXPECT_TRUE(foundDuringSend);
  EXPECT_EQ(::GlobalFindAtomA(text.c_str()), 0);
}

TEST(DebugChannelWinTest, TheModeChoosesTheDebugFileTheViewerBothOrNothing) {
  ASSERT_FALSE(ViewerRunning()) << "another debug viewer runs";
  test::ScratchDir dir;
  struct Case {
    uint8_t mode;
    bool file, viewer;
  } cases[] = {{0, false, true}, {1, true, false}, {2, true, true}, {3, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    const std::string debugFile = dir / ("debug" + std::to_string(c.mode) + ".txt");
    PieceCollector viewer;
    DispatchDebugTextTo("a\nb\rc\r\n", c.mode, debugFile.c_str());
    DispatchDebugTextTo("d\n", c.mode, debugFile.c_str());
    EXPECT_EQ(FileExists(debugFile), c.file);
    if (c.file) {
      EXPECT_EQ(test::ReadWholeFile(debugFile), "a\r\nb\r\nc\r\nd\r\n") << "appended, line ends CR LF";
    }
    if (c.viewer) {
      ASSERT_EQ(viewer.Pieces().size(), 2u);
      EXPECT_EQ(viewer.Pieces()[0].text, "a\nb\rc\r\n") << "the viewer gets the text unchanged";
    } else {
      EXPECT_TRUE(viewer.Pieces().empty());
    }
  }
}

TEST(DebugChannelWinTest, WithoutAViewerWritingHasNoEffectAndCreatesNoFile) {
  ASSERT_FALSE(ViewerRunning()) << "another debug viewer runs";
  const bool debugFileExisted = FileExists(kDebugFile);
  const int64_t sizeBefore = debugFileExisted ? test::ReadWholeFile(kDebugFile).size() : 0;
  {
    InstalledDebugOutput installed;
    Trace("nobody listens %d", 1);
  }
  DispatchDebugText("nobody listens 2\r\n");
  ASSERT_EQ(FileExists(kDebugFile), debugFileExisted);
  if (debugFileExisted) {
    EXPECT_EQ(static_cast<int64_t>(test::ReadWholeFile(kDebugFile).size()), sizeBefore);
  }
}

TEST(DebugChannelWinTest, TheStubSendsItsStartAndEndBannersToARunningViewer) {
  const std::string stub = test::PathFromEnv("TARNIX_STUB_EXE");
  ASSERT_FALSE(stub.empty()) << "TARNIX_STUB_EXE is not set";
  ASSERT_FALSE(ViewerRunning()) << "another debug viewer runs";
  PieceCollector viewer;
  ASSERT_NE(viewer.Window(), nullptr);

  // Long enough that each banner is cut into pieces.
  const std::string commandLine = "\"" + stub + "\" /hide /Banner=" + std::string(150, 'b');
  const test::ProcessRun run = test::RunPumping(stub, commandLine);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);

  for (const auto& p : viewer.Pieces()) {
    EXPECT_LE(p.text.size(), kDebugBufferSize);
    EXPECT_EQ(p.channel, kDebugChannelId);
  }
  const std::vector<std::string> lines = CrLfLines(viewer.Joined());
  // The setup run of a stub without a package traces its steps in between.
  ASSERT_GE(lines.size(), 4u) << viewer.Joined();
  const std::string pid = std::to_string(run.processId);
  EXPECT_EQ(lines[0], pid + " ==== STUB START ====> " + commandLine + "<");
  EXPECT_EQ(lines[1], pid + " ==== ThisIs_AutoUpdateProg=FALSE");
  EXPECT_EQ(lines[lines.size() - 2], pid + " ==== STUB END ====> " + commandLine + "<");
  EXPECT_EQ(lines.back(), "");
}

}  // namespace
}  // namespace tarnix
