// The main window over the recording toolkit: tabs and their columns, F5, the panes, the list's
// pop-up menu, hiding and quitting, the tray icon and its menu, the file-function pane, the
// usage timer and the tools of the start pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "native/main_window_fixture.h"
#include "platform/api.h"
#include "sysconfig/registry.h"
#include "ui/tray.h"

namespace tv {
namespace {

using namespace std::string_literals;

TEST_F(MainWindowTest, LoadShowsTheStartPaneWithTheLogAndTakesTheTrayAndHotKey) {
  Open(app::MainWindowParts{}, {true, false});
  EXPECT_EQ(Form().Text(), "Tolvexa  (Professional Edition)");
  EXPECT_TRUE(Form().Visible());
  EXPECT_EQ(Front(), "PicStart");
  EXPECT_EQ(Get<ui::RecLabel>("LabState").Text(),
            "Adjust privilege -- OK.\r\nLoad resource -- Failed.\r\n-----------------------------------\r\n"
            "Initialization -- Failed. Some functions are not available!");
  for (int p = 1; p <= 3; ++p) EXPECT_EQ(Panel(p), "Ready");
  EXPECT_EQ(Form().hotKeys_.at(app::kHotKeyId), std::make_pair(ui::kModControl | ui::kModAlt, ui::kVkF5));
  EXPECT_TRUE(Form().MessageFilter());
  EXPECT_TRUE(kit.trayShown);
  EXPECT_EQ(kit.trayOwner, &Form());
  EXPECT_EQ(kit.trayTip, "Tolvexa 1.0\r\nhttp://www.tolvexa.com/");
  EXPECT_EQ(kit.MainForm(), &Form());
  EXPECT_FALSE(Form().TimerNamed("TimerCPU")->Enabled());
  EXPECT_EQ(Form().TimerNamed("TimerCPU")->Interval(), 1000);
}

// Each list tab replaces the columns (keys, captions from the caption table, widths) and rows.
TEST_F(MainWindowTest, EachListTabSetsItsColumns) {
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  m.SetString(kHklmRunKey, "two", "C:\\two.exe");
  m.Key(std::string(kBhoKeyPath) + "\\{11111111-1111-1111-1111-111111111111}");
  Open();
  const int fitted = List().Bounds().width - 350;
  struct Case {
    int tab;
    std::vector<std::string> captions;
    std::vector<int> widths;
    std::string firstKey;
  };
  const std::vector<Case> cases = {
      {4, {"Group", "Name", "Value"}, {180, 150, fitted}, "&Group"},
      {5, {"Nmae", "Value", "Publisher"}, {250, 400, 250}, "&Name"},
      {2, {"ImageName", "PID", "Rootkit", "PathName", "Company", "Description", "Version"},
       {120, 60, 50, 350, 100, 100, 100}, "&ImageName"},
      {6, {"Protocol", "Local IP", "Local Port", "Remote IP", "Remote Port", "Status", "PID", "PathName"},
       {50, 90, 60, 90, 60, 50, 50, fitted}, "&Protocol"},
      {7, {"Name", "DisplayName", "Status", "Type", "StartupType", "ImagePath", "Description", "Group", "Company",
           "Company Info", "Version"},
       {60, 90, 30, 30, 30, 300, 100, 50, 100, 100, 100}, "&Name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tab);
    ASSERT_TRUE(Click("Command1(" + std::to_string(c.tab) + ")"));
    EXPECT_EQ(List().ColumnCaptions(), c.captions);
    std::vector<int> widths;
    for (const auto& col : List().columns_) widths.push_back(col.width);
    EXPECT_EQ(widths, c.widths);
    EXPECT_EQ(List().GetColumn(0).key, c.firstKey);
    EXPECT_EQ(List().ExtendedStyle(), 0x30u);
    EXPECT_EQ(Front(), "lsvProcesses");
  }
  // The service tab shows and stores filter 1 whatever the list showed before.
  EXPECT_EQ(ServiceFilter(), kManageService);
}

TEST_F(MainWindowTest, TabSwitchReplacesTheRowsAndTheCount) {
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  m.SetString(kHklmRunKey, "two", "C:\\two.exe");
  m.Key(std::string(kBhoKeyPath) + "\\{11111111-1111-1111-1111-111111111111}");
  Open();
  Click("Command1(4)");
  EXPECT_EQ(List().RowCount(), 2);
  EXPECT_EQ(List().ColumnTexts(1), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Panel(1), "2 Item(s)");
  Click("Command1(5)");
  EXPECT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().Cell(0, 0), "{11111111-1111-1111-1111-111111111111}");
  EXPECT_EQ(Panel(1), "1 Item(s)");
  Click("Command1(2)");
  ASSERT_GT(List().RowCount(), 0);
  EXPECT_NE(Panel(1).find("Process: " + std::to_string(List().RowCount()) + " , Hidden Process: "), std::string::npos);
  // The start tab covers the list and clears the count.
  Click("Command1(0)");
  EXPECT_EQ(Front(), "PicStart");
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(Panel(2), "");
}

// F5 refreshes the last list tab even while a pane covers the list, and nothing while the start
// tab itself was the last tab pressed.
TEST_F(MainWindowTest, F5RefreshesTheCurrentTabBehindThePanes) {
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  Open();
  Click("Command1(4)");
  ASSERT_EQ(List().RowCount(), 1);

  m.SetString(kHklmRunKey, "two", "C:\\two.exe");
  Click("AdvancedButton(1)");  // the file-function pane covers the list
  EXPECT_EQ(Front(), "PicFunction");
  EXPECT_FALSE(Form().PressKey(ui::kVkF5));
  EXPECT_EQ(List().RowCount(), 2);
  EXPECT_EQ(Front(), "PicFunction");
  EXPECT_EQ(Panel(1), "2 Item(s)");

  m.SetString(kHklmRunKey, "three", "C:\\three.exe");
  Click("CmdDel(3)");  // Cancel: the start pane, the tab stays
  EXPECT_EQ(Front(), "PicStart");
  EXPECT_EQ(window_->CurrentTab(), 4);
  Form().PressKey(ui::kVkF5);
  EXPECT_EQ(List().RowCount(), 3);

  m.SetString(kHklmRunKey, "four", "C:\\four.exe");
  Click("Command1(0)");
  Form().PressKey(ui::kVkF5);
  EXPECT_EQ(List().RowCount(), 3);
  // Other keys are not taken.
  Click("Command1(4)");
  const int rows = List().RowCount();
  m.SetString(kHklmRunKey, "five", "C:\\five.exe");
  Form().PressKey(ui::kVkReturn);
  EXPECT_EQ(List().RowCount(), rows);
}

TEST_F(MainWindowTest, ScanAndKernelTabsOpenTheirWindowsAndKeepTheCurrentTab) {
  std::vector<std::string> calls;
  app::MainWindowParts parts = app::DefaultParts();
  parts.openScanWindow = [&](int mode) { calls.push_back("scan " + std::to_string(mode)); };
  parts.openModuleWindow = [&](int mode, int pid) {
    calls.push_back("module " + std::to_string(mode) + " " + std::to_string(pid));
  };
  Open(parts);
  Click("Command1(4)");
  Click("Command1(3)");
  EXPECT_TRUE(Form().Visible());
  Click("Command1(1)");
  EXPECT_FALSE(Form().Visible());
  EXPECT_EQ(calls, (std::vector<std::string>{"module 3 4", "scan 1"}));
  EXPECT_EQ(window_->CurrentTab(), 4);
  // The tools tab only does the common steps: the list stays as it was, the timer stops.
  Click("Command1(2)");
  Click("Command1(9)");
  EXPECT_EQ(window_->CurrentTab(), 9);
  EXPECT_EQ(List().GetColumn(0).caption, "ImageName");
  EXPECT_FALSE(Form().TimerNamed("TimerCPU")->Enabled());
}

TEST_F(MainWindowTest, StartPaneButtonsSwitchToTheirTabs) {
  Open();
  struct Case {
    const char* control;
    int tab;
    const char* firstCaption;
  };
  for (const Case& c : {Case{"QuickStartButton(0)", 4, "Group"}, Case{"QuickStartButton(1)", 2, "ImageName"},
                        Case{"AdvancedButton(0)", 7, "Name"}}) {
    SCOPED_TRACE(c.control);
    Click("Command1(0)");
    ASSERT_TRUE(Click(c.control));
    EXPECT_EQ(window_->CurrentTab(), c.tab);
    EXPECT_EQ(Front(), "lsvProcesses");
    EXPECT_EQ(List().GetColumn(0).caption, c.firstCaption);
  }
  EXPECT_EQ(Form().Get<ui::RecHoverLabel>("AdvancedButton(1)")->ToolTip(), "Delete obstinate file");
  EXPECT_EQ(Form().Get<ui::RecHoverLabel>("QuickStartButton(2)")->Text(), "Clean Junk File");
}

// The right-button release opens the menu of the tab whose rows the list shows, and a pick goes
// to that tab with the list.
TEST_F(MainWindowTest, RightButtonOpensTheTabMenuAndPassesThePick) {
  std::vector<std::string> picks;
  app::MainWindowParts parts = app::DefaultParts();
  parts.startup.menu = [] { return ui::Menu{"MenuRegister", {{"&Delete"}, {"-"}, {"&Fix"}}}; };
  parts.startup.onMenu = [&](ui::ListHost& host, int index) {
    picks.push_back(std::to_string(index) + " " + std::to_string(host.list->FirstSelected()) + " " +
                    host.owner->Name());
  };
  parts.bho.menu = nullptr;
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  m.SetString(kHklmRunKey, "two", "C:\\two.exe");
  Open(parts);
  Click("Command1(4)");
  List().Select({1});
  kit.menuPicks = {2, -1, 1};
  List().RightClick();  // "&Fix"
  List().RightClick();  // dismissed
  List().RightClick();  // the separator cannot be chosen
  EXPECT_EQ(picks, (std::vector<std::string>{"2 1 frmMain"}));
  ASSERT_EQ(kit.menusShown.size(), 3u);
  EXPECT_EQ(kit.menusShown[0].name, "MenuRegister");
  // A tab without a menu, and the left button, open nothing.
  Click("Command1(5)");
  List().RightClick();
  List().onMouseUp(1, 5, 5);
  EXPECT_EQ(kit.menusShown.size(), 3u);
}

// Closing hides the window; the hot key, the tray icon and "Open Tolvexa" bring it back; other
// programs can neither close it nor read or change its title.
TEST_F(MainWindowTest, CloseHidesAndTheHotKeyAndTrayBringItBack) {
  Open();
  EXPECT_FALSE(Form().Close());
  EXPECT_FALSE(Form().Visible());
  EXPECT_FALSE(Form().Closed());
  EXPECT_FALSE(kit.quit);
  Form().PressHotKey(app::kHotKeyId);
  EXPECT_TRUE(Form().Visible());

  Form().Hide();
  Form().Minimize();
  kit.ClickTray(ui::kTrayLeftUp);
  EXPECT_TRUE(Form().Visible());
  EXPECT_FALSE(Form().Minimized());

  Form().Hide();
  kit.menuPicks = {app::kTrayOpen};
  kit.ClickTray(ui::kTrayRightUp);
  EXPECT_TRUE(Form().Visible());

  EXPECT_EQ(Form().ForeignMessage(16), "");
  EXPECT_EQ(Form().ForeignMessage(2), "");
  EXPECT_EQ(Form().ForeignMessage(13), "");
  EXPECT_EQ(Form().ForeignMessage(12, "pwned"), "");
  EXPECT_EQ(Form().Text(), "Tolvexa  (Professional Edition)");
  EXPECT_FALSE(Form().Closed());
}

TEST_F(MainWindowTest, QuitDuringAScanAsksAndKeepsRunning) {
  int scanShown = 0, scanUnloaded = 0;
  app::MainWindowParts parts = app::DefaultParts();
  parts.showScanWindow = [&] { ++scanShown; };
  parts.unloadScanWindow = [&] { ++scanUnloaded; };
  Open(parts);
  ScanStopped() = false;

  struct Case {
    int answer;
    int shown;
  };
  for (const Case& c : {Case{ui::mb::IdYes, 1}, Case{ui::mb::IdNo, 0}}) {
    SCOPED_TRACE(c.answer);
    scanShown = 0;
    kit.recorder.messages.clear();
    kit.recorder.answers = {c.answer};
    kit.menuPicks = {app::kTrayQuit};
    kit.ClickTray(ui::kTrayRightUp);
    ASSERT_EQ(kit.recorder.messages.size(), 1u);
    EXPECT_EQ(kit.recorder.messages[0].text, "Are you sure to stop scanning spyware?");
    EXPECT_EQ(kit.recorder.messages[0].title, "Tolvexa");
    EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2);
    EXPECT_EQ(scanShown, c.shown);
    EXPECT_FALSE(Form().Closed());
    EXPECT_FALSE(window_->QuitRequested());
    EXPECT_FALSE(kit.quit);
    // Closing afterwards only hides again: the quit request was dropped.
    EXPECT_FALSE(Form().Close());
    EXPECT_EQ(kit.recorder.messages.size(), 1u);
  }
  EXPECT_EQ(scanUnloaded, 0);

