// Shared platform operations: closing, privileges, the forced open, the information queries.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/platform_ops.h"
#include "platform/layouts.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

class PlatformOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Install(m.platform()); }
  void TearDown() override { platform::Install(Platform{}); }

  // The process a handle refers to, as the basic information query reports it; 0 when none.
  std::uintptr_t PidOf(Handle h) {
    layout::ProcessBasicInformation pbi{};
    std::uint32_t ret = 0;
    if (!NtSuccess(platform::Nt().NtQueryInformationProcess(h, procinfo::Basic, &pbi, sizeof pbi, &ret))) return 0;
    return pbi.UniqueProcessId;
  }

  sim::SimMachine m;
};

TEST(NtSuccessTest, SignDecides) {
  EXPECT_TRUE(NtSuccess(status::Success));
  EXPECT_TRUE(NtSuccess(status::Pending));
  EXPECT_TRUE(NtSuccess(0x7FFFFFFF));
  EXPECT_FALSE(NtSuccess(status::InfoLengthMismatch));
  EXPECT_FALSE(NtSuccess(status::AccessDenied));
}

TEST_F(PlatformOpsTest, CloseHandleExClosesOnce) {
  m.AddProcess(1234, "C:\\App\\app.exe");
  Handle h = platform::Processes().OpenProcess(access::ProcessAllAccess, false, 1234);
  ASSERT_NE(h, kNullHandle);
  ASSERT_EQ(m.OpenHandleCount(), 1u);
  const std::uint64_t nt = m.CallCount("NtClose"), win = m.CallCount("CloseHandle");
  CloseHandleEx(h);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
  EXPECT_EQ(m.CallCount("NtClose") - nt, 1u);
  EXPECT_EQ(m.CallCount("CloseHandle") - win, 0u);

  // A handle that is no longer open: each way is tried once, nothing else is closed.
  Handle other = platform::Processes().OpenProcess(access::ProcessAllAccess, false, 1234);
  CloseHandleEx(h);
  EXPECT_EQ(m.CallCount("NtClose") - nt, 3u);
  EXPECT_EQ(m.CallCount("CloseHandle") - win, 1u);
  EXPECT_EQ(m.OpenHandleCount(), 1u);
  CloseHandleEx(other);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(PlatformOpsTest, AdjustPrivilegeFallsBackToTheProcessToken) {
  struct Case {
    bool threadToken, available, expected;
    std::uint64_t calls;
  };
  const Case cases[] = {
      {false, true, true, 2},   // no thread token: again on the process token
      {true, true, true, 1},    // the thread token answers at once
      {false, false, false, 2},
      {true, false, false, 1},  // a real failure on the thread token is not retried
  };
  for (const Case& c : cases) {
    m.state.threadHasToken = c.threadToken;
    m.state.debugPrivilegeAvailable = c.available;
    const std::uint64_t before = m.CallCount("RtlAdjustPrivilege");
    EXPECT_EQ(AdjustPrivilege(20, true), c.expected) << c.threadToken << c.available;
    EXPECT_EQ(m.CallCount("RtlAdjustPrivilege") - before, c.calls) << c.threadToken << c.available;
  }
}

TEST_F(PlatformOpsTest, OpenProcessByForceSteps) {
  m.AddProcess(1500, "C:\\App\\plain.exe");
  m.AddProcess(1600, "C:\\App\\guarded.exe").protection = sim::Protection::DenyDocumented;
  m.AddProcess(1700, "C:\\App\\locked.exe").protection = sim::Protection::DenyAll;
  m.AddProcess(1800, "C:\\App\\orphan.exe").protection = sim::Protection::DenyAll;
  m.AddProcess(600, "C:\\WINDOWS\\system32\\csrss.exe");
  m.state.handles.push_back({600, 0x40, 5, 1700, "", false});

  struct Case {
    std::uint32_t pid;
    bool opened;
    std::uint64_t nativeOpens;  // NtOpenProcess calls made
  };
  const Case cases[] = {
      {1500, true, 0},   // the documented open
      {1600, true, 1},   // the native open
      {1700, true, 2},   // native open refused; the owner of a handle to it is opened
      {1800, false, 2},  // nobody holds a handle to it
      {4242, false, 2},  // no such process
  };
  for (const Case& c : cases) {
    const std::uint64_t before = m.CallCount("NtOpenProcess");
    Handle h = OpenProcessByForce(access::ProcessAllAccess, false, c.pid);
    EXPECT_EQ(h != kNullHandle, c.opened) << c.pid;
    EXPECT_EQ(m.CallCount("NtOpenProcess") - before, c.nativeOpens) << c.pid;
    if (h != kNullHandle) {
      EXPECT_EQ(PidOf(h), c.pid);
      EXPECT_EQ(m.OpenHandleCount(), 1u) << "only the result stays open, pid " << c.pid;
      CloseHandleEx(h);
    }
    EXPECT_EQ(m.OpenHandleCount(), 0u) << c.pid;
  }
}

TEST_F(PlatformOpsTest, HandleScanRunsToTheEndAndLastMatchWins) {
  m.AddProcess(1700, "C:\\App\\locked.exe").protection = sim::Protection::DenyAll;
  m.AddProcess(1900, "C:\\App\\other.exe");
  m.AddProcess(600, "C:\\WINDOWS\\system32\\csrss.exe");
  m.AddProcess(700, "C:\\WINDOWS\\system32\\services.exe");
  m.AddProcess(800, "C:\\WINDOWS\\system32\\lsass.exe");
  m.state.handles = {
      {600, 0x40, 5, 1700, "", false},  // match
      {600, 0x44, 6, 1700, "", false},  // a thread handle: not looked at
      {700, 0x48, 5, 1900, "", false},  // a process handle to another process
      {800, 0x4C, 5, 1700, "", false},  // match, the last one
  };
  const std::uint64_t dup = m.CallCount("NtDuplicateObject");
  const std::uint64_t opens = m.CallCount("NtOpenProcess");
  Handle h = OpenProcessByForce(access::ProcessTerminate, false, 1700);
  ASSERT_NE(h, kNullHandle);
  EXPECT_EQ(m.OpenHandleKinds(), std::vector<std::string>{"process 1700"});  // terminate only: no query access
  // One native open for the target, one per process-type entry for its owner; a copy per
  // process entry and a second duplicate per match: the scan did not stop at the first match.
  EXPECT_EQ(m.CallCount("NtOpenProcess") - opens, 1u + 3u);
  EXPECT_EQ(m.CallCount("NtDuplicateObject") - dup, 3u + 2u);
  // The first match, the copies and the owner handles are all given back.
  EXPECT_EQ(m.OpenHandleCount(), 1u);
  CloseHandleEx(h);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(PlatformOpsTest, TrimWorkingSetAsksOnce) {
  const std::uint64_t before = m.CallCount("SetProcessWorkingSetSize");
  TrimWorkingSet();
  EXPECT_EQ(m.CallCount("SetProcessWorkingSetSize") - before, 1u);
}

TEST_F(PlatformOpsTest, HandleAndModuleTablesAreWellFormed) {
  m.AddProcess(600, "C:\\WINDOWS\\system32\\csrss.exe");
  m.AddProcess(1700, "C:\\App\\x.exe");
  m.state.handles.push_back({600, 0x40, 5, 1700, "", false});
  m.state.kernelModules.push_back({"ntoskrnl.exe", "\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000, 0x1F8000});
  m.state.kernelModules.push_back({"beep.sys", "beep.sys", 0xF8000000, 0x2000});

  std::vector<std::uint8_t> buf;
  ASSERT_TRUE(NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, 16, buf)));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_GE(count, 1u);
  ASSERT_LE(layout::kHandleEntriesOffset + count * sizeof(layout::SystemHandleEntry), buf.size());
  bool found = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    layout::SystemHandleEntry e;
    std::memcpy(&e, buf.data() + layout::kHandleEntriesOffset + i * sizeof e, sizeof e);
    found |= e.UniqueProcessId == 600 && e.HandleValue == 0x40 && e.ObjectTypeIndex == 5;
  }
  EXPECT_TRUE(found);

  ASSERT_TRUE(NtSuccess(QuerySystemInformationGrowing(sysinfo::Module, 16, buf)));
  std::memcpy(&count, buf.data(), 4);
  ASSERT_EQ(count, 2u);
  layout::SystemModuleEntry mod;
  std::memcpy(&mod, buf.data() + layout::kModuleEntriesOffset, sizeof mod);
  EXPECT_STREQ(mod.FullPathName, "\\SystemRoot\\system32\\ntoskrnl.exe");
  EXPECT_EQ(mod.ImageBase, 0x804D7000u);
}

// An NT interface whose system information query is scripted by the test.
class ScriptedNt : public NtApi {
 public:
  // Answers "length mismatch" below `needed` bytes; never succeeds when needed is 0.
  std::uint32_t needed = 0;
  std::vector<std::uint32_t> lengths;

  NTSTATUS NtQuerySystemInformation(std::uint32_t, void* buffer, std::uint32_t length, std::uint32_t* ret) override {
    lengths.push_back(length);
    if (ret) *ret = needed ? needed : length * 2;
    if (needed == 0 || length < needed) return status::InfoLengthMismatch;
    std::memset(buffer, 0xAB, 4);
    return status::Success;
  }
  NTSTATUS NtOpenProcess(Handle*, std::uint32_t, const ObjectAttributes&, const ClientId&) override { return no; }
  NTSTATUS NtOpenThread(Handle*, std::uint32_t, const ObjectAttributes&, const ClientId&) override { return no; }
  NTSTATUS NtClose(Handle) override { return no; }
  NTSTATUS NtDuplicateObject(Handle, Handle, Handle, Handle*, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return no;
  }
  NTSTATUS NtQueryInformationProcess(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { return no; }
  NTSTATUS NtQueryInformationThread(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { return no; }
  NTSTATUS NtTerminateProcess(Handle, NTSTATUS) override { return no; }
  NTSTATUS NtTerminateThread(Handle, NTSTATUS) override { return no; }
  NTSTATUS NtCreateJobObject(Handle*, std::uint32_t, const ObjectAttributes&) override { return no; }
  NTSTATUS NtAssignProcessToJobObject(Handle, Handle) override { return no; }
  NTSTATUS NtTerminateJobObject(Handle, NTSTATUS) override { return no; }
  NTSTATUS NtUnmapViewOfSection(Handle, std::uintptr_t) override { return no; }
  NTSTATUS RtlAdjustPrivilege(std::uint32_t, bool, bool, bool*) override { return no; }
  NTSTATUS NtOpenFile(Handle*, std::uint32_t, const ObjectAttributes&, IoStatusBlock*, std::uint32_t,
                      std::uint32_t) override {
    return no;
  }
  NTSTATUS NtDeviceIoControlFile(Handle, Handle, IoStatusBlock*, std::uint32_t, const void*, std::uint32_t, void*,
                                 std::uint32_t) override {
    return no;
  }
  NTSTATUS NtQueryObject(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { return no; }

 private:
  static constexpr NTSTATUS no = status::NotImplemented;
};

TEST(SystemInformationQuery, GrowsByDoublingUntilItFits) {
  ScriptedNt nt;
  nt.needed = 600000;
  Platform p;
  p.nt = &nt;
  platform::Install(p);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(QuerySystemInformationGrowing(sysinfo::Handle, 131072, out), status::Success);
  EXPECT_EQ(nt.lengths, (std::vector<std::uint32_t>{131072, 262144, 524288, 1048576}));
  EXPECT_EQ(out.size(), 1048576u);
  EXPECT_EQ(out[0], 0xAB);
  platform::Install(Platform{});
}

TEST(SystemInformationQuery, StopsAtTheCeilingOnASystemThatAlwaysWantsMore) {
  ScriptedNt nt;  // never satisfied
  Platform p;
  p.nt = &nt;
  platform::Install(p);
  std::vector<std::uint8_t> out(10, 1);
  EXPECT_EQ(QuerySystemInformationGrowing(sysinfo::Handle, 131072, out), status::InfoLengthMismatch);
  EXPECT_TRUE(out.empty());
  ASSERT_FALSE(nt.lengths.empty());
  EXPECT_EQ(nt.lengths.back(), kMaxQueryBuffer);
  EXPECT_EQ(nt.lengths.size(), 12u);  // 128 KiB, 256 KiB ... 256 MiB
  for (std::size_t i = 1; i < nt.lengths.size(); ++i) EXPECT_EQ(nt.lengths[i], nt.lengths[i - 1] * 2);

  // A start of zero bytes still grows and still ends.
  nt.lengths.clear();
  nt.needed = 5000;
  EXPECT_EQ(QuerySystemInformationGrowing(sysinfo::Module, 0, out), status::Success);
  EXPECT_GE(out.size(), 5000u);
  EXPECT_LE(nt.lengths.size(), 3u);

  // The forced open gives up cleanly when the table cannot be read.
  sim::SimMachine m;
  m.AddProcess(1234, "C:\\App\\x.exe").protection = sim::Protection::DenyAll;
  Platform withMachine = m.platform();
  withMachine.nt = &nt;
  platform::Install(withMachine);
  nt.needed = 0;
  EXPECT_EQ(OpenProcessByForce(access::ProcessAllAccess, false, 1234), kNullHandle);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
  platform::Install(Platform{});
}

TEST(SystemInformationQuery, FixedSizeClassesAreAskedOnce) {
  ScriptedNt nt;  // "length mismatch" to every size, as classes 0, 2 and 3 answer a wrong one
  Platform p;
  p.nt = &nt;
  platform::Install(p);
  std::uint8_t basic[44] = {};
  EXPECT_EQ(QuerySystemInformationFixed(sysinfo::Basic, basic, sizeof basic), status::InfoLengthMismatch);
  EXPECT_EQ(nt.lengths, (std::vector<std::uint32_t>{44}));
  nt.needed = 44;
  EXPECT_EQ(QuerySystemInformationFixed(sysinfo::Basic, basic, sizeof basic), status::Success);
  EXPECT_EQ(nt.lengths.size(), 2u);
  platform::Install(Platform{});
}

}  // namespace
}  // namespace tv
