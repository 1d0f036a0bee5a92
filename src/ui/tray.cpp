#include "ui/tray.h"

#include "ui/text_tables.h"

namespace tv::ui {

std::string CutTrayTip(const std::string& tip) {
  std::size_t n = tip.size();
  if (n < kTrayTipBytes) return tip;
  n = kTrayTipBytes - 1;
  // Step back over the continuation bytes of a character the cut would split, and its lead.
  std::size_t back = 0;
  while (back < n && (static_cast<unsigned char>(tip[n - 1 - back]) & 0xC0) == 0x80) ++back;
  if (back < n) {
    unsigned char lead = static_cast<unsigned char>(tip[n - 1 - back]);
    std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (need > back + 1) n -= back + 1;
  }
  return tip.substr(0, n);
}

std::string TrayTipText() {
  return "Tolvexa " + std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "\r\n" + AddressText()[0];
}

TrayController::TrayController(Toolkit& kit, Form& owner, std::function<Menu()> menu,
                               std::function<void(int)> onPick, int hotKeyId)
    : kit_(kit), owner_(owner), menu_(std::move(menu)), onPick_(std::move(onPick)), hotKeyId_(hotKeyId) {}

TrayController::~TrayController() {
  if (shown_) Remove();
}

void TrayController::AddIcon() {
  TrayIcon icon;
  icon.icon = IconId::Tray;
  kit_.AddTrayIcon(owner_, icon);
  kit_.SetTrayTip(CutTrayTip(TrayTipText()));
  shown_ = true;
}

void TrayController::Add() {
  kit_.onTrayMouse = [this](int message) { OnMouse(message); };
  kit_.onTaskbarCreated = [this] { OnTaskbarCreated(); };
  owner_.onHotKey = [this](int id) { OnHotKey(id); };
  owner_.SetMessageFilter(true);
  AddIcon();
}

void TrayController::Remove() {
  kit_.RemoveTrayIcon();
  kit_.onTrayMouse = nullptr;
  kit_.onTaskbarCreated = nullptr;
  owner_.onHotKey = nullptr;
  owner_.SetMessageFilter(false);
  shown_ = false;
}

void TrayController::OnTaskbarCreated() {
  kit_.RemoveTrayIcon();
  AddIcon();
}

void TrayController::OnMouse(int mouseMessage) {
  if (mouseMessage == kTrayLeftUp) {
    if (owner_.Minimized()) owner_.Restore();
    owner_.Show();
  } else if (mouseMessage == kTrayRightUp) {
    // In the foreground first, so that a click elsewhere closes the menu.
    owner_.SetForeground();
    if (!menu_) return;
    int pick = owner_.PopupMenu(menu_());
    if (pick >= 0 && onPick_) onPick_(pick);
  }
}

void TrayController::OnHotKey(int id) {
  if (id == hotKeyId_) owner_.Show();
}

}  // namespace tv::ui
