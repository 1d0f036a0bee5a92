#include "process/frm_module.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/platform_ops.h"
#include "platform/api.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "process/terminate.h"

namespace tv::process {

int& ModuleViewMode() {
  static int mode = 0;
  return mode;
}
int& ModuleViewPID() {
  static int pid = -1;
  return pid;
}

namespace {

constexpr const char* kTitle = "Tolvexa";
constexpr std::uint32_t kAllAccess = 0x1F0FFF;
constexpr std::uint32_t kWaitMs = 200;

// Layout of the window (pixels): the side bar with the buttons on the left, the seek panel above
// the list in seek mode, the status bar at the bottom.
constexpr int kSideBarWidth = 120;
constexpr int kListLeft = 128;          // the list starts right of the side bar
constexpr int kListHeightLess = 39;     // room for the status bar
constexpr int kSeekListHeightLess = 70;  // and for the seek panel
constexpr int kSeekPanelHeight = 31;
constexpr int kButtonHeight = 26, kButtonGap = 8, kButtonTop = 12, kButtonLeft = 10;
constexpr int kMinColumnWidth = 40;
constexpr ui::Size kClientSize{760, 420};
constexpr ui::Size kMinimumSize{480, 240};

std::string ButtonName(int index) { return "Command1(" + std::to_string(index) + ")"; }

struct Target {
  std::uintptr_t base = 0;
  std::uint32_t pid = 0;
  std::string path;
};

class FrmModule {
 public:
  FrmModule(ui::Toolkit& kit, const ModuleWindowHooks& hooks)
      : kit_(kit), hooks_(hooks), mode_(ModuleViewMode()) {
    form_ = kit.CreateForm("FrmModule", kTitle, kClientSize);
    form_->SetMinimumSize(kMinimumSize);
    Build();
    Load();
  }

  void ShowModal() {
    form_->ShowModal();
    Unload();  // a window taken down without its close event resets all the same
  }

 private:
  // ------------------------------------------------------------------ building ----
  void Build() {
    const ui::Size c = form_->ClientSize();
    side_ = form_->AddPane("PicSideBar", {0, 0, kSideBarWidth, c.height});
    // Shown top to bottom: Properties, Delete, Unload, Refresh, Close.
    static const char* const captions[] = {"&Close", "&Refresh", "&Unload", "&Delete", "&Properties"};
    for (int i = 0; i < 5; ++i) {
      const int slot = 4 - i;
      buttons_[i] = side_->AddButton(ButtonName(i), captions[i],
                                     {kButtonLeft, kButtonTop + slot * (kButtonHeight + kButtonGap),
                                      kSideBarWidth - 2 * kButtonLeft, kButtonHeight});
      buttons_[i]->onClick = [this, i] { Command1Click(i); };
    }
    seekPanel_ = form_->AddPane("PicSeek", {kListLeft, 0, c.width - kListLeft, kSeekPanelHeight});
    seekPanel_->AddLabel("LabSeek", "Seek Moudle Name:", {4, 8, 110, 16});
    seekText_ = seekPanel_->AddTextBox("TxtSeek", "", {118, 4, 300, 22});
    seekText_->onKeyDown = [this](int key) {
      if (key != ui::kVkReturn) return;
      Seek();
      buttons_[1]->SetFocus();
    };
    seekPanel_->SetVisible(false);
    list_ = form_->AddListView("LVModule", {kListLeft, 0, c.width - kListLeft, c.height - kListHeightLess});
    list_->SetExtendedStyle(0x20);  // full-row select
    status_ = form_->AddStatusBar("StaBar", 1);
    status_->SetPanelText(1, "Ready");
    form_->onResize = [this] { Layout(); };
    form_->onClosed = [this] { Unload(); };
  }

  void AddColumns(const std::vector<ModuleColumn>& cols) {
    list_->ClearColumns();
    for (const auto& col : cols) list_->AddColumn({col.key, col.caption, col.width});
  }

  void Load() {
    switch (mode_) {
      case kModeModules:
      case kModeKernel: AddColumns(ModuleColumns()); break;
      case kModeThreads:
        AddColumns(ThreadColumns());
        buttons_[2]->SetText("&Terminate");
        buttons_[3]->SetVisible(false);
        buttons_[4]->SetVisible(false);
        break;
      case kModeSeek:
        AddColumns(SeekColumns());
        buttons_[1]->SetText("&Seek Moudle");
        seekPanel_->SetVisible(true);
        break;
      default: break;
    }
    Layout();
    if (mode_ == kModeSeek)
      list_->SetColumnWidth(1, std::max(list_->Bounds().width - 300, kMinColumnWidth));
    Refresh();
    form_->SetMessageFilter(true);
  }

