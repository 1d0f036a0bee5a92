// The start-up, BHO, service and port tabs as the main window drives them: the list filled
// from the engines, the pop-up menus' shapes, and which command each item runs and whether the
// list is drawn again afterwards.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/object_names.h"
#include "net/port_menu.h"
#include "net/ports.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/config_menus.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace tv {
namespace {

const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kSession = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::string kServices = kServicesKeyPath;
const std::string kBho = kBhoKeyPath;

// The shared list and status bar of a main window, and the menu choice as it makes it.
class TabTest : public SimTest {
 protected:
  ui::RecordingToolkit kit;
  std::unique_ptr<ui::Form> form;
  ui::RecListView* list = nullptr;
  ui::RecStatusBar* status = nullptr;
  ui::ListHost host;

  void SetUp() override {
    SimTest::SetUp();
    ui::InstallToolkit(&kit);
    form = kit.CreateForm("frmMain", "Tolvexa", {800, 600});
    list = dynamic_cast<ui::RecListView*>(form->AddListView("lsvProcesses", {161, 68, 630, 500}));
    status = dynamic_cast<ui::RecStatusBar*>(form->AddStatusBar("StaBar", 3));
    host = {form.get(), list, status};
    StartupList().clear();
    BhoList().clear();
    ServiceList().clear();
    ServiceFilter() = kManageService;
    PortTable().clear();
  }
  void TearDown() override {
    Language() = "Default";
    form.reset();
    ui::InstallToolkit(nullptr);
    SimTest::TearDown();
  }
  // Shows `menu` and returns the index the user picks (-1 for hidden items and separators).
  int Pick(const ui::Menu& menu, int index) {
    kit.menuPicks.push_back(index);
    return form->PopupMenu(menu);
  }
  std::vector<std::string> Texts(int column = 0) const { return list->ColumnTexts(column); }
  std::string Count() const { return status->PanelText(1); }
  std::vector<ui::Recorder::Message>& Messages() { return kit.recorder.messages; }
  const sim::RegValue* Value(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (!k) return nullptr;
    for (const auto& v : k->values)
      if (v.name == name) return &v;
    return nullptr;
  }
  static std::string TextOf(const sim::RegValue& v) {
    std::string s(v.data.begin(), v.data.end());
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }
  int RowNamed(const std::string& text, int column = 0) const {
    for (int i = 0; i < list->RowCount(); ++i)
      if (list->Cell(i, column) == text) return i;
    return -1;
  }
};

std::vector<std::string> Captions(const ui::Menu& menu) {
  std::vector<std::string> out;
  for (const auto& item : menu.items) out.push_back(item.caption);
  return out;
}
std::vector<bool> VisibleItems(const ui::Menu& menu) {
  std::vector<bool> out;
  for (const auto& item : menu.items) out.push_back(item.visible);
  return out;
}

// ------------------------------------------------------------ start-up and BHO ----

using RegistryTabTest = TabTest;

TEST_F(RegistryTabTest, MenuShapeOnEachTab) {
  for (bool bho : {false, true}) {
    SCOPED_TRACE(bho);
    ui::Menu menu = sysconfig::RegistryMenu(bho);
    EXPECT_EQ(menu.name, "MenuRegister");
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"&Refresh", "&Delete/Fix Value", "&Delete Value"}));
    EXPECT_EQ(VisibleItems(menu), (std::vector<bool>{true, !bho, bho}));
    for (const auto& item : menu.items) {
      EXPECT_TRUE(item.enabled);
      EXPECT_FALSE(item.checked);
    }
  }
  // Another interface language: the caption table's entries, each on the item it names.
  LoadChineseText();
  Language() = "Chinese";
  ui::Menu menu = sysconfig::RegistryMenu(false);
  EXPECT_EQ(Captions(menu),
            (std::vector<std::string>{RegistryMenuText()[0], RegistryMenuText()[2], RegistryMenuText()[1]}));
  Language() = "Default";
  LoadEnglishText();
}

