// The process snapshot and the hidden-process search on simulated machines.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/layouts.h"
#include "process/process_list.h"
#include "process_fixture.h"

namespace tv::test {
namespace {

using ProcessListTest = ProcessMachine;

const ProcessRecord* Find(std::int32_t pid) {
  for (const auto& r : GetProcessList())
    if (r.PID == pid) return &r;
  return nullptr;
}
int Occurrences(std::int32_t pid) {
  const auto& l = GetProcessList();
  return static_cast<int>(std::count_if(l.begin(), l.end(), [pid](const ProcessRecord& r) { return r.PID == pid; }));
}

TEST_F(ProcessListTest, ToolhelpRecordsCarryPathAndVersionOfTheirImage) {
  AddProc(200, "C:\\Program Files\\Acme\\acme.exe", "Acme Corp", "Acme Agent", "1.2.3.4");
  RefreshProcessList();
  const ProcessRecord* r = Find(200);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ImageName, "acme.exe");
  EXPECT_EQ(r->PathName, "C:\\Program Files\\Acme\\acme.exe");
  EXPECT_FALSE(r->Rootkit);
  EXPECT_EQ(r->Company, "Acme Corp");
  EXPECT_EQ(r->Description, "Acme Agent");
  EXPECT_EQ(r->Version, "1.2.3.4");
}

TEST_F(ProcessListTest, IdleAndSystemGetTheFixedTexts) {
  sim::Process eight;
  eight.pid = 8;
  eight.exeName = "System";
  m.state.processes.push_back(eight);
  RefreshProcessList();
  const auto& l = GetProcessList();
  ASSERT_GE(l.size(), 3u);
  struct Case { std::int32_t pid; const char* name; };
  for (Case c : {Case{0, "System Idle Process"}, Case{4, "System"}, Case{8, "System"}}) {
    const ProcessRecord* r = Find(c.pid);
    ASSERT_NE(r, nullptr) << c.pid;
    EXPECT_EQ(r->ImageName, c.name) << c.pid;
    EXPECT_EQ(r->PathName, "NT OS Kernel") << c.pid;
    EXPECT_TRUE(r->Company.empty() && r->Description.empty() && r->Version.empty()) << c.pid;
    EXPECT_FALSE(r->Rootkit);
  }
  EXPECT_EQ(l[0].PID, 0);  // toolhelp order is kept
}

TEST_F(ProcessListTest, HiddenHandleOwnerIsListedOnceAsRootkitAfterTheToolhelpRecords) {
  AddProc(300, "C:\\WINDOWS\\system32\\svchost.exe", "Microsoft Corporation", "Host", "5.1");
  sim::Process& hidden = AddProc(512, "C:\\WINDOWS\\system32\\evil.exe", "Evil", "Bad", "6.6");
  hidden.hiddenFromToolhelp = true;
  AddHandles(512, 40);   // many handles, still one record
  AddHandles(300, 5);    // a listed process that owns handles stays a normal record
  RefreshProcessList();

  EXPECT_EQ(Occurrences(512), 1);
  EXPECT_EQ(Occurrences(300), 1);
  const ProcessRecord* h = Find(512);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(h->Rootkit);
  EXPECT_EQ(h->PathName, "C:\\WINDOWS\\system32\\evil.exe");
  EXPECT_EQ(h->ImageName, "evil.exe");
  // Records found by the hidden-process search carry no version texts.
  EXPECT_TRUE(h->Company.empty() && h->Description.empty() && h->Version.empty());
  EXPECT_FALSE(Find(300)->Rootkit);
  EXPECT_EQ(GetProcessList().records().back().PID, 512);
  EXPECT_EQ(GetProcessList().HiddenCount(), 1u);
}

TEST_F(ProcessListTest, AlreadyListedPidOpensNothing) {
  AddProc(300, "C:\\WINDOWS\\system32\\svchost.exe");
  EnumProcesses(false);
  const auto before = GetProcessList().size();
  const auto opens = m.CallCount("OpenProcess") + m.CallCount("NtOpenProcess");
  for (int i = 0; i < 1000; ++i) AddHiddenProcess(300);
  EXPECT_EQ(GetProcessList().size(), before);
  EXPECT_EQ(m.CallCount("OpenProcess") + m.CallCount("NtOpenProcess"), opens);
}

TEST_F(ProcessListTest, HiddenProcessWithUnreadablePathShowsTheMessageAsNameAndPath) {
  sim::Process& hidden = AddProc(640, "C:\\WINDOWS\\system32\\ghost.exe");
  hidden.hiddenFromToolhelp = true;
  hidden.imagePathUnreadable = true;
  AddHandles(640, 2);
  RefreshProcessList();
  const ProcessRecord* r = Find(640);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->Rootkit);
  EXPECT_EQ(r->PathName, kPathMsgHooked);
  EXPECT_EQ(r->ImageName, kPathMsgHooked);
}