  void Layout() {
    const ui::Size c = form_->ClientSize();
    side_->SetBounds({0, 0, kSideBarWidth, c.height});
    const int width = std::max(c.width - kListLeft, 0);
    if (mode_ == kModeSeek) {
      seekPanel_->SetBounds({kListLeft, 0, width, kSeekPanelHeight});
      list_->SetBounds({kListLeft, kSeekPanelHeight, width, std::max(c.height - kSeekListHeightLess, 0)});
      list_->SetColumnWidth(1, std::max(width - 350, kMinColumnWidth));
    } else {
      list_->SetBounds({kListLeft, 0, width, std::max(c.height - kListHeightLess, 0)});
    }
  }

  void Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    form_->SetMessageFilter(false);
    ModuleViewPID() = -1;
    ModuleViewMode() = 0;
    TrimWorkingSet();
  }

  // ------------------------------------------------------------------ dispatch ----
  void Command1Click(int index) {
    if (index == 0) {
      form_->Close();
      return;
    }
    switch (mode_) {
      case kModeModules:
      case kModeKernel:
        if (index == 1) Refresh();
        if (index == 2) UnloadSelected();
        if (index == 3) (mode_ == kModeModules ? DeleteModules() : DeleteKernelModules());
        if (index == 4) Properties();
        break;
      case kModeThreads:
        if (index == 1) Refresh();
        if (index == 2) TerminateThreads();
        break;
      case kModeSeek:
        if (index == 1) Seek();
        if (index == 2) UnloadSelected();
        if (index == 3) DeleteSeekModule();
        if (index == 4) Properties();
        break;
      default: break;
    }
  }

  void Show(const ui::ListContent& content) {
    list_->ClearRows();
    list_->AddRows(content.rows);
    status_->SetPanelText(1, content.status);
  }

  void Refresh() {
    const int pid = ModuleViewPID();
    switch (mode_) {
      case kModeModules:
        if (pid >= 0) {
          EnumModules(static_cast<std::uint32_t>(pid));
          Show(ShowModuleList());
        }
        break;
      case kModeThreads:
        if (pid >= 0) {
          EnumThreads(static_cast<std::uint32_t>(pid));
          Show(ShowThreadList());
        }
        break;
      case kModeKernel:
        EnumKernelModules();
        Show(ShowKernelModuleList());
        break;
      default: break;  // the seek list changes only when the user seeks again
    }
  }

  void Seek() {
    SeekModule(seekText_->Text());
    Show(ShowSeekList());
  }

  // ------------------------------------------------------------------ rows ----
  // The module behind row `row` of the mode's list; false when the row stands for nothing.
  bool TargetOf(int row, Target& t) const {
    if (row < 0) return false;
    const auto i = static_cast<std::size_t>(row);
    const std::uint32_t viewPid = static_cast<std::uint32_t>(ModuleViewPID());
    if (mode_ == kModeModules || mode_ == kModeKernel) {
      const auto& list = mode_ == kModeModules ? ModuleList() : KernelModuleList();
      if (i >= list.size()) return false;
      t = {list[i].BaseAddress, viewPid, TrimTrailingBlanks(list[i].PathName)};
      return true;
    }
    if (mode_ == kModeSeek) {
      const auto& list = SeekList();
      if (i >= list.size()) return false;
      t = {list[i].BaseAddress, static_cast<std::uint32_t>(list[i].OwnerPID), TrimTrailingBlanks(list[i].PathName)};
      return true;
    }
    return false;
  }

  std::vector<Target> SelectedTargets() const {
    std::vector<Target> out;
    for (int row : list_->SelectedRows()) {
      Target t;
      if (TargetOf(row, t)) out.push_back(t);
    }
    return out;
  }

  int Ask(const std::string& text, std::uint32_t flags) {
    return kit_.MessageBox(text, kTitle, ui::mb::YesNo | flags);
  }
  void Warn(const std::string& text, const std::string& title = kTitle) {
    kit_.MessageBox(text, title, ui::mb::Ok | ui::mb::IconExclamation);
  }
  bool ForceDelete(std::string& path) { return hooks_.forceDelete && hooks_.forceDelete(path); }
  static void Wait() { platform::Sys().Sleep(kWaitMs); }
  static bool DeleteOrdinary(const std::string& path) {
    platform::Files().SetFileAttributesA(path, 0);
    return platform::Files().DeleteFileA(path);
  }

  // ------------------------------------------------------------------ actions ----
  void Properties() {
    Target t;
    if (!TargetOf(list_->FirstSelected(), t)) return;
    if (kit_.ShowFileProperties(form_.get(), t.path) == 2) Warn("can't view properties of this file");
  }

  void UnloadTargets(const std::vector<Target>& targets, bool messages) {
    for (const Target& t : targets)
      if (UnloadModule(t.base, t.pid) != 0 && messages) Warn(" Unload module error!", "Unload Module");
  }

  void UnloadSelected() {
    UnloadTargets(SelectedTargets(), true);
    Wait();
    Refresh();
  }

