// The main window with the parts of the whole program: each list tab opens its own pop-up menu,
// the process menu reaches the module window, the kernel tab shows kernel modules, the Smart
// Scan tab hands over to the scan window, the tool bar opens the about box.
#include <gtest/gtest.h>

#include "main_window_fixture.h"
#include "process/frm_module.h"

namespace tv {
namespace {

class ProgramTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    m.AddFile("C:\\WINDOWS\\system32\\smss.exe");
    m.AddProcess(4, "System");
    m.AddFile("C:\\WINDOWS\\explorer.exe");
    m.AddProcess(1200, "C:\\WINDOWS\\explorer.exe");
    sim::Module k;
    k.name = "ntoskrnl.exe";
    k.path = "\\SystemRoot\\system32\\ntoskrnl.exe";
    k.base = 0x804D7000;
    k.size = 0x1F8000;
    m.state.kernelModules.push_back(k);
    m.AddFile("C:\\WINDOWS\\system32\\ntoskrnl.exe");
  }
  std::string MenuShown(std::size_t i) const { return i < kit.menusShown.size() ? kit.menusShown[i].name : ""; }
  int RowOf(const std::string& text) {
    for (int i = 0; i < List().RowCount(); ++i)
      if (List().Cell(i, 0) == text) return i;
    return -1;
  }
};

TEST_F(ProgramTest, EachListTabOpensItsOwnMenu) {
  Open();
  const std::pair<const char*, const char*> tabs[] = {
      {"Command1(2)", "PopupProcessMenu"}, {"Command1(4)", "MenuRegister"}, {"Command1(5)", "MenuRegister"},
      {"Command1(6)", "MenuPort"},         {"Command1(7)", "MenuService"}};
  for (std::size_t i = 0; i < std::size(tabs); ++i) {
    Click(tabs[i].first);
    List().RightClick();
    EXPECT_EQ(MenuShown(i), tabs[i].second) << tabs[i].first;
  }
  ASSERT_EQ(kit.menusShown.size(), 5u);
  // The registry menu shows "&Delete/Fix Value" on the start-up tab and "&Delete Value" on the
  // BHO tab, never both.
  auto visible = [](const ui::Menu& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu.items)
      if (item.visible) out.push_back(item.caption);
    return out;
  };
  const auto startup = visible(kit.menusShown[1]), bho = visible(kit.menusShown[2]);
  EXPECT_NE(std::find(startup.begin(), startup.end(), "&Delete/Fix Value"), startup.end());
  EXPECT_EQ(std::find(startup.begin(), startup.end(), "&Delete Value"), startup.end());
  EXPECT_NE(std::find(bho.begin(), bho.end(), "&Delete Value"), bho.end());
  EXPECT_EQ(std::find(bho.begin(), bho.end(), "&Delete/Fix Value"), bho.end());
}

// The engines number their row images by their own lists; the shared list shows the program's
// icons for them.
TEST_F(ProgramTest, RowImagesOfTheConfigurationTabsAreTheProgramsIcons) {
  m.SetString(kHklmRunKey, "one", "C:\\one.exe");
  Open();
  Click("Command1(4)");
  ASSERT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().RowIcon(List().rows_[0].icon), ui::IconId::TabStartup);
  // Images beyond the map, and none at all, show nothing.
  EXPECT_EQ(List().RowIcon(40), ui::IconId::None);
  EXPECT_EQ(List().RowIcon(-1), ui::IconId::None);
}

TEST_F(ProgramTest, ProcessMenuAndKernelTabOpenTheModuleWindow) {
  Open();
  Click("Command1(2)");
  const int system = RowOf("System");
  ASSERT_GE(system, 0);
  EXPECT_EQ(Panel(1).rfind("Process: ", 0), 0u) << Panel(1);
  std::vector<std::string> seen;
  auto look = [&](ui::RecForm& f) {
    seen.push_back(std::to_string(process::ModuleViewMode()) + " " + std::to_string(process::ModuleViewPID()) + " " +
                   std::to_string(f.Get<ui::RecListView>("LVModule")->RowCount()));
  };
  // "&Module Information" on the system process: the kernel modules.
  List().Select({system});
  kit.modalScripts.push_back(look);
  kit.menuPicks = {7};
  List().RightClick();
  // The kernel tab: the same view, for process 4.
  kit.modalScripts.push_back(look);
  Click("Command1(3)");
  EXPECT_EQ(seen, (std::vector<std::string>{"3 4 1", "3 4 1"}));
  // Closing reset the view.
  EXPECT_EQ(process::ModuleViewMode(), 0);
  EXPECT_EQ(process::ModuleViewPID(), -1);
  // The process list is still the one shown, with its rows.
  EXPECT_GE(RowOf("explorer.exe"), 0);
}

TEST_F(ProgramTest, SmartScanTabHandsOverToTheScanWindowAndBack) {
  auto& main = Open();
  Form().Show();
  Click("Command1(1)");
  ui::RecForm* scan = kit.FindForm("FrmScan");
  ASSERT_NE(scan, nullptr);
  EXPECT_TRUE(scan->Visible());
  EXPECT_FALSE(Form().Visible()) << "the main window hides itself";
  EXPECT_EQ(main.CurrentTab(), 0) << "the scan tab is no list tab";
  ASSERT_TRUE(scan->Get<ui::RecButton>("CmdScan(0)")->Click());
  EXPECT_TRUE(ScanStopped());
  scan->Close();
  EXPECT_TRUE(Form().Visible()) << "closing the scan window brings the main window back";
  app::DefaultParts().unloadScanWindow();
}

TEST_F(ProgramTest, ToolBarAboutOpensTheAboutBox) {
  Open();
  std::string title;
  kit.modalScripts.push_back([&](ui::RecForm& f) { title = f.Text(); });
  Click("ToolBar(0)");
  EXPECT_EQ(title, AboutText()[0]);
}

}  // namespace
}  // namespace tv
