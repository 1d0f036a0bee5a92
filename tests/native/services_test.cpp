// The service list, its filters and rows, and the three service commands.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/services.h"
#include "sysconfig/registry.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

const std::string kServices = kServicesKeyPath;

class ServicesTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ServiceList().clear();
    ServiceFilter() = kManageService;
  }
  // A registry entry and, when `state` is not 0, the manager's entry with that state.
  void AddEntry(const std::string& name, std::uint32_t type, std::uint32_t state, std::uint32_t start = 3,
                const std::string& imagePath = "") {
    const std::string key = kServices + "\\" + name;
    m.SetString(key, "ImagePath", imagePath.empty() ? "C:\\bin\\" + name + ".exe" : imagePath, reg::ExpandSz);
    m.SetDword(key, "Type", type);
    m.SetDword(key, "Start", start);
    m.SetString(key, "DisplayName", name + " display");
    if (state != 0) {
      sim::Service s;
      s.name = name;
      s.type = type;
      s.state = state;
      s.startType = start;
      m.state.services.push_back(s);
    }
  }
  sim::Service* Scm(const std::string& name) { return m.FindService(name); }
  static std::vector<std::string> Names(const ui::ListContent& c) {
    std::vector<std::string> out;
    for (const auto& r : c.rows) out.push_back(r.text);
    return out;
  }
  int RowOf(const ui::ListContent& c, const std::string& name) {
    for (std::size_t i = 0; i < c.rows.size(); ++i)
      if (c.rows[i].text == name) return static_cast<int>(i);
    return -1;
  }
};

TEST_F(ServicesTest, EntriesWithoutUsableImagePathAreNotListed) {
  m.SetDword(kServices + "\\NoPath", "Type", 1);
  m.SetString(kServices + "\\Blank", "ImagePath", "   ");
  m.SetString(kServices + "\\TooLong", "ImagePath", "C:\\" + std::string(300, 'x') + ".sys");
  AddEntry("Good", 16, 4);
  GetServices();
  ASSERT_EQ(ServiceList().size(), 1u);
  EXPECT_EQ(ServiceList()[0].Name, "Good");
  EXPECT_EQ(ServiceList()[0].DisplayName, "Good display");
}

TEST_F(ServicesTest, SystemRootCommandLineKeepsArgumentsAndReadsTheImageFile) {
  AddEntry("Svc", 32, 4, 2, "\\SystemRoot\\System32\\svchost.exe -k netsvcs");
  m.SetString(kServices + "\\Svc", "Description", "  Hosts things  ");
  m.SetString(kServices + "\\Svc", "Group", "NetworkProvider");
  sim::File& f = m.AddFile("C:\\WINDOWS\\System32\\svchost.exe");
  f.versionResource = sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Microsoft Corporation"}, {"FileDescription", "Generic Host"}, {"FileVersion", "5.1.2600"}}}});
  GetServices();
  ASSERT_EQ(ServiceList().size(), 1u);
  const ServiceRecord& r = ServiceList()[0];
  EXPECT_EQ(r.RawImagePath, "\\SystemRoot\\System32\\svchost.exe -k netsvcs");
  EXPECT_EQ(r.ImagePath, "C:\\WINDOWS\\System32\\svchost.exe -k netsvcs");
  EXPECT_EQ(r.Company, "Microsoft Corporation");
  EXPECT_EQ(r.FileDescription, "Generic Host");
  EXPECT_EQ(r.Version, "5.1.2600");
  EXPECT_EQ(r.Description, "Hosts things");
  EXPECT_EQ(r.Group, "NetworkProvider");
  EXPECT_EQ(r.Type, 32u);
  EXPECT_EQ(r.Start, 2u);
  EXPECT_EQ(r.Status, 4u);

  ui::ListContent rows = ShowServiceList(kShowAll);
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].subItems,
            (std::vector<std::string>{"Svc display", "Started", "Shared", "Automatic",
                                      "C:\\WINDOWS\\System32\\svchost.exe -k netsvcs", "Hosts things",
                                      "NetworkProvider", "Microsoft Corporation", "Generic Host", "5.1.2600"}));
  EXPECT_EQ(rows.rows[0].icon, 1);
  EXPECT_EQ(rows.status, "1 Item(s)");
}

