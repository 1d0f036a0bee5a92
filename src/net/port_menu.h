// The Port tab of the main window: the port table shown in the shared list, and its pop-up
// menu "Port".
#pragma once
#include "ui/widgets.h"

namespace tv::net {

// Opening the tab, F5 on it and the menu's refresh: the table is built again and shown.
void ShowPortTab(ui::ListHost& h);

enum PortMenuIndex : int {
  kPortRefresh = 0,  // "&Refresh"
};
ui::Menu PortMenu();
// Carries out item `index` of PortMenu(); -1 (no choice) does nothing.
void PortMenuClick(ui::ListHost& h, int index);

}  // namespace tv::net
