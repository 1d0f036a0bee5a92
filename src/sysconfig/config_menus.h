// The start-up, browser-helper-object and service tabs of the main window: filling the shared
// list from the engines, and the pop-up menus of those tabs with their commands.
#pragma once
#include "ui/widgets.h"

namespace tv::sysconfig {

// Opening a tab and F5 on it: the engine's list is built again and shown.
void ShowStartupTab(ui::ListHost& h);
void ShowBhoTab(ui::ListHost& h);
void ShowServiceTab(ui::ListHost& h);  // services only; that filter is stored

// The menu "Register" of the start-up and BHO tabs, by index.
enum RegistryMenuIndex : int {
  kRegistryRefresh = 0,      // "&Refresh"
  kRegistryDeleteOrFix = 1,  // "&Delete/Fix Value", start-up tab only
  kRegistryDelete = 2,       // "&Delete Value", BHO tab only
};
ui::Menu RegistryMenu(bool bhoTab);
// Carries out the item `index` of RegistryMenu(bhoTab) on the selected rows; -1 (no choice)
// and items hidden on that tab do nothing.
void RegistryMenuClick(ui::ListHost& h, bool bhoTab, int index);

// The menu "Service", by index: 0..4 the filters (the index is the filter value), a
// separator, then the three commands on the first selected row.
enum ServiceMenuIndex : int {
  kServiceShowAll = 0,         // "Show &All"
  kServiceManageService = 1,   // "Manage &Service"
  kServiceShowStarted = 2,     // "Show S&tarted Service"
  kServiceManageDriver = 3,    // "&Manage Driver"
  kServiceShowStartedDrv = 4,  // "Show Started &Driver"
  kServiceSeparator = 5,
  kServiceRun = 6,             // "&Run Service"
  kServiceStop = 7,            // "Sto&p Service"
  kServiceDelete = 8,          // "&Delete Service"
};
ui::Menu ServiceMenu();
void ServiceMenuClick(ui::ListHost& h, int index);

}  // namespace tv::sysconfig
