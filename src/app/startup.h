// The windowed program: start-up sequence, main window, event loop, end.
#pragma once
#include "ui/widgets.h"

namespace tv::app {

// Runs the windowed program on `kit` (the Win32 toolkit in tolvexa.exe, the recording one in
// tests and on Linux): the start-up sequence, then kit.Run() until Quit; returns the process
// exit code.
int StartUp(ui::Toolkit& kit);

}  // namespace tv::app
