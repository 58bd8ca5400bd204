// Inform mode: the agent installs nothing; it shows the news of the new
// version in the rich-edit box with a button to the download page, or
// opens the page at once, and then counts the version as known.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "package/Token.h"
#include "ui/RichEditBox.h"
#include "win/support/UpdateFixture.h"

namespace tarnix {
namespace {

using test::UpdateFixture;

constexpr char kInformName[] = "News.txt";

// The browser for http addresses while a test runs: the command the shell
// opens them with, restored afterwards.
class HttpBrowser {
 public:
  explicit HttpBrowser(const std::string& command) {
    char old[1024] = {};
    LONG length = sizeof old;
    hadOld_ = ::RegQueryValueA(HKEY_CLASSES_ROOT, kKey, old, &length) == ERROR_SUCCESS;
    old_ = old;
    ::RegSetValueA(HKEY_CLASSES_ROOT, kKey, REG_SZ, command.c_str(), static_cast<DWORD>(command.size()));
  }
  ~HttpBrowser() {
    if (hadOld_) ::RegSetValueA(HKEY_CLASSES_ROOT, kKey, REG_SZ, old_.c_str(), static_cast<DWORD>(old_.size()));
  }
  HttpBrowser(const HttpBrowser&) = delete;
  HttpBrowser& operator=(const HttpBrowser&) = delete;

 private:
  static constexpr char kKey[] = "http\\shell\\open\\command";
  bool hadOld_ = false;
  std::string old_;
};

class AutoInformTest : public UpdateFixture {
 protected:
  // The "browser": a batch file that records the address it was given.
  std::string BrowserPath() const { return dir_ / "browser.bat"; }
  std::string PageMark() const { return dir_ / "page-opened.txt"; }
  // The download page, a web address.
  std::string PageUrl() const { return server_.Url("/download.html"); }
  void WritePage() {
    ASSERT_TRUE(test::WriteBytes(BrowserPath(), "@echo %1> \"" + PageMark() + "\"\r\n"));
    browser_.emplace("\"" + BrowserPath() + "\" \"%1\"");
  }
  // The browser has written the address it got.
  bool PageOpened() const { return !test::ReadWholeFile(PageMark()).empty(); }

  // The inform file: a record whose second field is the product's token.
  static std::string InformFile(const std::string& token, const std::string& body) {
    return "news|" + ScrambleToken(token, 1234) + "|x|y|" + body;
  }

  void ServeInform(const std::string& content) {
    test::HttpResponse inform;
    inform.body = content;
    inform.contentType = "text/plain";
    server_.Serve("/updates/" + std::string(kInformName), inform);
  }

  std::string InformAnnouncement(size_t informSize, const std::string& link) const {
    std::string info = "[General]\r\nAutoInform=1\r\n";
    info += "[NewSetup]\r\nDownloadURL_UPDATE=" + ServerLocation() + "\r\nNameOfUpdateFile=" + test::kUpdateName +
            "\r\nVersionNew=2\r\nStamp=11\r\nRunningProcess=<InstallDir>SampleApp.exe\r\n"
            "ShutDownMethod=Using Terminate Process\r\n";
    info += "[AutoInform]\r\nNameOfInformFile=" + std::string(kInformName) +
            "\r\nSizeOfInformFile=" + std::to_string(informSize) + "\r\nDownloadURL_INFORM=" + link +
            "\r\nAutoInformW=420\r\nAutoInformH=300\r\n";
    return info;
  }

  // Version 1 with the product running, the announcement of version 2 in
  // inform mode, and the agent started; waits for the inform step's end.
  void RunInform(const std::string& informContent, const std::string& link) {
    InstallVersion1();
    WritePage();
    ServeInform(informContent);
    ServeInfo(InformAnnouncement(informContent.size(), link));
    firstProductPid_ = StartProduct();
    ASSERT_EQ(StartPlainAgent(), 0u);
    ASSERT_TRUE(WaitForXAgent());
  }

  bool InformEnded() const { return Logged("PerformAutoInform() - END"); }

