// frmMain: the main window. A column of tab buttons switches one shared list between processes,
// start-up entries, browser helper objects, ports and services; the start pane (quick start,
// advanced tools, initialisation log) and the file-function pane (the file wiper) can cover the
// list. A tool bar, the notification-area icon with its menu and the hot key Ctrl+Alt+F5 reach
// the rest. Closing the window hides it; only the tray menu's Quit ends the program.
//
// The list tabs and the windows of the other subsystems reach the window through
// MainWindowParts, so that this file depends on none of them.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/tray.h"
#include "ui/widgets.h"

namespace tv::app {

// One list tab: fills the shared list (refresh, rows, status panel 1), its pop-up menu, and what
// a pick of that menu does (the index of the item chosen).
struct TabPart {
  std::function<void(ui::ListHost&)> fill;
  std::function<ui::Menu()> menu;
  std::function<void(ui::ListHost&, int index)> onMenu;
};

struct MainWindowParts {
  TabPart processes, startup, bho, ports, services;  // services.fill shows filter 1
  std::function<void(int mode, int pid)> openModuleWindow;  // modal FrmModule
  std::function<void(int mode)> openScanWindow;             // FrmScan in that mode (modeless)
  std::function<void()> showScanWindow, unloadScanWindow;
  std::function<void()> showAbout;                          // FrmAbout, modal
};

// The parts over the engines as they are: the five lists filled by their own refreshes, no
// pop-up menus, no other windows.
MainWindowParts DefaultParts();

// What the start-up sequence found, shown in the initialisation log.
struct StartupResult {
  bool privilegeOk = false;
  bool resourceOk = false;
};

// Tab indexes of Command1.
enum Tab : int {
  kTabStart = 0, kTabScan = 1, kTabProcess = 2, kTabKernel = 3, kTabStartup = 4, kTabBho = 5,
  kTabPort = 6, kTabService = 7, kTabTools = 9,
};

// A column of a list tab: key, entry of the column-caption table, width in pixels (a negative
// width -n stands for "list width - n").
struct TabColumn {
  const char* key;
  int captionEntry;
  int width;
};
// The columns of a list tab (2, 4, 5, 6, 7); empty for the other indexes.
const std::vector<TabColumn>& TabColumns(int tab);

// The initialisation log, its lines joined by CR LF.
std::string InitializationLog(const StartupResult& r);

// Identifier of the hot key Ctrl+Alt+F5 on the main window.
inline constexpr int kHotKeyId = 0x5456;
// Smallest client area: 12000 x 9000 twips at 15 twips a pixel.
inline constexpr ui::Size kMinimumClient{800, 600};
// The tray menu's items by index.
enum TrayItem : int {
  kTrayProcess = 0, kTrayStartup = 1, kTrayJunk = 2, kTrayOpen = 4, kTrayAbout = 5, kTrayHome = 6,
  kTrayQuit = 8,
};

class FrmMain {
 public:
  FrmMain(ui::Toolkit& kit, MainWindowParts parts, StartupResult init);
  ~FrmMain();
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  ui::Form& form() { return *form_; }
  ui::ListView& list() { return *list_; }
  ui::StatusBar& status() { return *status_; }

  // Form_Load: the log, the start pane, the hot key, the tray icon, the message filter. Shows
  // the window.
  void Load();
  // Form_Terminate: the companion driver stopped and deleted, the CPU sampler released, the
  // trust list saved, the hot key and the tray icon removed.
  void Terminate();

  // The events, as the controls raise them.
  void TabClick(int index);          // Command1_Click
  void QuickStartClick(int index);   // QuickStartButton_Click
  void AdvancedClick(int index);     // AdvancedButton_Click
  void ToolBarClick(int index);      // ToolBar_Click
  void TrayMenuClick(int index);     // PoupMenuMain_Click
  void OpenHomePage();               // ImgLogo_Click, tray item 6
  bool KeyDown(int key, std::uint32_t modifiers);  // Form_KeyDown; true: swallowed
  void Resize();                     // Form_Resize
  bool QueryUnload();                // Form_Unload: false cancels
  void FitLastColumn();
  // Refreshes the list of CurrentTab() (F5).
  void RefreshCurrentTab();

  // The file-function pane.
  void SetDeleteMode(int mode);      // Option1_Click
  void DeleteListedFiles();          // CmdDel(0) "&OK"
  void BrowseFilesToDelete();        // CmdDel(1) "&Browse"

  ui::Menu TrayMenu() const;
  int CurrentTab() const { return currentTab_; }
  bool QuitRequested() const { return quitRequested_; }
  int DeleteMode() const { return deleteMode_; }

 private:
  void Build();
  void BuildStartPane();
  void BuildFunctionPane();
  void ShowList(int tab);          // columns of the tab, list in front
  void FillList(int tab);
  TabPart* PartFor(int tab);
  void ListMouseUp(int button);
  ui::ListHost Host();

  ui::Toolkit& kit_;
  MainWindowParts parts_;
  StartupResult init_;
  std::unique_ptr<ui::Form> form_;
  std::unique_ptr<ui::TrayController> tray_;
  ui::ListView* list_ = nullptr;
  ui::ListView* files_ = nullptr;   // LVFunction
  ui::StatusBar* status_ = nullptr;
  ui::Timer* timerCpu_ = nullptr;
  ui::Pane* picStart_ = nullptr;
  ui::Pane* picFunction_ = nullptr;
  ui::Pane* picTop_ = nullptr;
  ui::Label* shape_ = nullptr;
  ui::Label* labState_ = nullptr;
  std::vector<ui::Button*> options_;
  int currentTab_ = kTabStart;
  int listTab_ = -1;       // the tab whose columns the list shows
  int deleteMode_ = 0;
  bool quitRequested_ = false;
  bool terminated_ = false;
};

}  // namespace tv::app