// A toolhelp record whose path cannot be used never shows a message: the image name is looked
// up in the system folders instead.
TEST_F(ProcessListTest, UnusablePathFallsBackToTheSystemFolderLookup) {
  struct Case {
    const char* label;
    sim::Protection protection;
    bool pathUnreadable;
    std::uint32_t imageAttributes;
    bool inSystem32;
    bool force;
    const char* expected;
  };
  const Case cases[] = {
      {"protected, name in system32", sim::Protection::DenyAll, true, fattr::Archive, true, false,
       "C:\\WINDOWS\\system32\\prot.exe"},
      {"protected, name nowhere", sim::Protection::DenyAll, true, fattr::Archive, false, false, "prot.exe"},
      {"protected, forced refresh", sim::Protection::DenyAll, true, fattr::Archive, false, true, "prot.exe"},
      {"hidden-attribute image", sim::Protection::None, false, fattr::Hidden, false, false, "prot.exe"},
      {"system-attribute image, name in system32", sim::Protection::None, false, fattr::System, true, false,
       "C:\\WINDOWS\\system32\\prot.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    m.state.processes.erase(std::remove_if(m.state.processes.begin(), m.state.processes.end(),
                                           [](const sim::Process& p) { return p.pid == 720; }),
                            m.state.processes.end());
    m.state.files.erase(std::remove_if(m.state.files.begin(), m.state.files.end(),
                                       [](const sim::File& f) { return f.path.find("prot.exe") != std::string::npos; }),
                        m.state.files.end());
    sim::Process& p = AddProc(720, "C:\\Hidden\\Place\\prot.exe");
    p.protection = c.protection;
    p.imagePathUnreadable = c.pathUnreadable;
    m.FindFile("C:\\Hidden\\Place\\prot.exe")->attributes = c.imageAttributes;
    if (c.inSystem32) m.AddFile("C:\\WINDOWS\\system32\\prot.exe");
    if (c.force) RefreshProcessListByForce(); else RefreshProcessList();
    const ProcessRecord* r = Find(720);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->ImageName, "prot.exe");
    EXPECT_EQ(r->PathName, c.expected);
    EXPECT_FALSE(r->Rootkit);
  }
}

TEST_F(ProcessListTest, PathRoutesAnswerWithTheirMessages) {
  // Refuses the documented open; the native open reads its image name.
  AddProc(800, "C:\\x\\a.exe").protection = sim::Protection::DenyDocumented;
  // Opens, but no route reads a path.
  AddProc(804, "C:\\x\\b.exe").imagePathUnreadable = true;
  // Refuses every open.
  AddProc(808, "C:\\x\\c.exe").protection = sim::Protection::DenyAll;
  struct Case {
    std::uint32_t pid;
    std::string documented, native, forced;
  };
  const Case cases[] = {
      {800, kPathMsgHooked, "C:\\x\\a.exe", "C:\\x\\a.exe"},
      {804, kPathMsgSsdtHooked, "", kPathMsgHooked},
      {808, kPathMsgSsdtHooked, "", kPathMsgHooked},
      {9980, kPathMsgSsdtHooked, "", kPathMsgHooked},  // no such process
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetProcessPath(c.pid), c.documented) << c.pid;
    EXPECT_EQ(GetProcessPathNt(c.pid), c.native) << c.pid;
    EXPECT_EQ(GetProcessPathByForce(c.pid), c.forced) << c.pid;
  }
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ProcessListTest, NativeRouteTurnsDevicePathsIntoDosPaths) {
  sim::Process& p = AddProc(900, "D:\\Apps\\tool.exe");
  p.protection = sim::Protection::DenyDocumented;
  p.nativeImagePath = "\\Device\\HarddiskVolume2\\Apps\\tool.exe";
  EXPECT_EQ(GetProcessPathNt(900), "D:\\Apps\\tool.exe");
  EXPECT_EQ(GetProcessPathByForce(900), "D:\\Apps\\tool.exe");
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ProcessListTest, ForcedRefreshAddsProbedProcessOnlyWhenItsModulesCanBeRead) {
  AddProc(1200, "C:\\WINDOWS\\system32\\quiet.exe").hiddenFromToolhelp = true;
  sim::Process& unreadable = AddProc(1204, "C:\\WINDOWS\\system32\\shy.exe");
  unreadable.hiddenFromToolhelp = true;
  unreadable.modulesUnreadable = true;

  RefreshProcessList();  // no handles: the normal refresh cannot see them
  EXPECT_EQ(Find(1200), nullptr);
  EXPECT_EQ(Find(1204), nullptr);

  RefreshProcessListByForce();
  const ProcessRecord* r = Find(1200);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->Rootkit);
  EXPECT_EQ(r->PathName, "C:\\WINDOWS\\system32\\quiet.exe");
  EXPECT_EQ(Find(1204), nullptr);
  EXPECT_EQ(Occurrences(static_cast<std::int32_t>(m.state.selfPid)), 1);
}

