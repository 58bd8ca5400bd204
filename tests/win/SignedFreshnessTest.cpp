// Signed announcements that cannot be frozen or rolled back, and vendor keys
// that rotate, through the resident agent against the loopback server: a
// replayed lower [Signature] Serial is refused and reported once, an
// announcement expired beyond the day's tolerance is refused and one within
// it accepted, a package with two keys accepts either key's signature and
// no third's, an update that brings the next key moves the agent to the new
// pair, and an oversize announcement is refused before it is read.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <string>

#include "autoupdate/AnnouncementFreshness.h"
#include "package/TGFileInfo.h"
#include "win/support/TestSigner.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::UpdateFixture;

constexpr char kStaleRefused[] = "is signed by the vendor but is not the current one, and was refused.";

class SignedFreshnessTest : public UpdateFixture {
 protected:
  void SetUp() override {
    UpdateFixture::SetUp();
    publicKey_ = signer_.PublicKeyHex();
  }

  // An announcement of version 2, which an installed version 3 never acts
  // on, with its serial and expiry; "" leaves a key out.
  std::string Body(const std::string& serial, const std::string& expires = "") const {
    std::string body = Announcement(setup_, {{"Stamp", "8"},
                                             {"RequestConfirmationBeforeDownload", "0"},
                                             {"RequestConfirmationBeforeInstall", "0"}});
    if (!serial.empty() || !expires.empty()) body += "[Signature]\r\n";
    if (!serial.empty()) body += "Serial=" + serial + "\r\n";
    if (!expires.empty()) body += "Expires=" + expires + "\r\n";
    return body;
  }

  // Version 3 installed (nothing is ever installed), probed every 2 seconds.
  void StartProbing() {
    setup_ = dir_ / "out\\placeholder.exe";
    ASSERT_TRUE(test::WriteBytes(setup_, std::string(1000, 'x')));
    InstallVersion1("close", 2);
    SetOriginal("OriginalSetup", "VersionOriginal", "3");
    ASSERT_EQ(StartPlainAgent(), 0u);
    ASSERT_TRUE(WaitForXAgent());
  }

  // Waits for `count` more probes.
  void WaitProbes(int count) {
    const int probes = LogCount("GetOkToPerformAU = ");
    ASSERT_TRUE(WaitUntil([&] { return LogCount("GetOkToPerformAU = ") >= probes + count; }, 60000)) << Log();
  }

  // The log lines holding `text`, but the probe's last line (which says
  // what every probe came to).
  int LinesWith(const std::string& text) const {
    int n = 0;
    for (const std::string& line : test::CrLfLines(Log()))
      n += line.find(text) != std::string::npos && line.find("ProbeResult=") == std::string::npos;
    return n;
  }

  static int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

  test::TestSigner signer_;
  std::string setup_;
};

