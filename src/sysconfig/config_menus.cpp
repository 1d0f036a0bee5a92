#include "sysconfig/config_menus.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"

namespace tv::sysconfig {
namespace {

// The design caption, or the caption table's entry when another language is in use and the
// table has one.
std::string Caption(const char* design, const std::string& translated) {
  if (Language() != "Default" && !translated.empty()) return translated;
  return design;
}

std::vector<int> Selection(const ui::ListHost& h) {
  return h.list ? h.list->SelectedRows() : std::vector<int>{};
}

// Images of the rows: a running service (1), a stopped one (2), a start-up entry or browser
// helper object (9).
std::vector<ui::IconId> ConfigIcons() {
  std::vector<ui::IconId> map(10, ui::IconId::None);
  map[1] = ui::IconId::RiskNormal;
  map[2] = ui::IconId::RiskNone;
  map[9] = ui::IconId::TabStartup;
  return map;
}

// The rows replace the list's rows; the count goes to status panel 1.
void ShowListContent(ui::ListHost& h, const ui::ListContent& content) {
  if (h.list) {
    h.list->SetIconMap(ConfigIcons());
    h.list->ClearRows();
    h.list->AddRows(content.rows);
  }
  if (h.status) h.status->SetPanelText(1, content.status);
}

// A command that was cancelled or had nothing to act on leaves the list as it is.
void ShowIfRefreshed(ui::ListHost& h, const std::optional<ui::ListContent>& content) {
  if (content) ShowListContent(h, *content);
}

}  // namespace

void ShowStartupTab(ui::ListHost& h) {
  GetStartupItems();
  ShowListContent(h, ShowStartupList());
}

void ShowBhoTab(ui::ListHost& h) {
  GetBrowserHelperObjects();
  ShowListContent(h, ShowBhoList());
}

void ShowServiceTab(ui::ListHost& h) { ShowListContent(h, RefreshServiceTab()); }

ui::Menu RegistryMenu(bool bhoTab) {
  // The caption table holds refresh, delete value, delete/fix value, in that order.
  const auto& t = RegistryMenuText();
  ui::Menu menu;
  menu.name = "MenuRegister";
  menu.items = {
      {Caption("&Refresh", t[0])},
      {Caption("&Delete/Fix Value", t[2]), !bhoTab},
      {Caption("&Delete Value", t[1]), bhoTab},
  };
  return menu;
}

void RegistryMenuClick(ui::ListHost& h, bool bhoTab, int index) {
  switch (index) {
    case kRegistryRefresh:
      if (bhoTab)
        ShowBhoTab(h);
      else
        ShowStartupTab(h);
      break;
    case kRegistryDeleteOrFix:
      if (!bhoTab) ShowIfRefreshed(h, DeleteOrFixReg(Selection(h)));
      break;
    case kRegistryDelete:
      if (bhoTab) ShowIfRefreshed(h, DeleteReg(Selection(h)));
      break;
    default:
      break;
  }
}

ui::Menu ServiceMenu() {
  const auto& t = ServiceMenuText();
  ui::Menu menu;
  menu.name = "MenuService";
  menu.items = {
      {Caption("Show &All", t[0])},
      {Caption("Manage &Service", t[1])},
      {Caption("Show S&tarted Service", t[2])},
      {Caption("&Manage Driver", t[3])},
      {Caption("Show Started &Driver", t[4])},
      {"-"},
      {Caption("&Run Service", t[5])},
      {Caption("Sto&p Service", t[6])},
      {Caption("&Delete Service", t[7])},
  };
  return menu;
}

void ServiceMenuClick(ui::ListHost& h, int index) {
  switch (index) {
    case kServiceShowAll:
    case kServiceManageService:
    case kServiceShowStarted:
    case kServiceManageDriver:
    case kServiceShowStartedDrv:
      ShowListContent(h, ChooseServiceFilter(index));
      break;
    case kServiceRun:
      ShowIfRefreshed(h, RunService(Selection(h)));
      break;
    case kServiceStop:
      ShowIfRefreshed(h, StopService(Selection(h)));
      break;
    case kServiceDelete:
      ShowIfRefreshed(h, DeleteService(Selection(h)));
      break;
    default:
      break;
  }
}

}  // namespace tv::sysconfig
