#include "app/frm_main.h"

#include <algorithm>

#include "platform/api.h"
#include "base/platform_ops.h"
#include "scan/scan_engine.h"
#include "scan/scan_lists.h"
#include "sysconfig/driver.h"
#include "tools/file_delete.h"
#include "tools/junk_cleaner.h"
#include "tools/registry_fix.h"
#include "tools/report.h"
#include "ui/cpu_usage.h"
#include "ui/text_tables.h"

namespace tv::app {

namespace {

constexpr const char* kCaption = "Tolvexa  (Professional Edition)";
constexpr std::uint32_t kListStyle = 0x30;  // full-row select, header drag and drop
constexpr int kTimerCpuMs = 1000;

std::string Indexed(const std::string& name, int i) { return name + "(" + std::to_string(i) + ")"; }

struct TabButton {
  int index;
  const char* caption;
  ui::IconId icon;
};
const TabButton kTabButtons[] = {
    {0, "&Get Started", ui::IconId::TabStart}, {1, "&Smart Scan", ui::IconId::TabScan},
    {2, "&Process", ui::IconId::TabProcess},   {3, "&Kernel", ui::IconId::TabKernel},
    {4, "&Startup", ui::IconId::TabStartup},   {5, "&BHO", ui::IconId::TabBho},
    {6, "P&ort", ui::IconId::TabPort},         {7, "Ser&vice", ui::IconId::TabService},
    {9, "&Tools", ui::IconId::TabTools},
};

const char* kOptionCaptions[] = {"Normal Delete", "Secure Delete", "Reboot Delete", "Force Delete"};
const char* kCmdDelCaptions[] = {"&OK", "&Browse", "&Clear", "C&ancel"};

bool IsListTab(int tab) {
  return tab == kTabProcess || tab == kTabStartup || tab == kTabBho || tab == kTabPort || tab == kTabService;
}

// "Default" has its texts here; another language takes them from the main text table.
std::string LogLine(int entry, const char* english) {
  if (Language() == "Default") return english;
  return MainText()[static_cast<std::size_t>(entry)];
}

}  // namespace

const std::vector<TabColumn>& TabColumns(int tab) {
  static const std::vector<TabColumn> process = {
      {"&ImageName", 0, 120}, {"&PID", 1, 60}, {"&Rootkit", 2, 50}, {"&PathName", 3, 350},
      {"&Company", 4, 100}, {"&Description", 5, 100}, {"&Version", 6, 100}};
  static const std::vector<TabColumn> startup = {{"&Group", 7, 180}, {"&Name", 8, 150}, {"&Value", 9, 350}};
  static const std::vector<TabColumn> bho = {{"&Name", 10, 250}, {"&Value", 11, 400}, {"&Publisher", 12, 250}};
  static const std::vector<TabColumn> port = {
      {"&Protocol", 13, 50}, {"&Local IP", 14, 90}, {"&Local Port", 15, 60}, {"&Remote IP", 16, 90},
      {"&Remote Port", 17, 60}, {"&Status", 18, 50}, {"&PID", 19, 50}, {"&PathName", 20, -350}};
  static const std::vector<TabColumn> service = {
      {"&Name", 21, 60}, {"&DisplayName", 22, 90}, {"&Status", 23, 30}, {"&Type", 24, 30},
      {"&StartupType", 25, 30}, {"&ImagePath", 26, 300}, {"&Description", 27, 100}, {"&Group", 28, 50},
      {"&Company", 29, 100}, {"&Comments", 30, 100}, {"&Version", 31, 100}};
  static const std::vector<TabColumn> none;
  switch (tab) {
    case kTabProcess: return process;
    case kTabStartup: return startup;
    case kTabBho: return bho;
    case kTabPort: return port;
    case kTabService: return service;
    default: return none;
  }
}

std::string InitializationLog(const StartupResult& r) {
  std::string log;
  log += r.privilegeOk ? LogLine(5, "Adjust privilege -- OK.") : LogLine(6, "Adjust privilege -- Failed.");
  log += "\r\n";
  log += r.resourceOk ? LogLine(7, "Load resource -- OK.") : LogLine(8, "Load resource -- Failed.");
  log += "\r\n";
  log += std::string(35, '-');
  log += "\r\n";
  log += r.privilegeOk && r.resourceOk
             ? LogLine(11, "Initialization -- OK.")
             : LogLine(12, "Initialization -- Failed. Some functions are not available!");
  return log;
}

FrmMain::FrmMain(ui::Toolkit& kit, MainWindowParts parts, StartupResult init)
    : kit_(kit), parts_(std::move(parts)), init_(init) {
  Build();
}

FrmMain::~FrmMain() {
  if (form_ && kit_.MainForm() == form_.get()) kit_.SetMainForm(nullptr);
}

void FrmMain::Build() {
  form_ = kit_.CreateForm("frmMain", kCaption, kMinimumClient);
  ui::Form& f = *form_;
  f.SetIcon(ui::IconId::App);
  f.SetMinimumSize(kMinimumClient);

  auto* logo = f.AddPicture("ImgLogo", ui::IconId::Logo, {8, 4, 145, 56});
  logo->onClick = [this] { OpenHomePage(); };

  picTop_ = f.AddPane("PicTop", {0, 0, 160, 60});
  const char* toolCaptions[] = {"About", "Setting"};
  const ui::IconId toolIcons[] = {ui::IconId::About, ui::IconId::Setting};
  for (int i = 0; i < 2; ++i) {
    auto* h = picTop_->AddHoverLabel(Indexed("ToolBar", i), toolCaptions[i], toolIcons[i], 1, {i * 80, 14, 76, 32});
    h->onClick = [this, i] { ToolBarClick(i); };
  }
  shape_ = f.AddLabel("Shape1", "", {8, 62, 0, 2});

  int y = 68;
  for (const TabButton& t : kTabButtons) {
    auto* b = f.AddButton(Indexed("Command1", t.index), t.caption, {8, y, 145, 40});
    b->SetIcon(t.icon);
    int index = t.index;
    b->onClick = [this, index] { TabClick(index); };
    y += 46;
  }

  list_ = f.AddListView("lsvProcesses", {161, 68, 630, 502});
  list_->SetExtendedStyle(kListStyle);
  list_->onMouseUp = [this](int button, int, int) { ListMouseUp(button); };

  BuildStartPane();
  BuildFunctionPane();

  status_ = f.AddStatusBar("StaBar", 3);
  for (int p = 1; p <= 3; ++p) status_->SetPanelText(p, "Ready");

  timerCpu_ = f.AddTimer("TimerCPU", kTimerCpuMs);
  timerCpu_->SetEnabled(false);
  timerCpu_->onTick = [this] { status_->SetPanelText(2, UsageStatusText()); };

  f.onResize = [this] { Resize(); };
  f.onKeyDown = [this](int key, std::uint32_t mods) { return KeyDown(key, mods); };
  f.onClose = [this] { return QueryUnload(); };
  f.onClosed = [this] { kit_.Quit(); };
  Resize();
}

void FrmMain::BuildStartPane() {
  picStart_ = form_->AddPane("PicStart", {161, 68, 630, 502});
  picStart_->SetBackColor(0x00FFFFFF);

  auto* started = picStart_->AddPane("PicGetStarted", {10, 10, 300, 300}, true);
  auto* lab = started->AddLabel("LabGetStarted", "Quick Start", {10, 8, 280, 20});
  lab->SetBold(true);
  const char* quick[] = {"Startup Manager", "Process Explorer", "Clean Junk File", "Fix Registry"};
  const ui::IconId quickIcons[] = {ui::IconId::QuickStartup, ui::IconId::QuickProcess, ui::IconId::QuickJunk,
                                   ui::IconId::QuickRegistry};
  for (int i = 0; i < 4; ++i) {
    auto* h = started->AddHoverLabel(Indexed("QuickStartButton", i), quick[i], quickIcons[i], 1,
                                     {20, 40 + i * 56, 260, 48});
    h->onClick = [this, i] { QuickStartClick(i); };
  }

  auto* advanced = picStart_->AddPane("PicAdvanced", {320, 10, 300, 300}, true);
  lab = advanced->AddLabel("LabAdvanced", "Advanced", {10, 8, 280, 20});
  lab->SetBold(true);
  const char* adv[] = {"Service Manager", "Wipe File", "Generate Report"};
  const char* advTips[] = {"Manage Service", "Delete obstinate file", "Generate report for repair"};
  const ui::IconId advIcons[] = {ui::IconId::AdvService, ui::IconId::AdvWipe, ui::IconId::AdvReport};
  for (int i = 0; i < 3; ++i) {
    auto* h = advanced->AddHoverLabel(Indexed("AdvancedButton", i), adv[i], advIcons[i], 1,
                                      {20, 40 + i * 56, 260, 48});
    h->SetToolTip(advTips[i]);
    h->onClick = [this, i] { AdvancedClick(i); };
  }

  auto* ini = picStart_->AddPane("PicIniState", {10, 320, 610, 170}, true);
  lab = ini->AddLabel("LabIniState", "Initialization Status", {10, 8, 590, 20});
  lab->SetBold(true);
  labState_ = ini->AddLabel("LabState", "", {20, 36, 580, 120});
}

void FrmMain::BuildFunctionPane() {
  picFunction_ = form_->AddPane("PicFunction", {161, 68, 630, 502});
  auto* frame = picFunction_->AddPane("FrameFunction", {8, 4, 614, 56}, true);
  frame->SetText("Delete Option");
  for (int i = 0; i < 4; ++i) {
    auto* b = frame->AddButton(Indexed("Option1", i), kOptionCaptions[i], {10 + i * 150, 20, 140, 26});
    b->onClick = [this, i] { SetDeleteMode(i); };
    options_.push_back(b);
  }
  files_ = picFunction_->AddListView("LVFunction", {8, 66, 614, 390});
  for (int i = 0; i < 4; ++i) {
    auto* b = picFunction_->AddButton(Indexed("CmdDel", i), kCmdDelCaptions[i], {8 + i * 90, 464, 84, 28});
    switch (i) {
      case 0: b->onClick = [this] { DeleteListedFiles(); }; break;
      case 1: b->onClick = [this] { BrowseFilesToDelete(); }; break;
      case 2: b->onClick = [this] { files_->ClearRows(); }; break;
      default: b->onClick = [this] { picStart_->BringToFront(); }; break;
    }
  }
  SetDeleteMode(0);
}

void FrmMain::Load() {
  labState_->SetText(InitializationLog(init_));
  picStart_->BringToFront();
  kit_.SetMainForm(form_.get());
  form_->RegisterHotKey(kHotKeyId, ui::kModControl | ui::kModAlt, ui::kVkF5);
  tray_ = std::make_unique<ui::TrayController>(
      kit_, *form_, [this] { return TrayMenu(); }, [this](int i) { TrayMenuClick(i); }, kHotKeyId);
  tray_->Add();
  form_->Show();
}

void FrmMain::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  timerCpu_->SetEnabled(false);
  ClsDriver& driver = CompanionDriver();
  driver.StopDrv();
  driver.DelDrv();
  ReleaseCpuSampler();
  UpdateList(1, kListSave);
  form_->UnregisterHotKey(kHotKeyId);
  if (tray_) tray_->Remove();
}