TEST_F(RegistryTabTest, OpeningAndRefreshingTheTabs) {
  m.SetString(kRun, "A", "a.exe");
  sysconfig::ShowStartupTab(host);
  EXPECT_EQ(Texts(1), std::vector<std::string>{"A"});
  EXPECT_EQ(list->Cell(0, 0), "Run");
  EXPECT_EQ(list->Cell(0, 2), "a.exe");
  EXPECT_EQ(Count(), "1 Item(s)");

  m.SetString(kRun, "B", "b.exe");
  sysconfig::RegistryMenuClick(host, false, Pick(sysconfig::RegistryMenu(false), sysconfig::kRegistryRefresh));
  EXPECT_EQ(Texts(1), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Count(), "2 Item(s)");

  const std::string clsid = "{11111111-1111-1111-1111-111111111111}";
  m.Key(kBho + "\\" + clsid);
  sysconfig::ShowBhoTab(host);
  EXPECT_EQ(Texts(), std::vector<std::string>{clsid});
  EXPECT_EQ(Count(), "1 Item(s)");
  m.Key(kBho + "\\{22222222-2222-2222-2222-222222222222}");
  sysconfig::RegistryMenuClick(host, true, Pick(sysconfig::RegistryMenu(true), sysconfig::kRegistryRefresh));
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_EQ(Count(), "2 Item(s)");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RegistryTabTest, DeleteOrFixAnsweredNoChangesNothingAndKeepsTheList) {
  m.SetString(kRun, "A", "a.exe");
  sysconfig::ShowStartupTab(host);
  list->Select({0});
  m.SetString(kRun, "Later", "later.exe");  // a refresh would show it
  kit.recorder.answers = {ui::mb::IdNo};
  sysconfig::RegistryMenuClick(host, false, Pick(sysconfig::RegistryMenu(false), sysconfig::kRegistryDeleteOrFix));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, "Are you sure to delete and fix the selected value?");
  EXPECT_NE(Value(kRun, "A"), nullptr);
  EXPECT_EQ(Texts(1), std::vector<std::string>{"A"});
  EXPECT_TRUE(list->Selected(0));  // the list was not drawn again
  EXPECT_EQ(Count(), "1 Item(s)");
}

TEST_F(RegistryTabTest, DeleteOrFixWithoutSelectionAsksAndRefreshes) {
  m.SetString(kRun, "A", "a.exe");
  sysconfig::ShowStartupTab(host);
  m.SetString(kRun, "Later", "later.exe");
  kit.recorder.answers = {ui::mb::IdYes};
  sysconfig::RegistryMenuClick(host, false, Pick(sysconfig::RegistryMenu(false), sysconfig::kRegistryDeleteOrFix));
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_NE(Value(kRun, "A"), nullptr);
  EXPECT_EQ(Texts(1), (std::vector<std::string>{"A", "Later"}));
  EXPECT_EQ(Count(), "2 Item(s)");
}

