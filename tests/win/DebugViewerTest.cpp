// The debug viewer program: it owns the viewer window, writes what it
// receives in order to its output file, keeps only the channel asked for,
// and ends when its window is closed or its time is up.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DebugTestSupport.h"
#include "Utils/DebugChannel.h"

namespace tarnix {
namespace {

class DebugViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    viewer_ = test::PathFromEnv("TARNIX_DEBUG_VIEWER_EXE");
    stub_ = test::PathFromEnv("TARNIX_STUB_EXE");
    ASSERT_FALSE(viewer_.empty()) << "TARNIX_DEBUG_VIEWER_EXE is not set";
    ASSERT_EQ(::FindWindowA(kDebugViewerClass, nullptr), nullptr) << "another debug viewer runs";
  }

  void TearDown() override {
    if (process_) {
      ::TerminateProcess(process_.get(), 1);
      ::WaitForSingleObject(process_.get(), 10000);
    }
  }

  // Starts the viewer and waits for its window.
  HWND StartViewer(const std::string& args) {
    std::string commandLine = "\"" + viewer_ + "\" " + args;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(viewer_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
      ADD_FAILURE() << "CreateProcessA failed with " << ::GetLastError();
      return nullptr;
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    for (int i = 0; i < 200; ++i) {
      if (HWND window = ::FindWindowA(kDebugViewerClass, nullptr)) return window;
      if (::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) break;
    }
    ADD_FAILURE() << "the viewer window did not appear";
    return nullptr;
  }

  // Waits for the viewer to end; its exit code, or -1 when it does not.
  long WaitForExit(DWORD timeoutMs) {
    if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 1;
    ::GetExitCodeProcess(process_.get(), &code);
    process_.reset();
    return static_cast<long>(code);
  }

  std::string viewer_, stub_;
  UniqueHandle process_;
  test::ScratchDir dir_;
};

void SendOnChannel(HWND viewer, uint16_t channel, const std::string& text) {
  UniqueGlobalAtom atom(::GlobalAddAtomA(text.c_str()));
  ASSERT_TRUE(atom);
  ::SendMessageA(viewer, ::RegisterWindowMessageA(kDebugViewerMessage), channel, atom.get());
}

TEST_F(DebugViewerTest, WritesTheChosenChannelInOrderUntilItsWindowIsClosed) {
  const std::string out = dir_ / "channel1.txt";
  const HWND window = StartViewer("--out \"" + out + "\" --channel 1");
  ASSERT_NE(window, nullptr);

  DispatchDebugText("first\r\n");
  SendOnChannel(window, 2, "other channel\r\n");
  DispatchDebugText(std::string(128, 'x'));
  DispatchDebugText("last\r\n");
  ASSERT_FALSE(stub_.empty()) << "TARNIX_STUB_EXE is not set";
  const test::ProcessRun run = test::RunPumping(stub_, "\"" + stub_ + "\"");
  ASSERT_TRUE(run.ended);

  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForExit(20000), 0);
  const std::string text = test::ReadWholeFile(out);
  const std::string pid = std::to_string(run.processId);
  const std::string sentFirst = "first\r\n" + std::string(128, 'x') + "last\r\n";
  EXPECT_EQ(text.substr(0, sentFirst.size()), sentFirst);
  EXPECT_NE(text.find(pid + " ==== STUB START ====> "), std::string::npos) << text;
  EXPECT_NE(text.find(pid + " ==== STUB END ====> "), std::string::npos) << text;
  EXPECT_EQ(text.find("other channel"), std::string::npos);
}

TEST_F(DebugViewerTest, EndsByItselfWhenItsTimeIsUp) {
  const std::string out = dir_ / "timed.txt";
  ASSERT_NE(StartViewer("--out \"" + out + "\" --seconds 1"), nullptr);
  EXPECT_EQ(WaitForExit(30000), 0);
}

TEST_F(DebugViewerTest, RefusesBadArgumentsWithoutOpeningAWindow) {
  for (const char* args : {"--channel", "--channel 70000", "--seconds 0", "--seconds x", "--bogus 1", "--out \"\""}) {
    SCOPED_TRACE(args);
    std::string commandLine = "\"" + viewer_ + "\" " + args;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessA(viewer_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &started));
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    EXPECT_EQ(WaitForExit(20000), 2);
  }
}

}  // namespace
}  // namespace tarnix
