#include "process/process_list.h"

#include <cstring>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/layouts.h"

namespace tv {

namespace {

constexpr std::uint32_t kPathQueryAccess = access::ProcessQueryInformation | access::ProcessVmRead;  // 0x410
constexpr std::uint32_t kPathBufferChars = 1024;
constexpr std::uint32_t kHandleTableInitialSize = 0x20000;
constexpr std::uint32_t kProbeLast = 0x10000;

// First module of the process (its image) and the path the process-status call gives for it;
// "" when either call fails.
std::string FirstModulePath(Handle h) {
  if (h == kNullHandle) return {};
  auto& procs = platform::Processes();
  Handle first = kNullHandle;
  std::uint32_t needed = 0;
  if (!procs.EnumProcessModules(h, &first, sizeof(Handle), &needed)) return {};
  return CutAtNul(procs.GetModuleFileNameExA(h, first, kPathBufferChars));
}

std::string ImageFileName(Handle h) {
  if (h == kNullHandle) return {};
  return CutAtNul(platform::Processes().GetProcessImageFileNameA(h, kPathBufferChars));
}

// Shared body of the documented and the forced route once the handle is open.
// `onEmpty` supplies the text used when no image name can be read at all.
template <typename OnEmpty>
std::string PathFromHandle(Handle h, OnEmpty onEmpty) {
  std::string path = FirstModulePath(h);
  if (!FileExists(path)) {
    path = ImageFileName(h);
    if (path.empty()) {
      path = onEmpty();
    } else if (!FileExists(path)) {
      path = ConvertDevicePath(path, false);
    }
  }
  return path;
}

ObjectAttributes PlainAttributes() { return ObjectAttributes{}; }

}  // namespace

// ------------------------------------------------------------------ text helpers ----

std::string CutAtNul(const std::string& s) {
  auto p = s.find('\0');
  return p == std::string::npos ? s : s.substr(0, p);
}

std::string TrimTrailingBlanks(const std::string& s) {
  auto e = s.find_last_not_of(' ');
  return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

std::string CutToWidth(const std::string& s, std::size_t width) {
  // Counts characters, not bytes: a UTF-8 sequence is never split.
  std::size_t chars = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) {
      if (chars == width) return s.substr(0, i);
      ++chars;
    }
  }
  return s;
}

// ------------------------------------------------------------------ the list ----

void ProcessList::Clear() {
  records_.clear();
  pids_.clear();
}

ProcessRecord& ProcessList::Append(ProcessRecord rec) {
  rec.ImageName = TrimTrailingBlanks(CutToWidth(rec.ImageName, kImageNameWidth));
  rec.PathName = TrimTrailingBlanks(CutToWidth(rec.PathName, kProcessPathWidth));
  rec.Company = TrimTrailingBlanks(CutToWidth(rec.Company, kCompanyWidth));
  rec.Description = TrimTrailingBlanks(CutToWidth(rec.Description, kDescriptionWidth));
  rec.Version = TrimTrailingBlanks(CutToWidth(rec.Version, kVersionWidth));
  pids_.insert(rec.PID);
  records_.push_back(std::move(rec));
  return records_.back();
}

std::size_t ProcessList::HiddenCount() const {
  std::size_t n = 0;
  for (const auto& r : records_) n += r.Rootkit ? 1 : 0;
  return n;
}

ProcessList& GetProcessList() {
  static ProcessList list;
  return list;
}

std::function<void()>& ProcessListShowHook() {
  static std::function<void()> hook;
  return hook;
}

// ------------------------------------------------------------------ path routes ----

std::string GetProcessPath(std::uint32_t pid) {
  Handle h = platform::Processes().OpenProcess(kPathQueryAccess, false, pid);
  std::string path = PathFromHandle(h, [pid] {
    return GetProcessPathNt(pid).empty() ? std::string(kPathMsgSsdtHooked) : std::string(kPathMsgHooked);
  });
  if (h != kNullHandle) CloseHandleEx(h);
  return path;
}

std::string GetProcessPathNt(std::uint32_t pid) {
  Handle h = kNullHandle;
  NTSTATUS s = platform::Nt().ZwOpenProcess(&h, access::ProcessQueryInformation, PlainAttributes(),
                                            ClientId{pid, 0});
  if (s != status::Success || h == kNullHandle) {
    if (h != kNullHandle) CloseHandleEx(h);
    return {};
  }
  std::string path = FirstModulePath(h);
  if (!FileExists(path)) path = ImageFileName(h);
  if (!path.empty() && !FileExists(path)) path = ConvertDevicePath(path, false);
  CloseHandleEx(h);
  return path;
}

std::string GetProcessPathByForce(std::uint32_t pid) {
  Handle h = OpenProcessByForce(access::ProcessAllAccess, false, pid);
  std::string path = PathFromHandle(h, [] { return std::string(kPathMsgHooked); });
  if (h != kNullHandle) CloseHandleEx(h);
  return path;
}

// ------------------------------------------------------------------ snapshot ----

