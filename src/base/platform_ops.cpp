// Windows and NT operations that several subsystems share.
#include "base/platform_ops.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/api.h"
#include "platform/layouts.h"

namespace tv {

namespace {
constexpr std::uint32_t kHandleTableInitialSize = 131072;
constexpr std::uint32_t kDuplicateSameAttributes = 4;
constexpr std::uint32_t kObjInherit = 2;
}  // namespace

void CloseHandleEx(Handle h) {
  NtApi& nt = platform::Nt();
  if (NtSuccess(nt.ZwClose(h))) return;
  if (NtSuccess(nt.NtClose(h))) return;
  platform::Sys().CloseHandle(h);
}

bool AdjustPrivilege(std::uint32_t privilege, bool enable) {
  NtApi& nt = platform::Nt();
  bool wasEnabled = false;
  NTSTATUS s = nt.RtlAdjustPrivilege(privilege, enable, true, &wasEnabled);
  if (s == status::NoToken) s = nt.RtlAdjustPrivilege(privilege, enable, false, &wasEnabled);
  return s == 0;
}

NTSTATUS QuerySystemInformationGrowing(std::uint32_t infoClass, std::uint32_t initialSize,
                                       std::vector<std::uint8_t>& out) {
  NtApi& nt = platform::Nt();
  out.clear();
  out.shrink_to_fit();
  std::uint32_t size = std::clamp<std::uint32_t>(initialSize, 4096, kMaxQueryBuffer);
  for (;;) {
    // The attempts use a plain allocation: only the answer that fits is kept.
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
    if (!buffer) return status::NoMemory;
    std::memset(buffer.get(), 0, std::min<std::uint32_t>(size, 4096));
    std::uint32_t returned = 0;
    NTSTATUS s = nt.ZwQuerySystemInformation(infoClass, buffer.get(), size, &returned);
    if (s == status::InfoLengthMismatch) {
      if (size >= kMaxQueryBuffer) return s;  // a system that keeps asking for more: give up
      size = size > kMaxQueryBuffer / 2 ? kMaxQueryBuffer : size * 2;
      continue;
    }
    if (NtSuccess(s)) out.assign(buffer.get(), buffer.get() + size);
    return s;
  }
}

NTSTATUS QuerySystemInformationFixed(std::uint32_t infoClass, void* buffer, std::uint32_t size) {
  std::uint32_t returned = 0;
  return platform::Nt().ZwQuerySystemInformation(infoClass, buffer, size, &returned);
}

Handle OpenProcessByForce(std::uint32_t access, bool inherit, std::uint32_t pid) {
  // 1. The documented open.
  if (Handle h = platform::Processes().OpenProcess(access, false, pid); h != kNullHandle) return h;

  // 2. The native open; the kernel ignores the two low bits of an identifier, so PID + 1 still
  //    names the process while slipping past filters that compare identifiers exactly.
  NtApi& nt = platform::Nt();
  {
    ObjectAttributes oa;
    oa.Attributes = inherit ? kObjInherit : 0;
    ClientId cid;
    cid.UniqueProcess = static_cast<std::uintptr_t>(pid) + 1;
    Handle h = kNullHandle;
    if (NtSuccess(nt.ZwOpenProcess(&h, access, oa, cid)) && h != kNullHandle) return h;
  }

  // 3. Borrow a handle some other process holds on it.
  std::vector<std::uint8_t> table;
  if (!NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, kHandleTableInitialSize, table))) return kNullHandle;
  if (table.size() < layout::kHandleEntriesOffset) return kNullHandle;
  std::uint32_t count = 0;
  std::memcpy(&count, table.data(), sizeof count);
  const std::size_t fit = (table.size() - layout::kHandleEntriesOffset) / sizeof(layout::SystemHandleEntry);
  const std::size_t entries = std::min<std::size_t>(count, fit);

  Handle result = kNullHandle;
  for (std::size_t i = 0; i < entries; ++i) {
    layout::SystemHandleEntry e;
    std::memcpy(&e, table.data() + layout::kHandleEntriesOffset + i * sizeof e, sizeof e);
    if (e.ObjectTypeIndex != layout::kProcessObjectType) continue;

    Handle owner = kNullHandle;
    ClientId ownerId;
    ownerId.UniqueProcess = e.UniqueProcessId;
    if (!NtSuccess(nt.ZwOpenProcess(&owner, access::ProcessDupHandle, ObjectAttributes{}, ownerId)) ||
        owner == kNullHandle)
      continue;

    Handle copy = kNullHandle;
    if (NtSuccess(nt.NtDuplicateObject(owner, e.HandleValue, kCurrentProcess, &copy, access::ProcessAllAccess, 0,
                                       kDuplicateSameAttributes)) &&
        copy != kNullHandle) {
      layout::ProcessBasicInformation pbi{};
      std::uint32_t returned = 0;
      if (NtSuccess(nt.NtQueryInformationProcess(copy, procinfo::Basic, &pbi, sizeof pbi, &returned)) &&
          pbi.UniqueProcessId == pid) {
        Handle mine = kNullHandle;
        if (NtSuccess(nt.NtDuplicateObject(owner, e.HandleValue, kCurrentProcess, &mine, access, kObjInherit,
                                           kDuplicateSameAttributes)) &&
            mine != kNullHandle) {
          // The last match wins; an earlier one is given back.
          if (result != kNullHandle) CloseHandleEx(result);
          result = mine;
        }
      }
      CloseHandleEx(copy);
    }
    CloseHandleEx(owner);
  }
  return result;
}

void TrimWorkingSet() {
  ProcessApi& p = platform::Processes();
  p.SetProcessWorkingSetSize(p.GetCurrentProcess(), ~std::uintptr_t(0), ~std::uintptr_t(0));
}

std::string GeneralDateNow() {
  SystemApi& sys = platform::Sys();
  SystemTime now;
  sys.GetLocalTime(now);
  std::string text = sys.GetDateFormatA(1, now);
  if (now.wHour != 0 || now.wMinute != 0 || now.wSecond != 0) {
    const std::string time = sys.GetTimeFormatA(0, now);
    text = text.empty() ? time : text + " " + time;
  }
  return text;
}

}  // namespace tv
