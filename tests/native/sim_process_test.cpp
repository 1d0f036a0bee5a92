// The simulated kernel's process and handle behaviour that the logic builds on: identifiers
// looked up without their two low bits, protection, the system handle table and its
// "length mismatch" answer, handle duplication from another process, the PEB walk, access checks.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/layouts.h"
#include "platform/sim/sim_machine.h"

namespace {
using tv::Handle;
using tv::sim::Protection;

struct Fixture {
  tv::sim::SimMachine m;
  tv::Platform p;
  Fixture() {
    m.AddProcess(500, "C:\\WINDOWS\\system32\\csrss.exe");
    m.AddProcess(620, "C:\\WINDOWS\\system32\\winlogon.exe").protection = Protection::DenyDocumented;
    m.AddProcess(676, "C:\\WINDOWS\\system32\\lsass.exe").protection = Protection::DenyAll;
    m.AddProcess(1744, "C:\\WINDOWS\\system32\\evil.exe").hiddenFromToolhelp = true;
    // csrss holds process handles to lsass and to the hidden process
    m.state.handles.push_back({500, 0x2B4, 5, 676, "", false, 0x1F0FFF, 0});
    m.state.handles.push_back({500, 0x3D0, 5, 1744, "", false, 0x1F0FFF, 0});
    p = m.platform();
  }
  tv::NTSTATUS NtOpen(std::uintptr_t pid, std::uint32_t access, Handle* h) {
    tv::ObjectAttributes oa;
    tv::ClientId cid;
    cid.UniqueProcess = pid;
    return p.nt->NtOpenProcess(h, access, oa, cid);
  }
};

TEST(SimProcess, IdentifiersAreLookedUpWithoutTheirTwoLowBitsAndProtectionDecidesWhichOpenWorks) {
  Fixture f;
  struct Case {
    std::uint32_t pid;
    bool documented, native;
  };
  const Case cases[] = {
      {500, true, true},   {501, true, true},  {503, true, true}, {504, false, false},  // PID + 1..3 opens PID
      {620, false, true},  {621, false, true},                                           // documented open denied
      {676, false, false},                                                               // every open denied
      {1745, true, true},                                                                // hidden, still opens
      {0, false, false},
  };
  for (const auto& c : cases) {
    Handle h = f.p.processes->OpenProcess(0x410, false, c.pid);
    EXPECT_EQ(c.documented, h != 0) << c.pid;
    if (h) f.p.system->CloseHandle(h);
    Handle n = 0;
    tv::NTSTATUS s = f.NtOpen(c.pid, 0x400, &n);
    EXPECT_EQ(c.native, s == 0) << c.pid;
    if (c.pid == 676) {
      EXPECT_EQ(tv::status::AccessDenied, s);
    }
    if (n) {
      tv::layout::ProcessBasicInformation pbi{};
      ASSERT_EQ(0, f.p.nt->NtQueryInformationProcess(n, 0, &pbi, sizeof pbi, nullptr));
      EXPECT_EQ(c.pid & ~3u, pbi.UniqueProcessId);
      f.p.nt->NtClose(n);
    }
  }
  // Threads too: TID + 1 opens TID; the documented open of PID 620 fails with error 5.
  f.p.processes->OpenProcess(0x410, false, 620);
  EXPECT_EQ(5u, f.p.system->GetLastError());
  Handle t = 0;
  tv::ObjectAttributes oa;
  tv::ClientId cid;
  cid.UniqueThread = 505;  // thread 504 of process 500
  ASSERT_EQ(0, f.p.nt->NtOpenThread(&t, 0x40, oa, cid));
  tv::layout::ThreadBasicInformation tbi{};
  ASSERT_EQ(0, f.p.nt->NtQueryInformationThread(t, 0, &tbi, sizeof tbi, nullptr));
  EXPECT_EQ(500u, tbi.UniqueProcess);
  EXPECT_EQ(504u, tbi.UniqueThread);
  EXPECT_EQ(tv::status::InfoLengthMismatch, f.p.nt->NtQueryInformationThread(t, 0, &tbi, 28 - 1, nullptr));
  f.p.nt->NtClose(t);
  EXPECT_EQ(0u, f.m.OpenHandleCount());

  // The toolhelp list: not the hidden process, the tool itself last.
  Handle snap = f.p.processes->CreateToolhelp32Snapshot(15, 0);
  std::vector<std::uint32_t> pids;
  tv::ProcessEntry32 e;
  for (bool ok = f.p.processes->Process32First(snap, e); ok; ok = f.p.processes->Process32Next(snap, e))
    pids.push_back(e.th32ProcessID);
  f.p.system->CloseHandle(snap);
  EXPECT_EQ((std::vector<std::uint32_t>{500, 620, 676, 1000}), pids);
}

std::vector<std::uint8_t> QueryHandles(tv::NtApi& nt, std::uint32_t* needed) {
  std::vector<std::uint8_t> small(64);
  EXPECT_EQ(tv::status::InfoLengthMismatch, nt.NtQuerySystemInformation(16, small.data(), 64, needed));
  std::vector<std::uint8_t> buf(*needed);
  EXPECT_EQ(0, nt.NtQuerySystemInformation(16, buf.data(), *needed, nullptr));
  return buf;
}

TEST(SimProcess, HandleTableHoldsForeignAndOwnHandlesAndAnswersMismatchWithTheNeededLength) {
  Fixture f;
  f.m.state.rawOwners.push_back(1744);
  Handle proc = f.p.processes->OpenProcess(0x410, true, 500);
  Handle tcp = 0;
  tv::ObjectAttributes oa;
  oa.ObjectName = "\\Device\\Tcp";
  oa.Attributes = 0x40;
  tv::IoStatusBlock io;
  ASSERT_EQ(0, f.p.nt->NtOpenFile(&tcp, 0x00100000, oa, &io, 3, 0));

  std::uint32_t needed = 0;
  auto buf = QueryHandles(*f.p.nt, &needed);
  const std::size_t entry = sizeof(tv::layout::SystemHandleEntry);
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  EXPECT_EQ(5u, count);  // 2 foreign + 1 raw socket + 2 of the tool
  EXPECT_EQ(tv::layout::kHandleEntriesOffset + count * entry, needed);
  std::vector<tv::layout::SystemHandleEntry> entries(count);
  std::memcpy(entries.data(), buf.data() + tv::layout::kHandleEntriesOffset, count * entry);
  EXPECT_EQ(500, entries[0].UniqueProcessId);
  EXPECT_EQ(5, entries[0].ObjectTypeIndex);
  EXPECT_EQ(0x2B4, entries[0].HandleValue);
  EXPECT_EQ(1744, entries[2].UniqueProcessId);
  EXPECT_EQ(28, entries[2].ObjectTypeIndex);
  EXPECT_EQ(1000, entries[3].UniqueProcessId);
  EXPECT_EQ(proc, entries[3].HandleValue);
  EXPECT_EQ(5, entries[3].ObjectTypeIndex);
  EXPECT_EQ(2, entries[3].HandleAttributes);  // inheritable
  EXPECT_EQ(0x410u, entries[3].GrantedAccess);
  EXPECT_EQ(tcp, entries[4].HandleValue);
  EXPECT_EQ(f.m.state.fileObjectType, entries[4].ObjectTypeIndex);

  // The raw socket handle of 1744, duplicated, names \Device\RawIp; a too-small buffer gets the length.
  Handle owner = 0;
  ASSERT_EQ(0, f.NtOpen(1744, 0x40, &owner));
  Handle dup = 0;
  ASSERT_EQ(0, f.p.nt->NtDuplicateObject(owner, entries[2].HandleValue, tv::kCurrentProcess, &dup, 0xF0000, 0, 0));
  std::uint32_t len = 0;
  std::vector<std::uint8_t> name(8);
  EXPECT_EQ(tv::status::InfoLengthMismatch, f.p.nt->NtQueryObject(dup, 1, name.data(), 8, &len));
  const std::u16string expected = u"\\Device\\RawIp";
  EXPECT_EQ(tv::layout::kObjectNameHeaderSize + (expected.size() + 1) * 2, len);
  name.resize(len);
  ASSERT_EQ(0, f.p.nt->NtQueryObject(dup, 1, name.data(), len, &len));
  std::u16string text(expected.size(), u'\0');
  std::memcpy(text.data(), name.data() + tv::layout::kObjectNameHeaderSize, text.size() * 2);
  EXPECT_EQ(expected, text);
  for (Handle h : {proc, tcp, owner, dup}) EXPECT_EQ(0, f.p.nt->NtClose(h));
  EXPECT_EQ(tv::status::InvalidHandle, f.p.nt->NtClose(proc));
  EXPECT_EQ(0u, f.m.OpenHandleCount());

  // Classes 0, 2 and 3 answer only to their exact size.
  std::vector<std::uint8_t> b(512);
  for (auto [cls, size] : {std::pair{0u, tv::layout::kSystemBasicInformationSize},
                           {2u, tv::layout::kSystemPerformanceInformationSize},
                           {3u, tv::layout::kSystemTimeOfDayInformationSize}}) {
    EXPECT_EQ(tv::status::InfoLengthMismatch, f.p.nt->NtQuerySystemInformation(cls, b.data(), 512, nullptr));
    EXPECT_EQ(0, f.p.nt->NtQuerySystemInformation(cls, b.data(), static_cast<std::uint32_t>(size), nullptr));
  }
}

TEST(SimProcess, ADuplicatedHandleReachesAProtectedProcessAndAccessDecidesWhatAHandleMayDo) {
  Fixture f;
  f.m.FindProcess(676)->resistTerminateProcess = true;
  Handle owner = 0;
  // Without duplicate access the owner's handles cannot be copied.
  ASSERT_EQ(0, f.NtOpen(500, 0x400, &owner));
  Handle dup = 0;
  EXPECT_EQ(tv::status::AccessDenied,
            f.p.nt->NtDuplicateObject(owner, 0x2B4, tv::kCurrentProcess, &dup, 0x1F0FFF, 0, 4));
  f.p.nt->NtClose(owner);
  ASSERT_EQ(0, f.NtOpen(500, 0x40, &owner));
  EXPECT_EQ(tv::status::InvalidHandle, f.p.nt->NtDuplicateObject(owner, 0x999, tv::kCurrentProcess, &dup, 0, 0, 0));
  ASSERT_EQ(0, f.p.nt->NtDuplicateObject(owner, 0x2B4, tv::kCurrentProcess, &dup, 0x400, 0, 4));
  tv::layout::ProcessBasicInformation pbi{};
  ASSERT_EQ(0, f.p.nt->NtQueryInformationProcess(dup, 0, &pbi, sizeof pbi, nullptr));
  EXPECT_EQ(676u, pbi.UniqueProcessId);
  EXPECT_EQ(tv::status::InfoLengthMismatch, f.p.nt->NtQueryInformationProcess(dup, 0, &pbi, 4, nullptr));

  // Query access only: neither terminate call works, and the job refuses it too.
  EXPECT_FALSE(f.p.processes->TerminateProcess(dup, 1));
  EXPECT_EQ(5u, f.p.system->GetLastError());
  EXPECT_EQ(tv::status::AccessDenied, f.p.nt->NtTerminateProcess(dup, 1));
  Handle job = 0;
  tv::ObjectAttributes oa;
  ASSERT_EQ(0, f.p.nt->NtCreateJobObject(&job, tv::access::JobAllAccess, oa));
  EXPECT_EQ(tv::status::AccessDenied, f.p.nt->NtAssignProcessToJobObject(job, dup));
  // A full-access copy (same object): TerminateProcess is resisted, the job route ends it.
  Handle full = 0;
  ASSERT_EQ(0, f.p.nt->NtDuplicateObject(owner, 0x2B4, tv::kCurrentProcess, &full, 0, 0, 2));
  EXPECT_FALSE(f.p.processes->TerminateProcess(full, 1));
  ASSERT_EQ(0, f.p.nt->NtAssignProcessToJobObject(job, full));
  ASSERT_EQ(0, f.p.nt->NtTerminateJobObject(job, 7));
  EXPECT_FALSE(f.m.FindProcess(676)->alive);
  std::uint32_t code = 0;
  ASSERT_TRUE(f.p.processes->GetExitCodeProcess(full, &code));
  EXPECT_EQ(7u, code);
  // The ended process keeps its identifier while handles refer to it (the tool's, csrss's).
  Handle again = 0;
  EXPECT_EQ(tv::status::AccessDenied, f.NtOpen(676, 0x400, &again));  // still there, still protected
  EXPECT_EQ(tv::status::ProcessIsTerminating, f.p.nt->NtTerminateProcess(full, 1));
  for (Handle h : {owner, dup, job, full}) f.p.nt->NtClose(h);
  EXPECT_EQ(0u, f.m.OpenHandleCount());
  f.m.state.handles.clear();
  EXPECT_EQ(tv::status::InvalidCid, f.NtOpen(676, 0x400, &again));  // now it is gone
}

TEST(SimProcess, ThePebWalkReadsTheImagePathUnlessTheMemoryIsUnreadable) {
  Fixture f;
  for (bool unreadable : {false, true}) {
    f.m.FindProcess(500)->memoryUnreadable = unreadable;
    Handle h = 0;
    ASSERT_EQ(0, f.NtOpen(500, 0x410, &h));
    tv::layout::ProcessBasicInformation pbi{};
    ASSERT_EQ(0, f.p.nt->NtQueryInformationProcess(h, 0, &pbi, sizeof pbi, nullptr));
    ASSERT_NE(0u, pbi.PebBaseAddress);
    std::uintptr_t ldr = 0, entry = 0, buffer = 0;
    std::size_t n = 0;
    bool ok = f.p.processes->ReadProcessMemory(h, pbi.PebBaseAddress + tv::layout::kPebLdrOffset, &ldr, sizeof ldr, &n) &&
              f.p.processes->ReadProcessMemory(h, ldr + tv::layout::kLdrInLoadOrderOffset, &entry, sizeof entry, &n) &&
              f.p.processes->ReadProcessMemory(h, entry + tv::layout::kLdrEntryFullNameBufferOffset, &buffer,
                                               sizeof buffer, &n);
    char16_t text[260] = {};
    ok = ok && f.p.processes->ReadProcessMemory(h, buffer, text, 520, &n);
    EXPECT_EQ(!unreadable, ok);
    if (!unreadable) {
      EXPECT_EQ(std::u16string(u"C:\\WINDOWS\\system32\\csrss.exe"), std::u16string(text));
    } else {
      EXPECT_EQ(299u, f.p.system->GetLastError());
    }
    f.p.nt->NtClose(h);
  }
  // The native image path comes from the drive table.
  Handle h = f.p.processes->OpenProcess(0x400, false, 500);
  EXPECT_EQ("\\Device\\HarddiskVolume1\\WINDOWS\\system32\\csrss.exe",
            f.p.processes->GetProcessImageFileNameA(h, 1024));
  f.p.system->CloseHandle(h);
}

TEST(SimProcess, CloseMessagesEndTheirOwnerOnlyAfterTheWindowWalk) {
  Fixture f;
  f.m.state.windows = {{0x10, 0, 500, 504, {}, true, "A", ""},
                       {0x14, 0x10, 500, 504, {}, true, "Child", ""},
                       {0x20, 0, 620, 624, {}, true, "B", ""},
                       {0x30, 0, 500, 504, {}, true, "C", ""}};
  auto& w = *f.p.windows;
  std::vector<Handle> closed;
  for (Handle h = w.FindWindowA(nullptr, nullptr); h; h = w.GetWindow(h, 2)) {
    std::uint32_t pid = 0;
    w.GetWindowThreadProcessId(h, &pid);
    if (w.GetParent(h) == 0 && pid == 500) {
      EXPECT_TRUE(w.PostMessageA(h, 16, 0, 0));
      closed.push_back(h);
    }
  }
  EXPECT_EQ((std::vector<Handle>{0x10, 0x30}), closed);
  EXPECT_TRUE(f.m.FindProcess(500)->alive);  // nothing handled yet
  f.p.system->Sleep(200);
  EXPECT_FALSE(f.m.FindProcess(500)->alive);
  EXPECT_EQ(1u, f.m.state.windows.size());  // its windows went with it
  EXPECT_EQ(2u, f.m.state.posted.size());
}

}  // namespace