  ScanStopped() = true;
  kit.menuPicks = {app::kTrayQuit};
  kit.ClickTray(ui::kTrayRightUp);
  EXPECT_TRUE(Form().Closed());
  EXPECT_EQ(scanUnloaded, 1);
  EXPECT_TRUE(kit.quit);
  window_->Terminate();
  EXPECT_FALSE(kit.trayShown);
  EXPECT_TRUE(Form().hotKeys_.empty());
}

TEST_F(MainWindowTest, TrayMenuItems) {
  int about = 0;
  app::MainWindowParts parts = app::DefaultParts();
  parts.showAbout = [&] { ++about; };
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  Open(parts);

  kit.events.clear();
  kit.menuPicks = {-1};
  kit.ClickTray(ui::kTrayRightUp);
  ASSERT_EQ(kit.menusShown.size(), 1u);
  std::vector<std::string> captions;
  for (const auto& i : kit.menusShown[0].items) captions.push_back(i.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Process Explorer", "Startup Manager", "Clean Junk File", "-",
                                                "Open Tolvexa", "About Tolvexa", "Visit Our Homepage", "-", "Quit"}));
  EXPECT_EQ(kit.events, (std::vector<std::string>{"foreground frmMain", "menu PoupMenuMain"}));

  Form().Hide();
  kit.menuPicks = {app::kTrayStartup};
  kit.ClickTray(ui::kTrayRightUp);
  EXPECT_TRUE(Form().Visible());
  EXPECT_EQ(window_->CurrentTab(), 4);
  EXPECT_EQ(List().RowCount(), 1);

  Form().Hide();
  kit.menuPicks = {app::kTrayProcess};
  kit.ClickTray(ui::kTrayRightUp);
  EXPECT_TRUE(Form().Visible());
  EXPECT_EQ(window_->CurrentTab(), 2);
  EXPECT_TRUE(Form().TimerNamed("TimerCPU")->Enabled());

  kit.menuPicks = {app::kTrayAbout, app::kTrayHome};
  kit.ClickTray(ui::kTrayRightUp);
  kit.ClickTray(ui::kTrayRightUp);
  EXPECT_EQ(about, 1);
  ASSERT_EQ(m.state.shellExecuted.size(), 1u);
  EXPECT_EQ(m.state.shellExecuted[0].verb, "open");
  EXPECT_EQ(m.state.shellExecuted[0].file, "http://www.tolvexa.com/");
  EXPECT_EQ(m.state.shellExecuted[0].show, 1);

  // The logo opens the home page too; the tool bar's About shows the box, Setting nothing.
  Get<ui::RecPicture>("ImgLogo").onClick();
  EXPECT_EQ(m.state.shellExecuted.size(), 2u);
  Click("ToolBar(0)");
  Click("ToolBar(1)");
  EXPECT_EQ(about, 2);
}

