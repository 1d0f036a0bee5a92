// The main window's list tabs over the engines as they are: each tab runs its engine's refresh
// and shows the rows and the count. The pop-up menus and the other windows are wired where the
// program is put together.
#include "app/frm_main.h"

#include "net/ports.h"
#include "process/process_list.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"

namespace tv::app {

namespace {

void Show(ui::ListHost& host, const ui::ListContent& content) {
  if (host.list) {
    host.list->ClearRows();
    host.list->AddRows(content.rows);
  }
  if (host.status) host.status->SetPanelText(1, content.status);
}

// Rows of the process snapshot: name, PID, Rootkit, path, company, description, version.
ui::ListContent ProcessRows() {
  ui::ListContent c;
  const ProcessList& list = GetProcessList();
  for (const ProcessRecord& r : list) {
    ui::ListRow row;
    row.text = r.ImageName;
    row.subItems = {std::to_string(r.PID), r.Rootkit ? MainText()[13] : MainText()[14], r.PathName,
                    r.Company, r.Description, r.Version};
    c.rows.push_back(std::move(row));
  }
  c.status = MainText()[20] + std::to_string(list.size()) + " , " + MainText()[21] +
             std::to_string(list.HiddenCount());
  return c;
}

}  // namespace

MainWindowParts DefaultParts() {
  MainWindowParts p;
  p.processes.fill = [](ui::ListHost& host) {
    RefreshProcessList();
    Show(host, ProcessRows());
  };
  p.startup.fill = [](ui::ListHost& host) {
    GetStartupItems();
    Show(host, ShowStartupList());
  };
  p.bho.fill = [](ui::ListHost& host) {
    GetBrowserHelperObjects();
    Show(host, ShowBhoList());
  };
  p.ports.fill = [](ui::ListHost& host) {
    GetPortTable();
    Show(host, FillPortList());
  };
  p.services.fill = [](ui::ListHost& host) {
    GetServices();
    ServiceFilter() = kManageService;
    Show(host, ShowServiceList(kManageService));
  };
  return p;
}

}  // namespace tv::app
