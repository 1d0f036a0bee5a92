#include "scan/frm_scan.h"

#include <algorithm>
#include <utility>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "base/record_text.h"
#include "platform/api.h"
#include "scan/blacklist_scan.h"
#include "scan/frm_manage.h"
#include "scan/scan_lists.h"
#include "ui/text_tables.h"

namespace tv::scan {

namespace {

constexpr ui::Size kClient{760, 500};
constexpr int kStatusHeight = 20, kPaneWidth = 440, kPaneHeight = 30;
constexpr int kListTop = 100;

// The system scan's own texts (it has no entries in the scan text table).
constexpr const char* kSystemTitle = "Tolvexa (Scan System)";
constexpr const char* kSystemInitializing = "Initializing...";
constexpr const char* kSystemStarted = "Strated Time: ";
constexpr const char* kSystemEnded = "End Time: ";
constexpr const char* kSystemCompleted = "Scan spyware completed";

// Design captions of the buttons, the labels 0 to 4 and the menu items.
constexpr const char* kButtonCaptions[5] = {"&Scan", "S&top", "&Close", "&Process", "Trust &List"};
constexpr const char* kLabelCaptions[5] = {"Scanning: ", "Scanned:", "Found Threat: ", "Started Time: ", "End Time: "};
constexpr const char* kMenuCaptions[9] = {
    "&Clean Dangerous && Potential Items", "Clean &Dangerous Items", "Clean &Potential Items",
    "Clean &Selected Items", "Clean &All", "&Ignore All", "-", "Add All to &Trust List",
    "Add Selected Items to &Trust List"};
constexpr int kSeparatorItem = 6;

enum Command : int { kCmdScan = 0, kCmdStop = 1, kCmdClose = 2, kCmdProcess = 3, kCmdTrust = 4 };

std::string Indexed(const std::string& name, int i) { return name + "(" + std::to_string(i) + ")"; }

}  // namespace

FrmScan::FrmScan(ui::Toolkit& kit, Hooks hooks) : kit_(kit), hooks_(std::move(hooks)) {
  menu_.name = "TopMenuCleanThreat";
  for (const char* caption : kMenuCaptions) menu_.items.push_back({caption});
}

FrmScan::~FrmScan() {
  unloading_ = true;
  if (form_ && !form_->Closed()) form_->Close();
}

ui::Form* FrmScan::form() { return form_.get(); }

void FrmScan::BuildForm() {
  if (form_) {
    // A scan still on its way out writes to the old controls: keep them until it is gone.
    if (running_) retired_.push_back(std::move(form_));
    form_.reset();
  }
  form_ = kit_.CreateForm("FrmScan", kSystemTitle, kClient);
  ui::Form& f = *form_;
  f.SetIcon(ui::IconId::App);
  f.SetMinimumSize(kClient);
  f.AddPicture("ImgScan", ui::IconId::TabScan, {10, 8, 32, 32});
  labels_[0] = f.AddLabel("LabScan(0)", kLabelCaptions[0], {50, 8, 690, 16});
  labels_[6] = f.AddLabel("LabScan(6)", "        ", {50, 28, 690, 16});
  labels_[1] = f.AddLabel("LabScan(1)", kLabelCaptions[1], {10, 50, 70, 16});
  labels_[7] = f.AddLabel("LabScan(7)", "0", {80, 50, 70, 16});
  labels_[2] = f.AddLabel("LabScan(2)", kLabelCaptions[2], {160, 50, 90, 16});
  labels_[8] = f.AddLabel("LabScan(8)", "0", {250, 50, 50, 16});
  labels_[3] = f.AddLabel("LabScan(3)", kLabelCaptions[3], {305, 50, 220, 16});
  labels_[4] = f.AddLabel("LabScan(4)", kLabelCaptions[4], {530, 50, 225, 16});
  bar_ = f.AddProgressBar("ProBarScan", {10, 72, kClient.width - 20, 18});
  list_ = f.AddListView("LVScan", {10, kListTop, kClient.width - 20, 300}, true);
  list_->SetIconMap(ui::RiskIcons());
  pane_ = f.AddPane("PicScan", {0, 0, kPaneWidth, kPaneHeight});
  for (int i = 0; i < 5; ++i) {
    buttons_[i] = pane_->AddButton(Indexed("CmdScan", i), kButtonCaptions[i], {i * 88, 0, 84, 26});
    buttons_[i]->onClick = [this, i] { ClickCommand(i); };
  }
  // The two scans beside the Smart Scan: each switches the window to its mode and starts.
  modeButtons_[0] = f.AddButton("CmdMode(0)", "Scan &Memory", {10, 0, 100, 26});
  modeButtons_[0]->onClick = [this] { StartScanIn(kModeMemory); };
  modeButtons_[1] = f.AddButton("CmdMode(1)", "Scan S&ystem", {115, 0, 100, 26});
  modeButtons_[1]->onClick = [this] { StartScanIn(kModeSystem); };
  folder_ = f.AddTextBox("TxtFolder", kDefaultSystemFolder, {220, 0, 90, 22});
  folder_->SetToolTip("Folder of the system scan");
  status_ = f.AddStatusBar("StaScan", 1);
  f.onClose = [this] { return OnClose(); };
  f.onClosed = [this] { loaded_ = false; };
  f.onResize = [this] { Layout(); };
  Layout();
}

void FrmScan::Layout() {
  if (!form_) return;
  const ui::Size s = form_->ClientSize();
  const int paneTop = s.height - kStatusHeight - kPaneHeight - 6;
  bar_->SetBounds({10, 72, std::max(0, s.width - 20), 18});
  list_->SetBounds({10, kListTop, std::max(0, s.width - 20), std::max(0, paneTop - kListTop - 6)});
  pane_->SetBounds({s.width - kPaneWidth - 5, paneTop, kPaneWidth, kPaneHeight});
  modeButtons_[0]->SetBounds({10, paneTop, 100, 26});
  modeButtons_[1]->SetBounds({115, paneTop, 100, 26});
  folder_->SetBounds({220, paneTop + 2, 90, 22});
}

void FrmScan::ApplyLanguage() {
  for (int i = 0; i < 5; ++i) buttons_[i]->SetText(kButtonCaptions[i]);
  for (int i = 0; i < 5; ++i) labels_[i]->SetText(kLabelCaptions[i]);
  for (int i = 0; i < 9; ++i) menu_.items[static_cast<std::size_t>(i)].caption = kMenuCaptions[i];
  if (Language() == "Default") return;
  for (int i = 0; i < 5; ++i) buttons_[i]->SetText(ScanButtonText()[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 5; ++i) labels_[i]->SetText(ScanText()[static_cast<std::size_t>(i)]);
  // The separator stays a separator whatever the table holds in its place.
  for (int i = 0; i < 9; ++i)
    if (i != kSeparatorItem) menu_.items[static_cast<std::size_t>(i)].caption = ScanMenuText()[static_cast<std::size_t>(i)];
}

void FrmScan::Load(int mode) {
  if (!form_ || form_->Closed()) BuildForm();
  mode_ = (mode == kModeMemory || mode == kModeSystem) ? mode : kModeSmart;
  ApplyLanguage();
  list_->ClearRows();
  list_->ClearColumns();
  if (mode_ == kModeSmart) {
    form_->SetText(ScanText()[10]);
    const auto& c = SmartScanColumnText();
    list_->AddColumn({"&Object", c[0], 350});
    list_->AddColumn({"&Risk Level", c[1], 100});
    list_->AddColumn({"&Result", c[2], 100});
    list_->AddColumn({"&Location", c[3], 500});
  } else {
    // The system scan shows the same rows as the memory scan: a path and its action.
    form_->SetText(mode_ == kModeMemory ? ScanText()[9] : kSystemTitle);
    const auto& c = MemoryScanColumnText();
    list_->AddColumn({"&Object", c[0], 500});
    list_->AddColumn({"&Action", c[1], 100});
    list_->AddColumn({"&Result", c[2], 100});
  }
  list_->SetExtendedStyle(0x20 | 0x10);
  list_->SetInputBlocked(false);
  labels_[0]->SetText("");
  labels_[6]->SetText("        ");
  labels_[7]->SetText("0");
  labels_[8]->SetText("0");
  bar_->SetRange(0, 100);
  bar_->SetValue(0);
  status_->SetPanelText(1, "Ready");
  SetIdleButtons();
  loaded_ = true;
}

void FrmScan::Show(int mode) {
  if (!loaded_ || !form_ || form_->Closed())
    Load(mode);
  else if (!Scanning() && mode != mode_)
    Load(mode);
  form_->Show();
}

void FrmScan::Unload() {
  if (!form_ || form_->Closed()) return;
  ScanStopped() = true;
  unloading_ = true;
  form_->Close();
  unloading_ = false;
}

bool FrmScan::OnClose() {
  if (unloading_) return true;
  if (Scanning()) {
    // The scan goes on behind the main window; the window keeps its results.
    form_->Hide();
    if (hooks_.showMainWindow) hooks_.showMainWindow();
    return false;
  }
  if (hooks_.showMainWindow) hooks_.showMainWindow();
  return true;
}

void FrmScan::SetIdleButtons() {
  buttons_[kCmdScan]->SetEnabled(true);
  buttons_[kCmdStop]->SetEnabled(false);
  buttons_[kCmdClose]->SetEnabled(true);
  buttons_[kCmdProcess]->SetEnabled(list_->RowCount() > 0);
  buttons_[kCmdTrust]->SetEnabled(true);
  for (ui::Button* b : modeButtons_) b->SetEnabled(true);
  folder_->SetEnabled(true);
}

void FrmScan::ClickCommand(int index) {
  switch (index) {
    case kCmdScan: StartScan(); break;
    case kCmdStop: ScanStopped() = true; break;
    case kCmdClose: form_->Close(); break;
    case kCmdProcess: ShowProcessMenu(); break;
    case kCmdTrust:
      if (!Scanning()) ShowTrustManager(kit_, form_.get());
      break;
    default: break;
  }
}

void FrmScan::StartScanIn(int mode) {
  if (Scanning()) return;
  if (mode != mode_) Load(mode);
  StartScan();
}

void FrmScan::StartScan() {
  if (Scanning() || !form_) return;
  running_ = true;
  const bool system = mode_ == kModeSystem;
  const std::string initializing = system ? kSystemInitializing : ScanText()[5];
  const std::string started = system ? kSystemStarted : ScanText()[3];
  const std::string ended = system ? kSystemEnded : ScanText()[4];
  const std::string completed = system ? kSystemCompleted : ScanText()[mode_ == kModeMemory ? 6 : 7];

  SetStatus(initializing);
  SetPhase(initializing);
  ScanStopped() = false;
  buttons_[kCmdStop]->SetEnabled(true);
  buttons_[kCmdScan]->SetEnabled(false);
  buttons_[kCmdProcess]->SetEnabled(false);
  buttons_[kCmdTrust]->SetEnabled(false);
  for (ui::Button* b : modeButtons_) b->SetEnabled(false);
  folder_->SetEnabled(false);
  ThreatCount() = 0;
  bar_->SetValue(0);
  labels_[3]->SetText(started + GeneralDateNow());
  labels_[4]->SetText(ended);
  labels_[7]->SetText("0");
  labels_[8]->SetText("0");
  list_->ClearRows();
  // The user cannot act on the list while the engine fills it.
  list_->SetInputBlocked(true);

  switch (mode_) {
    case kModeMemory: RunMemoryScan(*this); break;
    case kModeSystem: {
      std::string folder = TrimBlanks(folder_->Text());
      if (folder.empty()) folder = kDefaultSystemFolder;
      RunSystemScan(folder, *this);
      break;
    }
    default: RunSmartScan(*this); break;
  }

  SetPhase(completed);
  SetCurrentObject("");
  SetStatus(completed);
  buttons_[kCmdStop]->SetEnabled(false);
  buttons_[kCmdScan]->SetEnabled(true);
  buttons_[kCmdTrust]->SetEnabled(true);
  buttons_[kCmdProcess]->SetEnabled(ThreatCount() != 0);
  for (ui::Button* b : modeButtons_) b->SetEnabled(true);
  folder_->SetEnabled(true);
  ScanStopped() = true;
  labels_[4]->SetText(ended + GeneralDateNow());
  list_->SetInputBlocked(false);
  running_ = false;
  retired_.clear();
}

void FrmScan::ShowProcessMenu() {
  if (Scanning() || mode_ == kModeSystem) return;
  const bool smart = mode_ == kModeSmart;
  for (int i : {1, 2, 3, 4, 8}) menu_.items[static_cast<std::size_t>(i)].visible = smart;
  const int pick = form_->PopupMenu(menu_);
  if (pick >= 0) CleanThreatCommand(pick);
}

void FrmScan::CleanWhere(const std::function<bool(std::size_t, const ScanItem&)>& pick) {
  ScanTable& threats = ThreatList();
  for (std::size_t i = 0; i < threats.size(); ++i)
    if (pick(i, threats[i])) {
      const std::int32_t result = CleanThreat(threats[i], true);
      threats[i].Result = result;
    }
}

void FrmScan::TrustWhere(const std::function<bool(std::size_t)>& pick) {
  ScanTable& threats = ThreatList();
  bool added = false;
  for (std::size_t i = 0; i < threats.size(); ++i)
    if (pick(i)) {
      TrustList().push_back(threats[i]);
      threats[i].Result = kResultDone;
      added = true;
    }
  // One save for the whole command.
  if (added) (void)SaveTrustList();
}

void FrmScan::CleanThreatCommand(int index) {
  std::vector<bool> selected(ThreatList().size(), false);
  for (int row : list_->SelectedRows())
    if (static_cast<std::size_t>(row) < selected.size()) selected[static_cast<std::size_t>(row)] = true;
  switch (index) {
    case kCleanDangerousAndPotential:
      CleanWhere([](std::size_t, const ScanItem& t) { return t.RiskLevel >= kRiskUnknown; });
      break;
    case kCleanDangerous:
      CleanWhere([](std::size_t, const ScanItem& t) { return t.RiskLevel == kRiskDangerous; });
      break;
    case kCleanPotential:
      CleanWhere([](std::size_t, const ScanItem& t) { return t.RiskLevel == kRiskPotential; });
      break;
    case kCleanSelected:
      CleanWhere([&](std::size_t i, const ScanItem&) { return selected[i]; });
      break;
    case kCleanAll:
      if (kit_.MessageBox(ScanText()[18], MessageText()[3],
                          ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2) != ui::mb::IdYes)
        return;
      CleanWhere([](std::size_t, const ScanItem&) { return true; });
      break;
    case kIgnoreAll:
      list_->ClearRows();
      ResetThreatList(3);
      buttons_[kCmdProcess]->SetEnabled(false);
      return;
    case kTrustAll: TrustWhere([](std::size_t) { return true; }); break;
    case kTrustSelected: TrustWhere([&](std::size_t i) { return selected[i]; }); break;
    default: return;
  }
  RefreshThreatView();
}

void FrmScan::RefreshThreatView() {
  if (!form_) return;
  ScanTable& threats = ThreatList();
  std::erase_if(threats, [](const ScanItem& t) { return t.Result == kResultDone; });
  list_->ClearRows();
  if (mode_ != kModeSystem) {
    std::vector<ui::ListRow> rows;
    rows.reserve(threats.size());
    for (const ScanItem& t : threats) {
      ui::ListRow row;
      row.text = t.Object.str();
      row.icon = t.RiskLevel + 1;
      const std::string result = t.Result == kResultCleanFailed ? ScanText()[17] : std::string();
      if (mode_ == kModeSmart)
        row.subItems = {RiskText(t.RiskLevel), result, LocationText(t)};
      else
        row.subItems = {ScanText()[16], result};
      rows.push_back(std::move(row));
    }
    list_->AddRows(rows);
  }
  buttons_[kCmdProcess]->SetEnabled(!threats.empty());
}

// ------------------------------------------------------------------ what the engine shows ----

void FrmScan::SetPhase(const std::string& text) { labels_[0]->SetText(text); }
void FrmScan::SetCurrentObject(const std::string& text) { labels_[6]->SetText(text); }
void FrmScan::SetScannedCount(std::int32_t count) { labels_[7]->SetText(std::to_string(count)); }
void FrmScan::SetFoundCount(std::int32_t count) { labels_[8]->SetText(std::to_string(count)); }
void FrmScan::SetProgressMax(std::int32_t maximum) { bar_->SetRange(0, std::max(maximum, 0)); }
void FrmScan::SetProgressValue(std::int32_t value) { bar_->SetValue(std::clamp(value, 0, bar_->Maximum())); }
void FrmScan::SetStatus(const std::string& text) { status_->SetPanelText(1, text); }
void FrmScan::AddResultRow(const ScanItem& item, const ui::ListRow& row) {
  (void)item;
  list_->AddRow(row);
}
void FrmScan::DoEvents() { kit_.DoEvents(); }
void FrmScan::Alert() { kit_.PlaySound(Folders().SoundFile); }

}  // namespace tv::scan