ui::ListHost FrmMain::Host() { return ui::ListHost{form_.get(), list_, status_}; }

TabPart* FrmMain::PartFor(int tab) {
  switch (tab) {
    case kTabProcess: return &parts_.processes;
    case kTabStartup: return &parts_.startup;
    case kTabBho: return &parts_.bho;
    case kTabPort: return &parts_.ports;
    case kTabService: return &parts_.services;
    default: return nullptr;
  }
}

void FrmMain::ShowList(int tab) {
  list_->ClearRows();
  list_->ClearColumns();
  int width = list_->Bounds().width;
  for (const TabColumn& c : TabColumns(tab)) {
    int w = c.width >= 0 ? c.width : std::max(0, width + c.width);
    list_->AddColumn({c.key, ColumnText()[static_cast<std::size_t>(c.captionEntry)], w});
  }
  list_->SetExtendedStyle(kListStyle);
  list_->BringToFront();
  listTab_ = tab;
}

void FrmMain::FillList(int tab) {
  TabPart* part = PartFor(tab);
  if (!part || !part->fill) return;
  ui::ListHost host = Host();
  part->fill(host);
}

void FrmMain::TabClick(int index) {
  if (index != kTabScan && index != kTabKernel) currentTab_ = index;
  if (index == kTabStart) {
    picStart_->BringToFront();
  } else if (index == kTabScan) {
    if (parts_.openScanWindow) parts_.openScanWindow(1);
    form_->Hide();
  } else if (index == kTabKernel) {
    if (parts_.openModuleWindow) parts_.openModuleWindow(3, 4);
  }
  if (IsListTab(index)) ShowList(index);

  timerCpu_->SetEnabled(false);
  status_->SetPanelText(2, "");

  if (index == kTabStart) status_->SetPanelText(1, "");
  if (IsListTab(index)) FillList(index);
  if (index == kTabProcess) timerCpu_->SetEnabled(true);
  FitLastColumn();
  TrimWorkingSet();
}

