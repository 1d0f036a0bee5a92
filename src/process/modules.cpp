#include "process/modules.h"

#include <cstring>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/layouts.h"
#include "process/process_list.h"

namespace tv {

namespace {

constexpr std::uint32_t kPathBufferChars = 1024;
constexpr std::uint32_t kModuleTableInitialSize = 0x20000;
constexpr std::uint32_t kThreadProbeLast = 0x10000;
constexpr std::int32_t kStillActive = 259;

std::string Trimmed(const std::string& s, std::size_t width) {
  std::string t = CutToWidth(s, width);
  auto b = t.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  auto e = t.find_last_not_of(' ');
  return t.substr(b, e - b + 1);
}

// Stores a module record with its text fields cut to their widths and the version strings of
// its file, read once.
void AppendModule(std::vector<ModuleRecord>& list, std::string name, std::string path, std::uintptr_t base,
                  std::uint32_t size) {
  ModuleRecord rec;
  rec.ModuleName = Trimmed(name, kModuleNameWidth);
  rec.PathName = Trimmed(path, kModulePathWidth);
  rec.BaseAddress = base;
  rec.BaseSize = size;
  VersionStrings v = ReadVersionStrings(rec.PathName);
  rec.Company = Trimmed(v.Company, kCompanyWidth);
  rec.Description = Trimmed(v.Description, kDescriptionWidth);
  rec.Version = Trimmed(v.Version, kVersionWidth);
  list.push_back(std::move(rec));
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

const ModuleRecord* FindModule(const std::vector<ModuleRecord>& list, const std::string& target) {
  for (const auto& m : list) {
    if (Lower(CutAtNul(m.ModuleName)) == target || Lower(CutAtNul(m.PathName)) == target) return &m;
  }
  return nullptr;
}

std::string StatusText(std::size_t n, const char* unit) { return std::to_string(n) + unit; }

}  // namespace

std::vector<ModuleRecord>& ModuleList() {
  static std::vector<ModuleRecord> list;
  return list;
}
std::vector<ThreadRecord>& ThreadList() {
  static std::vector<ThreadRecord> list;
  return list;
}
std::vector<ModuleRecord>& KernelModuleList() {
  static std::vector<ModuleRecord> list;
  return list;
}
std::vector<SeekRecord>& SeekList() {
  static std::vector<SeekRecord> list;
  return list;
}

// ------------------------------------------------------------------ modules ----

void EnumModules(std::uint32_t pid) {
  auto& procs = platform::Processes();
  Handle snap = procs.CreateToolhelp32Snapshot(th32::SnapModule, pid);
  if (snap == kInvalidHandle || snap == kNullHandle) {
    EnumModulesByPsapi(pid);
    return;
  }
  auto& list = ModuleList();
  list.clear();
  ModuleEntry32 e;
  bool ok = procs.Module32First(snap, e);
  while (ok) {
    AppendModule(list, CutAtNul(e.szModule), ConvertDevicePath(CutAtNul(e.szExePath), false), e.modBaseAddr,
                 e.modBaseSize);
    e = ModuleEntry32{};
    ok = procs.Module32Next(snap, e);
  }
  platform::Sys().CloseHandle(snap);
}

void EnumModulesByPsapi(std::uint32_t pid) {
  auto& list = ModuleList();
  list.clear();
  auto& procs = platform::Processes();
  Handle h = procs.OpenProcess(access::ProcessAllAccess, false, pid);
  if (h == kNullHandle) h = OpenProcessByForce(access::ProcessAllAccess, false, pid);
  if (h == kNullHandle) return;

  Handle first = kNullHandle;
  std::uint32_t needed = 0;
  std::vector<Handle> mods;
  if (procs.EnumProcessModules(h, &first, sizeof(Handle), &needed) && needed >= sizeof(Handle)) {
    mods.resize(needed / sizeof(Handle));
    std::uint32_t got = 0;
    const auto cb = static_cast<std::uint32_t>(mods.size() * sizeof(Handle));
    if (!procs.EnumProcessModules(h, mods.data(), cb, &got)) {
      mods.clear();
    } else if (got < cb) {
      mods.resize(got / sizeof(Handle));  // modules unloaded between the two calls
    }
  }
  for (Handle m : mods) {
    std::string path = CutAtNul(procs.GetModuleFileNameExA(h, m, kPathBufferChars));
    ModuleInfo info;
    if (path.empty() || !procs.GetModuleInformation(h, m, info)) continue;  // unreadable: skipped
    AppendModule(list, GetFileName(path), path, info.lpBaseOfDll, info.SizeOfImage);
  }
  CloseHandleEx(h);
}

// ------------------------------------------------------------------ kernel modules ----

std::size_t EnumKernelModules() {
  auto& list = KernelModuleList();
  list.clear();
  std::vector<std::uint8_t> buf;
  if (!NtSuccess(QuerySystemInformationGrowing(sysinfo::Module, kModuleTableInitialSize, buf))) return 0;
  if (buf.size() < sizeof(std::uint32_t)) return 0;
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), sizeof count);
  constexpr std::size_t kEntry = sizeof(layout::SystemModuleEntry);
  const std::size_t room =
      buf.size() > layout::kModuleEntriesOffset ? (buf.size() - layout::kModuleEntriesOffset) / kEntry : 0;
  if (count > room) count = static_cast<std::uint32_t>(room);

