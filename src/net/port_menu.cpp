#include "net/port_menu.h"

#include <string>
#include <utility>

#include "net/ports.h"

namespace tv::net {

void ShowPortTab(ui::ListHost& h) {
  GetPortTable();
  ui::ListContent content = FillPortList();
  if (h.list) {
    h.list->ClearRows();
    for (ui::ListRow& row : content.rows) {
      // Where the table knows the owners, a row shows the icon of its owner's image file,
      // which the list takes from the row's icon key; owners without a file show none.
      if (!row.iconKey.empty()) {
        const std::string& image = row.subItems.size() > 6 ? row.subItems[6] : std::string();
        row.iconKey = image == "---" ? std::string() : image;
      }
      h.list->AddRow(row);
    }
  }
  if (h.status) h.status->SetPanelText(1, content.status);
}

ui::Menu PortMenu() {
  ui::Menu menu;
  menu.name = "MenuPort";
  menu.items = {{"&Refresh"}};
  return menu;
}

void PortMenuClick(ui::ListHost& h, int index) {
  if (index == kPortRefresh) ShowPortTab(h);
}

}  // namespace tv::net
