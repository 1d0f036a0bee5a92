// Start-up item collection, the Smart Scan and the cleaning of threats on simulated machines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "scan/risk.h"
#include "scan_fixture.h"
#include "sysconfig/registry.h"
#include "ui/text_tables.h"

namespace tv::test {
namespace {

const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kNtWindows = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kHkcuNtWindows = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kPolicies = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::string kSetup = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup";
const std::string kSessionManager = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::string kIfeo =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::string kExplorer = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const std::string kDelayLoad =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const std::string kServices = kServicesKeyPath;

using Row = std::tuple<std::string, std::int32_t, std::string, std::string, std::string, std::int32_t>;
Row RowOf(const ScanItem& i) {
  return {i.Object.str(), i.Category, i.KeyPath.str(), i.ValueName.str(), i.Group.str(), i.EntryKind};
}

class EngineTest : public ScanTest {
 protected:
  const sim::RegValue* Value(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (!k) return nullptr;
    for (const auto& v : k->values)
      if (v.name == name) return &v;
    return nullptr;
  }
  std::string Text(const std::string& key, const std::string& name) {
    const sim::RegValue* v = Value(key, name);
    return v ? std::string(v->data.begin(), v->data.end()) : std::string("<none>");
  }
};

// One entry of every row of the decision table, in the order of the start-up walk.
TEST_F(EngineTest, CollectsOneItemPerDecisionRow) {
  m.SetString(kHklmRun, "app", "\"C:\\Program Files\\App\\app.exe\" /background");
  AddFile("C:\\Program Files\\App\\app.exe");
  m.SetString(kPolicies, "Run", "C:\\pol\\p.exe");
  m.SetString(kHkcuNtWindows, "run", "C:\\load\\r.exe");
  m.SetString(kSetup, "setupstep", "C:\\setup\\s.exe");  // another value of those keys: no item
  m.SetString(kSetup, "run", "C:\\setup\\r.exe");
  m.SetString(kHkcuNtWindows, "load", "C:\\load\\l.exe");
  m.SetString(kWinlogon, "Shell", "Explorer.exe");
  AddFile("C:\\WINDOWS\\Explorer.exe");
  m.SetString(kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil\\ui.exe");
  AddFile("C:\\WINDOWS\\system32\\userinit.exe", "Microsoft Corporation");
  AddFile("C:\\evil\\ui.exe");
  m.SetString(kWinlogon, "UIHost", "C:\\evil\\logon.exe /arg");
  AddFile("C:\\evil\\logon.exe");
  m.SetValue(kSessionManager, "BootExecute", reg::MultiSz, Bytes{'a', 'u', 't', 'o', 'c', 'h', 'e', 'c', 'k', ' ', 'a',
                                                                  'u', 't', 'o', 'c', 'h', 'k', ' ', '*', 0, 0});
  AddFile("C:\\WINDOWS\\system32\\autochk.exe", "Microsoft Corporation");
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "C:\\evil\\hijack.exe");
  m.SetString(kExplorer + "\\ShellExecuteHooks", "{11111111}", "");
  m.SetString(kExplorer + "\\ShellExecuteHooks", "{11111112}", "");
  AddClass("{11111111}", "C:\\hooks\\hook.dll");
  AddFile("C:\\hooks\\hook.dll");
  AddClass("{11111112}", "\\SystemRoot\\system32\\sysh.dll");  // opens only in its drive-letter form
  AddFile("C:\\WINDOWS\\system32\\sysh.dll");
  m.SetString(kNtWindows, "Appinit_Dlls", "C:\\evil\\a1.dll,C:\\evil\\a2.dll");
  m.SetString(kDelayLoad, "WebCheck", "{33333333}");
  AddClass("{33333333}", "C:\\ssodl\\web.dll");
  m.SetString(kExplorer + "\\SharedTaskScheduler", "{22222222}", "");
  AddClass("{22222222}", "C:\\sts\\task.dll");
  m.Key(std::string(kBhoKeyPath) + "\\{44444444}");
  AddClass("{44444444}", "C:\\bho\\bho.dll");
  AddService("autosvc", "C:\\svc\\auto.exe", 2, 1);
  AddService("mansvc", "C:\\svc\\manual.exe", 3, 1);  // manual and stopped: not collected
  AddService("manrun", "\\SystemRoot\\System32\\svchost.exe -k netsvcs", 3, 4, 0x20);
  AddFile("C:\\WINDOWS\\System32\\svchost.exe", "Microsoft Corporation");
  AddService("disrun", "C:\\svc\\disabled.exe", 4, 4);
  AddService("bootdrv", "system32\\drivers\\boot.sys", 0, 1, 1);

  CollectStartupItems();
  const std::string bho = kBhoKeyPath;
  const std::vector<Row> expected = {
      {"c:\\program files\\app\\app.exe", 0, kHklmRun, "app", "Run", 0},
      {"c:\\pol\\p.exe", 32, kPolicies, "Run", "Explorer", 0},
      {"c:\\load\\r.exe", 32, kHkcuNtWindows, "run", "Windows", 0},
      {"c:\\setup\\r.exe", 32, kSetup, "run", "Setup", 0},
      {"c:\\load\\l.exe", 32, kHkcuNtWindows, "load", "Windows", 0},
      {"c:\\windows\\explorer.exe", 7, kWinlogon, "Shell", "Winlogon", 0},
      {"c:\\windows\\system32\\userinit.exe", 3, kWinlogon, "Userinit", "Winlogon", 0},
      {"c:\\evil\\ui.exe", 3, kWinlogon, "Userinit", "Winlogon", 0},
      {"c:\\evil\\logon.exe", 7, kWinlogon, "UIHost", "Winlogon", 0},
      {"c:\\windows\\system32\\autochk.exe", 8, kSessionManager, "BootExecute", "Session Manager", 0},
      {"taskmgr.exe", 6, kIfeo, "taskmgr.exe", "Image File Execution Options", 1},
      {"c:\\hooks\\hook.dll", 1, kExplorer + "\\ShellExecuteHooks", "{11111111}", "ShellExecuteHooks", 0},
      {"c:\\windows\\system32\\sysh.dll", 1, kExplorer + "\\ShellExecuteHooks", "{11111112}", "ShellExecuteHooks", 0},
      {"c:\\evil\\a1.dll", 4, kNtWindows, "Appinit_Dlls", "Windows", 0},
      {"c:\\evil\\a2.dll", 4, kNtWindows, "Appinit_Dlls", "Windows", 0},
      {"c:\\ssodl\\web.dll", 5, kDelayLoad, "WebCheck", "ShellServiceObjectDelayLoad", 0},
      {"c:\\sts\\task.dll", 2, kExplorer + "\\SharedTaskScheduler", "{22222222}", "SharedTaskScheduler", 0},
      {"c:\\bho\\bho.dll", 9, bho, "{44444444}", "BHOGroup", 1},
      {"c:\\svc\\auto.exe", 16, kServices, "autosvc", "ServiceGroup", 1},
      {"c:\\windows\\system32\\svchost.exe", 16, kServices, "manrun", "ServiceGroup", 1},
      {"c:\\svc\\disabled.exe", 16, kServices, "disrun", "ServiceGroup", 1},
      {"c:\\windows\\system32\\drivers\\boot.sys", 16, kServices, "bootdrv", "ServiceGroup", 1},
  };
  std::vector<Row> rows;
  for (const ScanItem& i : StartupItemList()) rows.push_back(RowOf(i));
  EXPECT_EQ(rows, expected);

  // Ratings of the collection: the "Userinit" list's second program has no version text.
  EXPECT_EQ(StartupItemList()[7].RiskLevel, kRiskDangerous);
  EXPECT_EQ(StartupItemList()[6].RiskLevel, kRiskNone);
  EXPECT_EQ(StartupItemList()[10].RiskLevel, kRiskNone);  // a bare program name names no key yet
  // The black list: every rated item but those rated 0 (Microsoft files, the option key).
  const std::vector<std::string> black = Objects(BlackList());
  EXPECT_EQ(black.size(), expected.size() - 4);
  EXPECT_EQ(std::count(black.begin(), black.end(), "c:\\windows\\system32\\svchost.exe"), 0);
}

TEST_F(EngineTest, BootExecuteOtherThanAutochkIsItsImage) {
  m.SetValue(kSessionManager, "BootExecute", reg::MultiSz, Bytes{'C', ':', '\\', 'b', '.', 'e', 'x', 'e', ' ', '/',
                                                                  'q', 0, 0});
  AddFile("C:\\b.exe");
  CollectStartupItems();
  ASSERT_EQ(StartupItemList().size(), 1u);
  EXPECT_EQ(StartupItemList()[0].Object.str(), "c:\\b.exe");
  EXPECT_EQ(StartupItemList()[0].Category, kCatBootExecute);
}

TEST_F(EngineTest, TrustMatchingIgnoresCaseButTheBlackListComparesExactly) {
  m.SetString(kHklmRun, "a", "C:\\Apps\\Caps.exe");
  m.SetString(kHklmRun, "b", "C:\\Apps\\lower.exe");
  m.SetString(kHklmRun, "c", "C:\\Apps\\other.exe");
  for (const char* f : {"C:\\Apps\\Caps.exe", "C:\\Apps\\lower.exe", "C:\\Apps\\other.exe"}) AddFile(f);
  TrustList() = {Item("C:\\APPS\\CAPS.EXE"), Item("c:\\apps\\lower.exe")};

  CollectStartupItems();
  EXPECT_EQ(Objects(BlackList()), (std::vector<std::string>{"c:\\apps\\caps.exe", "c:\\apps\\other.exe"}));

  ScanStopped() = false;
  RecordingProgress progress;
  SmartScan(progress);
  EXPECT_EQ(Objects(BlackList()), (std::vector<std::string>{"c:\\apps\\other.exe"}));
  EXPECT_EQ(ThreatCount(), 1);
  // The two trusted items were passed over without a display update.
  EXPECT_EQ(progress.objects, (std::vector<std::string>{kHklmRun + " {c}"}));
  EXPECT_EQ(progress.scanned, (std::vector<std::int32_t>{3}));
}

TEST_F(EngineTest, SmartScanReportsUnknownAndWorseWithTheirRows) {
  m.SetString(kHklmRun, "good", "C:\\apps\\good.exe");
  AddFile("C:\\apps\\good.exe", "Acme Ltd");
  m.SetString(kHklmRun, "bad", "C:\\apps\\Bad.exe");
  AddFile("C:\\apps\\Bad.exe");
  m.SetString(kHklmRun, "gone", "C:\\apps\\gone.exe");
  m.SetString(kHklmRun, "empty", "");  // unresolved: an Unknown threat without object
  m.SetString(kWinlogon, "Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil\\second.exe");
  AddFile("C:\\WINDOWS\\system32\\userinit.exe", "Microsoft Corporation");
  AddFile("C:\\evil\\second.exe");
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "C:\\evil\\hijack.exe");
  m.Key(kIfeo + "\\notepad.exe");