TEST_F(ServicesTest, TypeStartAndStatusTexts) {
  struct Case {
    std::uint32_t value;
    const char* type;
    const char* start;
  };
  const std::vector<Case> cases = {{0, "Kernel", "Automatic"}, {1, "Kernel", "Automatic"},
                                   {2, "Kernel", "Automatic"}, {3, "Kernel", "Manual"},
                                   {4, "Kernel", "Disabled"},  {5, "Kernel", ""},
                                   {16, "Independent", ""},    {32, "Shared", ""},
                                   {48, "", ""},               {272, "Independent,Interactive", ""},
                                   {288, "Shared,Interactive", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(ServiceTypeText(c.value), c.type) << c.value;
    EXPECT_EQ(ServiceStartText(c.value), c.start) << c.value;
  }
  const std::vector<std::pair<std::uint32_t, std::string>> states = {
      {0, ""}, {1, "Stopped"}, {2, ""}, {3, ""}, {4, "Started"}, {5, ""}, {6, ""}, {7, ""}};
  for (const auto& [state, text] : states) EXPECT_EQ(ServiceStatusText(state), text) << state;
}

TEST_F(ServicesTest, StatesFromTheManager) {
  AddEntry("Running", 16, 4);
  AddEntry("Stopped", 16, 1);
  AddEntry("Paused", 16, 7);
  AddEntry("Unknown", 16, 0);  // not known to the manager
  AddEntry("Locked", 16, 4);
  Scm("Locked")->refuseOpen = true;
  GetServices();
  ui::ListContent rows = ShowServiceList(kShowAll);
  ASSERT_EQ(rows.rows.size(), 5u);
  const std::vector<std::pair<std::string, int>> expected = {
      {"Started", 1}, {"Stopped", 2}, {"", -1}, {"", -1}, {"", -1}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(rows.rows[i].subItems[1], expected[i].first) << rows.rows[i].text;
    EXPECT_EQ(rows.rows[i].icon, expected[i].second) << rows.rows[i].text;
  }
  EXPECT_EQ(ServiceList()[2].Status, 7u);
  EXPECT_EQ(ServiceList()[3].Status, 0u);
  EXPECT_EQ(ServiceList()[4].Status, 0u);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ServicesTest, FiveFilters) {
  AddEntry("SvcRun", 16, 4);
  AddEntry("SvcStop", 32, 1);
  AddEntry("SvcPaused", 288, 7);
  AddEntry("DrvRun", 1, 4, 1);
  AddEntry("DrvStop", 2, 1, 1);
  AddEntry("DrvNoScm", 8, 0, 1);
  AddEntry("Odd", 12, 4);  // between drivers and services: only "Show &All"
  GetServices();
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {kShowAll, {"SvcRun", "SvcStop", "SvcPaused", "DrvRun", "DrvStop", "DrvNoScm", "Odd"}},
      {kManageService, {"SvcRun", "SvcStop", "SvcPaused"}},
      {kStartedService, {"SvcRun", "SvcPaused"}},
      {kManageDriver, {"DrvRun", "DrvStop", "DrvNoScm"}},
      {kStartedDriver, {"DrvRun", "DrvNoScm"}},
      {9, {"SvcRun", "SvcStop", "SvcPaused", "DrvRun", "DrvStop", "DrvNoScm", "Odd"}},
  };
  for (const auto& [filter, names] : cases) {
    ui::ListContent c = ShowServiceList(filter);
    EXPECT_EQ(Names(c), names) << "filter " << filter;
    EXPECT_EQ(c.status, std::to_string(names.size()) + " Item(s)");
  }
  ServiceList().clear();
  EXPECT_EQ(ShowServiceList(kShowAll).status, "0 Item(s)");
}