  DWORD firstProductPid_ = 0;
  std::optional<HttpBrowser> browser_;
};

TEST_F(AutoInformTest, TheNewsAreShownAndTheButtonOpensTheDownloadPage) {
  RunInform(InformFile(test::kProductToken, "Version 2 is out.\r\nIt is faster."), PageUrl());
  std::optional<test::MsgBoxDriver> box;
  ASSERT_TRUE(WaitUntil(
      [&] {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(XAgentWindow(), &pid);
        box = test::MsgBoxDriver::WaitFor(pid, 0, kRichEditBoxClassName);
        return box.has_value();
      },
      60000));
  EXPECT_EQ(box->Title(), "New Version");
  EXPECT_EQ(box->ButtonCaptions(), std::vector<std::string>{"Download"});
  EXPECT_NE(box->Text().find("Version 2 is out."), std::string::npos) << box->Text();
  RECT r{};
  ::GetWindowRect(box->Window(), &r);
  EXPECT_EQ(r.right - r.left, 420);
  EXPECT_EQ(r.bottom - r.top, 300);
  ASSERT_TRUE(box->PressButton("Download"));
  ASSERT_TRUE(WaitUntil([&] { return InformEnded(); }, 20000));
  EXPECT_TRUE(Logged("PerformAutoInform() - END TRUE"));
  EXPECT_TRUE(WaitUntil([&] { return PageOpened(); }, 10000)) << "the page was not opened";
  EXPECT_NE(test::ReadWholeFile(PageMark()).find(PageUrl()), std::string::npos) << test::ReadWholeFile(PageMark());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
  EXPECT_EQ(UpdateRequests(), 0) << "inform mode never downloads the update";
  EXPECT_EQ(ProductPid(), firstProductPid_) << "inform mode stops nothing";
}

TEST_F(AutoInformTest, NewsWithoutTextOpenTheDownloadPageAtOnce) {
  RunInform(InformFile(test::kProductToken, "\r\n"), PageUrl());
  ASSERT_TRUE(WaitUntil([&] { return InformEnded(); }, 60000));
  EXPECT_TRUE(Logged("PerformAutoInform() - END TRUE"));
  EXPECT_TRUE(WaitUntil([&] { return PageOpened(); }, 10000));
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "2");
}

// The page is opened with the shell: an announcement may name a web
// address there, never a program, a file or a share.
TEST_F(AutoInformTest, APageThatIsNoWebAddressIsNeverOpened) {
  const std::string program = dir_ / "program.bat";
  const std::string mark = dir_ / "program-ran.txt";
  ASSERT_TRUE(test::WriteBytes(program, "@echo ran> \"" + mark + "\"\r\n"));
  RunInform(InformFile(test::kProductToken, "\r\n"), program);
  ASSERT_TRUE(WaitUntil([&] { return InformEnded(); }, 60000));
  EXPECT_TRUE(Logged("ERROR: DownloadURL_INFORM refused: " + program)) << Log();
  EXPECT_TRUE(Logged("PerformAutoInform() - END FALSE")) << Log();
  WaitUntil([] { return false; }, 2000);
  EXPECT_FALSE(test::PathExists(mark)) << "the program ran";
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

TEST_F(AutoInformTest, NoTextAndNoPageShowNothingAndKeepTheVersion) {
  RunInform(InformFile(test::kProductToken, ""), "");
  ASSERT_TRUE(WaitUntil([&] { return InformEnded(); }, 60000));
  EXPECT_TRUE(Logged("PerformAutoInform() - END FALSE"));
  EXPECT_TRUE(boxes_.empty()) << test::Describe(boxes_);
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
  EXPECT_EQ(Original("OriginalSetup", "Stamp"), "11") << "the announcement counts as seen";
}

TEST_F(AutoInformTest, NewsOfAnotherProductAreDeleted) {
  RunInform(InformFile("another-product", "Buy this."), PageUrl());
  ASSERT_TRUE(WaitUntil([&] { return InformEnded(); }, 60000));
  ASSERT_EQ(boxes_.size(), 1u) << test::Describe(boxes_);
  EXPECT_NE(boxes_[0].text.find("Bad Secret Token!"), std::string::npos) << boxes_[0].text;
  EXPECT_FALSE(test::PathExists(installDir_ + "\\" + kInformName));
  EXPECT_FALSE(PageOpened());
  EXPECT_EQ(Original("OriginalSetup", "VersionOriginal"), "1");
}

}  // namespace
}  // namespace tarnix