  const std::uint8_t* p = buf.data() + layout::kModuleEntriesOffset;
  for (std::uint32_t i = 0; i < count; ++i, p += kEntry) {
    layout::SystemModuleEntry entry;
    std::memcpy(&entry, p, kEntry);
    const char* name = entry.FullPathName;
    std::string raw(name, strnlen(name, sizeof entry.FullPathName));
    AppendModule(list, GetFileName(raw), ConvertDevicePath(raw, true), entry.ImageBase, entry.ImageSize);
  }
  return list.size();
}

// ------------------------------------------------------------------ threads ----

void EnumThreads(std::uint32_t pid) {
  auto& list = ThreadList();
  list.clear();
  auto& nt = platform::Nt();
  const ObjectAttributes oa{};
  for (std::uint32_t tid = 0; tid <= kThreadProbeLast; tid += 4) {
    Handle h = kNullHandle;
    NTSTATUS s = nt.ZwOpenThread(&h, access::ThreadQueryInformation, oa, ClientId{0, tid});
    if (s != status::Success || h == kNullHandle) {
      if (h != kNullHandle) CloseHandleEx(h);
      continue;
    }
    layout::ThreadBasicInformation tbi{};
    std::uint32_t ret = 0;
    s = nt.NtQueryInformationThread(h, threadinfo::Basic, &tbi, sizeof tbi, &ret);
    if (s != status::Success || tbi.UniqueProcess != pid) {
      CloseHandleEx(h);
      continue;
    }
    ThreadRecord rec;
    rec.TID = tid;
    rec.Priority = tbi.Priority;
    rec.BasePriority = tbi.BasePriority;
    rec.AffinityMask = tbi.AffinityMask;
    rec.ExitStatus = tbi.ExitStatus;
    rec.TebBaseAddress = tbi.TebBaseAddress;
    std::uintptr_t start = 0;
    if (nt.NtQueryInformationThread(h, threadinfo::QuerySetWin32StartAddress, &start, sizeof start, &ret) ==
        status::Success) {
      rec.StartAddress = start;
    }
    list.push_back(rec);
    CloseHandleEx(h);
  }
}

// ------------------------------------------------------------------ seek ----

std::size_t SeekModule(const std::string& name) {
  EnumProcesses(false);
  for (std::uint32_t pid : EnumHandleOwnerPids()) AddHiddenProcess(pid);

  const std::string target = Lower(CutAtNul(name));
  auto& hits = SeekList();
  hits.clear();
  const ProcessList& procs = GetProcessList();
  for (std::size_t i = 0; i < procs.size(); ++i) {
    const ProcessRecord& p = procs[i];
    const ModuleRecord* m = nullptr;
    if (i == 0 && p.PID == 0) {
      // The idle process heads the snapshot and stands for the kernel: its modules are the
      // kernel modules. A snapshot that starts with an ordinary process (no idle entry) has
      // that process searched like every other.
      EnumKernelModules();
      m = FindModule(KernelModuleList(), target);
    } else {
      EnumModules(static_cast<std::uint32_t>(p.PID));
      m = FindModule(ModuleList(), target);
    }
    if (!m) continue;
    SeekRecord rec;
    rec.ModuleName = m->ModuleName;
    rec.PathName = m->PathName;
    rec.BaseAddress = m->BaseAddress;
    rec.BaseSize = m->BaseSize;
    rec.OwnerPID = p.PID;
    rec.OwnerProcess = CutToWidth(p.ImageName, kOwnerProcessWidth);
    hits.push_back(std::move(rec));
  }
  return hits.size();
}

