// Modules, threads, kernel modules, the module seek and the rows of the module window.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "process/modules.h"
#include "process/process_list.h"
#include "process_fixture.h"

namespace tv::test {
namespace {

class ModulesTest : public ProcessMachine {
 protected:
  sim::Module Dll(const std::string& path, std::uintptr_t base, std::uint32_t size = 0x1000) {
    sim::Module mod;
    mod.name = GetFileName(path);
    mod.path = path;
    mod.base = base;
    mod.size = size;
    return mod;
  }
  // A process with its image and two system libraries.
  void AddHost(std::uint32_t pid, const std::string& path) {
    AddProc(pid, path);
    P(pid).modules.push_back(Dll("C:\\WINDOWS\\system32\\ntdll.dll", 0x7C900000, 0xAF000));
    P(pid).modules.push_back(Dll("C:\\WINDOWS\\system32\\Kernel32.DLL", 0x7C800000, 0xF6000));
  }
  void SetUp() override {
    ProcessMachine::SetUp();
    sim::File& k = m.AddFile("C:\\WINDOWS\\system32\\Kernel32.DLL");
    k.versionResource = sim::BuildVersionResource(
        {{"040904b0", {{"CompanyName", "Microsoft Corporation"}, {"FileDescription", "Windows NT BASE API Client DLL"},
                       {"FileVersion", "5.1.2600.5781"}}}});
    m.AddFile("C:\\WINDOWS\\system32\\ntdll.dll");
  }
};

std::vector<std::string> Names(const std::vector<ModuleRecord>& l) {
  std::vector<std::string> out;
  for (const auto& r : l) out.push_back(r.ModuleName);
  return out;
}

TEST_F(ModulesTest, ModulesComeFromTheSnapshotWithVersionTexts) {
  AddHost(3000, "C:\\Apps\\host.exe");
  EnumModules(3000);
  const auto& l = ModuleList();
  ASSERT_EQ(Names(l), (std::vector<std::string>{"host.exe", "ntdll.dll", "Kernel32.DLL"}));
  EXPECT_EQ(l[0].PathName, "C:\\Apps\\host.exe");
  EXPECT_EQ(l[2].BaseAddress, 0x7C800000u);
  EXPECT_EQ(l[2].BaseSize, 0xF6000u);
  EXPECT_EQ(l[2].Company, "Microsoft Corporation");
  EXPECT_EQ(l[2].Description, "Windows NT BASE API Client DLL");
  EXPECT_EQ(l[2].Version, "5.1.2600.5781");
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ModulesTest, FailingSnapshotIsReplacedByTheProcessStatusRoute) {
  AddHost(3100, "C:\\Apps\\wow.exe");
  P(3100).moduleSnapshotFails = true;
  const auto psapi = m.CallCount("EnumProcessModules");
  EnumModules(3100);
  EXPECT_GT(m.CallCount("EnumProcessModules"), psapi);
  const auto& l = ModuleList();
  ASSERT_EQ(Names(l), (std::vector<std::string>{"wow.exe", "ntdll.dll", "Kernel32.DLL"}));
  EXPECT_EQ(l[0].PathName, "C:\\Apps\\wow.exe");
  EXPECT_EQ(l[2].BaseAddress, 0x7C800000u);
  EXPECT_EQ(l[2].Version, "5.1.2600.5781");
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ModulesTest, ProcessNeitherMethodCanReadLeavesAnEmptyListNotThePreviousOne) {
  AddHost(3200, "C:\\Apps\\good.exe");
  AddHost(3204, "C:\\Apps\\locked.exe");
  P(3204).moduleSnapshotFails = true;
  P(3204).modulesUnreadable = true;
  P(3204).protection = sim::Protection::DenyAll;
  EnumModules(3200);
  ASSERT_EQ(ModuleList().size(), 3u);
  EnumModules(3204);
  EXPECT_TRUE(ModuleList().empty());
  ui::ListContent c = ShowModuleList();
  EXPECT_TRUE(c.rows.empty());
  EXPECT_EQ(c.status, "0 Module(s)");
  EnumModules(3200);
  EnumModulesByPsapi(9988);  // no such process
  EXPECT_TRUE(ModuleList().empty());
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ModulesTest, KernelModulePathsBecomeDriveLetterPaths) {
  m.AddFile("C:\\WINDOWS\\system32\\Drivers\\tcpip.sys");
  m.AddFile("C:\\WINDOWS\\system32\\tcpip.sys");  // the drivers folder wins
  m.state.kernelModules = {Dll("\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000, 0x1F8580),
                           Dll("tcpip.sys", 0xF7BB0000, 0x58000),
                           Dll("\\??\\C:\\Tools\\tolvexa.sys", 0xF7C00000, 0x2000),
                           Dll("\\WINDOWS\\System32\\Drivers\\Ntfs.sys", 0xF7D00000, 0x90000)};
  EXPECT_EQ(EnumKernelModules(), 4u);
  const auto& l = KernelModuleList();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0].ModuleName, "ntoskrnl.exe");
  EXPECT_EQ(l[0].PathName, "C:\\WINDOWS\\system32\\ntoskrnl.exe");
  EXPECT_EQ(l[0].BaseAddress, 0x804D7000u);
  EXPECT_EQ(l[0].BaseSize, 0x1F8580u);
  EXPECT_EQ(l[1].ModuleName, "tcpip.sys");
  EXPECT_EQ(l[1].PathName, "C:\\WINDOWS\\system32\\Drivers\\tcpip.sys");
  EXPECT_EQ(l[2].PathName, "C:\\Tools\\tolvexa.sys");
  EXPECT_EQ(l[3].ModuleName, "Ntfs.sys");
  EXPECT_EQ(l[3].PathName, "C:\\WINDOWS\\System32\\Drivers\\Ntfs.sys");
  ui::ListContent c = ShowKernelModuleList();
  EXPECT_EQ(c.status, "4 Module(s)");
  ASSERT_EQ(c.rows.size(), 4u);
  EXPECT_EQ(c.rows[0].text, "ntoskrnl.exe");
  EXPECT_EQ(c.rows[0].subItems,
            (std::vector<std::string>{"0x804D7000", "C:\\WINDOWS\\system32\\ntoskrnl.exe", "2065792", "", "", ""}));
}

TEST_F(ModulesTest, ThreadsAreFoundByProbingEveryFourthIdentifierUpTo65536) {
  AddProc(3300, "C:\\Apps\\threads.exe");
  AddProc(3304, "C:\\Apps\\neighbour.exe");
  auto thread = [](std::uint32_t tid, std::int32_t exitStatus, std::uintptr_t start, std::uintptr_t teb) {
    sim::Thread t;
    t.tid = tid;
    t.exitStatus = exitStatus;
    t.startAddress = start;
    t.teb = teb;
    t.priority = 10;
    return t;
  };
  P(3300).threads = {thread(3308, 259, 0x401000, 0x7FFDF000), thread(65536, 0, 0x402000, 0x7FFDE000),
                     thread(3312, static_cast<std::int32_t>(0xC0000005), 0x403000, 0x7FFDD000)};
  P(3304).threads = {thread(3316, 259, 0x501000, 0x7FFDC000)};
  const auto opens = m.CallCount("NtOpenThread");
  EnumThreads(3300);
  EXPECT_EQ(m.CallCount("NtOpenThread") - opens, 16385u);
  ui::ListContent c = ShowThreadList();
  EXPECT_EQ(c.status, "3 Thread(s)");
  ASSERT_EQ(c.rows.size(), 3u);
  // Identifier order of the probe.
  EXPECT_EQ(c.rows[0].text, "3308");
  EXPECT_EQ(c.rows[0].subItems,
            (std::vector<std::string>{"10", "0x00401000", "0x7FFDF000", "StateWait"}));
  EXPECT_EQ(c.rows[1].text, "3312");
  EXPECT_EQ(c.rows[1].subItems[3], "-1073741819");
  EXPECT_EQ(c.rows[2].text, "65536");
  EXPECT_EQ(c.rows[2].subItems[3], "StateTerminated");
  EXPECT_EQ(m.OpenHandleCount(), 0u);

  EnumThreads(9984);  // no such process
  EXPECT_EQ(ShowThreadList().status, "0 Thread(s)");
}

TEST(ThreadStatus, TextsByExitStatus) {
  struct Case { std::int32_t status; const char* text; };
  for (Case c : {Case{0, "StateTerminated"}, Case{259, "StateWait"}, Case{1, "1"}, Case{258, "258"},
                 Case{-1, "-1"}}) {
    EXPECT_EQ(ThreadStatusText(c.status), c.text) << c.status;
  }
}

TEST(FormatHexText, PadsToTheDigitCountButNeverCuts) {
  struct Case { std::uintptr_t value; int digits; const char* text; };
  const Case cases[] = {{4096, 8, "0x00001000"}, {0, 8, "0x00000000"}, {0, 0, "0x0"},   {0xabc, -3, "0xABC"},
                        {0xDEADBEEF, 8, "0xDEADBEEF"}, {0xDEADBEEF, 4, "0xDEADBEEF"}, {0x1F, 2, "0x1F"}};
  for (const Case& c : cases) EXPECT_EQ(FormatHex(c.value, c.digits), c.text) << c.value << "/" << c.digits;
  if constexpr (sizeof(std::uintptr_t) == 8) {
    EXPECT_EQ(FormatHex(static_cast<std::uintptr_t>(0x7FF612340000ull), 8), "0x7FF612340000");
  }
}

TEST_F(ModulesTest, SeekFindsTheModuleOncePerProcessIgnoringLetterCase) {
  AddHost(3400, "C:\\Apps\\one.exe");
  AddHost(3404, "C:\\Apps\\two.exe");
  // The same library twice in one process still gives one hit for it.
  P(3404).modules.push_back(Dll("C:\\Other\\kernel32.dll", 0x10000000));
  AddProc(3408, "C:\\Apps\\plain.exe");  // no kernel32
  AddHost(3412, "C:\\Apps\\fortress.exe");
  P(3412).moduleSnapshotFails = true;
  P(3412).modulesUnreadable = true;
  P(3412).protection = sim::Protection::DenyAll;  // neither method reads it: no hit
  AddHost(3416, "C:\\Apps\\ghost.exe");
  P(3416).hiddenFromToolhelp = true;  // found through its handles, searched like the rest
  AddHandles(3416, 2);

  struct Case { const char* name; std::size_t hits; };
  for (Case c : {Case{"KERNEL32.DLL", 3}, Case{"kernel32.dll", 3}, Case{"kernel32", 0},
                 Case{"c:\\windows\\SYSTEM32\\kernel32.dll", 3}, Case{"one.exe", 1}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SeekModule(c.name), c.hits);
    EXPECT_EQ(SeekList().size(), c.hits);
  }
  SeekModule("Kernel32.dll");
  const auto& hits = SeekList();
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].OwnerPID, 3400);
  EXPECT_EQ(hits[0].OwnerProcess, "one.exe");
  EXPECT_EQ(hits[1].OwnerPID, 3404);
  EXPECT_EQ(hits[1].BaseAddress, 0x7C800000u);  // the first match in the module list
  EXPECT_EQ(hits[2].OwnerPID, 3416);
  EXPECT_EQ(hits[0].PathName, "C:\\WINDOWS\\system32\\Kernel32.DLL");
  EXPECT_TRUE(hits[0].Company.empty());
  ui::ListContent c = ShowSeekList();
  EXPECT_EQ(c.status, "3 Module(s)");
  EXPECT_EQ(c.rows[0].text, "3400");
  EXPECT_EQ(c.rows[0].subItems,
            (std::vector<std::string>{"C:\\WINDOWS\\system32\\Kernel32.DLL", "one.exe", "0x7C800000", "1007616"}));
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ModulesTest, SeekSearchesTheFirstRecordThroughTheKernelModules) {
  m.state.kernelModules = {Dll("\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000, 0x1F8580),
                           Dll("\\SystemRoot\\system32\\hal.dll", 0x806D0000, 0x20000)};
  // The idle process "loads" a module that the seek must not see: only the kernel list counts.
  P(0).modules = {Dll("C:\\WINDOWS\\system32\\idle_only.dll", 0x1000)};
  AddProc(3500, "C:\\Apps\\a.exe");
  EXPECT_EQ(SeekModule("HAL.DLL"), 1u);
  EXPECT_EQ(SeekList()[0].OwnerPID, 0);
  EXPECT_EQ(SeekList()[0].OwnerProcess, "System Idle Process");
  EXPECT_EQ(SeekList()[0].PathName, "C:\\WINDOWS\\system32\\hal.dll");
  EXPECT_EQ(SeekModule("idle_only.dll"), 0u);
}

TEST_F(ModulesTest, SnapshotWithoutIdleEntrySearchesItsFirstProcessLikeAnyOther) {
  m.state.kernelModules = {Dll("\\SystemRoot\\system32\\hal.dll", 0x806D0000, 0x20000)};
  m.state.processes.erase(m.state.processes.begin(), m.state.processes.begin() + 2);  // no idle, no System
  AddHost(3550, "C:\\Apps\\b.exe");
  RefreshProcessList();
  ASSERT_FALSE(GetProcessList().empty());
  const ProcessRecord first = GetProcessList()[0];
  ASSERT_NE(first.PID, 0);
  EXPECT_EQ(SeekModule(first.ImageName), 1u);  // the first record's own image is found
  EXPECT_EQ(SeekList()[0].OwnerPID, first.PID);
  EXPECT_EQ(SeekModule("hal.dll"), 0u);  // no idle process: the kernel list is not searched
}

TEST_F(ModulesTest, ModuleRowsAndStatus) {
  AddProc(3600, "C:\\Apps\\many.exe");
  for (int i = 1; i < 12; ++i) P(3600).modules.push_back(Dll("C:\\Apps\\m" + std::to_string(i) + ".dll", 0x1000u * i));
  EnumModules(3600);
  ui::ListContent c = ShowModuleList();
  EXPECT_EQ(c.status, "12 Module(s)");
  ASSERT_EQ(c.rows.size(), 12u);
  EXPECT_EQ(c.rows[1].text, "m1.dll");
  EXPECT_EQ(c.rows[1].subItems,
            (std::vector<std::string>{"0x00001000", "C:\\Apps\\m1.dll", "4096", "", "", ""}));
}

TEST_F(ModulesTest, EveryEnumerationClosesTheHandlesItOpens) {
  AddHost(3700, "C:\\Apps\\a.exe");
  AddHost(3704, "C:\\Apps\\b.exe");
  P(3704).moduleSnapshotFails = true;
  P(3704).threads = {sim::Thread{}};
  P(3704).threads[0].tid = 3708;
  m.state.kernelModules = {Dll("\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000)};
  const std::pair<const char*, std::function<void()>> ops[] = {
      {"EnumModules", [] { EnumModules(3700); }},
      {"EnumModules (psapi)", [] { EnumModules(3704); }},
      {"EnumModulesByPsapi", [] { EnumModulesByPsapi(3700); }},
      {"EnumKernelModules", [] { EnumKernelModules(); }},
      {"EnumThreads", [] { EnumThreads(3704); }},
      {"SeekModule", [] { SeekModule("ntdll.dll"); }},
  };
  for (const auto& [name, op] : ops) {
    op();
    EXPECT_EQ(m.OpenHandleCount(), 0u) << name;
  }
}

TEST(ModuleCaptions, AmpersandsAreDroppedForDisplay) {
  EXPECT_EQ(CaptionText("&OwnerPID"), "OwnerPID");
  EXPECT_EQ(CaptionText("A&&B"), "A&B");
  EXPECT_EQ(CaptionText(SeekColumns()[2].caption), "OwnerProcess");
}

}  // namespace
}  // namespace tv::test
