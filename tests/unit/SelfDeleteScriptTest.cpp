#include "startup/SelfDeleteScript.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

TEST(SelfDeleteScriptTest, RetriesUntilTheProgramIsGoneThenDeletesItself) {
  EXPECT_EQ(SelfDeleteScript("C:\\A B\\X_a.exe", "C:\\A B", "C:\\T\\_DEL_ME_.BAT", false),
            ":START\r\n"
            "DEL \"C:\\A B\\X_a.exe\"\r\n"
            "IF exist \"C:\\A B\\X_a.exe\" GOTO START\r\n"
            "DEL \"C:\\T\\_DEL_ME_.BAT\"\r\n");
}

TEST(SelfDeleteScriptTest, RemovesTheFolderWhenAsked) {
  EXPECT_EQ(SelfDeleteScript("C:\\T\\SETUP_9\\Y_s.exe", "C:\\T\\SETUP_9", "C:\\T\\_DEL_ME_.BAT", true),
            ":START\r\n"
            "DEL \"C:\\T\\SETUP_9\\Y_s.exe\"\r\n"
            "IF exist \"C:\\T\\SETUP_9\\Y_s.exe\" GOTO START\r\n"
            "RD \"C:\\T\\SETUP_9\"\r\n"
            "DEL \"C:\\T\\_DEL_ME_.BAT\"\r\n");
}

TEST(SelfDeleteScriptTest, EveryProcessWritesAScriptOfItsOwn) {
  EXPECT_EQ(SelfDeleteBatchName(4242), "_DEL_ME_4242.BAT");
  EXPECT_NE(SelfDeleteBatchName(1), SelfDeleteBatchName(2));
}

}  // namespace
}  // namespace tarnix
