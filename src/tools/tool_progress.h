// The frame of a tool that runs a fixed number of steps: the progress window with its caption
// and maximum, the main window disabled while the tool runs, and the closing wait.
#pragma once
#include <string>

#include "platform/api.h"
#include "ui/ui.h"

namespace tv {

// Shows the progress window at 0 of `maximum` and disables the main window.
inline void BeginToolRun(const std::string& caption, int maximum) {
  ui::Current().ShowProgress(caption, maximum);
  ui::Current().SetProgress(0);
  ui::Current().EnableMainWindow(false);
}

// Moves the bar on and lets pending window events run.
inline void ToolStep(int value) {
  ui::Current().SetProgress(value);
  ui::DoEvents();
}

// Leaves the full bar in sight for half a second, unloads the window, enables the main window.
inline void EndToolRun() {
  platform::Sys().Sleep(500);
  ui::Current().CloseProgress();
  ui::Current().EnableMainWindow(true);
}

}  // namespace tv