TEST_F(ServicesTest, OpeningTheTabUsesAndStoresFilterOne) {
  AddEntry("Svc", 16, 4);
  AddEntry("Drv", 1, 4);
  ServiceFilter() = kShowAll;
  EXPECT_EQ(Names(RefreshServiceTab()), std::vector<std::string>{"Svc"});
  EXPECT_EQ(ServiceFilter(), kManageService);
  EXPECT_EQ(Names(ChooseServiceFilter(kManageDriver)), std::vector<std::string>{"Drv"});
  EXPECT_EQ(ServiceFilter(), kManageDriver);
}

TEST_F(ServicesTest, RunAndStopActOnlyInTheRightState) {
  AddEntry("A", 16, 1);
  AddEntry("B", 16, 4);
  ChooseServiceFilter(kManageService);
  // Run on the stopped one starts it; on the running one nothing is asked of the manager.
  std::optional<ui::ListContent> rows = RunService({0, 1});
  ASSERT_TRUE(rows);
  EXPECT_EQ(Scm("A")->state, 4u);
  const auto startsBefore = m.CallCount("StartServiceA");
  RunService({1});
  EXPECT_EQ(m.CallCount("StartServiceA"), startsBefore);
  EXPECT_EQ(Scm("B")->state, 4u);

  StopService({1});
  EXPECT_EQ(Scm("B")->state, 1u);
  const auto controlsBefore = m.CallCount("ControlService");
  rows = StopService({1});
  EXPECT_EQ(m.CallCount("ControlService"), controlsBefore);
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->rows[1].subItems[1], "Stopped");
  EXPECT_TRUE(recorder.messages.empty());

  // No row selected: nothing at all.
  EXPECT_FALSE(RunService({}).has_value());
  EXPECT_FALSE(StopService({}).has_value());
  EXPECT_FALSE(DeleteService({}).has_value());
}

