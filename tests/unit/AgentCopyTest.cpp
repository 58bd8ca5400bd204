#include "package/AgentCopy.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

PackageTrailer SampleTrailer() {
  PackageTrailer t{};
  t.HeaderBlockCount = 2;
  t.PackageStart = 300;
  t.FileBlockCount = 9;
  t.Magic = kPackageMagic;
  t.Checksum = 77;
  t.TrailerSize = 200;
  return t;
}

TEST(AgentFromPackageImageTest, ClearsTheEndFieldAndAppendsAnAgentTrailer) {
  std::string image(400, 'x');
  const std::string agent = AgentFromPackageImage(image, SampleTrailer());
  ASSERT_EQ(agent.size(), 400 + kTrailerSize);
  EXPECT_EQ(agent.substr(248, 4), "xxxx");
  EXPECT_EQ(agent.substr(252, 4), std::string(4, '\0'));
  EXPECT_EQ(agent.substr(256, 144), std::string(144, 'x'));
  PackageTrailer t{};
  DecodeTrailer(reinterpret_cast<const unsigned char*>(agent.data()) + 400, kTrailerSize, t);
  // The trailer is packed: its fields are copied out before they are compared.
  const uint32_t isAgent = t.IsAgent, trailerSize = t.TrailerSize, start = t.PackageStart,
                 blocks = t.FileBlockCount, checksum = t.Checksum;
  EXPECT_EQ(isAgent, 1u);
  EXPECT_EQ(trailerSize, kTrailerSize);
  EXPECT_EQ(start, 300u);
  EXPECT_EQ(blocks, 9u);
  EXPECT_EQ(checksum, 77u);
}

TEST(AgentFromRunningStubTest, CutsAShortSignatureAndMarksTheTrailer) {
  const std::string stub = std::string(1000, 's') + std::string(kTrailerSize, '\0');
  const uint64_t end = stub.size();
  const struct {
    std::string tail;
    size_t size;
  } cases[] = {
      {"", stub.size()},                        // nothing after the package
      {std::string(2000, 'g'), stub.size()},    // a signature is cut
      {std::string(10000, 'g'), stub.size() + 10000},  // too long to be one
  };
  for (const auto& c : cases) {
    const std::string agent = AgentFromRunningStub(stub + c.tail, end);
    ASSERT_EQ(agent.size(), c.size) << c.tail.size();
    EXPECT_EQ(agent[agent.size() - 5], 1) << c.tail.size();
  }
}

TEST(AgentFromRunningStubTest, AnUnsetEndFieldCutsNothing) {
  const std::string stub = std::string(500, 's') + std::string(kTrailerSize, '\0');
  EXPECT_EQ(AgentFromRunningStub(stub, 0).size(), stub.size());
}

TEST(AgentFromRunningStubTest, LeavesTinyFilesAlone) {
  EXPECT_EQ(AgentFromRunningStub("abcde", 0), "abcde");
  EXPECT_EQ(AgentFromRunningStub("abcdef", 0), std::string("a\x01" "cdef"));
}

}  // namespace
}  // namespace tarnix
