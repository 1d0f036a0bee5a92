// The scan window: its states, the three scans, and the cleaning and trust commands, on
// simulated machines driven through the recording toolkit.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "scan_window_fixture.h"
#include "ui/text_tables.h"

namespace tv::test {
namespace {

using scan::FrmScan;

class FrmScanTest : public ScanWindowTest {
 protected:
  // One Normal start-up item (first in the walk) and three threats: an Unknown one (its file is
  // missing), a Potential one (a policy "Run" value whose file has a company name) and a
  // Dangerous one (a Run value whose file has no version text).
  void ThreeThreats() {
    AddFile("C:\\apps\\normal.exe", "Vendor Inc.");
    m.SetString(kHklmRun, "normal", "C:\\apps\\normal.exe");
    m.SetString(kHklmRun, "unknown", "C:\\gone\\missing.exe");
    AddFile("C:\\apps\\pot.exe", "Vendor Inc.");
    m.SetString(kPoliciesExplorer, "Run", "C:\\apps\\pot.exe");
    AddFile("C:\\evil\\bad.exe");
    m.SetString(kHklmRun, "bad", "C:\\evil\\bad.exe");
  }
  // The Risk Level cells of the rows, sorted.
  std::vector<std::string> Risks(FrmScan& w) {
    auto v = List(w).ColumnTexts(1);
    std::sort(v.begin(), v.end());
    return v;
  }
  int RowOfRisk(FrmScan& w, const std::string& risk) {
    auto v = List(w).ColumnTexts(1);
    return static_cast<int>(std::find(v.begin(), v.end(), risk) - v.begin());
  }
};

TEST_F(FrmScanTest, SmartScanFillsTheWindowAndEndsIdle) {
  ThreeThreats();
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  ui::RecForm& f = Form(w);
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(f.Text(), "Tolvexa (Smart Scan)");
  EXPECT_EQ(List(w).ColumnCaptions(), (std::vector<std::string>{"Object", "Risk Level", "Result", "Location"}));
  std::vector<std::string> keys;
  std::vector<int> widths;
  for (const auto& c : List(w).columns_) keys.push_back(c.key), widths.push_back(c.width);
  EXPECT_EQ(keys, (std::vector<std::string>{"&Object", "&Risk Level", "&Result", "&Location"}));
  EXPECT_EQ(widths, (std::vector<int>{350, 100, 100, 500}));
  EXPECT_EQ(List(w).ExtendedStyle(), 0x30u);
  EXPECT_EQ(Status(w), "Ready");
  EXPECT_EQ(Label(w, 0), "");
  EXPECT_EQ(Enabled(w), "10101");

  std::string during;
  bool blockedDuring = false;
  kit.onDoEvents = [&] {
    during = Enabled(w);
    blockedDuring = List(w).blocked_;
  };
  Press(w, 0);
  EXPECT_EQ(during, "01100");
  EXPECT_TRUE(blockedDuring);
  EXPECT_FALSE(List(w).blocked_);
  EXPECT_TRUE(ScanStopped());
  EXPECT_EQ(Enabled(w), "10111");
  EXPECT_EQ(Status(w), "Smart Scan completed");
  EXPECT_EQ(Label(w, 0), "Smart Scan completed");
  EXPECT_EQ(Label(w, 6), "");
  EXPECT_EQ(Label(w, 7), "4");
  EXPECT_EQ(Label(w, 8), "3");
  EXPECT_EQ(Label(w, 3).rfind("Started Time: ", 0), 0u);
  EXPECT_GT(Label(w, 3).size(), std::string("Started Time: ").size());
  EXPECT_EQ(Label(w, 4).rfind("End Time: ", 0), 0u);
  EXPECT_GT(Label(w, 4).size(), std::string("End Time: ").size());
  auto* bar = f.Get<ui::RecProgressBar>("ProBarScan");
  EXPECT_EQ(bar->Maximum(), 4);
  EXPECT_EQ(bar->Value(), 4);

  EXPECT_EQ(Risks(w), (std::vector<std::string>{"Dangerous", "Potential", "Unknown"}));
  const int bad = RowOfRisk(w, "Dangerous");
  EXPECT_EQ(List(w).Cell(bad, 0), "c:\\evil\\bad.exe");
  EXPECT_EQ(List(w).Cell(bad, 2), "Not Proceesed");
  EXPECT_EQ(List(w).Cell(bad, 3), kHklmRun + " {bad}");
  EXPECT_EQ(List(w).rows_[static_cast<std::size_t>(bad)].icon, 5);
  // One alert per threat, through the toolkit, with the sound file of the folder values.
  EXPECT_EQ(kit.sounds, std::vector<std::string>(3, Folders().SoundFile));
}

// Each cleaning command cleans exactly its threats: their files and start-up values go, the
// others stay listed as they were.
struct CleanCase {
  std::string name;
  int item;
  std::string selectRisk;  // for "Clean &Selected Items"
  std::vector<std::string> left;
};
void PrintTo(const CleanCase& c, std::ostream* os) { *os << c.name; }
class CleaningCommandTest : public FrmScanTest, public ::testing::WithParamInterface<CleanCase> {};

TEST_P(CleaningCommandTest, CleansItsThreatsAndKeepsTheOthers) {
  const CleanCase& c = GetParam();
  ThreeThreats();
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  if (!c.selectRisk.empty()) List(w).Select({RowOfRisk(w, c.selectRisk)});
  Pick(w, c.item);
  EXPECT_EQ(Risks(w), c.left);
  auto leftHas = [&](const std::string& r) { return std::count(c.left.begin(), c.left.end(), r) > 0; };
  EXPECT_EQ(HasValue(kHklmRun, "unknown"), leftHas("Unknown"));
  EXPECT_EQ(HasValue(kPoliciesExplorer, "Run"), leftHas("Potential"));
  EXPECT_EQ(HasValue(kHklmRun, "bad"), leftHas("Dangerous"));
  EXPECT_EQ(m.FindFile("C:\\evil\\bad.exe") != nullptr, leftHas("Dangerous"));
  EXPECT_EQ(m.FindFile("C:\\apps\\pot.exe") != nullptr, leftHas("Potential"));
  EXPECT_TRUE(HasValue(kHklmRun, "normal"));
  EXPECT_EQ(ThreatList().size(), c.left.size());
  // Untouched threats lose the scan's "Not Proceesed".
  for (const std::string& cell : List(w).ColumnTexts(2)) EXPECT_EQ(cell, "");
  EXPECT_EQ(Button(w, "CmdScan(3)").Enabled(), !c.left.empty());
  EXPECT_TRUE(kit.recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Items, CleaningCommandTest,
    ::testing::Values(CleanCase{"DangerousAndPotential", scan::kCleanDangerousAndPotential, "", {}},  // Unknown too
                      CleanCase{"Dangerous", scan::kCleanDangerous, "", {"Potential", "Unknown"}},
                      CleanCase{"Potential", scan::kCleanPotential, "", {"Dangerous", "Unknown"}},
                      CleanCase{"Selected", scan::kCleanSelected, "Potential", {"Dangerous", "Unknown"}}),
    [](const ::testing::TestParamInfo<CleanCase>& info) { return info.param.name; });

class CleanAllTest : public FrmScanTest, public ::testing::WithParamInterface<int> {};

TEST_P(CleanAllTest, AsksFirstAndNoChangesNothing) {
  const int answer = GetParam();
  ThreeThreats();
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  List(w).SetCell(0, 2, "marker");  // survives only when the list is not drawn again
  kit.recorder.answers = {answer};
  Pick(w, scan::kCleanAll);
  ASSERT_EQ(kit.recorder.messages.size(), 1u);
  EXPECT_EQ(kit.recorder.messages[0].text,
            "Are you sure to clean all? Some useful files will be deleted also.\r\n"
            "We advise you to clean dangerous and potential items first");
  EXPECT_EQ(kit.recorder.messages[0].title, "Warning!");
  EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2);
  if (answer == ui::mb::IdNo) {
    EXPECT_EQ(List(w).RowCount(), 3);
    EXPECT_EQ(List(w).Cell(0, 2), "marker");
    ASSERT_EQ(ThreatList().size(), 3u);
    for (const ScanItem& t : ThreatList()) EXPECT_EQ(t.Result, kResultNotProcessed);
    EXPECT_TRUE(m.FindFile("C:\\evil\\bad.exe"));
    EXPECT_TRUE(HasValue(kHklmRun, "bad"));
    EXPECT_TRUE(Button(w, "CmdScan(3)").Enabled());
  } else {
    EXPECT_EQ(List(w).RowCount(), 0);
    EXPECT_TRUE(ThreatList().empty());
    EXPECT_FALSE(m.FindFile("C:\\evil\\bad.exe"));
    EXPECT_FALSE(HasValue(kHklmRun, "bad"));
    EXPECT_FALSE(Button(w, "CmdScan(3)").Enabled());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, CleanAllTest, ::testing::Values(ui::mb::IdNo, ui::mb::IdYes),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == ui::mb::IdNo ? "No" : "Yes");
                         });

TEST_F(FrmScanTest, AddAllToTrustListMovesEveryThreatDuplicatesIncluded) {
  AddFile("C:\\evil\\bad.exe");
  m.SetString(kHklmRun, "bad", "C:\\evil\\bad.exe");
  m.SetString(kHkcuRun, "bad again", "C:\\evil\\bad.exe");
  TrustList().push_back(TrustItemForFile("C:\\apps\\Other.exe"));
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  ASSERT_EQ(List(w).RowCount(), 2);

  Pick(w, scan::kTrustAll);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_FALSE(Button(w, "CmdScan(3)").Enabled());
  EXPECT_TRUE(ThreatList().empty());
  EXPECT_EQ(Objects(TrustList()),
            (std::vector<std::string>{"C:\\apps\\Other.exe", "c:\\evil\\bad.exe", "c:\\evil\\bad.exe"}));
  EXPECT_EQ(TrustList()[2].ValueName.str(), "bad again");
  EXPECT_EQ(TrustFileRecords(), 3u);  // saved with the change
  EXPECT_TRUE(m.FindFile("C:\\evil\\bad.exe"));  // trusted, not cleaned
  // The next scan passes the trusted file over.
  Press(w, 0);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_FALSE(Button(w, "CmdScan(3)").Enabled());
}

TEST_F(FrmScanTest, AddSelectedToTrustListMovesOnlyTheSelectedRows) {
  ThreeThreats();
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  List(w).Select({RowOfRisk(w, "Dangerous")});
  Pick(w, scan::kTrustSelected);
  EXPECT_EQ(Risks(w), (std::vector<std::string>{"Potential", "Unknown"}));
  EXPECT_EQ(Objects(TrustList()), (std::vector<std::string>{"c:\\evil\\bad.exe"}));
  EXPECT_EQ(TrustFileRecords(), 1u);
  EXPECT_TRUE(Button(w, "CmdScan(3)").Enabled());
}

TEST_F(FrmScanTest, IgnoreAllEmptiesTheListAndLeavesTheTrustList) {
  ThreeThreats();
  TrustList().push_back(TrustItemForFile("C:\\apps\\Other.exe"));
  ASSERT_TRUE(SaveTrustList());
  const std::string before = Contents(kTrustFile);
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  Pick(w, scan::kIgnoreAll);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_TRUE(ThreatList().empty());
  EXPECT_FALSE(Button(w, "CmdScan(3)").Enabled());
  EXPECT_EQ(Objects(TrustList()), (std::vector<std::string>{"C:\\apps\\Other.exe"}));
  EXPECT_EQ(Contents(kTrustFile), before);
  EXPECT_TRUE(m.FindFile("C:\\evil\\bad.exe"));  // nothing cleaned
  EXPECT_TRUE(HasValue(kHklmRun, "bad"));
}

// A threat whose file cannot be deleted stays listed as "Clean Failed" (its Winlogon value is
// repaired all the same); once the file can go, cleaning it again drops the row.
TEST_F(FrmScanTest, FailedCleanStaysListedUntilItSucceeds) {
  AddFile("C:\\evil\\shell.exe");
  m.SetString(kWinlogonKey, "Shell", "C:\\evil\\shell.exe");
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Press(w, 0);
  ASSERT_EQ(List(w).ColumnTexts(1), (std::vector<std::string>{"Dangerous"}));

  m.FindFile("C:\\evil\\shell.exe")->denyOpen = true;
  FaultyFiles faulty(*m.platform().files);
  faulty.failSetAttributes = [](const std::string& p) { return LowerText(p).find("shell.exe") != std::string::npos; };
  Platform p = m.platform();
  p.files = &faulty;
  platform::Install(p);
  Pick(w, scan::kCleanDangerousAndPotential);
  platform::Install(m.platform());
  ASSERT_EQ(List(w).RowCount(), 1);
  EXPECT_EQ(List(w).Cell(0, 0), "c:\\evil\\shell.exe");
  EXPECT_EQ(List(w).Cell(0, 2), "Clean Failed");
  EXPECT_EQ(ThreatList()[0].Result, kResultCleanFailed);
  EXPECT_TRUE(Button(w, "CmdScan(3)").Enabled());
  EXPECT_EQ(StringValue(kWinlogonKey, "Shell"), "Explorer.exe");
  EXPECT_TRUE(kit.recorder.messages.empty());  // the window cleans quietly

  m.FindFile("C:\\evil\\shell.exe")->denyOpen = false;
  List(w).Select({0});
  Pick(w, scan::kCleanSelected);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_FALSE(m.FindFile("C:\\evil\\shell.exe"));
  EXPECT_FALSE(Button(w, "CmdScan(3)").Enabled());
}

// "&Close" and the close box during a scan only hide the window; the scan finishes and the
// window shows its results when it is opened again. Idle, they unload it.
class ClosingTest : public FrmScanTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ClosingTest, DuringAScanHidesTheWindowAndTheScanFinishes) {
  {
    const bool closeBox = GetParam();
    ThreeThreats();
    FrmScan w(kit, Hooks());
    w.Show(scan::kModeSmart);
    bool hiddenDuring = false;
    kit.onDoEvents = [&] {
      if (mainShown == 0) {
        if (closeBox)
          EXPECT_FALSE(Form(w).Close());
        else
          Press(w, 2);
        hiddenDuring = !Form(w).Visible() && !Form(w).Closed();
      }
    };
    Press(w, 0);
    kit.onDoEvents = nullptr;
    EXPECT_TRUE(hiddenDuring);
    EXPECT_EQ(mainShown, 1);
    EXPECT_FALSE(Form(w).Visible());
    EXPECT_TRUE(ScanStopped());
    EXPECT_EQ(ThreatCount(), 3);  // the scan was not stopped

