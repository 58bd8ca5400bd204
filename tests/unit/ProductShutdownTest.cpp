// The announcement's shutdown method is compared exactly as written.
#include <gtest/gtest.h>

#include <string>

#include "autoupdate/ProductShutdown.h"

namespace tarnix {
namespace {

TEST(ProductShutdownTest, MethodsCompareExactly) {
  struct Case {
    const char* text;
    ShutDownMethodKind kind;
  } cases[] = {
      {"Issue a Message Box", ShutDownMethodKind::AskUser},
      {"Using WM_CLOSE", ShutDownMethodKind::WmClose},
      {"Using WM_QUIT", ShutDownMethodKind::WmQuit},
      {"Using Terminate Process", ShutDownMethodKind::Terminate},
      {"Don't Shut Down", ShutDownMethodKind::DontShutDown},
      {"using wm_close", ShutDownMethodKind::Other},
      {"Using WM_CLOSE ", ShutDownMethodKind::Other},
      {"", ShutDownMethodKind::Other},
      {"Dont Shut Down", ShutDownMethodKind::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(ShutDownMethodOf(c.text), c.kind) << '"' << c.text << '"';
}

}  // namespace
}  // namespace tarnix
