// Start-up and browser helper object lists on simulated machines.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

const std::string kHklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kHkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kIfeo =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

class StartupTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    StartupList().clear();
    BhoList().clear();
  }
};

// One entry in every location, written in reverse order: the list follows the walk, not the
// order in which the registry got its keys.
TEST_F(StartupTest, WalksTheTwentyFiveLocationsInOrder) {
  const auto& locations = StartupLocations();
  ASSERT_EQ(locations.size(), 25u);
  for (std::size_t i = locations.size(); i-- > 0;) {
    const StartupLocation& loc = locations[i];
    const std::string tag = "item" + std::to_string(i + 1);
    switch (loc.operation) {
      case StartupLocation::AllValues: m.SetString(loc.keyPath, tag, tag + ".exe"); break;
      case StartupLocation::OneValue: m.SetString(loc.keyPath, loc.valueName, tag + ".exe"); break;
      case StartupLocation::AllSubkeys: m.Key(std::string(loc.keyPath) + "\\" + tag); break;
    }
  }
  // Neighbouring values that are not start-up entries stay out of the single-value reads.
  m.SetString(kWinlogon, "Notify", "x.dll");

  GetStartupItems();
  const auto& list = StartupList();
  ASSERT_EQ(list.size(), 25u);
  for (std::size_t i = 0; i < 25; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(list[i].KeyPath, locations[i].keyPath);
    EXPECT_EQ(list[i].Value, locations[i].operation == StartupLocation::AllSubkeys ? "" : "item" + std::to_string(i + 1) + ".exe");
  }
  EXPECT_EQ(list[0].KeyName, "Run");
  EXPECT_EQ(list[2].KeyName, "Explorer");
  EXPECT_EQ(list[2].Name, "Run");
  EXPECT_EQ(list[4].Name, "run");
  EXPECT_EQ(list[16].KeyName, "Winlogon");
  EXPECT_EQ(list[16].Name, "Shell");
  EXPECT_EQ(list[19].KeyName, "Session Manager");
  EXPECT_EQ(list[20].ItemKind, 1);
  EXPECT_EQ(list[20].Name, "item21");
  EXPECT_EQ(list[22].Name, "Appinit_Dlls");
}

TEST_F(StartupTest, RunKeyValuesByType) {
  m.SetString(kHklmRun, "", "C:\\default.exe");              // the unnamed value
  m.SetString(kHklmRun, "Empty", "");                         // only its NUL
  m.SetValue(kHklmRun, "NoData", reg::Sz, {});                // no bytes at all
  m.SetDword(kHklmRun, "Number", 4294967295u);
  m.SetValue(kHklmRun, "Qword", 11, Bytes(8, 1));             // other types are skipped
  m.SetString(kHklmRun, "Expand", "%windir%\\x.exe", reg::ExpandSz);
  m.SetValue(kHklmRun, "Multi", reg::MultiSz, Bytes{'f', 'i', 'r', 's', 't', 0, 's', 0, 0});
  GetStartupItems();
  const auto& list = StartupList();
  ASSERT_EQ(list.size(), 6u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"(Default)", "C:\\default.exe"}, {"Empty", "(value not set)"}, {"NoData", "(value not set)"},
      {"Number", "4294967295"},        {"Expand", "%windir%\\x.exe"}, {"Multi", "first"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(list[i].Name, expected[i].first);
    EXPECT_EQ(list[i].Value, expected[i].second);
    EXPECT_EQ(list[i].ItemKind, 0);
    EXPECT_EQ(list[i].KeyPath, kHklmRun);
  }
  EXPECT_EQ(list[3].ValueType, reg::Dword);
  EXPECT_EQ(list[4].ValueType, reg::ExpandSz);
}

TEST_F(StartupTest, ValueLongerThan256BytesEndsItsKeyOnly) {
  m.SetString(kHklmRun, "Before", "a.exe");
  m.SetString(kHklmRun, "Long", std::string(300, 'x'));
  m.SetString(kHklmRun, "After", "b.exe");
  m.SetString(kHkcuRun, "User", "u.exe");
  // 255 characters and the NUL fit exactly.
  m.SetString(kHkcuRun, "Edge", std::string(255, 'y'));
  GetStartupItems();
  const auto& list = StartupList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Name, "Before");
  EXPECT_EQ(list[1].Name, "User");
  EXPECT_EQ(list[2].Name, "Edge");
  EXPECT_EQ(list[2].Value, std::string(255, 'y'));
}