// In every view the selected row names the right entry, and the refresh keeps the view.
TEST_F(ServicesTest, RunAndStopInEachView) {
  struct Case {
    int filter;
    std::string target;                // an entry shown in that view, not in its first row
    std::vector<std::string> shownAfter;
  };
  const std::vector<Case> cases = {
      {kShowAll, "SvcB", {"DrvA", "SvcA", "DrvB", "SvcB"}},
      {kManageService, "SvcB", {"SvcA", "SvcB"}},
      {kStartedService, "SvcB", {"SvcA", "SvcB"}},
      {kManageDriver, "DrvB", {"DrvA", "DrvB"}},
      {kStartedDriver, "DrvB", {"DrvA", "DrvB"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    m.state.services.clear();
    if (sim::RegKey* k = m.FindKey(kServices)) k->subkeys.clear();
    AddEntry("DrvA", 1, 4);
    AddEntry("SvcA", 16, 4);
    AddEntry("DrvB", 1, 4);
    AddEntry("SvcB", 16, 4);
    ui::ListContent shown = ChooseServiceFilter(c.filter);
    const int row = RowOf(shown, c.target);
    ASSERT_GT(row, 0);
    std::optional<ui::ListContent> rows = StopService({row});
    ASSERT_TRUE(rows);
    EXPECT_EQ(Scm(c.target)->state, 1u);
    for (const auto& s : m.state.services) {
      if (s.name != c.target) {
        EXPECT_EQ(s.state, 4u) << s.name;
      }
    }
    const bool startedView = c.filter == kStartedService || c.filter == kStartedDriver;
    if (startedView) {
      // The stopped entry leaves the started view; it is run again from the full view of its kind.
      EXPECT_EQ(RowOf(*rows, c.target), -1);
      ui::ListContent full = ChooseServiceFilter(c.filter == kStartedService ? kManageService : kManageDriver);
      ASSERT_TRUE(RunService({RowOf(full, c.target)}));
      rows = ChooseServiceFilter(c.filter);
    } else {
      EXPECT_EQ(RowOf(*rows, c.target), row);
      rows = RunService({row});
    }
    ASSERT_TRUE(rows);
    EXPECT_EQ(Scm(c.target)->state, 4u);
    EXPECT_EQ(Names(*rows), c.shownAfter);
  }
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ServicesTest, ShowAllThenRunRefreshesUnfiltered) {
  AddEntry("Drv", 1, 4);
  AddEntry("Svc", 16, 1);
  ui::ListContent all = ChooseServiceFilter(kShowAll);
  std::optional<ui::ListContent> rows = RunService({RowOf(all, "Svc")});
  ASSERT_TRUE(rows);
  EXPECT_EQ(Names(*rows), (std::vector<std::string>{"Drv", "Svc"}));
  EXPECT_EQ(Scm("Svc")->state, 4u);
}

TEST_F(ServicesTest, DeleteInEachView) {
  struct Case {
    int filter;
    std::uint32_t type;
    bool stopsAndDeletesInManager;
    bool deletesRegistryTree;
  };
  const std::vector<Case> cases = {{kShowAll, 16, true, true},
                                   {kManageService, 16, true, false},
                                   {kStartedService, 16, true, false},
                                   {kManageDriver, 1, false, true},
                                   {kStartedDriver, 1, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    m.state.services.clear();
    if (sim::RegKey* k = m.FindKey(kServices)) k->subkeys.clear();
    AddEntry("Victim", c.type, 4);
    AddEntry("Other", c.type, 4);
    ui::ListContent shown = ChooseServiceFilter(c.filter);
    const auto treeDeletesBefore = m.CallCount("SHDeleteKeyA");
    std::optional<ui::ListContent> rows = DeleteService({RowOf(shown, "Victim")});
    ASSERT_TRUE(rows);
    sim::Service* s = Scm("Victim");
    if (c.stopsAndDeletesInManager) {
      // Stopped and deleted by the manager, which takes the registry entry with it.
      EXPECT_EQ(s, nullptr);
      EXPECT_EQ(m.FindKey(kServices + "\\Victim"), nullptr);
      EXPECT_EQ(RowOf(*rows, "Victim"), -1);
    } else {
      // Only the registry entry goes; the manager still knows the driver, running.
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->state, 4u);
      EXPECT_FALSE(s->markedForDelete);
      EXPECT_EQ(m.FindKey(kServices + "\\Victim"), nullptr);
    }
    EXPECT_EQ(m.CallCount("SHDeleteKeyA") > treeDeletesBefore, c.deletesRegistryTree);
    EXPECT_NE(m.FindKey(kServices + "\\Other"), nullptr);
    ASSERT_NE(Scm("Other"), nullptr);
    EXPECT_EQ(Scm("Other")->state, 4u);
    EXPECT_TRUE(recorder.messages.empty());
  }
}

TEST_F(ServicesTest, DeleteOfAnUnopenableEntryInShowAllReportsAndStillDeletesTheKey) {
  AddEntry("Ghost", 16, 0);  // in the registry only
  ui::ListContent shown = ChooseServiceFilter(kShowAll);
  ASSERT_TRUE(DeleteService({RowOf(shown, "Ghost")}));
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].text, "Manage service error");
  EXPECT_EQ(recorder.messages[0].title, "Tolvexa");
  EXPECT_EQ(recorder.messages[0].flags, ui::mb::IconExclamation);
  EXPECT_EQ(m.FindKey(kServices + "\\Ghost"), nullptr);
  EXPECT_EQ(ServiceList().size(), 0u);
}

TEST_F(ServicesTest, CommandLineListWithFilters) {
  AddEntry("Svc", 16, 4);
  AddEntry("Drv", 1, 1);
  const std::string header =
      "Name\tDisplayName\tStatus\tType\tStartupType\tImagePath\tDescription\tGroup\tCompany\tCompany Info\tVersion";
  int code = -1;
  std::vector<std::string> lines = CliLines("services", {}, code);
  EXPECT_EQ(code, 0);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], header);
  EXPECT_EQ(lines[1], "Svc\tSvc display\tStarted\tIndependent\tManual\tC:\\bin\\Svc.exe\t\t\t\t\t");
  EXPECT_EQ(lines[2], "1 Item(s)");
  lines = CliLines("services", {"--filter", "3"}, code);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 4), "Drv\t");
  lines = CliLines("services", {"--filter", "0"}, code);
  EXPECT_EQ(lines.back(), "2 Item(s)");
  lines = CliLines("services", {"--filter", "4"}, code);
  EXPECT_EQ(lines.back(), "0 Item(s)");
}

}  // namespace
}  // namespace tv
