// The program put together: the main window's list tabs with their pop-up menus, the module
// window, the scan window and the about box, over the engines and windows of each subsystem.
#include <memory>

#include "app/frm_main.h"
#include "net/port_menu.h"
#include "process/frm_module.h"
#include "process/process_list.h"
#include "process/process_view.h"
#include "scan/frm_scan.h"
#include "sysconfig/config_menus.h"
#include "tools/file_delete.h"
#include "ui/frm_about.h"

namespace tv::app {

namespace {

bool ForceDelete(std::string& path) { return ForceDeleteFile(path, true) == 1; }

ui::Form* MainForm() {
  ui::Toolkit* kit = ui::CurrentToolkit();
  return kit ? kit->MainForm() : nullptr;
}

void OpenModuleWindow(int mode, int pid) {
  ui::Toolkit* kit = ui::CurrentToolkit();
  if (!kit) return;
  process::ModuleViewMode() = mode;
  process::ModuleViewPID() = pid;
  process::ModuleWindowHooks hooks;
  hooks.forceDelete = ForceDelete;
  process::ShowModuleWindow(*kit, MainForm(), hooks);
}

// The process commands refresh the snapshot themselves; while one runs (and while the tab is
// filled) each refresh redraws the shared list. At other times a refresh (the memory scan takes
// one) leaves the list of whatever tab is shown alone.
class ProcessListBinding {
 public:
  explicit ProcessListBinding(ui::ListHost& host) : host_(host) { process::BindProcessListView(&host_); }
  ~ProcessListBinding() { process::BindProcessListView(nullptr); }

 private:
  ui::ListHost host_;
};

std::unique_ptr<scan::FrmScan>& ScanWindow() {
  static std::unique_ptr<scan::FrmScan> window;
  return window;
}

}  // namespace

MainWindowParts DefaultParts() {
  MainWindowParts p;
  p.processes.fill = [](ui::ListHost& host) {
    ProcessListBinding bound(host);
    RefreshProcessList();
  };
  p.processes.menu = [] { return process::ProcessMenu(); };
  p.processes.onMenu = [](ui::ListHost& host, int index) {
    ProcessListBinding bound(host);
    process::ProcessTabHost tab;
    static_cast<ui::ListHost&>(tab) = host;
    tab.forceDelete = ForceDelete;
    tab.openModuleWindow = OpenModuleWindow;
    process::ProcessMenuClick(tab, index);
  };

  p.startup.fill = [](ui::ListHost& host) { sysconfig::ShowStartupTab(host); };
  p.startup.menu = [] { return sysconfig::RegistryMenu(false); };
  p.startup.onMenu = [](ui::ListHost& host, int index) { sysconfig::RegistryMenuClick(host, false, index); };

  p.bho.fill = [](ui::ListHost& host) { sysconfig::ShowBhoTab(host); };
  p.bho.menu = [] { return sysconfig::RegistryMenu(true); };
  p.bho.onMenu = [](ui::ListHost& host, int index) { sysconfig::RegistryMenuClick(host, true, index); };

  p.ports.fill = [](ui::ListHost& host) { net::ShowPortTab(host); };
  p.ports.menu = [] { return net::PortMenu(); };
  p.ports.onMenu = [](ui::ListHost& host, int index) { net::PortMenuClick(host, index); };

  p.services.fill = [](ui::ListHost& host) { sysconfig::ShowServiceTab(host); };
  p.services.menu = [] { return sysconfig::ServiceMenu(); };
  p.services.onMenu = [](ui::ListHost& host, int index) { sysconfig::ServiceMenuClick(host, index); };

  p.openModuleWindow = OpenModuleWindow;
  p.openScanWindow = [](int mode) {
    ui::Toolkit* kit = ui::CurrentToolkit();
    if (!kit) return;
    auto& window = ScanWindow();
    if (!window) {
      scan::FrmScan::Hooks hooks;
      hooks.showMainWindow = [] {
        if (ui::Form* f = MainForm()) f->Show();
      };
      window = std::make_unique<scan::FrmScan>(*kit, hooks);
    }
    window->Show(mode);
  };
  p.showScanWindow = [] {
    if (auto& window = ScanWindow(); window && window->form()) window->form()->Show();
  };
  p.unloadScanWindow = [] {
    if (auto& window = ScanWindow()) {
      window->Unload();
      window.reset();
    }
  };
  p.showAbout = [] {
    if (ui::Toolkit* kit = ui::CurrentToolkit()) ui::ShowAbout(*kit, MainForm());
  };
  return p;
}

}  // namespace tv::app
