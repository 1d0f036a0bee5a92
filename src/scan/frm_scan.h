// FrmScan: the scan window. Runs a Smart Scan, a memory scan or a system scan, shows its
// progress and threats, and carries out the cleaning commands of its "&Process" menu.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scan/scan_engine.h"
#include "ui/widgets.h"

namespace tv::scan {

// What the window scans: the modules of every process, the start-up items, or the files of a
// folder tree.
enum ScanMode : int { kModeMemory = 0, kModeSmart = 1, kModeSystem = 2 };

// The commands of the "&Process" menu, by item index.
enum CleanCommand : int {
  kCleanDangerousAndPotential = 0,  // every threat rated Unknown or worse
  kCleanDangerous = 1,
  kCleanPotential = 2,
  kCleanSelected = 3,
  kCleanAll = 4,  // asks first
  kIgnoreAll = 5,
  kTrustAll = 7,  // item 6 is a separator
  kTrustSelected = 8,
};

class FrmScan : private ScanProgress {
 public:
  struct Hooks {
    std::function<void()> showMainWindow;
  };
  // The folder the system scan walks unless the user types another into "TxtFolder".
  static constexpr const char* kDefaultSystemFolder = "C:\\";

  FrmScan(ui::Toolkit& kit, Hooks hooks);
  ~FrmScan() override;
  FrmScan(const FrmScan&) = delete;
  FrmScan& operator=(const FrmScan&) = delete;

  // Shows the window for `mode` (modeless). A window that is not loaded is loaded for the mode
  // (its title, columns and an empty list); an idle window of another mode is loaded again for
  // the new one; a window that is hidden during a scan, or idle in the same mode, is shown as
  // it is, with its results.
  void Show(int mode);
  // The program's end: stops a running scan and closes the window for good.
  void Unload();
  // The window (nullptr before the first Show).
  ui::Form* form();
  int mode() const { return mode_; }

  // Redraws the result list from the threat list, dropping the threats that were cleaned or
  // moved to the trust list.
  void RefreshThreatView();

 private:
  void Load(int mode);
  void BuildForm();
  void ApplyLanguage();
  void Layout();
  void ClickCommand(int index);
  void StartScan();
  void StartScanIn(int mode);
  void ShowProcessMenu();
  void CleanThreatCommand(int index);
  void CleanWhere(const std::function<bool(std::size_t index, const ScanItem&)>& pick);
  void TrustWhere(const std::function<bool(std::size_t index)>& pick);
  bool OnClose();
  bool Scanning() const { return running_ || !ScanStopped(); }
  void SetIdleButtons();

  // ScanProgress: what the engine shows while it runs.
  void SetPhase(const std::string& text) override;
  void SetCurrentObject(const std::string& text) override;
  void SetScannedCount(std::int32_t count) override;
  void SetFoundCount(std::int32_t count) override;
  void SetProgressMax(std::int32_t maximum) override;
  void SetProgressValue(std::int32_t value) override;
  void SetStatus(const std::string& text) override;
  void AddResultRow(const ScanItem& item, const ui::ListRow& row) override;
  void DoEvents() override;
  void Alert() override;

  ui::Toolkit& kit_;
  Hooks hooks_;
  int mode_ = kModeSmart;
  bool loaded_ = false, running_ = false, unloading_ = false;
  std::unique_ptr<ui::Form> form_;
  // Windows closed while a scan was still on its way out: their controls stay valid until then.
  std::vector<std::unique_ptr<ui::Form>> retired_;
  ui::ListView* list_ = nullptr;
  ui::ProgressBar* bar_ = nullptr;
  ui::StatusBar* status_ = nullptr;
  ui::Pane* pane_ = nullptr;
  ui::Label* labels_[9] = {};
  ui::Button* buttons_[5] = {};
  ui::Button* modeButtons_[2] = {};
  ui::TextBox* folder_ = nullptr;
  ui::Menu menu_;
};

}  // namespace tv::scan