void FrmMain::FitLastColumn() {
  int width = list_->Bounds().width - 350;
  if (width < 0) return;  // not a width a column can have
  if (currentTab_ == kTabStartup && listTab_ == kTabStartup && list_->ColumnCount() > 2)
    list_->SetColumnWidth(2, width);
  else if (currentTab_ == kTabPort && listTab_ == kTabPort && list_->ColumnCount() > 7)
    list_->SetColumnWidth(7, width);
}

void FrmMain::RefreshCurrentTab() {
  // F5 refreshes the tab's rows in place; the columns stay as the tab set them. A tab whose
  // columns are no longer in the list (another tab's are) is not filled into them.
  if (!IsListTab(currentTab_) || listTab_ != currentTab_) return;
  FillList(currentTab_);
}

bool FrmMain::KeyDown(int key, std::uint32_t modifiers) {
  (void)modifiers;
  if (key != ui::kVkF5) return false;
  RefreshCurrentTab();
  return false;
}

void FrmMain::Resize() {
  ui::Size cs = form_->ClientSize();
  if (cs.width < kMinimumClient.width || cs.height < kMinimumClient.height) {
    form_->SetClientSize({std::max(cs.width, kMinimumClient.width), std::max(cs.height, kMinimumClient.height)});
    cs = form_->ClientSize();
    if (cs.width < kMinimumClient.width || cs.height < kMinimumClient.height) return;
  }
  ui::Rect area{161, 68, cs.width - 170, cs.height - 98};
  list_->SetBounds(area);
  picStart_->SetBounds(area);
  picFunction_->SetBounds(area);
  picTop_->SetBounds({cs.width - 170, 0, 160, 60});
  shape_->SetBounds({8, 62, cs.width - 16, 2});
  FitLastColumn();
}

