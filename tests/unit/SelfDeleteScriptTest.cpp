#include "startup/SelfDeleteScript.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

// The loop pauses a second between tries instead of spinning a core.
TEST(SelfDeleteScriptTest, RetriesUntilTheProgramIsGoneThenDeletesItself) {
  EXPECT_EQ(SelfDeleteScript("C:\\A B\\X_a.exe.77.old", "C:\\A B", "C:\\T\\_DEL_ME_.BAT", false),
            ":START\r\n"
            "DEL \"C:\\A B\\X_a.exe.77.old\"\r\n"
            "IF not exist \"C:\\A B\\X_a.exe.77.old\" GOTO DONE\r\n"
            "PING -n 2 127.0.0.1 >NUL\r\n"
            "GOTO START\r\n"
            ":DONE\r\n"
            "DEL \"C:\\T\\_DEL_ME_.BAT\"\r\n");
}

TEST(SelfDeleteScriptTest, RemovesTheFolderWhenAsked) {
  EXPECT_EQ(SelfDeleteScript("C:\\T\\SETUP_9\\Y_s.exe", "C:\\T\\SETUP_9", "C:\\T\\_DEL_ME_.BAT", true),
            ":START\r\n"
            "DEL \"C:\\T\\SETUP_9\\Y_s.exe\"\r\n"
            "IF not exist \"C:\\T\\SETUP_9\\Y_s.exe\" GOTO DONE\r\n"
            "PING -n 2 127.0.0.1 >NUL\r\n"
            "GOTO START\r\n"
            ":DONE\r\n"
            "RD \"C:\\T\\SETUP_9\"\r\n"
            "DEL \"C:\\T\\_DEL_ME_.BAT\"\r\n");
}

// The ending executable's name of its own, which no new copy ever takes.
TEST(SelfDeleteScriptTest, AnEndingExecutableIsParkedUnderANameOfItsProcess) {
  EXPECT_EQ(ParkedExeName("C:\\P\\X_Agent.exe", 4242), "C:\\P\\X_Agent.exe.4242.old");
  EXPECT_NE(ParkedExeName("C:\\P\\X_Agent.exe", 1), ParkedExeName("C:\\P\\X_Agent.exe", 2));
}

// cmd.exe expands "%" in a script even within quotes.
TEST(SelfDeleteScriptTest, PercentSignsInPathsAreDoubled) {
  EXPECT_EQ(SelfDeleteScript("C:\\Users\\J\xFCrgen\\100%\\X_a.exe", "C:\\Users\\J\xFCrgen\\100%",
                             "C:\\T%TEMP%\\_DEL_ME_.BAT", true),
            ":START\r\n"
            "DEL \"C:\\Users\\J\xFCrgen\\100%%\\X_a.exe\"\r\n"
            "IF not exist \"C:\\Users\\J\xFCrgen\\100%%\\X_a.exe\" GOTO DONE\r\n"
            "PING -n 2 127.0.0.1 >NUL\r\n"
            "GOTO START\r\n"
            ":DONE\r\n"
            "RD \"C:\\Users\\J\xFCrgen\\100%%\"\r\n"
            "DEL \"C:\\T%%TEMP%%\\_DEL_ME_.BAT\"\r\n");
}

TEST(SelfDeleteScriptTest, EveryProcessWritesAScriptOfItsOwn) {
  EXPECT_EQ(SelfDeleteBatchName(4242), "_DEL_ME_4242.BAT");
  EXPECT_NE(SelfDeleteBatchName(1), SelfDeleteBatchName(2));
}

}  // namespace
}  // namespace tarnix
