// Ending processes, windows, threads and modules on simulated machines.
#include <gtest/gtest.h>

#include "base/platform_ops.h"
#include "platform/api.h"
#include "process/terminate.h"
#include "process_fixture.h"

namespace tv::test {
namespace {

using TerminateTest = ProcessMachine;

TEST_F(TerminateTest, ChainTakesTheFirstRouteThatWorks) {
  struct Case {
    const char* label;
    std::uint32_t access;  // of the handle the caller passes
    bool resistTerminate, resistNt, resistJob;
    bool ended;
    std::uint64_t jobsCreated;
  };
  const Case cases[] = {
      {"documented call", access::ProcessAllAccess, false, false, false, true, 0},
      {"native call", access::ProcessAllAccess, true, false, false, true, 0},
      {"job route", access::ProcessAllAccess, true, true, false, true, 1},
      {"everything resists", access::ProcessAllAccess, true, true, true, false, 1},
      // A handle without terminate access fails both calls and reaches the job route, which Windows
      // refuses too: assigning a process to a job needs PROCESS_SET_QUOTA and PROCESS_TERMINATE.
      {"no terminate access, job refuses the handle", access::ProcessQueryInformation, false, false, false, false, 1},
      {"no terminate access, job fails", access::ProcessQueryInformation, false, false, true, false, 1},
  };
  std::uint32_t pid = 2000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    pid += 4;
    sim::Process& p = AddProc(pid, "C:\\x\\victim" + std::to_string(pid) + ".exe");
    p.resistTerminateProcess = c.resistTerminate;
    p.resistNtTerminate = c.resistNt;
    p.resistJob = c.resistJob;
    Handle h = platform::Processes().OpenProcess(c.access, false, pid);
    ASSERT_NE(h, kNullHandle);
    const auto jobs = m.CallCount("NtCreateJobObject");
    EXPECT_EQ(TerminateProcessChain(h, 1, pid), c.ended);
    EXPECT_EQ(m.CallCount("NtCreateJobObject") - jobs, c.jobsCreated);
    EXPECT_EQ(!m.FindProcess(pid)->alive, c.ended);
    CloseHandleEx(h);
    EXPECT_EQ(m.OpenHandleCount(), 0u);
  }
}

TEST_F(TerminateTest, DuplicatedHandleStepFollowsOnlyASuccessfulJobRoute) {
  AddProc(2100, "C:\\x\\a.exe");
  AddProc(2104, "C:\\x\\b.exe");
  P(2100).resistTerminateProcess = P(2100).resistNtTerminate = true;
  P(2104).resistTerminateProcess = P(2104).resistNtTerminate = P(2104).resistJob = true;
  for (auto [pid, expectDup] : {std::pair<std::uint32_t, bool>{2100, true}, {2104, false}}) {
    Handle h = platform::Processes().OpenProcess(access::ProcessAllAccess, false, pid);
    const auto dups = m.CallCount("DuplicateHandle");
    TerminateProcessChain(h, 1, pid);
    EXPECT_EQ(m.CallCount("DuplicateHandle") - dups, expectDup ? 1u : 0u) << pid;
    CloseHandleEx(h);
  }
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(TerminateTest, DuplicatedHandleTerminatesAndNeedsTheDocumentedOpen) {
  AddProc(2200, "C:\\x\\a.exe");
  AddProc(2204, "C:\\x\\b.exe").protection = sim::Protection::DenyDocumented;
  EXPECT_TRUE(TerminateByDuplicatedHandle(2200, 7));
  EXPECT_FALSE(m.FindProcess(2200)->alive);
  EXPECT_EQ(m.FindProcess(2200)->exitCode, 7u);
  EXPECT_FALSE(TerminateByDuplicatedHandle(2204, 7));
  EXPECT_TRUE(m.FindProcess(2204)->alive);
  EXPECT_FALSE(TerminateByDuplicatedHandle(9996, 7));  // no such process
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(TerminateTest, EndTaskPostsOneCloseToEachTopLevelWindowOfTheProcess) {
  AddProc(2300, "C:\\x\\app.exe");
  AddProc(2304, "C:\\x\\other.exe");
  AddProc(2308, "C:\\x\\nowin.exe");
  auto win = [&](Handle hwnd, Handle parent, std::uint32_t pid) {
    sim::Window w;
    w.hwnd = hwnd;
    w.parent = parent;
    w.ownerPid = pid;
    w.closeEndsProcess = false;
    m.state.windows.push_back(w);
  };
  win(0x100, 0, 2300);
  win(0x104, 0, 2304);
  win(0x108, 0x100, 2300);  // a child window: not a task window
  win(0x10C, 0, 2300);
  EndTaskByWindows(2300);
  EndTaskByWindows(2308);  // no windows: nothing happens
  const std::vector<std::uint32_t> close{16}, none{};
  EXPECT_EQ(m.state.windows[0].posted, close);
  EXPECT_EQ(m.state.windows[1].posted, none);
  EXPECT_EQ(m.state.windows[2].posted, none);
  EXPECT_EQ(m.state.windows[3].posted, close);
}

TEST_F(TerminateTest, ThreadTerminationNormalAndByForce) {
  sim::Process& p = AddProc(2400, "C:\\x\\t.exe");
  sim::Thread easy;
  easy.tid = 2404;
  sim::Thread stubborn;
  stubborn.tid = 2408;
  stubborn.resistTerminate = true;
  p.threads = {easy, stubborn};

  EXPECT_TRUE(TerminateThreadNormal(2404));
  EXPECT_FALSE(p.threads[0].alive);
  EXPECT_FALSE(TerminateThreadNormal(2408));
  EXPECT_TRUE(p.threads[1].alive);
  EXPECT_EQ(TerminateThreadByForce(2408), 0);
  EXPECT_FALSE(p.threads[1].alive);
  EXPECT_FALSE(TerminateThreadNormal(4444));    // no such thread
  EXPECT_NE(TerminateThreadByForce(4444), 0);   // a failure status
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(TerminateTest, UnloadModuleUnmapsOrAnswersOneWhenTheProcessCannotBeOpened) {
  AddProc(2500, "C:\\x\\host.exe");
  AddProc(2504, "C:\\x\\bystander.exe");
  AddProc(2508, "C:\\x\\fortress.exe");
  sim::Process& p = P(2500);
  sim::Process& other = P(2504);
  sim::Process& fortress = P(2508);
  sim::Module dll;
  dll.name = "inject.dll";
  dll.path = "C:\\x\\inject.dll";
  dll.base = 0x10000000;
  dll.size = 0x5000;
  p.modules.push_back(dll);
  other.modules.push_back(dll);
  fortress.protection = sim::Protection::DenyAll;
  fortress.modules.push_back(dll);

  EXPECT_EQ(UnloadModule(0x10000000, 2500), 0);
  EXPECT_EQ(p.modules.size(), 1u);
  EXPECT_EQ(UnloadModule(0x10000000, 2508), 1);
  EXPECT_EQ(UnloadModule(0x10000000, 9992), 1);  // no such process
  EXPECT_EQ(other.modules.size(), 2u);           // nobody else touched
  EXPECT_EQ(fortress.modules.size(), 2u);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tv::test
