// The update fixture with an agent under a name of its own whose processes,
// and the setups they run, take a temporary folder of their own from the
// environment they start with: what they leave there shows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "win/support/LeftoverFiles.h"
#include "win/support/UpdateFixture.h"

namespace tarnix::test {

class OwnTempAgentFixture : public UpdateFixture {
 protected:
  explicit OwnTempAgentFixture(std::string agentName) : ownAgentName_(std::move(agentName)) {}

  void SetUp() override {
    agentName_ = ownAgentName_;
    UpdateFixture::SetUp();
    agentTemp_ = dir_ / "agent-temp";
    ASSERT_TRUE(::CreateDirectoryA(agentTemp_.c_str(), nullptr));
    tempFolder_.emplace(agentTemp_);
  }

  void TearDown() override {
    UpdateFixture::TearDown();
    tempFolder_.reset();
  }

  std::string agentTemp_;

 private:
  std::string ownAgentName_;
  std::optional<TempFolderOfItsOwn> tempFolder_;
};

}  // namespace tarnix::test
