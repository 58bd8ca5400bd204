// The trace formatters' lines on standard output.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Utils/Trace.h"

namespace tarnix {
namespace {

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    captured_.clear();
    saved_ = SetStandardOutput([](std::string_view text) { captured_ += text; });
  }
  void TearDown() override { SetStandardOutput(saved_); }
  static std::string Captured() { return captured_; }

 private:
  static inline std::string captured_;
  TextSink saved_ = nullptr;
};

TEST_F(TraceTest, ReportExceptionNamesWhereTheExtraTextWhenGivenAndTheMessage) {
  const std::runtime_error e("Access violation");
  ReportException(e, "YieldX", "");
  ReportException(e, "GetExeVersion", R"(C:\P\a.exe)");
  EXPECT_EQ(Captured(),
            " --- YieldX --- Access violation\n"
            " --- GetExeVersion --- C:\\P\\a.exe --- Access violation\n");
}

TEST_F(TraceTest, TraceValuesBracketsFourValues) {
  TraceValues("QueryValue", "a.exe", "FileVersion", "");
  EXPECT_EQ(Captured(), "[QueryValue]  [a.exe]  [FileVersion]  []\n");
}

TEST_F(TraceTest, TraceFormatsOneLine) {
  Trace("%lu ==== STUB START ====> %s<", 1234ul, "C:\\s.exe /hide %d");
  Trace("%s", "");
  Trace("%s", std::string(5000, 'z').c_str());
  EXPECT_EQ(Captured(), "1234 ==== STUB START ====> C:\\s.exe /hide %d<\n\n" + std::string(5000, 'z') + "\n");
}

}  // namespace
}  // namespace tarnix