  RecordingProgress progress;
  RunSmartScan(progress);
  EXPECT_TRUE(ScanStopped());
  ASSERT_EQ(ThreatCount(), 5);
  EXPECT_EQ(Objects(ThreatList()),
            (std::vector<std::string>{"c:\\apps\\bad.exe", "c:\\apps\\gone.exe", "", "c:\\evil\\second.exe",
                                      "taskmgr.exe"}));
  std::vector<std::int32_t> levels;
  for (const ScanItem& t : ThreatList()) levels.push_back(t.RiskLevel);
  EXPECT_EQ(levels, (std::vector<std::int32_t>{4, 2, 2, 4, 4}));
  EXPECT_EQ(BlackList(), ThreatList());

  ASSERT_EQ(progress.rows.size(), 5u);
  EXPECT_EQ(progress.rows[0].text, "c:\\apps\\bad.exe");
  EXPECT_EQ(progress.rows[0].icon, 5);
  EXPECT_EQ(progress.rows[0].subItems, (std::vector<std::string>{"Dangerous", "Not Proceesed", kHklmRun + " {bad}"}));
  EXPECT_EQ(progress.rows[1].subItems[0], "Unknown");
  EXPECT_EQ(progress.rows[4].subItems[2], kIfeo + "\\taskmgr.exe");
  EXPECT_EQ(progress.found, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(progress.maximum, 8);
  EXPECT_EQ(progress.scanned.back(), 8);
  EXPECT_EQ(progress.phases.back(), "Smart Scan completed");
  EXPECT_EQ(progress.statuses.back(), "Smart Scan completed");
  EXPECT_EQ(progress.objects.back(), "");

  // One alert per threat, asynchronous, with the sound file of the temporary folder.
  ASSERT_EQ(m.state.soundsPlayed.size(), 5u);
  EXPECT_EQ(m.state.soundsPlayed[0].path, Folders().SoundFile);
  EXPECT_EQ(m.state.soundsPlayed[0].flags, 1u);
}

TEST_F(EngineTest, StopEndsTheScanAfterTheCurrentItem) {
  for (const char* name : {"a", "b", "c", "d"}) {
    m.SetString(kHklmRun, name, std::string("C:\\bad\\") + name + ".exe");
    AddFile(std::string("C:\\bad\\") + name + ".exe");
  }
  RecordingProgress progress;
  // Stop is pressed while the second threat is shown.
  progress.onEvents = [](RecordingProgress& p) {
    if (p.rows.size() == 2) ScanStopped() = true;
  };
  RunSmartScan(progress);
  EXPECT_EQ(ThreatCount(), 2);
  EXPECT_EQ(Objects(ThreatList()), (std::vector<std::string>{"c:\\bad\\a.exe", "c:\\bad\\b.exe"}));
  EXPECT_EQ(Objects(BlackList()), Objects(ThreatList()));
  EXPECT_EQ(progress.scanned.back(), 2);
  EXPECT_TRUE(ScanStopped());
}

TEST_F(EngineTest, EachFileIsReadAndVerifiedOncePerScan) {
  for (int i = 0; i < 3; ++i) m.SetString(kHklmRun, "a" + std::to_string(i), "C:\\X\\A.EXE");
  m.SetString(kHklmRun, "b", "C:\\x\\b.exe");
  AddFile("C:\\x\\a.exe");
  AddFile("C:\\x\\b.exe", "Acme");
  AddService("s1", "C:\\x\\a.exe", 2, 4);
  AddService("s2", "C:\\x\\c.sys", 1, 4, 1);
  AddFile("C:\\x\\c.sys");

  // Without the scan's memory: two reads per rating, every item rated twice.
  ResetThreatList(0);
  ScanStopped() = false;
  CollectStartupItems();
  SmartScan();
  ScanStopped() = true;
  const std::vector<std::string> uncached = Objects(ThreatList());
  EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 2u + 6 * 2 * 2);  // the service list reads each image once
  EXPECT_EQ(m.CallCount("WinVerifyTrust"), 12u);

