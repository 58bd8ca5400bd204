// The update as a vendor ships it: version 1 of the sample product runs
// with its agent; version 2 and its announcement lie on the update
// location; the agent asks, downloads, checks the token, stops the
// product, installs version 2, records it, restarts the product and
// replaces itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::UpdateFixture;

class UpdateCycleTest : public UpdateFixture {
 protected:
  // Installs version 1, starts the product and the agent, and waits until
  // the agent's update cycle has ended.
  void RunUpdate(const std::string& info, const std::string& productClose = "close") {
    InstallVersion1(productClose);
    ServeInfo(info);
    firstProductPid_ = StartProduct();
    ASSERT_EQ(StartPlainAgent(), 0u);
    ASSERT_TRUE(WaitForXAgent());
    ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END"); }, 90000)) << Log();
  }

  DWORD firstProductPid_ = 0;
};

TEST_F(UpdateCycleTest, TheWholeUpdateAsksInstallsRestartsTheProductAndReplacesTheAgent) {
  const std::string setup = BuildVersion2();
  ServeUpdate(setup);
  answer_ = AnswerYes;
  RunUpdate(Announcement(setup));
  HWND oldAgent = XAgentWindow();

  EXPECT_TRUE(Logged("PerformAutoUpdate() - END    Result=TRUE")) << Log();
  ASSERT_EQ(boxes_.size(), 3u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find("A new version of Sample App is available. Download it now?"), std::string::npos)
      << boxes_[0].text;
  EXPECT_NE(boxes_[1].text.find("Install Sample App now?"), std::string::npos) << boxes_[1].text;
  EXPECT_EQ(boxes_[2].text, "Sample App has been updated. Start it again?");
  EXPECT_EQ(UpdateRequests(), 1);

  // Version 2 installed by its setup, with the agent's switches.
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_TRUE(InstalledVersion2());
  auto record = SetupRecord();
  EXPECT_EQ(record["Completed"], "1");
  EXPECT_NE(record["CommandLine"].find("/OriginalInfoFile=\"" + InfoPath() + "\""), std::string::npos)
      << record["CommandLine"];
  EXPECT_NE(record["CommandLine"].find("/AutoUpdateProg"), std::string::npos) << record["CommandLine"];
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + test::kUpdateName)) << "the downloaded setup stays";

  // The product was closed and runs again, as version 2.
  const std::string appRecord = test::ReadWholeFile(ProductRecordPath());
  EXPECT_NE(appRecord.find("Ended=WM_CLOSE"), std::string::npos) << appRecord;
  ASSERT_TRUE(WaitUntil([&] { return ProductPid() != 0 && ProductPid() != firstProductPid_; }, 20000));
  EXPECT_NE(test::ReadWholeFile(ProductRecordPath()).find("Started=2"), std::string::npos);

  // A fresh agent takes over once this one has gone.
  EXPECT_TRUE(Logged(".. WinExec - \"" + AgentPath() + "\" /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|255|255|"))
      << Log();
  ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != oldAgent || !XAgentWindow(); }, 20000));
  ASSERT_TRUE(WaitUntil([&] { return XAgentWindow() != nullptr && XAgentWindow() != oldAgent; }, 40000))
      << "no fresh agent after the update";
  EXPECT_TRUE(test::PathExists(XAgentPath()));
  StopXAgent();
}

}  // namespace
}  // namespace tarnix