  void TerminateThreads() {
    const auto& threads = ThreadList();
    for (int row : list_->SelectedRows()) {
      if (static_cast<std::size_t>(row) >= threads.size()) continue;
      const std::uint32_t tid = threads[static_cast<std::size_t>(row)].TID;
      if (TerminateThreadNormal(tid)) continue;
      if (Ask("Can't terminate the selected threads, Do you want to terminate by force?",
              ui::mb::DefButton2 | ui::mb::IconExclamation) != ui::mb::IdYes)
        continue;
      if (TerminateThreadByForce(tid) != 0) Warn(" Terminate thread error!", "Terminate Thread");
    }
    Wait();
    Refresh();
  }

  // The ordinary deletion failed: offer the forced one. False when the user said No (the
  // whole deletion stops there).
  bool OfferForceDelete(const std::string& file) {
    if (Ask("Can't delete file, Do you want to delete by force?", ui::mb::DefButton2 | ui::mb::IconInformation) !=
        ui::mb::IdYes)
      return false;
    std::string path = file;
    if (!ForceDelete(path)) Warn("Delete file error");
    return true;
  }

  void DeleteModules() {
    if (Ask("Are you sure to delete the selected moudles?", ui::mb::DefButton2) != ui::mb::IdYes) return;
    const auto targets = SelectedTargets();
    UnloadTargets(targets, true);
    kit_.DoEvents();
    Wait();
    for (const Target& t : targets)
      if (!DeleteOrdinary(t.path) && !OfferForceDelete(t.path)) return;
    Refresh();
  }

  void DeleteKernelModules() {
    const auto targets = SelectedTargets();
    UnloadTargets(targets, false);
    kit_.DoEvents();
    Wait();
    for (const Target& t : targets) {
      if (Ask("Are you sure to delete the kernel moudle: " + t.path + " ?", ui::mb::DefButton2) != ui::mb::IdYes)
        continue;
      if (!DeleteOrdinary(t.path) && !OfferForceDelete(t.path)) return;
    }
    Refresh();
  }

  // Seek mode: the module is unloaded from every process that holds it (all rows, selected or
  // not), terminating the processes that refuse, then the file of the first row is deleted.
  void DeleteSeekModule() {
    const auto& seek = SeekList();
    const std::size_t rows = std::min(seek.size(), static_cast<std::size_t>(list_->RowCount()));
    if (rows == 0) return;  // nothing found, nothing to delete
    if (Ask("You have to unload the selected moudle first, Do you want to continue?",
            ui::mb::DefButton2 | ui::mb::IconInformation) != ui::mb::IdYes)
      return;
    const std::string firstPath = TrimTrailingBlanks(seek[0].PathName);
    bool force = false;
    for (std::size_t i = 0; i < rows && !force; ++i) {
      const SeekRecord& rec = seek[i];
      const auto pid = static_cast<std::uint32_t>(rec.OwnerPID);
      if (UnloadModule(rec.BaseAddress, pid) == 0) continue;
      if (Ask("Can't unload moudle,It was located in the PID=" + std::to_string(rec.OwnerPID) + " of the process " +
                  TrimTrailingBlanks(rec.OwnerProcess) + "\r\nDo you want to terminate process to continue?",
              ui::mb::IconInformation) != ui::mb::IdYes)
        return;
      Handle h = OpenProcessByForce(kAllAccess, false, pid);
      bool terminated = false;
      if (h) {
        terminated = TerminateProcessChain(h, 1, pid);
        CloseHandleEx(h);
      }
      if (terminated) continue;
      if (Ask("Can't terminate process, Do you want to delete by force?", ui::mb::DefButton2 | ui::mb::IconInformation) !=
          ui::mb::IdYes)
        return;
      force = true;
    }
    kit_.DoEvents();
    Wait();
    if (force) {
      platform::Files().SetFileAttributesA(firstPath, 0);
      std::string path = firstPath;
      if (!ForceDelete(path)) Warn("Delete file error");
    } else if (!DeleteOrdinary(firstPath)) {
      Warn("Delete file error");
    }
    Refresh();
  }

  ui::Toolkit& kit_;
  ModuleWindowHooks hooks_;
  int mode_;
  std::unique_ptr<ui::Form> form_;
  ui::Pane* side_ = nullptr;
  ui::Pane* seekPanel_ = nullptr;
  ui::Button* buttons_[5] = {};
  ui::TextBox* seekText_ = nullptr;
  ui::ListView* list_ = nullptr;
  ui::StatusBar* status_ = nullptr;
  bool unloaded_ = false;
};

}  // namespace

void ShowModuleWindow(ui::Toolkit& kit, ui::Form* owner, const ModuleWindowHooks& hooks) {
  (void)owner;  // the modal window disables every other window, its owner included
  FrmModule window(kit, hooks);
  window.ShowModal();
}

}  // namespace tv::process