// A re-created taskbar gets the icon back with the same tip.
TEST_F(MainWindowTest, TaskbarRestartPutsTheIconBack) {
  Open();
  kit.trayTip.clear();
  kit.RemoveTrayIcon();
  ASSERT_TRUE(kit.onTaskbarCreated);
  kit.onTaskbarCreated();
  EXPECT_TRUE(kit.trayShown);
  EXPECT_EQ(kit.trayOwner, &Form());
  EXPECT_EQ(kit.trayTip, "Tolvexa 1.0\r\nhttp://www.tolvexa.com/");
}

TEST(TrayTip, CutToSixtyThreeBytesWithoutSplittingACharacter) {
  struct Case {
    std::string tip;
    std::size_t size;
  };
  const std::string e = "\xC3\xA9";          // two bytes
  const std::string han = "\xE4\xB8\xAD";    // three bytes
  const std::vector<Case> cases = {
      {"", 0},
      {std::string(62, 'a'), 62},
      {std::string(63, 'a'), 63},
      {std::string(64, 'a'), 63},
      {std::string(200, 'a'), 63},
      {std::string(62, 'a') + e, 62},             // would end inside the two-byte character
      {std::string(61, 'a') + e + "bb", 63},      // ends right after it
      {std::string(61, 'a') + han + "b", 61},     // a three-byte character across the cut
      {std::string(60, 'a') + han + "b", 63},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tip.size());
    const std::string cut = ui::CutTrayTip(c.tip);
    EXPECT_EQ(cut.size(), c.size);
    EXPECT_EQ(cut, c.tip.substr(0, c.size));
    EXPECT_LT(cut.size(), ui::kTrayTipBytes);
  }
}

