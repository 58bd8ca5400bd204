// Windows only. The setup dialog: a top-level window of the class the stub
// waits for while the setup runs, with a line of text and a progress bar.
#pragma once

#include <windows.h>

#include <string>

#include "Utils/UniqueResource.h"

namespace tarnix::standin {

class SetupDialog {
 public:
  // Shown with `showCommand`, so that a hidden run stays hidden. Without a
  // window (the class is taken, or creation failed) the other calls do
  // nothing and the setup still runs.
  SetupDialog(const std::string& className, int showCommand);
  // Destroys the window and gives the class up.
  ~SetupDialog();
  SetupDialog(const SetupDialog&) = delete;
  SetupDialog& operator=(const SetupDialog&) = delete;

  void SetText(const std::string& text);
  void SetProgress(int done, int total);

 private:
  std::string className_;
  bool registered_ = false;
  UniqueWindow window_;
  HWND text_ = nullptr;
  HWND bar_ = nullptr;
};

}  // namespace tarnix::standin