  const std::uint64_t reads = m.CallCount("GetFileVersionInfoSizeA"), checks = m.CallCount("WinVerifyTrust");
  RunSmartScan();
  EXPECT_EQ(Objects(ThreatList()), uncached);  // the same ratings
  EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA") - reads, 3u);  // a.exe, b.exe, c.sys
  EXPECT_EQ(m.CallCount("WinVerifyTrust") - checks, 3u);
}

TEST_F(EngineTest, CleanThreatRepairsOrRemovesEachKindOfEntry) {
  const std::string sysUserinit = Folders().SysDir + "userinit.exe";
  struct Case {
    std::string name, keyPath, valueName, group;
    std::int32_t entryKind;
    std::int32_t expected;
  };
  m.SetString(kHklmRun, "evil", "C:\\evil.exe");
  m.SetString(kHklmRun, "", "C:\\evil.exe");
  m.SetString(kWinlogon, "Userinit", "C:\\evil.exe");
  m.SetString(kWinlogon, "Shell", "evil.exe");
  m.SetString(kWinlogon, "UIHost", "evil.exe");
  m.SetString(kWinlogon, "Notify", "keep.dll");
  m.SetString(kSessionManager, "BootExecute", "evil");
  m.SetString(kServices + "\\flat", "ImagePath", "C:\\flat.sys");
  m.SetString(kServices + "\\deep\\Enum", "0", "x");
  const Case cases[] = {
      {"run value", kHklmRun, "evil", "Run", 0, kResultDone},
      {"unnamed value", kHklmRun, "(Default)", "Run", 0, kResultDone},
      {"missing value", kHklmRun, "nothing", "Run", 0, kResultCleanFailed},
      {"userinit", kWinlogon, "Userinit", "Winlogon", 0, kResultDone},
      {"shell", kWinlogon, "Shell", "Winlogon", 0, kResultDone},
      {"uihost", kWinlogon, "UIHost", "Winlogon", 0, kResultDone},
      {"other winlogon value", kWinlogon, "Notify", "Winlogon", 0, kResultDone},
      {"boot execute", kSessionManager, "BootExecute", "Session Manager", 0, kResultDone},
      {"key", kServices, "flat", "ServiceGroup", 1, kResultDone},
      {"key with sub-keys", kServices, "deep", "ServiceGroup", 1, kResultDone},
      {"missing key", kServices, "none", "ServiceGroup", 1, kResultCleanFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CleanThreat("C:\\nowhere\\gone.exe", c.keyPath, c.valueName, c.group, c.entryKind, true), c.expected);
  }
  EXPECT_FALSE(Value(kHklmRun, "evil"));
  EXPECT_FALSE(Value(kHklmRun, ""));
  EXPECT_EQ(Text(kWinlogon, "Userinit"), sysUserinit + std::string(1, '\0'));
  EXPECT_EQ(Value(kWinlogon, "Userinit")->type, reg::Sz);
  EXPECT_EQ(Text(kWinlogon, "Shell"), std::string("Explorer.exe\0", 13));
  EXPECT_EQ(Value(kWinlogon, "Shell")->type, reg::Sz);
  EXPECT_EQ(Text(kWinlogon, "UIHost"), std::string("logonui.exe\0", 12));
  EXPECT_EQ(Value(kWinlogon, "UIHost")->type, reg::ExpandSz);
  EXPECT_EQ(Text(kWinlogon, "Notify"), std::string("keep.dll\0", 9));
  EXPECT_EQ(Text(kSessionManager, "BootExecute"), std::string("autocheck autochk *\0\0", 21));
  EXPECT_EQ(Value(kSessionManager, "BootExecute")->type, reg::MultiSz);
  EXPECT_FALSE(m.FindKey(kServices + "\\flat"));
  EXPECT_FALSE(m.FindKey(kServices + "\\deep"));
  EXPECT_TRUE(recorder.messages.empty());  // quiet

  // Not quiet: the registry warning names the value or the key.
  EXPECT_EQ(CleanThreat("", kHklmRun, "nothing", "Run", 0, false), kResultCleanFailed);
  EXPECT_EQ(CleanThreat(" ", kServices, "none", "ServiceGroup", 1, false), kResultCleanFailed);
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_EQ(recorder.messages[0].text, "Clean registry failed:{" + kHklmRun + " : nothing}");
  EXPECT_EQ(recorder.messages[0].title, "Warning");
  EXPECT_EQ(recorder.messages[0].flags, ui::mb::IconExclamation);
  EXPECT_EQ(recorder.messages[1].text, "Clean registry failed:{" + kServices + "\\none}");
}

TEST_F(EngineTest, CleanThreatDeletesTheFileAndGoesOnWhenItCannot) {
  m.SetString(kHklmRun, "a", "C:\\evil\\a.exe");
  m.SetString(kHklmRun, "b", "C:\\evil\\b.exe");
  AddFile("C:\\evil\\a.exe", "", "", fattr::ReadOnly | fattr::Hidden);
  EXPECT_EQ(CleanThreat(Item("c:\\evil\\a.exe", 4, kHklmRun, "a"), false), kResultDone);
  EXPECT_FALSE(m.FindFile("C:\\evil\\a.exe"));
  EXPECT_FALSE(Value(kHklmRun, "a"));

  // A file that neither delete removes: the entry is cleaned all the same, the result is 1.
  AddFile("C:\\evil\\b.exe").denyOpen = true;
  FaultyFiles faulty(*m.platform().files);
  faulty.failSetAttributes = [](const std::string& p) { return LowerText(p).find("b.exe") != std::string::npos; };
  Platform p = m.platform();
  p.files = &faulty;
  platform::Install(p);
  EXPECT_EQ(CleanThreat(Item("c:\\evil\\b.exe", 4, kHklmRun, "b"), false), kResultCleanFailed);
  platform::Install(m.platform());
  EXPECT_TRUE(m.FindFile("C:\\evil\\b.exe"));
  EXPECT_FALSE(Value(kHklmRun, "b"));
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].text, "Clean threat file failed:{c:\\evil\\b.exe}");
  EXPECT_EQ(recorder.messages[0].title, "Warning");
}