TEST_F(MainWindowTest, ResizeMovesThePanesAndKeepsTheMinimum) {
  Open();
  Click("Command1(6)");
  Form().SetClientSize({1000, 700});
  const ui::Rect area{161, 68, 830, 602};
  for (const char* n : {"lsvProcesses", "PicStart", "PicFunction"}) {
    SCOPED_TRACE(n);
    ui::Control* c = Form().Find(n);
    ASSERT_NE(c, nullptr);
    const ui::Rect r = c->Bounds();
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.width, r.height}),
              std::vector<int>({area.left, area.top, area.width, area.height}));
  }
  EXPECT_EQ(Form().Find("PicTop")->Bounds().left, 830);
  EXPECT_EQ(List().GetColumn(7).width, 830 - 350);

  Form().minimum_ = {};  // as a window system that lets the user drag below it
  Form().SetClientSize({500, 400});
  EXPECT_EQ(Form().ClientSize().width, 800);
  EXPECT_EQ(Form().ClientSize().height, 600);
  EXPECT_EQ(List().Bounds().width, 630);
}

TEST_F(MainWindowTest, UsageTimerRunsOnlyWhileTheProcessTabWasTheLastFilled) {
  m.state.processorCount = 1;
  Open();
  ui::RecTimer& timer = *Form().TimerNamed("TimerCPU");
  Click("Command1(2)");
  ASSERT_TRUE(timer.Enabled());
  timer.Tick();
  EXPECT_TRUE(std::regex_match(Panel(2), std::regex("CPU Usage: -?[0-9]+%  ,  Memory Usage: 50%"))) << Panel(2);

  struct Case {
    const char* control;
    bool clearsPanel1;
  };
  for (const Case& c : {Case{"Command1(4)", false}, Case{"Command1(9)", false}, Case{"AdvancedButton(1)", true}}) {
    SCOPED_TRACE(c.control);
    Click("Command1(2)");
    timer.Tick();
    ASSERT_FALSE(Panel(2).empty());
    Click(c.control);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(Panel(2), "");
    timer.Tick();
    EXPECT_EQ(Panel(2), "");
    if (c.clearsPanel1) {
      EXPECT_EQ(Panel(1), "");
    }
  }
}

