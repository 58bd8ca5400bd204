// The agent's settings files through their accessors: where they lie, the
// defaults of missing files and keys, decimal-only integers, "1"-only
// switches under the transient overrides, the writers with their readable
// companions, files that cannot be written, and values longer than the
// read buffer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/UniqueResource.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/TransientOverrides.h"
#include "win/support/AgentFilesFixture.h"

namespace tarnix {
namespace {

using test::ReadWholeFile;

class SettingsFilesTest : public test::AgentFilesFixture {};

struct TextCase {
  const char* name;
  std::function<std::string()> read;
  std::string expected;
};

struct IntCase {
  const char* name;
  std::function<int64_t()> read;
  int64_t expected;
};

struct SwitchCase {
  const char* name;
  std::function<bool()> read;
  bool expected;
};

void ExpectTexts(const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) EXPECT_EQ(c.read(), c.expected) << c.name;
}
void ExpectInts(const std::vector<IntCase>& cases) {
  for (const IntCase& c : cases) EXPECT_EQ(c.read(), c.expected) << c.name;
}
void ExpectSwitches(const std::vector<SwitchCase>& cases) {
  for (const SwitchCase& c : cases) EXPECT_EQ(c.read(), c.expected) << c.name;
}

TEST_F(SettingsFilesTest, BothFilesLieBesideTheExecutableNamedFromTheSettingsBlock) {
  EXPECT_EQ(OriginalFilePath(), original_);
  EXPECT_EQ(InfoFilePath(), info_);
}

TEST_F(SettingsFilesTest, MissingFilesReadAsTheDefaults) {
  ExpectInts({
      {"ProbeSecondsInterval", ProbeSecondsInterval, 0},
      {"ProbeSecondsLast", ProbeSecondsLast, 0},
      {"ReAskSecondsInterval", ReAskSecondsInterval, 0},
      {"ReAskSecondsLast", ReAskSecondsLast, 0},
      {"VersionOriginal", VersionOriginal, 0},
      {"OriginalStamp", OriginalStamp, 0},
      {"MsgBoxCharSet", MsgBoxCharSet, 0},
      {"MsgBoxFontSize", MsgBoxFontSize, 8},
      {"SizeOfUpdateFile", SizeOfUpdateFile, 0},
      {"VersionNew", VersionNew, 0},
      {"NewStamp", NewStamp, 0},
      {"SizeOfInformFile", SizeOfInformFile, 0},
      {"AutoInformW", AutoInformW, 360},
      {"AutoInformH", AutoInformH, 360},
  });
  ExpectTexts({
      {"OriginalProgramName", OriginalProgramName, ""},
      {"TargetDir", TargetDir, ""},
      {"SharedDir", SharedDir, ""},
      {"AuxiliaryDir", AuxiliaryDir, ""},
      {"StartUpLink", StartUpLink, ""},
      {"CheckforNewUpdateLink", CheckforNewUpdateLink, ""},
      {"MsgBoxButtons", MsgBoxButtons, "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"},
      {"MsgBoxErrorTitle", MsgBoxErrorTitle, "Error"},
      {"MsgBoxConfirmTitle", MsgBoxConfirmTitle, "Confirm"},
      {"MsgBoxAttentionTitle", MsgBoxAttentionTitle, "Attention"},
      {"MsgBoxFontName", MsgBoxFontName, "Tahoma"},
      {"AgentText s3", [] { return AgentText("s3"); }, "File Download Aborted!"},
      {"AgentText s11", [] { return AgentText("s11"); }, "A new version of PROG_NAME is available.<P>"},
      {"DownloadURL_UPDATE", DownloadURL_UPDATE, ""},
      {"NameOfUpdateFile", NameOfUpdateFile, ""},
      {"ShutDownMethod", ShutDownMethod, ""},
      {"RunningProcess", RunningProcess, ""},
      {"NewProgramName", NewProgramName, ""},
      {"ValidVersions", ValidVersions, ""},
      {"DownloadURL_INFORM", DownloadURL_INFORM, ""},
      {"NameOfInformFile", NameOfInformFile, ""},
  });
  ExpectSwitches({
      {"RemoveStartUpShortcut", RemoveStartUpShortcut, false},
      {"RemoveCheckForNewUpdateShortcut", RemoveCheckForNewUpdateShortcut, false},
      {"AutoInform", AutoInform, false},
      {"RequestConfirmationBeforeDownload", RequestConfirmationBeforeDownload, false},
      {"RequestConfirmationBeforeDownloadForce", RequestConfirmationBeforeDownloadForce, false},
      {"RequestConfirmationBeforeInstall", RequestConfirmationBeforeInstall, false},
      {"RequestConfirmationBeforeInstallForce", RequestConfirmationBeforeInstallForce, false},
      {"BackgroundUpdate", BackgroundUpdate, false},
      {"InformFinish", InformFinish, false},
      {"RestartProcess", RestartProcess, false},
  });
}

TEST_F(SettingsFilesTest, EveryKeyIsReadFromItsSection) {
  WriteOriginal(
      "[OriginalSetup]\r\nProbeSecondsInterval=86400\r\nProbeSecondsLast=3900000000\r\nReAskSecondsInterval=-1\r\n"
      "ReAskSecondsLast=3900000001\r\nVersionOriginal=105\r\nStamp=7\r\nProgramName=Sample Product\r\n"
      "[Directories]\r\nTargetDir=C:\\Program Files\\Sample\r\nSharedDir=C:\\Common\r\nAuxiliaryDir=D:\\Aux\r\n"
      "[UnInstall]\r\nStartUpLink=C:\\Start\\Sample.lnk\r\nCheckforNewUpdateLink=C:\\Start\\Check.lnk\r\n"
      "[MsgBox]\r\nBtnText=*Ja*Nein*\r\nError=Fehler\r\nConfirm=Frage\r\nAttention=Achtung\r\nCharSet=177\r\n"
      "FontName=Arial\r\nFontSize=10\r\n"
      "[AutoUpdate]\r\ns14=Install <B>PROG_NAME</B> now?\r\ns31=Fetching...\r\n");
  WriteInfo(
      "[NewSetup]\r\nDownloadURL_UPDATE=http://updates.example/v2\r\nNameOfUpdateFile=Setup2.exe\r\n"
      "SizeOfUpdateFile=123456\r\nShutDownMethod=Using WM_CLOSE\r\nRunningProcess=<InstallDir>Sample.exe\r\n"
      "ProgramName=Sample 2\r\nVersionNew=106\r\nStamp=8\r\nValidVersions=104,105\r\n"
      "RemoveStartUpShortcut=1\r\nRemoveCheckForNewUpdateShortcut=1\r\nRequestConfirmationBeforeDownload=1\r\n"
      "RequestConfirmationBeforeDownloadForce=1\r\nRequestConfirmationBeforeInstall=1\r\n"
      "RequestConfirmationBeforeInstallForce=1\r\nBackgroundUpdate=1\r\nInformFinish=1\r\nRestartProcess=1\r\n"
      "[General]\r\nAutoInform=1\r\n"
      "[AutoInform]\r\nDownloadURL_INFORM=http://example/new\r\nNameOfInformFile=News.txt\r\n"
      "SizeOfInformFile=321\r\nAutoInformW=500\r\nAutoInformH=400\r\n");
  ExpectInts({
      {"ProbeSecondsInterval", ProbeSecondsInterval, 86400},
      {"ProbeSecondsLast", ProbeSecondsLast, 3900000000},
      {"ReAskSecondsInterval", ReAskSecondsInterval, -1},
      {"ReAskSecondsLast", ReAskSecondsLast, 3900000001},
      {"VersionOriginal", VersionOriginal, 105},
      {"OriginalStamp", OriginalStamp, 7},
      {"MsgBoxCharSet", MsgBoxCharSet, 177},
      {"MsgBoxFontSize", MsgBoxFontSize, 10},
      {"SizeOfUpdateFile", SizeOfUpdateFile, 123456},
      {"VersionNew", VersionNew, 106},
      {"NewStamp", NewStamp, 8},
      {"SizeOfInformFile", SizeOfInformFile, 321},
      {"AutoInformW", AutoInformW, 500},
      {"AutoInformH", AutoInformH, 400},
  });
  ExpectTexts({
      {"OriginalProgramName", OriginalProgramName, "Sample Product"},
      {"TargetDir", TargetDir, "C:\\Program Files\\Sample"},
      {"SharedDir", SharedDir, "C:\\Common"},
      {"AuxiliaryDir", AuxiliaryDir, "D:\\Aux"},
      {"StartUpLink", StartUpLink, "C:\\Start\\Sample.lnk"},
      {"CheckforNewUpdateLink", CheckforNewUpdateLink, "C:\\Start\\Check.lnk"},
      {"MsgBoxButtons", MsgBoxButtons, "*Ja*Nein*"},
      {"MsgBoxErrorTitle", MsgBoxErrorTitle, "Fehler"},
      {"MsgBoxConfirmTitle", MsgBoxConfirmTitle, "Frage"},
      {"MsgBoxAttentionTitle", MsgBoxAttentionTitle, "Achtung"},
      {"MsgBoxFontName", MsgBoxFontName, "Arial"},
      {"AgentText s14", [] { return AgentText("s14"); }, "Install <B>PROG_NAME</B> now?"},
      {"AgentText s31", [] { return AgentText("s31"); }, "Fetching..."},
      {"DownloadURL_UPDATE", DownloadURL_UPDATE, "http://updates.example/v2"},
      {"NameOfUpdateFile", NameOfUpdateFile, "Setup2.exe"},
      {"ShutDownMethod", ShutDownMethod, "Using WM_CLOSE"},
      {"RunningProcess", RunningProcess, "<InstallDir>Sample.exe"},
      {"NewProgramName", NewProgramName, "Sample 2"},
      {"ValidVersions", ValidVersions, "104,105"},
      {"DownloadURL_INFORM", DownloadURL_INFORM, "http://example/new"},
      {"NameOfInformFile", NameOfInformFile, "News.txt"},
  });
  ExpectSwitches({
      {"RemoveStartUpShortcut", RemoveStartUpShortcut, true},
      {"RemoveCheckForNewUpdateShortcut", RemoveCheckForNewUpdateShortcut, true},
      {"AutoInform", AutoInform, true},
      {"RequestConfirmationBeforeDownload", RequestConfirmationBeforeDownload, true},
      {"RequestConfirmationBeforeDownloadForce", RequestConfirmationBeforeDownloadForce, true},
      {"RequestConfirmationBeforeInstall", RequestConfirmationBeforeInstall, true},
      {"RequestConfirmationBeforeInstallForce", RequestConfirmationBeforeInstallForce, true},
      {"BackgroundUpdate", BackgroundUpdate, true},
      {"InformFinish", InformFinish, true},
      {"RestartProcess", RestartProcess, true},
  });
}

TEST_F(SettingsFilesTest, IntegersAreSigned64BitDecimalsElseTheDefault) {
  WriteOriginal(
      "[OriginalSetup]\r\nProbeSecondsInterval=abc\r\nProbeSecondsLast=9223372036854775807\r\n"
      "ReAskSecondsInterval=9223372036854775808\r\nReAskSecondsLast=  42  \r\nVersionOriginal=4294967301\r\n"
      "Stamp=-2\r\n[MsgBox]\r\nFontSize=12pt\r\nCharSet=\r\n");
  WriteInfo("[NewSetup]\r\nVersionNew=0x10\r\nStamp=+9\r\nSizeOfUpdateFile=1e3\r\n[AutoInform]\r\nAutoInformW=$20\r\n");
  ExpectInts({
      {"abc", ProbeSecondsInterval, 0},
      {"largest", ProbeSecondsLast, INT64_MAX},
      {"beyond the largest", ReAskSecondsInterval, 0},
      {"blanks around", ReAskSecondsLast, 42},
      {"low 32 bits of a version", VersionOriginal, 5},
      {"negative stamp", OriginalStamp, -2},
      {"unit after the number", MsgBoxFontSize, 8},
      {"empty value", MsgBoxCharSet, 0},
      {"hexadecimal", VersionNew, 0},
      {"plus sign", NewStamp, 9},
      {"exponent", SizeOfUpdateFile, 0},
      {"dollar hexadecimal", AutoInformW, 360},
  });
}

TEST_F(SettingsFilesTest, SwitchesAreOnOnlyAsExactly1AndOverridesWin) {
  WriteInfo(
      "[NewSetup]\r\nRestartProcess=true\r\nInformFinish=01\r\nBackgroundUpdate=1\r\n"
      "RequestConfirmationBeforeDownload=yes\r\nRemoveStartUpShortcut=2\r\n[General]\r\nAutoInform=01\r\n");
  ExpectSwitches({
      {"true", RestartProcess, false},
      {"01", InformFinish, false},
      {"1", BackgroundUpdate, true},
      {"yes", RequestConfirmationBeforeDownload, false},
      {"2", RemoveStartUpShortcut, false},
      // AutoInform is a number, so 01 is 1.
      {"AutoInform 01", AutoInform, true},
  });

  // A command's slot holds whatever the file says, for as long as the agent
  // runs.
  ASSERT_TRUE(SetOverride(kSlotRestartProcess, 1));
  ASSERT_TRUE(SetOverride(kSlotBackgroundUpdate, 0));
  ASSERT_TRUE(SetOverride(kSlotConfirmDownload, 1));
  ASSERT_TRUE(SetOverride(kSlotAskBeforeCheck, 1));
  ApplyTransientText("|1|1|255|0|255|1|1|1|");
  ExpectSwitches({
      {"RestartProcess slot 1", RestartProcess, true},
      {"BackgroundUpdate slot 0", BackgroundUpdate, false},
      {"RequestConfirmationBeforeDownload slot 1", RequestConfirmationBeforeDownload, true},
      {"InformFinish free slot", InformFinish, false},
      {"RequestConfirmationBeforeDownloadForce slot 1", RequestConfirmationBeforeDownloadForce, true},
      {"RequestConfirmationBeforeInstallForce slot 1", RequestConfirmationBeforeInstallForce, true},
      {"AskBeforeCheck slot 1", AskBeforeCheck, true},
  });
}

TEST_F(SettingsFilesTest, StoredTimesAreWrittenWithTheirReadableCompanions) {
  const int64_t probe = DateToSeconds(EncodeDateTime({2026, 12, 7, 14, 5, 9, 0}));
  const int64_t reAsk = probe + 86400;
  EXPECT_TRUE(SetProbeSecondsLast(probe));
  EXPECT_TRUE(SetReAskSecondsLast(reAsk));
  EXPECT_TRUE(SetProbeSecondsInterval(-1));
  EXPECT_TRUE(SetReAskSecondsInterval(604800));
  EXPECT_TRUE(SetVersionOriginal(106));
  EXPECT_TRUE(SetOriginalStamp(-8));

  EXPECT_EQ(ProbeSecondsLast(), probe);
  EXPECT_EQ(ReAskSecondsLast(), reAsk);
  EXPECT_EQ(ProbeSecondsInterval(), -1);
  EXPECT_EQ(ReAskSecondsInterval(), 604800);
  EXPECT_EQ(VersionOriginal(), 106);
  EXPECT_EQ(OriginalStamp(), -8);

  const std::vector<std::string> lines = test::CrLfLines(ReadWholeFile(original_));
  const std::string time = UserDateSeparators().time;
  const std::vector<std::string> expected = {
      "[OriginalSetup]",
      "ProbeSecondsLast=" + std::to_string(probe),
      "__ProbeSecondsLast=07-DEC-2026 14" + time + "05" + time + "09",
      "ReAskSecondsLast=" + std::to_string(reAsk),
      "__ReAskSecondsLast=08-DEC-2026 14" + time + "05" + time + "09",
      "ProbeSecondsInterval=-1",
      "ReAskSecondsInterval=604800",
      "VersionOriginal=106",
      "Stamp=-8",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(SettingsFilesTest, WritesThatCannotBeMadeFailQuietlyAndChangeNothing) {
  WriteOriginal("[OriginalSetup]\r\nVersionOriginal=5\r\nProbeSecondsLast=100\r\n");
  ASSERT_TRUE(::SetFileAttributesA(original_.c_str(), FILE_ATTRIBUTE_READONLY));
  // An administrator under Wine may write read-only files all the same;
  // there only the folder below shows the failure.
  const bool readOnlyHolds = !UniqueFileHandle(::CreateFileA(original_.c_str(), GENERIC_WRITE, 0, nullptr,
                                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (readOnlyHolds) {
    EXPECT_FALSE(SetVersionOriginal(6));
    EXPECT_FALSE(SetProbeSecondsLast(200));
    EXPECT_EQ(VersionOriginal(), 5);
    EXPECT_EQ(ProbeSecondsLast(), 100);
  }
  ::SetFileAttributesA(original_.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(original_.c_str());

  // A folder where the file should be.
  ASSERT_TRUE(::CreateDirectoryA(original_.c_str(), nullptr));
  EXPECT_FALSE(SetOriginalStamp(3));
  EXPECT_EQ(OriginalStamp(), 0);
}

// A vendor's file gives only the texts it changes; a text written empty on
// purpose shows nothing, as in a language file of the stub's.
TEST_F(SettingsFilesTest, AnAgentTextTheFileLacksIsTheEnglishOne) {
  WriteOriginal("[AutoUpdate]\r\ns11=\r\ns12=Jetzt laden?\r\ns24 = \r\n");
  EXPECT_EQ(AgentText("s11"), "");
  EXPECT_EQ(AgentText("s24"), "");
  EXPECT_EQ(AgentText("s12"), "Jetzt laden?");
  EXPECT_EQ(AgentText("S12"), "Jetzt laden?");
  EXPECT_EQ(AgentText("s13"), "Download it now?");
  EXPECT_EQ(AgentText("s22"), "Look for a new version of PROG_NAME now?<P><P>");
  EXPECT_EQ(AgentText("s99"), "");
}

TEST_F(SettingsFilesTest, ValuesLongerThanTheBufferAreCutAtIt) {
  const std::string exact(10240, 'e');
  const std::string longer = std::string(10240, 'l') + "TAIL";
  WriteOriginal("[AutoUpdate]\r\ns14=" + exact + "\r\ns16=" + longer + "\r\ns17=after\r\n");
  WriteInfo("[NewSetup]\r\nValidVersions=" + std::string(20000, '5') + "\r\n");
  EXPECT_EQ(AgentText("s14"), exact);
  EXPECT_EQ(AgentText("s16"), longer.substr(0, 10240));
  EXPECT_EQ(AgentText("s17"), "after");
  EXPECT_EQ(ValidVersions(), std::string(10240, '5'));
}

}  // namespace
}  // namespace tarnix
