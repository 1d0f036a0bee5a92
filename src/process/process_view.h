// The process tab of the main window: the snapshot shown in the shared list, the tab's pop-up
// menu and its commands (refreshes, shell commands, the module window, ending, terminating and
// deleting the image files of the selected processes).
#pragma once
#include <functional>
#include <string>

#include "ui/widgets.h"

namespace tv::process {

// What the main window hands to the process tab. The two operations live above this folder
// (or need the main window's toolkit and owner), so the main window supplies them.
struct ProcessTabHost : ui::ListHost {
  // Deletes a file that the ordinary call refused, showing its own messages; true when the
  // file is gone. Empty: the forced deletion is counted as failed.
  std::function<bool(std::string& path)> forceDelete;
  // Shows the module window modally in `mode` for `pid` (the two values are already set when
  // it is called). Empty: the window is shown on the current toolkit, owned by `owner`.
  std::function<void(int mode, int pid)> openModuleWindow;
};

// Rows from the process snapshot (row i is record i) and the counts in status panel 1.
void ShowProcessList(ui::ListHost& host);
// Makes every refresh of the snapshot end by showing it in `host` (which must outlive the
// binding; pass nullptr to unbind).
void BindProcessListView(ui::ListHost* host);

// Menu indexes of the process pop-up menu.
enum ProcessMenuIndex : int {
  kMenuRefresh = 0,
  kMenuRefreshByForce = 1,
  kMenuOpenLocation = 3,
  kMenuProperties = 4,
  kMenuNewTask = 5,
  kMenuModules = 7,
  kMenuThreads = 8,
  kMenuSeek = 9,
  kMenuEndTask = 11,
  kMenuTerminate = 12,
  kMenuDeleteImage = 13,
};

// The 14 entries by index (separators at 2, 6 and 10).
ui::Menu ProcessMenu();
// Carries out the entry `index` on the selected rows of host.list.
void ProcessMenuClick(ProcessTabHost& host, int index);

// The individual commands (ProcessMenuClick dispatches to them).
void OpenFileLocation(ProcessTabHost& host);
void ShowProperties(ProcessTabHost& host);
void CreateNewTask(ProcessTabHost& host);
void ShowModuleInformation(ProcessTabHost& host);
void ShowThreadInformation(ProcessTabHost& host);
void SeekModuleWindow(ProcessTabHost& host);
void EndSelectedTasks(ProcessTabHost& host);
void TerminateSelectedProcesses(ProcessTabHost& host);
void DeleteSelectedImageFiles(ProcessTabHost& host);

}  // namespace tv::process
