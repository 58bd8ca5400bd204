#include "Options.h"

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/IniFile.h"
#include "Utils/StrUtils.h"

namespace tarnix::sample {

namespace {

constexpr char kSection[] = "SampleApp";

std::string SettingsFilePath() { return GetExeDir(true) + GetExeFileName(true) + ".ini"; }

// A word the program does not know leaves the default, which is what a
// product does that was never told otherwise.
CloseBehaviour BehaviourFromName(const std::string& name) {
  if (SameText(name, BehaviourName(CloseBehaviour::Ask))) return CloseBehaviour::Ask;
  if (SameText(name, BehaviourName(CloseBehaviour::Ignore))) return CloseBehaviour::Ignore;
  return CloseBehaviour::Close;
}

}  // namespace

Options ReadOptions() {
  const std::string settings = SettingsFilePath();
  Options options;
  options.onClose = BehaviourFromName(GetSwitchValue("/OnClose=", ReadIniString(settings, kSection, "OnClose", "")));
  options.recordPath = GetSwitchValue("/Record=", ReadIniString(settings, kSection, "Record", ""));
  return options;
}

const char* BehaviourName(CloseBehaviour behaviour) {
  switch (behaviour) {
    case CloseBehaviour::Ask:
      return "ask";
    case CloseBehaviour::Ignore:
      return "ignore";
    case CloseBehaviour::Close:
      break;
  }
  return "close";
}

}  // namespace tarnix::sample