// An option key's item names a program, not a file: cleaning it removes the key and never a
// file of that name in the current folder.
TEST_F(EngineTest, CleaningAnOptionKeyLeavesFilesOfTheSameName) {
  AddFile("C:\\Tools\\Tolvexa\\taskmgr.exe");
  m.SetString(kIfeo + "\\taskmgr.exe", "Debugger", "C:\\evil\\hijack.exe");
  RunSmartScan();
  ASSERT_EQ(ThreatCount(), 1);
  EXPECT_EQ(CleanThreat(ThreatList()[0], true), kResultDone);
  EXPECT_FALSE(m.FindKey(kIfeo + "\\taskmgr.exe"));
  EXPECT_TRUE(m.FindFile("C:\\Tools\\Tolvexa\\taskmgr.exe"));
}

TEST_F(EngineTest, ResetThreatListModes) {
  ThreatList() = {Item("a"), Item("b"), Item("c")};
  ThreatCount() = 2;
  ResetThreatList(1);
  EXPECT_EQ(Objects(ThreatList()), (std::vector<std::string>{"a", "b"}));
  ResetThreatList(2);  // no such mode: nothing, not even the trim
  EXPECT_EQ(ThreatList().size(), 2u);
  EXPECT_EQ(m.CallCount("SetProcessWorkingSetSize"), 1u);
  ResetThreatList(3);
  EXPECT_TRUE(ThreatList().empty());
  ThreatList() = {Item("a")};
  ResetThreatList(0);
  EXPECT_TRUE(ThreatList().empty());
  EXPECT_EQ(m.CallCount("SetProcessWorkingSetSize"), 3u);
}

// The tables grow: more than 1024 start-up items and threats are all kept.
TEST_F(EngineTest, ScansKeepEveryItemBeyondTheOldLimits) {
  AddFile("C:\\bad\\same.exe");
  for (int i = 0; i < 1100; ++i) m.SetString(kHklmRun, "v" + std::to_string(i), "C:\\bad\\same.exe");
  RunSmartScan();
  EXPECT_EQ(StartupItemList().size(), 1100u);
  EXPECT_EQ(ThreatCount(), 1100);
  EXPECT_EQ(ThreatList().size(), 1100u);
  EXPECT_EQ(ThreatList()[1099].ValueName.str(), "v1099");
}

}  // namespace
}  // namespace tv::test
