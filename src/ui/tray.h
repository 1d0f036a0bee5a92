// The notification-area icon of the main window and what reaches the window through it: a left
// click brings the window back, a right click opens the tray menu, the hot key shows the window,
// and a re-created taskbar gets the icon back with the same tip. The window drops close,
// destroy, get-text and set-text messages that other programs send it while the icon exists.
#pragma once
#include <functional>
#include <string>

#include "ui/widgets.h"

namespace tv::ui {

// Mouse messages the icon reports.
inline constexpr int kTrayLeftUp = 0x202, kTrayRightUp = 0x205;
// The tip field holds 64 bytes with its terminating NUL.
inline constexpr std::size_t kTrayTipBytes = 64;

// The tip as the icon record holds it: at most 63 bytes, never ending inside a UTF-8 sequence.
std::string CutTrayTip(const std::string& tip);
// The program title, a blank, major "." minor, CR LF and the home page (address entry 0).
std::string TrayTipText();

class TrayController {
 public:
  // `menu` builds the tray menu; `onPick` gets the index of the item chosen. `hotKeyId` is the
  // identifier of the window's hot key that shows it.
  TrayController(Toolkit& kit, Form& owner, std::function<Menu()> menu, std::function<void(int)> onPick,
                 int hotKeyId);
  ~TrayController();
  TrayController(const TrayController&) = delete;
  TrayController& operator=(const TrayController&) = delete;

  // Adds the icon, sets its tip, takes the toolkit's tray events and the form's hot key, and
  // turns the form's message filter on.
  void Add();
  // Removes the icon and gives the events back.
  void Remove();
  bool Shown() const { return shown_; }

  // What the window procedure does with the messages the icon brings.
  void OnTaskbarCreated();
  void OnMouse(int mouseMessage);
  void OnHotKey(int id);

 private:
  void AddIcon();
  Toolkit& kit_;
  Form& owner_;
  std::function<Menu()> menu_;
  std::function<void(int)> onPick_;
  int hotKeyId_;
  bool shown_ = false;
};

}  // namespace tv::ui