TEST_F(StartupTest, SingleValues) {
  m.SetString(kWinlogon, "Shell", "");                                  // empty: not listed
  m.SetString(kWinlogon, "Userinit", std::string(600, 'u'));            // fits 1024, cut to 256
  m.SetString(kWinlogon, "UIHost", std::string(1100, 'h'));             // does not fit: not listed
  m.SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Appinit_Dlls", 7);
  GetStartupItems();
  const auto& list = StartupList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name, "Userinit");
  EXPECT_EQ(list[0].Value, std::string(256, 'u'));
  EXPECT_EQ(list[1].Name, "Appinit_Dlls");
  EXPECT_EQ(list[1].Value, "7");
}

TEST_F(StartupTest, IfeoSubkeysAreKindOneWithOrWithoutDebugger) {
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "evil.exe");
  m.Key(kIfeo + "\\plain.exe");
  GetStartupItems();
  const auto& list = StartupList();
  ASSERT_EQ(list.size(), 2u);
  for (const auto& r : list) {
    EXPECT_EQ(r.ItemKind, 1);
    EXPECT_EQ(r.KeyName, "Image File Execution Options");
    EXPECT_EQ(r.ValueType, 0u);
    EXPECT_EQ(r.Value, "");
  }
  EXPECT_EQ(list[0].Name, "taskmgr.exe");
  EXPECT_EQ(list[1].Name, "plain.exe");

  ui::ListContent rows = ShowStartupList();
  ASSERT_EQ(rows.rows.size(), 2u);
  EXPECT_EQ(rows.rows[0].text, "Image File Execution Options");
  EXPECT_EQ(rows.rows[0].subItems, (std::vector<std::string>{"taskmgr.exe", ""}));
  EXPECT_EQ(rows.rows[0].icon, 9);
  EXPECT_EQ(rows.status, "2 Item(s)");
}

TEST_F(StartupTest, EmptyListsSayZeroItems) {
  GetStartupItems();
  GetBrowserHelperObjects();
  EXPECT_EQ(ShowStartupList().status, "0 Item(s)");
  EXPECT_EQ(ShowBhoList().status, "0 Item(s)");
  EXPECT_TRUE(ShowStartupList().rows.empty());
}

TEST_F(StartupTest, BrowserHelperObjectsWithLibraryAndPublisher) {
  const std::string withDll = "{11111111-1111-1111-1111-111111111111}";
  const std::string noServer = "{22222222-2222-2222-2222-222222222222}";
  m.Key(std::string(kBhoKeyPath) + "\\" + withDll);
  m.Key(std::string(kBhoKeyPath) + "\\" + noServer);
  m.SetString("HKEY_CLASSES_ROOT\\CLSID\\" + withDll + "\\InprocServer32", "", "  C:\\Program Files\\Bar\\bar.dll  ");
  m.Key("HKEY_CLASSES_ROOT\\CLSID\\" + noServer);
  sim::File& dll = m.AddFile("C:\\Program Files\\Bar\\bar.dll");
  dll.versionResource = sim::BuildVersionResource({{"040904b0", {{"CompanyName", "Bar Software Ltd."}}}});

  GetBrowserHelperObjects();
  const auto& list = BhoList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].ItemKind, 1);
  EXPECT_EQ(list[0].Name, withDll);
  EXPECT_EQ(list[0].KeyName, "Browser Helper Objects");
  EXPECT_EQ(list[0].Value, "C:\\Program Files\\Bar\\bar.dll");
  EXPECT_EQ(list[0].Publisher, "Bar Software Ltd.");
  EXPECT_EQ(list[1].Value, "");
  EXPECT_EQ(list[1].Publisher, "");

  ui::ListContent rows = ShowBhoList();
  ASSERT_EQ(rows.rows.size(), 2u);
  EXPECT_EQ(rows.rows[0].text, withDll);
  EXPECT_EQ(rows.rows[0].subItems,
            (std::vector<std::string>{"C:\\Program Files\\Bar\\bar.dll", "Bar Software Ltd."}));
  EXPECT_EQ(rows.status, "2 Item(s)");
  // The start-up list is a separate list.
  EXPECT_TRUE(StartupList().empty());
}

TEST_F(StartupTest, LongKeysLetWindowEventsRun) {
  for (int i = 0; i < 650; ++i) m.SetString(kHklmRun, "v" + std::to_string(i), "x.exe");
  GetStartupItems();
  EXPECT_EQ(StartupList().size(), 650u);
  EXPECT_EQ(recorder.doEvents, 2);
}

}  // namespace
}  // namespace tv
