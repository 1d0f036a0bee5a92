#include "process/terminate.h"

#include "base/platform_ops.h"
#include "platform/api.h"

namespace tv {

namespace {
constexpr std::uint32_t kWmClose = 16;
constexpr std::uint32_t kGwHwndNext = 2;
constexpr std::uint32_t kDuplicateCloseSource = 1;

// The job route: an unnamed job with full access, the process assigned to it, the job ended.
bool TerminateByJob(Handle process, std::uint32_t exitCode) {
  auto& nt = platform::Nt();
  Handle job = kNullHandle;
  bool done = false;
  if (NtSuccess(nt.NtCreateJobObject(&job, access::JobAllAccess, ObjectAttributes{})) && job != kNullHandle) {
    done = NtSuccess(nt.NtAssignProcessToJobObject(job, process)) &&
           NtSuccess(nt.NtTerminateJobObject(job, static_cast<NTSTATUS>(exitCode)));
  }
  if (job != kNullHandle) CloseHandleEx(job);
  return done;
}
}  // namespace

bool TerminateProcessChain(Handle process, std::uint32_t exitCode, std::uint32_t pid) {
  if (platform::Processes().TerminateProcess(process, exitCode)) return true;
  if (NtSuccess(platform::Nt().NtTerminateProcess(process, static_cast<NTSTATUS>(exitCode)))) return true;
  if (TerminateByJob(process, exitCode)) {
    TerminateByDuplicatedHandle(pid, exitCode);
    return true;
  }
  return false;
}

bool TerminateByDuplicatedHandle(std::uint32_t pid, std::uint32_t exitCode) {
  auto& procs = platform::Processes();
  Handle h = procs.OpenProcess(access::ProcessQueryInformation, false, pid);
  if (h == kNullHandle) return false;
  Handle full = kNullHandle;
  // The source handle is closed by the duplication whether it succeeds or not.
  if (!procs.DuplicateHandle(kCurrentProcess, h, kCurrentProcess, &full, access::ProcessAllAccess, false,
                             kDuplicateCloseSource) ||
      full == kNullHandle) {
    return false;
  }
  bool ok = procs.TerminateProcess(full, exitCode);
  CloseHandleEx(full);
  return ok;
}

void EndTaskByWindows(std::uint32_t pid) {
  auto& win = platform::Windows();
  Handle w = win.FindWindowA(nullptr, nullptr);
  while (w != kNullHandle) {
    // Take the next window first: the close may remove this one from the list.
    Handle next = win.GetWindow(w, kGwHwndNext);
    if (win.GetParent(w) == kNullHandle) {
      std::uint32_t owner = 0;
      win.GetWindowThreadProcessId(w, &owner);
      if (owner == pid) win.PostMessageA(w, kWmClose, 0, 0);
    }
    w = next;
  }
}

bool TerminateThreadNormal(std::uint32_t tid) {
  auto& procs = platform::Processes();
  Handle h = procs.OpenThread(access::ThreadTerminate, false, tid);
  if (h == kNullHandle) return false;
  bool ok = procs.TerminateThread(h, 0);
  platform::Sys().CloseHandle(h);
  return ok;
}

NTSTATUS TerminateThreadByForce(std::uint32_t tid) {
  auto& nt = platform::Nt();
  Handle h = kNullHandle;
  NTSTATUS s = nt.ZwOpenThread(&h, access::ThreadAllAccess, ObjectAttributes{}, ClientId{0, std::uintptr_t(tid) + 1});
  if (!NtSuccess(s) || h == kNullHandle) {
    if (h != kNullHandle) nt.ZwClose(h);
    return NtSuccess(s) ? status::InvalidHandle : s;
  }
  NTSTATUS r = nt.NtTerminateThread(h, 0);
  nt.ZwClose(h);
  return r;
}

NTSTATUS UnloadModule(std::uintptr_t base, std::uint32_t pid) {
  Handle h = OpenProcessByForce(access::ProcessAllAccess, false, pid);
  if (h == kNullHandle) return 1;
  NTSTATUS s = platform::Nt().NtUnmapViewOfSection(h, base);
  CloseHandleEx(h);
  return s;
}

}  // namespace tv
