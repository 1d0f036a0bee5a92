// The trust list manager: its list, adding files through the open dialog, removing and
// verifying, on a simulated machine driven through the recording toolkit.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "scan/frm_manage.h"
#include "scan_window_fixture.h"

namespace tv::test {
namespace {

using namespace std::string_literals;

class FrmManageTest : public ScanWindowTest {
 protected:
  // Three files of one folder: with a company name (Normal), without version text (Unknown)
  // and from a trusted publisher (rated 0).
  void ThreeFiles() {
    AddFile("C:\\Dl\\b.exe", "Vendor Inc.");
    AddFile("C:\\Dl\\a.exe");
    AddFile("C:\\Dl\\c.exe", "Microsoft Corporation");
  }
  void TrustThreeFiles() {
    ThreeFiles();
    for (const char* f : {"C:\\Dl\\b.exe", "C:\\Dl\\a.exe", "C:\\Dl\\c.exe"}) TrustList().push_back(TrustItemForFile(f));
    ASSERT_TRUE(SaveTrustList());
  }
  // Opens the manager and runs `script` in it; the list as it was left.
  ui::RecListView Run(const std::function<void(ui::RecForm&, ui::RecListView&)>& script) {
    ui::RecListView seen("seen");
    kit.modalScripts.push_back([&](ui::RecForm& f) {
      auto& list = *f.Get<ui::RecListView>("LVManage");
      script(f, list);
      seen.columns_ = list.columns_;
      seen.rows_ = list.rows_;
      seen.style_ = list.style_;
    });
    scan::ShowTrustManager(kit, nullptr);
    EXPECT_TRUE(kit.modalScripts.empty());
    return seen;
  }
  static void Click(ui::RecForm& f, int i) { f.Get<ui::RecButton>("CmdScan(" + std::to_string(i) + ")")->Click(); }
};

TEST_F(FrmManageTest, AddsTheFilesOfOneSelectionInTheDialogsOrder) {
  ThreeFiles();
  kit.recorder.dialogAnswers = {"C:\\Dl\0b.exe\0a.exe\0c.exe\0\0"s, "", "C:\\Dl\\b.exe"};
  std::string caption;
  ui::RecListView list = Run([&](ui::RecForm& f, ui::RecListView&) {
    caption = f.Text();
    Click(f, 2);  // three files
    Click(f, 2);  // cancelled: nothing
    Click(f, 2);  // one file again: a second item
  });
  EXPECT_EQ(caption, "Tolvexa - Manage Trust List");
  ASSERT_EQ(kit.recorder.dialogs.size(), 3u);
  const ui::FileDialog& d = kit.recorder.dialogs[0];
  EXPECT_EQ(d.title, "Add file to trust list");
  EXPECT_EQ(d.filters, (std::vector<std::pair<std::string, std::string>>{
                           {"Exe Files (*.exe;*.dll;*.com;*.scr)", "*.exe;*.dll;*.com;*.scr"},
                           {"Sys Files (*.sys;*.dll;*.vxd;*.drv)", "*.sys;*.dll;*.vxd;*.drv"},
                           {"All Files (*.*)", "*.*"}}));
  EXPECT_EQ(d.filterIndex, 1);
  EXPECT_EQ(d.flags, 0x1018420Eu);
  EXPECT_EQ(d.maxFile, 65276u);
  EXPECT_EQ(d.initialDir, "");

  // The dialog's letter case is kept; the levels are those of files chosen by hand.
  EXPECT_EQ(Objects(TrustList()),
            (std::vector<std::string>{"C:\\Dl\\b.exe", "C:\\Dl\\a.exe", "C:\\Dl\\c.exe", "C:\\Dl\\b.exe"}));
  EXPECT_EQ(TrustFileRecords(), 4u);
  EXPECT_EQ(list.ColumnTexts(0), Objects(TrustList()));
  // A file rated 0 shows no risk text and the first image.
  EXPECT_EQ(list.ColumnTexts(1), (std::vector<std::string>{"Normal", "Unknown", "", "Normal"}));
  std::vector<int> icons;
  for (const auto& r : list.rows_) icons.push_back(r.icon);
  EXPECT_EQ(icons, (std::vector<int>{2, 3, 1, 2}));
  EXPECT_EQ(list.ColumnTexts(2), std::vector<std::string>(4, " {}"));
  EXPECT_EQ(list.ColumnTexts(3), (std::vector<std::string>{"Vendor Inc.", "", "Microsoft Corporation", "Vendor Inc."}));
  EXPECT_TRUE(kit.recorder.messages.empty());
}

TEST_F(FrmManageTest, ShowsFiveFixedColumns) {
  ui::RecListView list = Run([](ui::RecForm&, ui::RecListView&) {});
  std::vector<std::string> keys;
  std::vector<int> widths;
  for (const auto& c : list.columns_) keys.push_back(c.key), widths.push_back(c.width);
  EXPECT_EQ(keys, (std::vector<std::string>{"&Object", "&Risk Level", "&Location", "&Publisher", "&Version"}));
  EXPECT_EQ(list.ColumnCaptions(), (std::vector<std::string>{"Object", "Risk Level", "Location", "Publisher", "Version"}));
  EXPECT_EQ(widths, (std::vector<int>{350, 100, 300, 200, 150}));
  EXPECT_EQ(list.ExtendedStyle(), 0x30u);
  EXPECT_EQ(list.RowCount(), 0);
}

struct RemoveCase {
  std::string name;
  std::vector<int> selected;
  std::vector<std::string> left;
};
void PrintTo(const RemoveCase& c, std::ostream* os) { *os << c.name; }
class RemoveTest : public FrmManageTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveTest, DropsEverySelectedRowWithoutAsking) {
  TrustThreeFiles();
  const std::string before = Contents(kTrustFile);
  ui::RecListView list = Run([&](ui::RecForm& f, ui::RecListView& l) {
    l.Select(GetParam().selected);
    Click(f, 1);
  });
  EXPECT_EQ(Objects(TrustList()), GetParam().left);
  EXPECT_EQ(list.ColumnTexts(0), GetParam().left);
  EXPECT_EQ(TrustFileRecords(), GetParam().left.size());
  if (GetParam().selected.empty()) {
    EXPECT_EQ(Contents(kTrustFile), before);
  }
  EXPECT_TRUE(kit.recorder.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Selections, RemoveTest,
    ::testing::Values(RemoveCase{"All", {0, 1, 2}, {}},
                      RemoveCase{"FirstAndLast", {0, 2}, {"C:\\Dl\\a.exe"}},
                      RemoveCase{"None", {}, {"C:\\Dl\\b.exe", "C:\\Dl\\a.exe", "C:\\Dl\\c.exe"}}),
    [](const ::testing::TestParamInfo<RemoveCase>& info) { return info.param.name; });

TEST_F(FrmManageTest, VerifyChecksOnlyTheFirstSelectedRow) {
  TrustThreeFiles();
  m.state.signatures["c:\\dl\\c.exe"] = 0;
  Run([](ui::RecForm& f, ui::RecListView& l) {
    Click(f, 3);  // nothing selected: nothing checked
    l.Select({2, 1});
    Click(f, 3);
    l.Select({2});
    Click(f, 3);
  });
  ASSERT_EQ(kit.recorder.messages.size(), 2u);
  EXPECT_EQ(kit.recorder.messages[0].text, "The file \"C:\\Dl\\a.exe\" is not signed.");
  EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::Ok);
  EXPECT_EQ(kit.recorder.messages[1].text, "The file \"C:\\Dl\\c.exe\" is signed and the signature was verified.");
}

}  // namespace
}  // namespace tv::test