// A lower serial than one accepted is an old announcement replayed: refused,
// logged and shown once however often it is served; the same serial again is
// no replay, and a higher one is accepted after the refusals.
TEST_F(SignedFreshnessTest, AReplayedLowerSerialIsRefusedAndReportedOnce) {
  StartProbing();
  ServeInfo(signer_.Signed(Body("7")));
  ASSERT_TRUE(WaitUntil([&] { return LogCount("Announcement: signed by the vendor, serial 7") >= 2; }, 60000))
      << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialStateKey), "7");
  EXPECT_EQ(Original("OriginalSetup", kSerialKeyStateKey), signer_.PublicKeyHex());

  ServeInfo(signer_.Signed(Body("6")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("its serial 6 is below 7"); }, 60000)) << Log();
  WaitProbes(3);
  const std::string reason = "its serial 6 is below 7, the highest accepted: an older announcement replayed";
  EXPECT_EQ(LinesWith("ERROR: Announcement refused: " + reason), 2) << "the refusal and the download's line\n"
                                                                    << Log();
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find(kStaleRefused), std::string::npos) << boxes_[0].text;
  EXPECT_NE(boxes_[0].text.find(reason), std::string::npos) << boxes_[0].text;
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), "") << "the refused announcement is kept";

  // Served without a serial, the old file is refused too.
  ServeInfo(signer_.Signed(Body("")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("it carries no serial, but serial 7 was accepted"); }, 60000)) << Log();

  ServeInfo(signer_.Signed(Body("8")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement: signed by the vendor, serial 8"); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialStateKey), "8");
  EXPECT_EQ(Original("OriginalSetup", kStaleStateKey), "");
  EXPECT_EQ(boxes_.size(), 2u) << test::Describe(boxes_);
  EXPECT_EQ(UpdateRequests(), 0);
  StopXAgent();
}

// A check the user asks for says why, in the box, even when the automatic
// probes reported that announcement already.
TEST_F(SignedFreshnessTest, AUsersCheckSaysItInTheResultBox) {
  setup_ = dir_ / "out\\placeholder.exe";
  ASSERT_TRUE(test::WriteBytes(setup_, std::string(1000, 'x')));
  InstallVersion1("close", -1);
  SetOriginal("OriginalSetup", "VersionOriginal", "3");
  SetOriginal("OriginalSetup", kSerialStateKey, "7");
  SetCheckQuestion("Check now?");
  SetOriginal("AutoUpdate", "s21", "No new version.");
  const std::string info = signer_.Signed(Body("5"));
  SetOriginal("OriginalSetup", kStaleStateKey, LowerHex(SplitSignedText(info).signature).substr(0, 32));
  ServeInfo(info);
  answer_ = AnswerYes;
  ASSERT_EQ(StartPlainAgent("/TEST=2"), 0u);
  ASSERT_TRUE(WaitForXAgent());
  ASSERT_TRUE(WaitUntil([&] { return boxes_.size() >= 2; }, 60000)) << test::Describe(boxes_) << Log();
  EXPECT_EQ(boxes_[0].text, "Check now?");
  EXPECT_NE(boxes_[1].text.find(kStaleRefused), std::string::npos) << boxes_[1].text;
  EXPECT_NE(boxes_[1].text.find("its serial 5 is below 7"), std::string::npos) << boxes_[1].text;
  ::Sleep(2000);
  EXPECT_EQ(boxes_.size(), 2u) << "a second answer\n" << test::Describe(boxes_);
  StopXAgent();
}

// An announcement whose Expires has passed by more than a day is what a
// server that froze the agent keeps serving: refused once; one that passed
// by less (a wrong clock) is accepted.
TEST_F(SignedFreshnessTest, AnExpiredAnnouncementIsRefusedOneWithinTheToleranceAccepted) {
  StartProbing();
  const std::string expired = UtcText(Now() - kClockTolerance - 3600);
  ServeInfo(signer_.Signed(Body("3", expired)));
  ASSERT_TRUE(WaitUntil([&] { return Logged("it expired at " + expired); }, 60000)) << Log();
  WaitProbes(2);
  EXPECT_EQ(LinesWith("ERROR: Announcement refused: it expired at " + expired), 2) << Log();
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find(kStaleRefused), std::string::npos) << boxes_[0].text;
  EXPECT_EQ(Original("OriginalSetup", kSerialStateKey), "") << "a refused serial is not kept";

  const std::string lately = UtcText(Now() - kClockTolerance + 3600);
  ServeInfo(signer_.Signed(Body("3", lately)));
  ASSERT_TRUE(WaitUntil([&] { return Logged("signed by the vendor, serial 3, expires " + lately); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialStateKey), "3");
  EXPECT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  StopXAgent();
}

// A package with the current and the next key accepts a signature by
// either, and none by a third key.
TEST_F(SignedFreshnessTest, EitherKeyOfThePairSignsAThirdDoesNot) {
  const test::TestSigner next, third;
  publicKey_ = signer_.PublicKeyHex() + next.PublicKeyHex();
  StartProbing();
  ServeInfo(next.Signed(Body("1")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement: signed by the vendor, serial 1"); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialKeyStateKey), next.PublicKeyHex());
  ServeInfo(third.Signed(Body("2")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement refused: the signature does not match"); }, 60000))
      << Log();
  ServeInfo(signer_.Signed(Body("2")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement: signed by the vendor, serial 2"); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialStateKey), "2");
  EXPECT_EQ(Original("OriginalSetup", kSerialKeyStateKey), signer_.PublicKeyHex());
  EXPECT_EQ(UpdateRequests(), 0);
  StopXAgent();
}

// The rotation: version 1's agent knows the old key only; the update it
// installs, signed with that key, carries the new pair (the old key and
// the next). Its agent accepts announcements by the next key, and still by
// the old one, but not by a key outside the pair.
TEST_F(SignedFreshnessTest, AnUpdateThatBringsTheNextKey) {
  const test::TestSigner next, outsider;
  publicKey_ = signer_.PublicKeyHex() + next.PublicKeyHex();
  const std::string setup = BuildVersion2();
  publicKey_ = signer_.PublicKeyHex();
  ServeUpdate(setup);
  InstallVersion1("close", 2);
  ServeInfo(signer_.Signed(Announcement(setup, {{kUpdateHashKey, test::TestSigner::Sha256HexOfFile(setup)},
                                                {"RequestConfirmationBeforeDownload", "0"},
                                                {"RequestConfirmationBeforeInstall", "0"},
                                                {"InformFinish", "0"}}) +
                           "[Signature]\r\nSerial=1\r\n"));
  const DWORD firstProduct = StartProduct();
  ASSERT_EQ(StartPlainAgent(), 0u);
  HWND oldAgent = WaitForXAgent();
  ASSERT_TRUE(oldAgent);
  ASSERT_TRUE(WaitUntil([&] { return Logged("PerformAutoUpdate() - END    Result=TRUE"); }, 90000)) << Log();
  EXPECT_EQ(TGFileInfo(AgentPath()).PublicKey(), signer_.PublicKeyHex() + next.PublicKeyHex());
  ASSERT_TRUE(WaitUntil(
      [&] {
        HWND now = XAgentWindow();
        return now != nullptr && now != oldAgent;
      },
      40000))
      << Log();
  (void)firstProduct;

  setup_ = setup;
  ServeInfo(next.Signed(Body("2")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement: signed by the vendor, serial 2"); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", kSerialKeyStateKey), next.PublicKeyHex());
  ServeInfo(outsider.Signed(Body("3")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement refused: the signature does not match"); }, 60000))
      << Log();
  ServeInfo(signer_.Signed(Body("3")));
  ASSERT_TRUE(WaitUntil([&] { return Logged("Announcement: signed by the vendor, serial 3"); }, 60000)) << Log();
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_EQ(UpdateRequests(), 1);
  StopXAgent();
}

// An announcement above 64 KB is refused before any of it is read: by its
// length when the server gives one, else at the limit; nothing of it is kept.
TEST_F(SignedFreshnessTest, AnOversizeAnnouncementIsRefusedUnread) {
  StartProbing();
  const std::string big = signer_.Signed(Body("1") + "; " + std::string(70000, 'x') + "\r\n");
  test::HttpResponse withLength;
  withLength.body = big;
  withLength.contentType = "text/plain";
  server_.Serve("/updates/" + std::string(test::kInfoName), withLength);
  ASSERT_TRUE(WaitUntil([&] { return Logged("bytes, more than the 65536 allowed"); }, 60000)) << Log();
  EXPECT_TRUE(Logged("the server sends " + std::to_string(big.size()) + " bytes, more than the 65536 allowed"))
      << Log();

  test::HttpResponse noLength = withLength;
  noLength.sendLength = false;
  server_.Serve("/updates/" + std::string(test::kInfoName), noLength);
  ASSERT_TRUE(WaitUntil([&] { return Logged("Error downloading file (more than 65536 bytes)"); }, 60000)) << Log();
  WaitProbes(1);
  EXPECT_EQ(test::ReadWholeFile(InfoPath()), "");
  EXPECT_FALSE(Logged("Announcement: signed by the vendor")) << Log();
  EXPECT_FALSE(Logged("Announcement refused")) << "it was never parsed\n" << Log();
  StopXAgent();
}

}  // namespace
}  // namespace tarnix