// ------------------------------------------------------------------ display ----

std::string FormatHex(std::uintptr_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  do {
    hex.insert(hex.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  const std::size_t want = digits < 1 ? 1 : static_cast<std::size_t>(digits);
  if (hex.size() < want) hex.insert(0, want - hex.size(), '0');
  return "0x" + hex;
}

std::string ThreadStatusText(std::int32_t exitStatus) {
  if (exitStatus == 0) return "StateTerminated";
  if (exitStatus == kStillActive) return "StateWait";
  return std::to_string(exitStatus);
}

namespace {
ui::ListContent ModuleRows(const std::vector<ModuleRecord>& list) {
  ui::ListContent c;
  for (const auto& m : list) {
    ui::ListRow r;
    r.text = m.ModuleName;
    r.subItems = {FormatHex(m.BaseAddress, 8), m.PathName, std::to_string(m.BaseSize), m.Company, m.Description,
                  m.Version};
    c.rows.push_back(std::move(r));
  }
  c.status = StatusText(list.size(), " Module(s)");
  return c;
}
}  // namespace

ui::ListContent ShowModuleList() { return ModuleRows(ModuleList()); }
ui::ListContent ShowKernelModuleList() { return ModuleRows(KernelModuleList()); }

ui::ListContent ShowThreadList() {
  ui::ListContent c;
  for (const auto& t : ThreadList()) {
    ui::ListRow r;
    r.text = std::to_string(t.TID);
    r.subItems = {std::to_string(t.Priority), FormatHex(t.StartAddress, 8), FormatHex(t.TebBaseAddress, 8),
                  ThreadStatusText(t.ExitStatus)};
    c.rows.push_back(std::move(r));
  }
  c.status = StatusText(ThreadList().size(), " Thread(s)");
  return c;
}

ui::ListContent ShowSeekList() {
  ui::ListContent c;
  for (const auto& s : SeekList()) {
    ui::ListRow r;
    r.text = std::to_string(s.OwnerPID);
    r.subItems = {s.PathName, s.OwnerProcess, FormatHex(s.BaseAddress, 8), std::to_string(s.BaseSize)};
    c.rows.push_back(std::move(r));
  }
  c.status = StatusText(SeekList().size(), " Module(s)");
  return c;
}

const std::vector<ModuleColumn>& ModuleColumns() {
  static const std::vector<ModuleColumn> cols = {
      {"ModuleName", "&ModuleName", 80}, {"BaseAddress", "&BaseAddress", 70}, {"PathName", "&PathName", 350},
      {"BaseSize", "&BaseSize", 70},     {"Company", "&Company", 100},         {"Description", "&Description", 100},
      {"Version", "&Version", 100}};
  return cols;
}
const std::vector<ModuleColumn>& ThreadColumns() {
  static const std::vector<ModuleColumn> cols = {{"TID", "&TID", 50},
                                                 {"BasePriority", "&BasePriority", 70},
                                                 {"StartAddress", "&StartAddress", 70},
                                                 {"TebBaseAddress", "&TebBaseAddress", 100},
                                                 {"Status", "&Status", 150}};
  return cols;
}
const std::vector<ModuleColumn>& SeekColumns() {
  static const std::vector<ModuleColumn> cols = {{"PID", "&OwnerPID", 50},
                                                 {"PathName", "&PathName", 0},
                                                 {"Process", "&OwnerProcess", 70},
                                                 {"BaseAddress", "&BaseAddress", 50},
                                                 {"BaseSize", "&BaseSize", 50}};
  return cols;
}

std::string CaptionText(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;  // "&&" is a literal ampersand
      continue;
    }
    out += caption[i];
  }
  return out;
}

}  // namespace tv
