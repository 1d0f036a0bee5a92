#include "process/process_view.h"

#include <cstdint>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "platform/api.h"
#include "process/frm_module.h"
#include "process/process_list.h"
#include "process/terminate.h"
#include "ui/text_tables.h"

namespace tv::process {

namespace {

constexpr const char* kTitle = "Tolvexa";
constexpr std::uint32_t kAllAccess = 0x1F0FFF;
constexpr std::uint32_t kWaitMs = 200;
constexpr int kSwShowNormal = 1;

// Row i of the list stands for record i of the snapshot; rows past the snapshot (a list out of
// step with it) stand for nothing.
std::vector<const ProcessRecord*> SelectedRecords(const ui::ListHost& host) {
  std::vector<const ProcessRecord*> out;
  if (!host.list) return out;
  const ProcessList& list = GetProcessList();
  for (int row : host.list->SelectedRows())
    if (static_cast<std::size_t>(row) < list.size()) out.push_back(&list[static_cast<std::size_t>(row)]);
  return out;
}

const ProcessRecord* FirstSelected(const ui::ListHost& host) {
  auto recs = SelectedRecords(host);
  return recs.empty() ? nullptr : recs.front();
}

std::string PathOf(const ProcessRecord& rec) { return TrimTrailingBlanks(rec.PathName); }

void Warn(const std::string& text) { ui::MessageBox(text, kTitle, ui::mb::Ok | ui::mb::IconExclamation); }

void OpenModuleWindow(ProcessTabHost& host, int mode, int pid) {
  ModuleViewMode() = mode;
  ModuleViewPID() = pid;
  if (host.openModuleWindow) {
    host.openModuleWindow(mode, pid);
    return;
  }
  if (ui::Toolkit* kit = ui::CurrentToolkit()) ShowModuleWindow(*kit, host.owner, {host.forceDelete});
}

ui::ListHost*& BoundHost() {
  static ui::ListHost* host = nullptr;
  return host;
}

}  // namespace

void ShowProcessList(ui::ListHost& host) {
  const ProcessList& list = GetProcessList();
  std::size_t hidden = 0;
  if (host.list) {
    host.list->ClearRows();
    host.list->SetIconFallback(Folders().SysDir + "smss.exe");
    for (const ProcessRecord& rec : list) {
      ui::ListRow row;
      row.text = TrimTrailingBlanks(rec.ImageName);
      row.subItems = {std::to_string(rec.PID), rec.Rootkit ? MainText()[13] : MainText()[14], PathOf(rec),
                      TrimTrailingBlanks(rec.Company), TrimTrailingBlanks(rec.Description),
                      TrimTrailingBlanks(rec.Version)};
      row.iconKey = PathOf(rec);
      host.list->AddRow(row);
    }
  }
  for (const ProcessRecord& rec : list)
    if (rec.Rootkit) ++hidden;
  if (host.status) {
    const int rows = host.list ? host.list->RowCount() : static_cast<int>(list.size());
    host.status->SetPanelText(1, MainText()[20] + std::to_string(rows) + " , " + MainText()[21] +
                                     std::to_string(hidden));
  }
}

void BindProcessListView(ui::ListHost* host) {
  BoundHost() = host;
  if (host)
    ProcessListShowHook() = [] {
      if (ui::ListHost* h = BoundHost()) ShowProcessList(*h);
    };
  else
    ProcessListShowHook() = nullptr;
}

ui::Menu ProcessMenu() {
  static const char* const english[] = {"&Refresh Process List               F5",
                                        "List Process by &Force",
                                        "-",
                                        "&Open File Location",
                                        "&Properties",
                                        "Create &New Task",
                                        "-",
                                        "&Module Information",
                                        "Thread &Information",
                                        "&Seek Module",
                                        "-",
                                        "&End Task",
                                        "&Terminate Process",
                                        "&Delete Image File"};
  ui::Menu menu;
  menu.name = "PopupProcessMenu";
  std::size_t translated = 0;  // the caption table holds the entries without the separators
  for (const char* caption : english) {
    ui::MenuItem item;
    item.caption = caption;
    if (item.caption != "-") {
      const std::string& t = ProcessMenuText()[translated++];
      if (!t.empty()) item.caption = t;
    }
    menu.items.push_back(item);
  }
  return menu;
}

void ProcessMenuClick(ProcessTabHost& host, int index) {
  switch (index) {
    case kMenuRefresh: RefreshProcessList(); break;
    case kMenuRefreshByForce: RefreshProcessListByForce(); break;
    case kMenuOpenLocation: OpenFileLocation(host); break;
    case kMenuProperties: ShowProperties(host); break;
    case kMenuNewTask: CreateNewTask(host); break;
    case kMenuModules: ShowModuleInformation(host); break;
    case kMenuThreads: ShowThreadInformation(host); break;
    case kMenuSeek: SeekModuleWindow(host); break;
    case kMenuEndTask: EndSelectedTasks(host); break;
    case kMenuTerminate: TerminateSelectedProcesses(host); break;
    case kMenuDeleteImage: DeleteSelectedImageFiles(host); break;
    default: break;  // separators, dismissed menu
  }
}

void OpenFileLocation(ProcessTabHost& host) {
  const ProcessRecord* rec = FirstSelected(host);
  if (!rec) return;
  const std::string path = PathOf(*rec);
  if (path.empty()) return;
  platform::Shell().ShellExecuteA("open", "explorer.exe", "/select, " + path, "", kSwShowNormal);
}

void ShowProperties(ProcessTabHost& host) {
  ui::Toolkit* kit = ui::CurrentToolkit();
  if (!kit) return;
  for (const ProcessRecord* rec : SelectedRecords(host))
    if (kit->ShowFileProperties(host.owner, PathOf(*rec)) == 2) Warn("Can't view properties of this file");
}

void CreateNewTask(ProcessTabHost& host) {
  if (ui::Toolkit* kit = ui::CurrentToolkit())
    kit->ShowRunDialog(host.owner, "Create New Process",
                       "Type the name of a program, folder, document, or Internet Resource,"
                       " and Windows will open it for you.");
}

void ShowModuleInformation(ProcessTabHost& host) {
  const ProcessRecord* rec = FirstSelected(host);
  if (!rec) return;
  // Identifiers 2 to 15 are the system process (4 or 8): its modules are the kernel's.
  const int mode = rec->PID >= 2 && rec->PID <= 15 ? kModeKernel : kModeModules;
  OpenModuleWindow(host, mode, rec->PID);
}

void ShowThreadInformation(ProcessTabHost& host) {
  const ProcessRecord* rec = FirstSelected(host);
  if (!rec) return;
  OpenModuleWindow(host, kModeThreads, rec->PID);
}

void SeekModuleWindow(ProcessTabHost& host) { OpenModuleWindow(host, kModeSeek, ModuleViewPID()); }

void EndSelectedTasks(ProcessTabHost& host) {
  for (const ProcessRecord* rec : SelectedRecords(host)) EndTaskByWindows(static_cast<std::uint32_t>(rec->PID));
  platform::Sys().Sleep(kWaitMs);
  RefreshProcessList();
}

void TerminateSelectedProcesses(ProcessTabHost& host) {
  for (const ProcessRecord* rec : SelectedRecords(host)) {
    const auto pid = static_cast<std::uint32_t>(rec->PID);
    Handle h = OpenProcessByForce(kAllAccess, false, pid);
    if (!h) {
      Warn("Can't open process handle, " + PathOf(*rec));
      continue;
    }
    if (!TerminateProcessChain(h, 1, pid)) Warn("Terminate process failed, " + PathOf(*rec));
    CloseHandleEx(h);
  }
  platform::Sys().Sleep(kWaitMs);
  RefreshProcessList();
}

void DeleteSelectedImageFiles(ProcessTabHost& host) {
  if (ui::MessageBox("Are you sure to delete the selected image files?", kTitle,
                     ui::mb::YesNo | ui::mb::DefButton2) != ui::mb::IdYes)
    return;
  // The records stay those of this selection until the refresh at the end.
  const auto records = SelectedRecords(host);
  for (const ProcessRecord* rec : records) {
    const auto pid = static_cast<std::uint32_t>(rec->PID);
    if (Handle h = OpenProcessByForce(kAllAccess, false, pid)) {
      TerminateProcessChain(h, 1, pid);
      CloseHandleEx(h);
    }
  }
  ui::DoEvents();
  platform::Sys().Sleep(kWaitMs);
  for (const ProcessRecord* rec : records) {
    std::string path = PathOf(*rec);
    if (!DirListingFinds(path)) {
      Warn("Can't found file, Wrong pathname");
      continue;
    }
    platform::Files().SetFileAttributesA(path, 0);
    if (platform::Files().DeleteFileA(path)) continue;
    if (!host.forceDelete || !host.forceDelete(path)) Warn("Delete file error");
  }
  RefreshProcessList();
}

}  // namespace tv::process