    w.Show(scan::kModeSmart);
    EXPECT_TRUE(Form(w).Visible());
    EXPECT_EQ(List(w).RowCount(), 3);
    EXPECT_EQ(Status(w), "Smart Scan completed");
    EXPECT_EQ(Enabled(w), "10111");

    Press(w, 2);
    EXPECT_TRUE(Form(w).Closed());
    EXPECT_EQ(mainShown, 2);
    w.Show(scan::kModeSmart);  // loaded again: empty
    EXPECT_EQ(List(w).RowCount(), 0);
    EXPECT_EQ(Status(w), "Ready");
    EXPECT_EQ(Enabled(w), "10101");
  }
}

INSTANTIATE_TEST_SUITE_P(By, ClosingTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
  return std::string(info.param ? "CloseBox" : "CloseButton");
});

// The program's end unloads the window even during a scan: the scan stops at its next item,
// the window closes, and the main window is not shown again.
TEST_F(FrmScanTest, UnloadStopsARunningScanAndClosesTheWindow) {
  ThreeThreats();
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  kit.onDoEvents = [&] {
    if (!Form(w).Closed()) w.Unload();
  };
  Press(w, 0);
  kit.onDoEvents = nullptr;
  EXPECT_TRUE(Form(w).Closed());
  EXPECT_EQ(mainShown, 0);
  EXPECT_TRUE(ScanStopped());
  EXPECT_EQ(ThreatCount(), 0);  // stopped after the first (Normal) item
  w.Unload();                   // a second time: nothing
  EXPECT_EQ(mainShown, 0);
}

