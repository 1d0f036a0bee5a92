// The scan window and the trust list manager on a simulated machine, driven through the
// recording toolkit.
#pragma once
#include <string>
#include <vector>

#include "scan/frm_scan.h"
#include "scan_fixture.h"
#include "ui/recording.h"

namespace tv::test {

inline const std::string kPoliciesExplorer =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::string kWinlogonKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

class ScanWindowTest : public ScanTest {
 protected:
  ui::RecordingToolkit kit;
  int mainShown = 0;

  void SetUp() override {
    ScanTest::SetUp();
    ui::InstallToolkit(&kit);
  }
  void TearDown() override {
    ui::InstallToolkit(nullptr);
    ScanTest::TearDown();
  }

  scan::FrmScan::Hooks Hooks() {
    return {[this] { ++mainShown; }};
  }
  ui::RecForm& Form(scan::FrmScan& w) { return *static_cast<ui::RecForm*>(w.form()); }
  ui::RecButton& Button(scan::FrmScan& w, const std::string& name) {
    auto* b = Form(w).Get<ui::RecButton>(name);
    EXPECT_NE(b, nullptr) << name;
    return *b;
  }
  ui::RecListView& List(scan::FrmScan& w) { return *Form(w).Get<ui::RecListView>("LVScan"); }
  std::string Label(scan::FrmScan& w, int i) {
    return Form(w).Get<ui::RecLabel>("LabScan(" + std::to_string(i) + ")")->Text();
  }
  std::string Status(scan::FrmScan& w) { return Form(w).Get<ui::RecStatusBar>("StaScan")->PanelText(1); }
  // Which of "&Scan", "S&top", "&Close", "&Process", "Trust &List" can be pressed, as "10101".
  std::string Enabled(scan::FrmScan& w) {
    std::string out;
    for (int i = 0; i < 5; ++i) out += Button(w, "CmdScan(" + std::to_string(i) + ")").Enabled() ? '1' : '0';
    return out;
  }
  void Press(scan::FrmScan& w, int command) { Button(w, "CmdScan(" + std::to_string(command) + ")").Click(); }
  // Pops up the "&Process" menu and picks `item`.
  void Pick(scan::FrmScan& w, int item) {
    kit.menuPicks.push_back(item);
    Press(w, 3);
  }
  bool HasValue(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (!k) return false;
    for (const auto& v : k->values)
      if (v.name == name) return true;
    return false;
  }
  std::string StringValue(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (k)
      for (const auto& v : k->values)
        if (v.name == name) return std::string(v.data.begin(), v.data.end()).c_str();
    return "<none>";
  }
  // Records in the trust list file.
  std::size_t TrustFileRecords() { return Contents(kTrustFile).size() / kListRecordSize; }
};

}  // namespace tv::test