// The logon and session-manager entries are written back with the shipped values and stay in
// the list; ordinary entries are deleted.
TEST_F(RegistryTabTest, DeleteOrFixRepairsEssentialValuesAndDeletesTheRest) {
  m.SetString(kRun, "Evil", "evil.exe");
  m.SetString(kRun, "Keep", "keep.exe");
  m.SetString(kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,evil.exe,");
  m.SetString(kWinlogon, "Shell", "Explorer.exe evil.exe");
  m.SetString(kSession, "BootExecute", "evil");
  sysconfig::ShowStartupTab(host);
  std::vector<int> chosen;
  for (const char* name : {"Evil", "Userinit", "Shell", "BootExecute"}) {
    const int row = RowNamed(name, 1);
    ASSERT_GE(row, 0) << name;
    chosen.push_back(row);
  }
  list->Select(chosen);
  const int before = list->RowCount();
  sysconfig::RegistryMenuClick(host, false, Pick(sysconfig::RegistryMenu(false), sysconfig::kRegistryDeleteOrFix));

  EXPECT_EQ(Value(kRun, "Evil"), nullptr);
  EXPECT_NE(Value(kRun, "Keep"), nullptr);
  struct Repaired {
    std::string key, name, text;
  };
  for (const Repaired& r : {Repaired{kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe"},
                            Repaired{kWinlogon, "Shell", "Explorer.exe"},
                            Repaired{kSession, "BootExecute", "autocheck autochk *"}}) {
    SCOPED_TRACE(r.name);
    const sim::RegValue* v = Value(r.key, r.name);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(TextOf(*v), r.text);
    const int row = RowNamed(r.name, 1);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->Cell(row, 2).substr(0, r.text.size()), r.text);
  }
  EXPECT_EQ(RowNamed("Evil", 1), -1);
  EXPECT_EQ(list->RowCount(), before - 1);
  EXPECT_EQ(Count(), std::to_string(before - 1) + " Item(s)");
  EXPECT_EQ(list->SelectedRows(), std::vector<int>{});
}

// Each tab runs only its own delete command, whatever index reaches it.
TEST_F(RegistryTabTest, EachTabRunsOnlyItsOwnDelete) {
  const std::string clsid = "{33333333-3333-3333-3333-333333333333}";
  struct Case {
    bool bho;
    int index;
    std::string question;  // "" : nothing asked, nothing deleted
  };
  const std::vector<Case> cases = {
      {false, sysconfig::kRegistryDeleteOrFix, "Are you sure to delete and fix the selected value?"},
      {false, sysconfig::kRegistryDelete, ""},
      {true, sysconfig::kRegistryDelete, "Are you sure to delete the selected value?"},
      {true, sysconfig::kRegistryDeleteOrFix, ""},
      {true, 7, ""},
      {false, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bho) + " " + std::to_string(c.index));
    m.SetString(kRun, "Evil", "evil.exe");
    m.Key(kBho + "\\" + clsid);
    if (c.bho)
      sysconfig::ShowBhoTab(host);
    else
      sysconfig::ShowStartupTab(host);
    list->Select({0});
    Messages().clear();
    // Straight to the command: the menu itself would not even offer the hidden item.
    sysconfig::RegistryMenuClick(host, c.bho, c.index);
    if (c.question.empty()) {
      EXPECT_TRUE(Messages().empty());
      EXPECT_NE(Value(kRun, "Evil"), nullptr);
      EXPECT_NE(m.FindKey(kBho + "\\" + clsid), nullptr);
      EXPECT_TRUE(list->Selected(0));
      continue;
    }
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, c.question);
    EXPECT_EQ(Value(kRun, "Evil") == nullptr, !c.bho);
    EXPECT_EQ(m.FindKey(kBho + "\\" + clsid) == nullptr, c.bho);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(Count(), "0 Item(s)");
  }
  // The hidden item is not offered at all.
  EXPECT_EQ(Pick(sysconfig::RegistryMenu(true), sysconfig::kRegistryDeleteOrFix), -1);
  EXPECT_EQ(Pick(sysconfig::RegistryMenu(false), sysconfig::kRegistryDelete), -1);
}

// ----------------------------------------------------------------- services ----

class ServiceTabTest : public TabTest {
 protected:
  // A registry entry and, when `state` is not 0, the manager's entry with that state.
  void AddEntry(const std::string& name, std::uint32_t type, std::uint32_t state) {
    const std::string key = kServices + "\\" + name;
    m.SetString(key, "ImagePath", "C:\\bin\\" + name + ".exe", reg::ExpandSz);
    m.SetDword(key, "Type", type);
    m.SetDword(key, "Start", 3);
    if (state != 0) {
      sim::Service s;
      s.name = name;
      s.type = type;
      s.state = state;
      s.startType = 3;
      m.state.services.push_back(s);
    }
  }
  void Choose(int index) { sysconfig::ServiceMenuClick(host, Pick(sysconfig::ServiceMenu(), index)); }
  void SelectNamed(const std::string& name) {
    const int row = RowNamed(name);
    ASSERT_GE(row, 0) << name;
    list->Select({row});
  }
};

TEST_F(ServiceTabTest, MenuShape) {
  ui::Menu menu = sysconfig::ServiceMenu();
  EXPECT_EQ(menu.name, "MenuService");
  EXPECT_EQ(Captions(menu),
            (std::vector<std::string>{"Show &All", "Manage &Service", "Show S&tarted Service", "&Manage Driver",
                                      "Show Started &Driver", "-", "&Run Service", "Sto&p Service",
                                      "&Delete Service"}));
  for (const auto& item : menu.items) {
    EXPECT_TRUE(item.visible);
    EXPECT_TRUE(item.enabled);
    EXPECT_FALSE(item.checked);
  }
  EXPECT_EQ(Pick(menu, sysconfig::kServiceSeparator), -1);
}

