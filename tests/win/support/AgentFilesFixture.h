// The fixture of the tests that read and write the agent's settings files:
// a package built in the test whose settings block names them becomes the
// running stub's package, so the accessors use files beside the test
// executable with names of this process's own. Each test starts without
// the files, with the agent's start state and free override slots, and
// leaves nothing behind.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PackageBuilder.h"
#include "Utils/FileUtils.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/TransientOverrides.h"
#include "package/TGFileInfo.h"
#include "startup/StubState.h"
#include "win/DebugTestSupport.h"

namespace tarnix::test {

inline constexpr char kFreeOverrides[] = "|255|255|255|255|255|255|255|255|";

class AgentFilesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string stub = PathFromEnv("TARNIX_STUB_EXE");
    ASSERT_FALSE(stub.empty()) << "TARNIX_STUB_EXE is not set";
    const std::string base = "AgentFilesTest" + std::to_string(::GetCurrentProcessId());
    pack::PackageSpec plan;
    plan.stubPath = stub;
    plan.isAgent = true;
    plan.updateLocation = "http://updates.example/product/";
    // Every extension goes from the .original file's name.
    plan.infoFileName = "http://updates.example/product/" + base + ".v2.info";
    plan.agentExeName = "Agent.exe";
    const std::string package = dir_ / "Agent.exe";
    pack::BuildReport report;
    std::string error;
    ASSERT_TRUE(pack::BuildPackage(plan, package, report, error)) << error;
    SetStubPackage(TGFileInfo(package));
    original_ = GetExeDir(true) + base + ".original";
    info_ = GetExeDir(true) + base + ".v2.info";
    RemoveFiles();
  }

  void TearDown() override {
    RemoveFiles();
    SetStubPackage(TGFileInfo());
    Agent() = AgentState();
    ApplyTransientText(kFreeOverrides);
  }

  void RemoveFiles() const {
    for (const std::string& file : {original_, info_}) {
      ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(file.c_str());
      ::RemoveDirectoryA(file.c_str());
    }
  }

  static void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteFileText(path, text)) << path;
  }
  void WriteOriginal(const std::string& text) const { Write(original_, text); }
  void WriteInfo(const std::string& text) const { Write(info_, text); }

  ScratchDir dir_;
  std::string original_;
  std::string info_;
};

}  // namespace tarnix::test
