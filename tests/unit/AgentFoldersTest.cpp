// The per-user work folder of an agent that cannot write where it is
// installed.
#include <gtest/gtest.h>

#include "startup/AgentFolders.h"

namespace tarnix {
namespace {

TEST(AgentFoldersTest, PerUserFolderLiesBelowLocalAppDataByAgentName) {
  struct Case {
    const char* name;
    const char* localAppData;
    const char* agent;
    const char* expected;
  } cases[] = {
      {"plain", "C:\\Users\\jo\\AppData\\Local", "ProductAgent.exe",
       "C:\\Users\\jo\\AppData\\Local\\Halvorin\\Tarnix\\ProductAgent.exe\\"},
      {"trailing backslash", "C:\\Users\\jo\\AppData\\Local\\", "ProductAgent.exe",
       "C:\\Users\\jo\\AppData\\Local\\Halvorin\\Tarnix\\ProductAgent.exe\\"},
      {"blanks around the name", "C:\\Local", " Agent.exe ", "C:\\Local\\Halvorin\\Tarnix\\Agent.exe\\"},
      {"a path in the name keeps only its file name", "C:\\Local", "..\\..\\Windows\\Agent.exe",
       "C:\\Local\\Halvorin\\Tarnix\\Agent.exe\\"},
      {"no name", "C:\\Local", "", ""},
      {"a name that is a folder step", "C:\\Local", "..", ""},
      {"no application-data folder", "", "Agent.exe", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PerUserAgentDir(c.localAppData, c.agent), c.expected) << c.name;
}

}  // namespace
}  // namespace tarnix