// The file-function pane: two listed files deleted in each mode, the list emptied afterwards.
TEST_F(MainWindowTest, FilePaneDeletesTheListedFilesInEachMode) {
  Open();
  Click("AdvancedButton(1)");
  EXPECT_EQ(Front(), "PicFunction");
  auto& files = Get<ui::RecListView>("LVFunction");
  EXPECT_EQ(files.ColumnCaptions(), (std::vector<std::string>{"File"}));
  EXPECT_EQ(files.GetColumn(0).key, "&File");
  EXPECT_EQ(files.GetColumn(0).width, 500);
  EXPECT_EQ(window_->DeleteMode(), 0);

  struct Case {
    int mode;
    bool stay;  // scheduled for the restart only
  };
  for (const Case& c : {Case{1, false}, Case{2, true}, Case{3, false}, Case{0, false}}) {
    SCOPED_TRACE(c.mode);
    m.state.files.clear();
    m.AddFile("C:\\data\\a.txt", fattr::ReadOnly, Bytes(10, 'a'));
    m.AddFile("C:\\data\\b.txt", fattr::Archive, Bytes(3, 'b'));
    ASSERT_TRUE(Click("Option1(" + std::to_string(c.mode) + ")"));
    EXPECT_EQ(window_->DeleteMode(), c.mode);
    kit.recorder.dialogAnswers = {"C:\\data\0a.txt\0b.txt\0\0"s};
    Click("CmdDel(1)");
    ASSERT_EQ(files.ColumnTexts(0), (std::vector<std::string>{"C:\\data\\a.txt", "C:\\data\\b.txt"}));
    EXPECT_EQ(files.rows_[0].iconFile, "C:\\data\\a.txt");
    Click("CmdDel(0)");
    EXPECT_EQ(m.FindFile("C:\\data\\a.txt") != nullptr, c.stay);
    EXPECT_EQ(m.FindFile("C:\\data\\b.txt") != nullptr, c.stay);
    EXPECT_EQ(files.RowCount(), 0);
    EXPECT_TRUE(MessageTexts().empty()) << MessageTexts().front();
  }
  const ui::FileDialog& d = kit.recorder.dialogs.back();
  EXPECT_EQ(d.title, "Select file to delete");
  EXPECT_EQ(d.flags, 0x1018420Eu);
  EXPECT_EQ(d.maxFile, 65276u);
  ASSERT_EQ(d.filters.size(), 3u);
  EXPECT_EQ(d.filters[1].second, "*.sys;*.dll;*.vxd;*.drv");
}