bool FrmMain::QueryUnload() {
  if (!quitRequested_) {
    form_->Hide();
    return false;
  }
  if (!ScanStopped()) {
    int answer = ui::MessageBox("Are you sure to stop scanning spyware?", "Tolvexa",
                                ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2);
    if (answer == ui::mb::IdYes && parts_.showScanWindow) parts_.showScanWindow();
    quitRequested_ = false;
    return false;
  }
  if (parts_.unloadScanWindow) parts_.unloadScanWindow();
  return true;
}

void FrmMain::QuickStartClick(int index) {
  switch (index) {
    case 0: TabClick(kTabStartup); break;
    case 1: TabClick(kTabProcess); break;
    case 2:
      timerCpu_->SetEnabled(false);
      CleanJunkFiles();
      break;
    case 3:
      timerCpu_->SetEnabled(false);
      FixRegistry();
      break;
    default: break;
  }
}

void FrmMain::AdvancedClick(int index) {
  timerCpu_->SetEnabled(false);
  status_->SetPanelText(1, "");
  status_->SetPanelText(2, "");
  switch (index) {
    case 0: TabClick(kTabService); break;
    case 1:
      files_->ClearRows();
      files_->ClearColumns();
      files_->AddColumn({"&File", "File", 500});
      files_->SetExtendedStyle(kListStyle);
      picFunction_->BringToFront();
      break;
    case 2: WriteDiagnosticReport(); break;
    default: break;
  }
}