void EnumProcesses(bool byForce) {
  ProcessList& list = GetProcessList();
  list.Clear();
  auto& procs = platform::Processes();
  Handle snap = procs.CreateToolhelp32Snapshot(th32::SnapAll, 0);
  if (snap == kInvalidHandle || snap == kNullHandle) return;
  ProcessEntry32 e;
  bool ok = procs.Process32First(snap, e);
  while (ok) {
    ProcessRecord rec;
    rec.PID = static_cast<std::int32_t>(e.th32ProcessID);
    if (e.th32ProcessID == 0) {
      rec.ImageName = kIdleProcessName;
      rec.PathName = kKernelPathText;
    } else if (e.th32ProcessID == 4 || e.th32ProcessID == 8) {
      rec.ImageName = kSystemProcessName;
      rec.PathName = kKernelPathText;
    } else {
      std::string raw = byForce ? GetProcessPathByForce(e.th32ProcessID) : GetProcessPath(e.th32ProcessID);
      rec.ImageName = CutToWidth(CutAtNul(e.szExeFile), kImageNameWidth);
      // Anything that is not an ordinary visible file (a message, a hidden or system file, a
      // path that cannot be read) gives way to the system-folder lookup of the image name.
      if (!DirListingFinds(raw)) {
        rec.PathName = ConvertDevicePath(TrimTrailingBlanks(rec.ImageName), true);
      } else {
        rec.PathName = ConvertDevicePath(raw, false);
      }
      rec.PathName = CutToWidth(rec.PathName, kProcessPathWidth);
      VersionStrings v = ReadVersionStrings(TrimTrailingBlanks(rec.PathName));
      rec.Company = std::move(v.Company);
      rec.Description = std::move(v.Description);
      rec.Version = std::move(v.Version);
    }
    list.Append(std::move(rec));
    e = ProcessEntry32{};
    ok = procs.Process32Next(snap, e);
  }
  platform::Sys().CloseHandle(snap);
}

// ------------------------------------------------------------------ hidden-process search ----

std::vector<std::uint32_t> EnumHandleOwnerPids() {
  std::vector<std::uint32_t> pids;
  std::vector<std::uint8_t> buf;
  if (!NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, kHandleTableInitialSize, buf))) return pids;
  if (buf.size() < sizeof(std::uint32_t)) return pids;
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), sizeof count);
  constexpr std::size_t kEntry = sizeof(layout::SystemHandleEntry);
  const std::size_t room =
      buf.size() > layout::kHandleEntriesOffset ? (buf.size() - layout::kHandleEntriesOffset) / kEntry : 0;
  if (count > room) count = static_cast<std::uint32_t>(room);  // never read past the answer
  pids.reserve(count);
  const std::uint8_t* p = buf.data() + layout::kHandleEntriesOffset;
  for (std::uint32_t i = 0; i < count; ++i, p += kEntry) {
    std::uint16_t owner = 0;
    std::memcpy(&owner, p + offsetof(layout::SystemHandleEntry, UniqueProcessId), sizeof owner);
    pids.push_back(owner);
  }
  return pids;
}

std::vector<std::uint32_t> EnumPidsByProbe() {
  std::vector<std::uint32_t> pids;
  auto& nt = platform::Nt();
  const ObjectAttributes oa = PlainAttributes();
  for (std::uint32_t id = 4; id <= kProbeLast; id += 4) {
    Handle h = kNullHandle;
    NTSTATUS s = nt.ZwOpenProcess(&h, access::ProcessQueryInformation, oa, ClientId{id, 0});
    if (s == status::Success) pids.push_back(id);
    if (h != kNullHandle) CloseHandleEx(h);
  }
  return pids;
}

bool HasNoModules(std::uint32_t pid) {
  Handle h = OpenProcessByForce(access::ProcessAllAccess, false, pid);
  if (h == kNullHandle) return true;
  Handle first = kNullHandle;
  std::uint32_t needed = 0;
  bool ok = platform::Processes().EnumProcessModules(h, &first, sizeof(Handle), &needed);
  CloseHandleEx(h);
  return !ok;
}

void AddHiddenProcess(std::uint32_t pid) {
  ProcessList& list = GetProcessList();
  if (list.Contains(static_cast<std::int32_t>(pid))) return;
  ProcessRecord rec;
  rec.PID = static_cast<std::int32_t>(pid);
  rec.PathName = CutToWidth(ConvertDevicePath(GetProcessPathByForce(pid), false), kProcessPathWidth);
  rec.ImageName = GetFileName(TrimTrailingBlanks(rec.PathName));
  rec.Rootkit = true;
  list.Append(std::move(rec));
}

// ------------------------------------------------------------------ refreshes ----

namespace {
void AddHandleOwners() {
  for (std::uint32_t pid : EnumHandleOwnerPids()) AddHiddenProcess(pid);
}
void RunShowHook() {
  if (auto& hook = ProcessListShowHook()) hook();
}
}  // namespace

void RefreshProcessList() {
  EnumProcesses(false);
  AddHandleOwners();
  RunShowHook();
}

void RefreshProcessListByForce() {
  EnumProcesses(true);
  AddHandleOwners();
  const ProcessList& list = GetProcessList();
  for (std::uint32_t pid : EnumPidsByProbe()) {
    // A listed identifier would be refused by AddHiddenProcess anyway; skip its module test.
    if (list.Contains(static_cast<std::int32_t>(pid))) continue;
    if (!HasNoModules(pid)) AddHiddenProcess(pid);
  }
  RunShowHook();
}

}  // namespace tv