// Stop at the first chance (before any threat) or once the first threat is listed.
class StopTest : public FrmScanTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StopTest, EndsTheScanAndProcessNeedsAThreat) {
  {
    const bool afterFirstThreat = GetParam();
    ThreeThreats();
    FrmScan w(kit, Hooks());
    w.Show(scan::kModeSmart);
    kit.onDoEvents = [&] {
      if (!afterFirstThreat || Label(w, 8) != "0") Press(w, 1);
    };
    Press(w, 0);
    kit.onDoEvents = nullptr;
    EXPECT_TRUE(ScanStopped());
    EXPECT_EQ(Label(w, 4).rfind("End Time: ", 0), 0u);
    EXPECT_GT(Label(w, 4).size(), std::string("End Time: ").size());
    EXPECT_TRUE(Button(w, "CmdScan(0)").Enabled());
    EXPECT_FALSE(Button(w, "CmdScan(1)").Enabled());
    EXPECT_EQ(List(w).RowCount(), ThreatCount());
    if (afterFirstThreat) {
      EXPECT_EQ(ThreatCount(), 1);
      EXPECT_EQ(Enabled(w), "10111");
    } else {
      EXPECT_EQ(ThreatCount(), 0);
      EXPECT_EQ(Enabled(w), "10101");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(When, StopTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
  return std::string(info.param ? "AfterAThreat" : "BeforeAnyThreat");
});

TEST_F(FrmScanTest, MemoryScanIsOfferedWithItsColumnsAndShorterMenu) {
  AddFile("C:\\evil\\bad.dll");
  m.SetString(kHkcuRun, "bad dll", "C:\\evil\\bad.dll");
  AddFile("C:\\apps\\host.exe", "Vendor Inc.");
  sim::Process& host = m.AddProcess(2000, "C:\\apps\\host.exe");
  host.modules = {{"host.exe", "C:\\apps\\host.exe", 0x400000, 0x1000},
                  {"bad.dll", "C:\\evil\\bad.dll", 0x10000000, 0x1000}};
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  Button(w, "CmdMode(0)").Click();
  EXPECT_EQ(w.mode(), scan::kModeMemory);
  EXPECT_EQ(Form(w).Text(), "Tolvexa (Scan Memory)");
  EXPECT_EQ(List(w).ColumnCaptions(), (std::vector<std::string>{"Object", "Action", "Result"}));
  EXPECT_EQ(List(w).GetColumn(0).width, 500);
  EXPECT_EQ(Status(w), "Scan Memory completed");
  ASSERT_EQ(List(w).RowCount(), 1);
  EXPECT_EQ(List(w).Cell(0, 0), "C:\\evil\\bad.dll");
  EXPECT_EQ(List(w).Cell(0, 1), "Clean");
  EXPECT_EQ(Enabled(w), "10111");

  kit.menuPicks.push_back(-1);
  Press(w, 3);
  ASSERT_EQ(kit.menusShown.size(), 1u);
  std::string shown;
  for (const auto& item : kit.menusShown[0].items) shown += item.visible ? '1' : '0';
  EXPECT_EQ(shown, "100001110");
  EXPECT_EQ(kit.menusShown[0].items[0].caption, "&Clean Dangerous && Potential Items");

  Pick(w, scan::kCleanDangerousAndPotential);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_FALSE(m.FindFile("C:\\evil\\bad.dll"));
  EXPECT_FALSE(HasValue(kHkcuRun, "bad dll"));
}

// The system scan walks the folder of its text box ("C:\" unless changed) against the black
// list the last Smart Scan left; its menu does nothing. The main window's Smart Scan button
// brings the window back to the Smart Scan.
TEST_F(FrmScanTest, SystemScanIsOfferedWithItsFolderAndColumns) {
  AddFile("C:\\evil\\bad.exe");
  AddFile("C:\\evil\\copy\\bad.exe");
  m.SetString(kHklmRun, "bad", "C:\\evil\\bad.exe");
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  EXPECT_EQ(Form(w).Get<ui::RecTextBox>("TxtFolder")->Text(), "C:\\");
  Press(w, 0);
  ASSERT_EQ(List(w).RowCount(), 1);

  Form(w).Get<ui::RecTextBox>("TxtFolder")->SetText("C:\\evil");
  Button(w, "CmdMode(1)").Click();
  EXPECT_EQ(w.mode(), scan::kModeSystem);
  EXPECT_EQ(Form(w).Text(), "Tolvexa (Scan System)");
  EXPECT_EQ(List(w).ColumnCaptions(), (std::vector<std::string>{"Object", "Action", "Result"}));
  EXPECT_EQ(Status(w), "Scan spyware completed");
  EXPECT_EQ(Label(w, 0), "Scan spyware completed");
  EXPECT_EQ(Label(w, 3).rfind("Strated Time: ", 0), 0u);
  EXPECT_EQ(List(w).ColumnTexts(0), (std::vector<std::string>{"C:\\evil\\bad.exe"}));
  EXPECT_EQ(Label(w, 7), "2");  // both .exe files looked at
  kit.menuPicks.push_back(0);
  Press(w, 3);
  EXPECT_TRUE(kit.menusShown.empty());
  EXPECT_TRUE(m.FindFile("C:\\evil\\bad.exe"));

  w.Show(scan::kModeSmart);
  EXPECT_EQ(Form(w).Text(), "Tolvexa (Smart Scan)");
  EXPECT_EQ(List(w).ColumnCount(), 4);
  EXPECT_EQ(List(w).RowCount(), 0);
  EXPECT_EQ(Enabled(w), "10101");
}

TEST_F(FrmScanTest, TrustListButtonOpensTheManagerModally) {
  TrustList().push_back(TrustItemForFile("C:\\apps\\Other.exe"));
  FrmScan w(kit, Hooks());
  w.Show(scan::kModeSmart);
  int rows = -1;
  kit.modalScripts.push_back([&](ui::RecForm& f) {
    EXPECT_EQ(f.Text(), "Tolvexa - Manage Trust List");
    rows = f.Get<ui::RecListView>("LVManage")->RowCount();
    f.Get<ui::RecButton>("CmdScan(0)")->Click();
  });
  Press(w, 4);
  EXPECT_EQ(rows, 1);
  EXPECT_NE(std::find(kit.events.begin(), kit.events.end(), "modal FrmManage"), kit.events.end());
  EXPECT_TRUE(kit.modalScripts.empty());
}

TEST_F(FrmScanTest, OtherInterfaceLanguageTakesTheTableCaptions) {
  struct Restore {
    ~Restore() {
      Language() = "Default";
      LoadEnglishText();
    }
  } restore;
  Language() = "Chinese";
  LoadChineseText();
  {
    FrmScan w(kit, Hooks());
    w.Show(scan::kModeSmart);
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(Button(w, "CmdScan(" + std::to_string(i) + ")").Text(), ScanButtonText()[static_cast<std::size_t>(i)]);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(Label(w, i), ScanText()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(Form(w).Text(), ScanText()[10]);
    EXPECT_EQ(List(w).ColumnCaptions()[1], SmartScanColumnText()[1]);
    ThreeThreats();
    Press(w, 0);
    kit.menuPicks.push_back(-1);
    Press(w, 3);
    ASSERT_EQ(kit.menusShown.size(), 1u);
    EXPECT_EQ(kit.menusShown[0].items[0].caption, ScanMenuText()[0]);
    EXPECT_EQ(kit.menusShown[0].items[6].caption, "-");
    EXPECT_EQ(kit.menusShown[0].items[8].caption, ScanMenuText()[8]);
  }
}

}  // namespace
}  // namespace tv::test