TEST_F(ProcessListTest, ProbeTestsEveryMultipleOfFourUpTo65536) {
  sim::Process& low = AddProc(65536, "C:\\x\\last.exe");
  low.hiddenFromToolhelp = true;
  const auto before = m.CallCount("NtOpenProcess");
  std::vector<std::uint32_t> pids = EnumPidsByProbe();
  EXPECT_EQ(m.CallCount("NtOpenProcess") - before, 16384u);
  EXPECT_NE(std::find(pids.begin(), pids.end(), 65536u), pids.end());
  EXPECT_NE(std::find(pids.begin(), pids.end(), 4u), pids.end());
  EXPECT_EQ(std::find(pids.begin(), pids.end(), 0u), pids.end());  // 0 is not probed
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ProcessListTest, HandleTableLargerThanTheFirstBufferIsReadCompletely) {
  AddProc(1300, "C:\\x\\busy.exe");
  const int kHandles = 30000;  // several times the first 128 KiB buffer
  AddHandles(1300, kHandles);
  AddHandles(4, 3);
  std::vector<std::uint32_t> owners = EnumHandleOwnerPids();
  ASSERT_EQ(owners.size(), static_cast<std::size_t>(kHandles + 3));
  EXPECT_EQ(owners.front(), 1300u);
  EXPECT_EQ(owners.back(), 4u);
}

TEST_F(ProcessListTest, RefreshesEndInTheShowHookWithTheCompleteList) {
  sim::Process& hidden = AddProc(1500, "C:\\x\\h.exe");
  hidden.hiddenFromToolhelp = true;
  AddHandles(1500, 1);
  std::vector<std::size_t> seen;
  ProcessListShowHook() = [&] { seen.push_back(GetProcessList().HiddenCount()); };
  RefreshProcessList();
  RefreshProcessListByForce();
  ProcessListShowHook() = nullptr;
  EXPECT_EQ(seen, (std::vector<std::size_t>{1, 1}));
}

TEST_F(ProcessListTest, EveryOperationClosesTheHandlesItOpens) {
  AddProc(1600, "C:\\x\\a.exe").hiddenFromToolhelp = true;
  AddHandles(1600, 3);
  AddProc(1604, "C:\\x\\b.exe").protection = sim::Protection::DenyDocumented;
  sim::Process& c = AddProc(1608, "C:\\x\\c.exe");
  c.modulesUnreadable = true;
  c.hiddenFromToolhelp = true;
  const std::pair<const char*, std::function<void()>> ops[] = {
      {"EnumProcesses", [] { EnumProcesses(false); }},
      {"EnumProcesses(force)", [] { EnumProcesses(true); }},
      {"GetProcessPath", [] { GetProcessPath(1604); }},
      {"GetProcessPathNt", [] { GetProcessPathNt(1604); }},
      {"GetProcessPathByForce", [] { GetProcessPathByForce(1608); }},
      {"EnumHandleOwnerPids", [] { EnumHandleOwnerPids(); }},
      {"HasNoModules", [] { HasNoModules(1608); }},
      {"AddHiddenProcess", [] { AddHiddenProcess(1600); }},
      {"RefreshProcessList", [] { RefreshProcessList(); }},
      {"RefreshProcessListByForce", [] { RefreshProcessListByForce(); }},
  };
  for (const auto& [name, op] : ops) {
    op();
    EXPECT_EQ(m.OpenHandleCount(), 0u) << name;
  }
}

TEST(ProcessRecordText, LongFieldsAreCutToTheirWidthWithoutSplittingCharacters) {
  ProcessList list;
  ProcessRecord r;
  r.PID = 7;
  r.ImageName = std::string(300, 'a');
  r.Version = std::string(63, 'v') + "\xC3\xA9" + "tail";  // a two-byte character at width 64
  r.Company = "Acme   ";
  const ProcessRecord& s = list.Append(r);
  EXPECT_EQ(s.ImageName.size(), 260u);
  EXPECT_EQ(s.Version, std::string(63, 'v') + "\xC3\xA9");
  EXPECT_EQ(s.Company, "Acme");
  EXPECT_TRUE(list.Contains(7));
  list.Clear();
  EXPECT_FALSE(list.Contains(7));
}

}  // namespace
}  // namespace tv::test