TEST_F(ServiceTabTest, FilterItemsSwitchTheListAndOpeningTheTabGoesBackToServices) {
  AddEntry("DrvRun", 1, 4);
  AddEntry("SvcRun", 16, 4);
  AddEntry("DrvStop", 2, 1);
  AddEntry("SvcStop", 32, 1);
  struct Case {
    int index;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {sysconfig::kServiceShowAll, {"DrvRun", "SvcRun", "DrvStop", "SvcStop"}},
      {sysconfig::kServiceManageService, {"SvcRun", "SvcStop"}},
      {sysconfig::kServiceShowStarted, {"SvcRun"}},
      {sysconfig::kServiceManageDriver, {"DrvRun", "DrvStop"}},
      {sysconfig::kServiceShowStartedDrv, {"DrvRun"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    Choose(c.index);
    EXPECT_EQ(Texts(), c.names);
    EXPECT_EQ(Count(), std::to_string(c.names.size()) + " Item(s)");
    EXPECT_EQ(ServiceFilter(), c.index);
  }
  // The filter item reads the registry again.
  AddEntry("DrvNew", 1, 4);
  Choose(sysconfig::kServiceManageDriver);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"DrvRun", "DrvStop", "DrvNew"}));

  sysconfig::ShowServiceTab(host);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"SvcRun", "SvcStop"}));
  EXPECT_EQ(list->Cell(0, 2), "Started");
  EXPECT_EQ(list->Cell(1, 2), "Stopped");
  EXPECT_EQ(Count(), "2 Item(s)");
  EXPECT_EQ(ServiceFilter(), kManageService);
}

// Run on a running service and Stop on a stopped one ask nothing of the manager; the list is
// drawn again all the same.
TEST_F(ServiceTabTest, RunAndStopInTheWrongStateDoNothing) {
  AddEntry("Running", 16, 4);
  AddEntry("Stopped", 16, 1);
  struct Case {
    int index;
    std::string target, operation;
  };
  for (const Case& c : {Case{sysconfig::kServiceRun, "Running", "StartServiceA"},
                        Case{sysconfig::kServiceStop, "Stopped", "ControlService"}}) {
    SCOPED_TRACE(c.target);
    sysconfig::ShowServiceTab(host);
    SelectNamed(c.target);
    const auto calls = m.CallCount(c.operation);
    Choose(c.index);
    EXPECT_EQ(m.CallCount(c.operation), calls);
    EXPECT_EQ(m.FindService("Running")->state, 4u);
    EXPECT_EQ(m.FindService("Stopped")->state, 1u);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Running", "Stopped"}));
    EXPECT_TRUE(list->SelectedRows().empty());  // drawn again
  }
  // In the right state they act, and the list shows the new state.
  sysconfig::ShowServiceTab(host);
  SelectNamed("Stopped");
  Choose(sysconfig::kServiceRun);
  EXPECT_EQ(m.FindService("Stopped")->state, 4u);
  EXPECT_EQ(list->Cell(RowNamed("Stopped"), 2), "Started");
  SelectNamed("Running");
  Choose(sysconfig::kServiceStop);
  EXPECT_EQ(list->Cell(RowNamed("Running"), 2), "Stopped");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ServiceTabTest, CommandsWithoutSelectionLeaveTheList) {
  AddEntry("Svc", 16, 4);
  sysconfig::ShowServiceTab(host);
  AddEntry("Later", 16, 4);  // a refresh would show it
  for (int index : {sysconfig::kServiceRun, sysconfig::kServiceStop, sysconfig::kServiceDelete}) {
    SCOPED_TRACE(index);
    Choose(index);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Svc"});
    EXPECT_EQ(Count(), "1 Item(s)");
  }
  EXPECT_EQ(m.FindService("Svc")->state, 4u);
  EXPECT_NE(m.FindKey(kServices + "\\Svc"), nullptr);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ServiceTabTest, DeleteInTheServiceViewAndInADriverView) {
  struct Case {
    int view;
    std::uint32_t type;
    bool managerDeletes;  // stopped and deleted by the manager, else only the key goes
  };
  for (const Case& c : {Case{sysconfig::kServiceManageService, 16, true},
                        Case{sysconfig::kServiceShowStarted, 16, true},
                        Case{sysconfig::kServiceManageDriver, 1, false},
                        Case{sysconfig::kServiceShowStartedDrv, 1, false}}) {
    SCOPED_TRACE(c.view);
    m.state.services.clear();
    if (sim::RegKey* k = m.FindKey(kServices)) k->subkeys.clear();
    AddEntry("Other", c.type, 4);
    AddEntry("Victim", c.type, 4);
    Choose(c.view);
    SelectNamed("Victim");
    Choose(sysconfig::kServiceDelete);
    EXPECT_EQ(m.FindKey(kServices + "\\Victim"), nullptr);
    sim::Service* s = m.FindService("Victim");
    if (c.managerDeletes) {
      EXPECT_EQ(s, nullptr);
    } else {
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->state, 4u);
    }
    EXPECT_EQ(Texts(), std::vector<std::string>{"Other"});
    EXPECT_EQ(Count(), "1 Item(s)");
    EXPECT_EQ(ServiceFilter(), c.view);
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(ServiceTabTest, DeleteOfAnEntryTheManagerCannotOpenInShowAll) {
  AddEntry("Ghost", 16, 0);  // in the registry only
  AddEntry("Drv", 1, 4);
  Choose(sysconfig::kServiceShowAll);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Ghost", "Drv"}));
  SelectNamed("Ghost");
  Choose(sysconfig::kServiceDelete);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, "Manage service error");
  EXPECT_EQ(Messages()[0].title, "Tolvexa");
  EXPECT_EQ(m.FindKey(kServices + "\\Ghost"), nullptr);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Drv"});  // still the unfiltered view
  EXPECT_EQ(Count(), "1 Item(s)");
}