TEST_F(MainWindowTest, FilePaneReportsAFileThatCannotBeDeletedAndStillEmptiesTheList) {
  Open();
  Click("AdvancedButton(1)");
  auto& files = Get<ui::RecListView>("LVFunction");
  // OK on an empty list does nothing.
  Click("CmdDel(0)");
  EXPECT_TRUE(MessageTexts().empty());

  m.AddFile("C:\\data\\b.txt");
  kit.recorder.dialogAnswers = {"C:\\data\0gone.txt\0b.txt\0\0"s, "C:\\data\\b.txt"s, ""s};
  Click("CmdDel(1)");
  Click("CmdDel(1)");  // a file already listed is listed again
  Click("CmdDel(1)");  // cancelled: nothing added
  ASSERT_EQ(files.RowCount(), 3);
  Click("CmdDel(0)");
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Delete file :C:\\data\\gone.txt error!",
                                                       "Delete file :C:\\data\\b.txt error!"}));
  EXPECT_EQ(m.FindFile("C:\\data\\b.txt"), nullptr);
  EXPECT_EQ(files.RowCount(), 0);

  // Clear empties the list; opening the pane again empties it too.
  kit.recorder.dialogAnswers = {"C:\\x.txt"s, "C:\\y.txt"s};
  Click("CmdDel(1)");
  Click("CmdDel(2)");
  EXPECT_EQ(files.RowCount(), 0);
  Click("CmdDel(1)");
  Click("AdvancedButton(1)");
  EXPECT_EQ(files.RowCount(), 0);
}

// The tools of the start pane and of the tray menu disable the main window while they run and
// enable it again.
TEST_F(MainWindowTest, StartPaneToolsDisableAndReenableTheMainWindow) {
  Open();
  struct Case {
    std::function<void()> start;
    std::string progress;
  };
  const std::vector<Case> cases = {
      {[&] { Click("QuickStartButton(2)"); }, "progress Tolvexa - Clean Junk File 8"},
      {[&] { Click("QuickStartButton(3)"); }, "progress Tolvexa - Fix Registry 19"},
      {[&] {
         kit.menuPicks = {app::kTrayJunk};
         kit.ClickTray(ui::kTrayRightUp);
       },
       "progress Tolvexa - Clean Junk File 8"},
      {[&] {
         // An answer given at once is asked again: the second one counts.
         kit.recorder.dialogAnswers = {"C:\\report.log", "C:\\report.log"};
         Click("AdvancedButton(2)");
       },
       ""},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    kit.recorder.windowEvents.clear();
    bool disabledMeanwhile = false;
    kit.onDoEvents = [&] { disabledMeanwhile = disabledMeanwhile || !Form().Enabled(); };
    cases[i].start();
    kit.onDoEvents = nullptr;
    const auto& ev = kit.recorder.windowEvents;
    ASSERT_GE(ev.size(), 2u);
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "main disabled"), 1);
    EXPECT_EQ(ev.back(), "main enabled");
    if (!cases[i].progress.empty()) {
      EXPECT_EQ(ev.front(), cases[i].progress);
    }
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(Form().Enabled());
  }
  EXPECT_NE(m.FindFile("C:\\report.log"), nullptr);
}

}  // namespace
}  // namespace tv
