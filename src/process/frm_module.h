// FrmModule: the modal window that shows the modules or the threads of a process, the kernel
// modules, or the processes holding a module found by name, and acts on the selected rows
// (unload, terminate threads, delete module files, file properties).
#pragma once
#include <functional>
#include <string>

#include "ui/widgets.h"

namespace tv::process {

// What the window shows: 1 modules of a process, 2 its threads, 3 kernel modules, 4 module
// seek; 0 while the window is closed. The opener sets both values before showing the window;
// closing it resets them to 0 and -1.
int& ModuleViewMode();
int& ModuleViewPID();

inline constexpr int kModeModules = 1, kModeThreads = 2, kModeKernel = 3, kModeSeek = 4;

struct ModuleWindowHooks {
  // Deletes a file the ordinary call refused, with its own messages; true when it is gone.
  // Empty: the forced deletion is counted as failed.
  std::function<bool(std::string& path)> forceDelete;
};

// Builds the window for the current mode and PID, shows it modally and returns once it closed.
void ShowModuleWindow(ui::Toolkit& kit, ui::Form* owner, const ModuleWindowHooks& hooks);

}  // namespace tv::process