// -------------------------------------------------------------------- ports ----

class PortTabTest : public TabTest {
 protected:
  void SetUp() override {
    TabTest::SetUp();
    ForgetBlockingHandles();
    m.AddProcess(1200, "C:\\Program Files\\App\\app.exe");
    m.AddProcess(1300, "C:\\secret\\locked.exe").memoryUnreadable = true;
  }
  void TearDown() override {
    m.ReleaseBlockedQueries();
    for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ForgetBlockingHandles();
    TabTest::TearDown();
  }
  static sim::TcpEndpoint Tcp(std::uint32_t state, std::uint16_t localPort, std::uint32_t pid) {
    sim::TcpEndpoint e;
    e.state = state;
    e.localAddr = "10.0.0.1";
    e.localPort = localPort;
    e.remoteAddr = "0.0.0.0";
    e.pid = pid;
    return e;
  }
  // The row of a TCP endpoint by its local port.
  int TcpRow(const std::string& port) const {
    for (int i = 0; i < list->RowCount(); ++i)
      if (list->Cell(i, 0) == "TCP" && list->Cell(i, 2) == port) return i;
    return -1;
  }
};

TEST_F(PortTabTest, MenuRefreshRebuildsTheTable) {
  ui::Menu menu = net::PortMenu();
  EXPECT_EQ(menu.name, "MenuPort");
  EXPECT_EQ(Captions(menu), std::vector<std::string>{"&Refresh"});

  m.state.version.major = 6;
  m.state.tcp = {Tcp(2, 80, 1200)};
  net::ShowPortTab(host);
  EXPECT_EQ(list->RowCount(), 1);
  EXPECT_EQ(Count(), "1 Item(s)");

  m.state.tcp.push_back(Tcp(2, 8080, 1200));
  net::PortMenuClick(host, Pick(menu, net::kPortRefresh));
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_GE(TcpRow("8080"), 0);
  EXPECT_EQ(Count(), "2 Item(s)");

  m.state.tcp.clear();
  net::PortMenuClick(host, Pick(menu, -1));  // dismissed: nothing
  EXPECT_EQ(list->RowCount(), 2);
  net::PortMenuClick(host, Pick(menu, net::kPortRefresh));
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(Count(), "0 Item(s)");
}

// Where the owners are known, each row carries the icon of its owner's image file.
TEST_F(PortTabTest, RowsTakeTheIconOfTheOwnersImage) {
  m.state.tcp = {Tcp(2, 80, 1200), Tcp(2, 81, 1300), Tcp(2, 82, 5555)};
  net::ShowPortTab(host);
  struct Case {
    std::string port, image, iconFile;
  };
  for (const Case& c : {Case{"80", "C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App\\app.exe"},
                        Case{"81", "---", ""}, Case{"82", "", ""}}) {
    SCOPED_TRACE(c.port);
    const int row = TcpRow(c.port);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->Cell(row, 7), c.image);
    EXPECT_EQ(list->rows_[static_cast<std::size_t>(row)].iconFile, c.iconFile);
  }
  EXPECT_EQ(Count(), std::to_string(list->RowCount()) + " Item(s)");

  m.state.version.major = 6;  // the IP helper knows no owners: no icons
  net::ShowPortTab(host);
  ASSERT_EQ(list->RowCount(), 3);
  for (const auto& r : list->rows_) EXPECT_EQ(r.iconFile, "");
}

}  // namespace
}  // namespace tv