void FrmMain::ToolBarClick(int index) {
  if (index == 0 && parts_.showAbout) parts_.showAbout();
  // 1 "Setting": nothing yet.
}

void FrmMain::OpenHomePage() { platform::Shell().ShellExecuteA("open", AddressText()[0], "", "", 1); }

ui::Menu FrmMain::TrayMenu() const {
  ui::Menu m;
  m.name = "PoupMenuMain";
  for (const char* c : {"Process Explorer", "Startup Manager", "Clean Junk File", "-", "Open Tolvexa",
                        "About Tolvexa", "Visit Our Homepage", "-", "Quit"})
    m.items.push_back({c});
  return m;
}

void FrmMain::TrayMenuClick(int index) {
  switch (index) {
    case kTrayProcess:
      form_->Show();
      TabClick(kTabProcess);
      break;
    case kTrayStartup:
      form_->Show();
      TabClick(kTabStartup);
      break;
    case kTrayJunk: CleanJunkFiles(); break;
    case kTrayOpen: form_->Show(); break;
    case kTrayAbout:
      if (parts_.showAbout) parts_.showAbout();
      break;
    case kTrayHome: OpenHomePage(); break;
    case kTrayQuit:
      quitRequested_ = true;
      form_->Close();
      break;
    default: break;
  }
}

void FrmMain::ListMouseUp(int button) {
  if (button != 2) return;
  TabPart* part = PartFor(listTab_);
  if (!part || !part->menu) return;
  int pick = form_->PopupMenu(part->menu());
  if (pick < 0 || !part->onMenu) return;
  ui::ListHost host = Host();
  part->onMenu(host, pick);
}

void FrmMain::SetDeleteMode(int mode) {
  if (mode < 0 || mode > 3) return;
  deleteMode_ = mode;
  // The chosen option shows pressed (and cannot be chosen again), as an option button does.
  for (int i = 0; i < static_cast<int>(options_.size()); ++i) options_[static_cast<std::size_t>(i)]->SetEnabled(i != mode);
}

void FrmMain::DeleteListedFiles() {
  for (int i = 0, n = files_->RowCount(); i < n; ++i) {
    std::string path = files_->Cell(i, 0);
    DeleteFileByMode(path, deleteMode_, true);
  }
  files_->ClearRows();
}

void FrmMain::BrowseFilesToDelete() {
  ui::FileDialog d;
  d.title = "Select file to delete";
  d.filters = {{"Exe Files (*.exe;*.dll;*.com;*.scr)", "*.exe;*.dll;*.com;*.scr"},
               {"Sys Files (*.sys;*.dll;*.vxd;*.drv)", "*.sys;*.dll;*.vxd;*.drv"},
               {"All Files (*.*)", "*.*"}};
  d.filterIndex = 1;
  d.flags = 0x1018420E;
  d.maxFile = 65276;
  std::string chosen = ui::GetOpenFileName(d);
  if (chosen.empty()) return;
  OpenFileNames names = ParseOpenFileNames(chosen);
  for (const std::string& name : names.names) {
    ui::ListRow row;
    row.text = names.directory + name;
    row.iconKey = row.text;
    files_->AddRow(row);
  }
}

}  // namespace tv::app
