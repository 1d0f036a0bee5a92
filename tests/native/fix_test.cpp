// Repair of start-up values and the two delete commands of the start-up and BHO tabs.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kSession = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::string kWindows = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kIfeo =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

class FixTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    StartupList().clear();
    BhoList().clear();
  }
  const sim::RegValue* Value(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (!k) return nullptr;
    for (const auto& v : k->values)
      if (v.name == name) return &v;
    return nullptr;
  }
  // Finds the listed record of a key and name.
  const StartupRecord* Listed(const std::string& keyPath, const std::string& name) {
    for (const auto& r : StartupList())
      if (r.KeyPath == keyPath && r.Name == name) return &r;
    return nullptr;
  }
};

// The data of a string value without its terminating NUL(s), whether the writer stored them or not.
std::string TextOf(const sim::RegValue& v) {
  std::string s(v.data.begin(), v.data.end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

// Every row of the repair table: the value left behind (nullopt: deleted) and its type.
TEST_F(FixTest, RepairTable) {
  struct Case {
    std::string key, name, before;
    std::optional<std::string> afterText;  // data without terminating NULs; nullopt: deleted
    std::uint32_t afterType;
  };
  const std::vector<Case> cases = {
      {kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,evil.exe,", "C:\\WINDOWS\\system32\\userinit.exe", reg::Sz},
      {kWinlogon, "Shell", "Explorer.exe evil.exe", "Explorer.exe", reg::Sz},
      {kWinlogon, "UIHost", "evil.exe", "logonui.exe", reg::ExpandSz},
      {kSession, "BootExecute", "evil", "autocheck autochk *", reg::MultiSz},
      {kWindows, "load", "evil.exe", std::nullopt, 0},
      {kWindows, "run", "evil.exe", std::nullopt, 0},
      {kRun, "Evil", "evil.exe", std::nullopt, 0},
  };
  for (const Case& c : cases) m.SetString(c.key, c.name, c.before);
  m.SetString(kWinlogon, "Notify", "keep.dll");
  GetStartupItems();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StartupRecord* r = Listed(c.key, c.name);
    ASSERT_NE(r, nullptr);
    FixStartupItem(*r);
    const sim::RegValue* v = Value(c.key, c.name);
    if (!c.afterText) {
      EXPECT_EQ(v, nullptr);
      continue;
    }
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, c.afterType);
    EXPECT_EQ(TextOf(*v), *c.afterText);
  }
  // Other values of those keys stay.
  ASSERT_NE(Value(kWinlogon, "Notify"), nullptr);
}

TEST_F(FixTest, OtherWinlogonNamesAreLeftAlone) {
  StartupRecord r;
  r.KeyPath = kWinlogon;
  r.KeyName = "Winlogon";
  r.Name = "System";
  m.SetString(kWinlogon, "System", "evil.exe");
  FixStartupItem(r);
  ASSERT_NE(Value(kWinlogon, "System"), nullptr);
  EXPECT_EQ(TextOf(*Value(kWinlogon, "System")), "evil.exe");
}

TEST_F(FixTest, IfeoSubkeyGoesWithEverythingBelowIt) {
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "evil.exe");
  m.SetString(kIfeo + "\\taskmgr.exe\\deeper\\deepest", "x", "y");
  m.Key(kIfeo + "\\plain.exe");
  m.Key(kIfeo + "\\keep.exe");
  GetStartupItems();
  ASSERT_EQ(StartupList().size(), 3u);
  FixStartupItem(StartupList()[0]);
  FixStartupItem(StartupList()[1]);
  EXPECT_EQ(m.FindKey(kIfeo + "\\taskmgr.exe"), nullptr);
  EXPECT_EQ(m.FindKey(kIfeo + "\\plain.exe"), nullptr);
  EXPECT_NE(m.FindKey(kIfeo + "\\keep.exe"), nullptr);
}

TEST_F(FixTest, DefaultRowReachesTheUnnamedValue) {
  m.SetString(kRun, "", "evil.exe");
  m.SetString(kRun, "Other", "ok.exe");
  GetStartupItems();
  ASSERT_EQ(StartupList().size(), 2u);
  ASSERT_EQ(StartupList()[0].Name, "(Default)");
  FixStartupItem(StartupList()[0]);
  EXPECT_EQ(Value(kRun, ""), nullptr);
  EXPECT_NE(Value(kRun, "Other"), nullptr);
}

TEST_F(FixTest, DeleteOrFixAsksThenFixesSelectedRowsAndRefreshes) {
  m.SetString(kRun, "A", "a.exe");
  m.SetString(kRun, "B", "b.exe");
  m.SetString(kRun, "C", "c.exe");
  GetStartupItems();
  recorder.answers = {ui::mb::IdYes};
  std::optional<ui::ListContent> rows = DeleteOrFixReg({0, 2, 99});
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].text, "Are you sure to delete and fix the selected value?");
  EXPECT_EQ(recorder.messages[0].title, "Tolvexa");
  EXPECT_EQ(recorder.messages[0].flags, ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2);
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->rows.size(), 1u);
  EXPECT_EQ(rows->rows[0].subItems[0], "B");
  EXPECT_EQ(rows->status, "1 Item(s)");
  EXPECT_EQ(StartupList().size(), 1u);
}

TEST_F(FixTest, DeleteOrFixAnsweredNoChangesNothing) {
  m.SetString(kRun, "A", "a.exe");
  GetStartupItems();
  m.SetString(kRun, "Later", "later.exe");  // a refresh would show it
  recorder.answers = {ui::mb::IdNo};
  EXPECT_FALSE(DeleteOrFixReg({0}).has_value());
  EXPECT_NE(Value(kRun, "A"), nullptr);
  EXPECT_EQ(StartupList().size(), 1u);
}

TEST_F(FixTest, DeleteOrFixWithoutSelectionStillAsksAndRefreshes) {
  m.SetString(kRun, "A", "a.exe");
  recorder.answers = {ui::mb::IdYes};
  std::optional<ui::ListContent> rows = DeleteOrFixReg({});
  EXPECT_EQ(recorder.messages.size(), 1u);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(rows->rows.size(), 1u);
  EXPECT_NE(Value(kRun, "A"), nullptr);
}

TEST_F(FixTest, DeleteBhoRemovesOnlyTheRegistration) {
  const std::string bho = std::string(kBhoKeyPath);
  const std::string clsid = "{33333333-3333-3333-3333-333333333333}";
  m.Key(bho + "\\" + clsid);
  m.Key(bho + "\\{44444444-4444-4444-4444-444444444444}");
  m.SetString("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32", "", "C:\\x.dll");
  GetBrowserHelperObjects();
  ASSERT_EQ(BhoList().size(), 2u);

  recorder.answers = {ui::mb::IdNo};
  EXPECT_FALSE(DeleteReg({0}).has_value());
  EXPECT_NE(m.FindKey(bho + "\\" + clsid), nullptr);

  recorder.answers = {ui::mb::IdYes};
  std::optional<ui::ListContent> rows = DeleteReg({0});
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_EQ(recorder.messages[1].text, "Are you sure to delete the selected value?");
  EXPECT_EQ(recorder.messages[1].flags, ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(rows->rows.size(), 1u);
  EXPECT_EQ(m.FindKey(bho + "\\" + clsid), nullptr);
  EXPECT_NE(m.FindKey("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32"), nullptr);
}

}  // namespace
}  // namespace tv
