// Processes, threads, modules, process memory and windows of the simulated machine.
// The kernel looks identifiers up ignoring their two low bits; every handle carries the access
// it was granted, and each call checks the access Windows asks for.
#include <algorithm>
#include <cstring>

#include "platform/layouts.h"
#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kErrPartialCopy = 299, kErrInvalidWindow = 1400;
constexpr std::uint32_t kQuery = 0x400, kQueryLimited = 0x1000, kVmRead = 0x10, kSetQuota = 0x100;

std::uint32_t MapProcessAccess(std::uint32_t access) {
  if (access & (0x10000000u | 0x02000000u)) return 0x1FFFFF;  // GENERIC_ALL, MAXIMUM_ALLOWED
  std::uint32_t a = access & 0x00FFFFFFu;
  if (access & 0x80000000u) a |= 0x20410;  // GENERIC_READ
  if (access & 0x40000000u) a |= 0x20BEA;  // GENERIC_WRITE
  if (access & 0x20000000u) a |= 0x121001;  // GENERIC_EXECUTE
  return a;
}

std::uint32_t MapThreadAccess(std::uint32_t access) {
  if (access & (0x10000000u | 0x02000000u)) return 0x1FFFFF;
  std::uint32_t a = access & 0x00FFFFFFu;
  if (access & 0x80000000u) a |= 0x20048;
  if (access & 0x40000000u) a |= 0x20037;
  return a;
}

// Addresses of the synthetic loader structures every process shows.
constexpr std::uintptr_t kPeb = kPtrSize == 8 ? 0x000007FFFFFD5000ull : 0x7FFDF000u;
constexpr std::uintptr_t kLdr = 0x00241E90;
constexpr std::uintptr_t kLdrEntry = 0x00241EE0;
constexpr std::uintptr_t kNameBuffer = 0x00020498;
constexpr std::size_t kNameRegion = 0x400;

struct Region {
  std::uintptr_t base;
  Bytes bytes;
};

std::vector<Region> MemoryOf(const Process& p) {
  std::vector<Region> r;
  std::string image = !p.modules.empty() ? p.modules.front().path : p.imagePath;
  if (image.empty()) return r;  // no user-mode image: no PEB (System, Idle)
  std::u16string wide = Utf8ToUtf16(image);
  if (wide.size() > kNameRegion / 2 - 1) wide.resize(kNameRegion / 2 - 1);
  const std::uintptr_t base = p.modules.empty() ? 0x00400000 : p.modules.front().base;
  const std::uint32_t size = p.modules.empty() ? 0x10000 : p.modules.front().size;

  Region peb{kPeb, Bytes(0x1000, 0)};
  PutPtr(&peb.bytes[kPtrSize == 8 ? 0x10 : 0x08], base);  // ImageBaseAddress
  PutPtr(&peb.bytes[layout::kPebLdrOffset], kLdr);
  r.push_back(std::move(peb));

  Region ldr{kLdr, Bytes(kPtrSize == 8 ? 0x58 : 0x30, 0)};
  Put32(&ldr.bytes[0], static_cast<std::uint32_t>(ldr.bytes.size()));  // Length
  ldr.bytes[4] = 1;                                                     // Initialized
  PutPtr(&ldr.bytes[layout::kLdrInLoadOrderOffset], kLdrEntry);          // InLoadOrderModuleList.Flink
  PutPtr(&ldr.bytes[layout::kLdrInLoadOrderOffset + kPtrSize], kLdrEntry);
  r.push_back(std::move(ldr));

  Region entry{kLdrEntry, Bytes(0x100, 0)};
  const std::uintptr_t head = kLdr + layout::kLdrInLoadOrderOffset;
  PutPtr(&entry.bytes[0], head);  // the only entry: links back to the list head
  PutPtr(&entry.bytes[kPtrSize], head);
  const std::size_t dllBase = kPtrSize == 8 ? 0x30 : 0x18;
  PutPtr(&entry.bytes[dllBase], base);
  PutPtr(&entry.bytes[dllBase + kPtrSize], base + 0x1000);  // EntryPoint
  Put32(&entry.bytes[dllBase + 2 * kPtrSize], size);        // SizeOfImage
  const std::size_t fullName = layout::kLdrEntryFullNameBufferOffset - kPtrSize;  // UNICODE_STRING
  Put16(&entry.bytes[fullName], static_cast<std::uint16_t>(wide.size() * 2));
  Put16(&entry.bytes[fullName + 2], static_cast<std::uint16_t>(wide.size() * 2 + 2));
  PutPtr(&entry.bytes[layout::kLdrEntryFullNameBufferOffset], kNameBuffer);
  const std::size_t baseName = layout::kLdrEntryFullNameBufferOffset + kPtrSize;
  std::size_t slash = wide.find_last_of(u'\\');
  std::size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
  Put16(&entry.bytes[baseName], static_cast<std::uint16_t>((wide.size() - nameStart) * 2));
  Put16(&entry.bytes[baseName + 2], static_cast<std::uint16_t>((wide.size() - nameStart) * 2 + 2));
  PutPtr(&entry.bytes[baseName + kPtrSize], kNameBuffer + nameStart * 2);
  r.push_back(std::move(entry));

  Region name{kNameBuffer, Bytes(kNameRegion, 0)};
  for (std::size_t i = 0; i < wide.size(); ++i) Put16(&name.bytes[2 * i], wide[i]);
  r.push_back(std::move(name));
  return r;
}
}  // namespace

bool SimMachine::Impl::ReadMemory(const Process& p, std::uintptr_t address, void* buffer, std::size_t size,
                                  std::size_t* read) {
  if (read) *read = 0;
  for (const auto& region : MemoryOf(p)) {
    if (address < region.base || address >= region.base + region.bytes.size()) continue;
    std::size_t offset = address - region.base;
    std::size_t n = std::min(size, region.bytes.size() - offset);
    std::memcpy(buffer, region.bytes.data() + offset, n);
    if (read) *read = n;
    if (n < size) {
      SetError(kErrPartialCopy);
      return false;
    }
    SetError(0);
    return true;
  }
  SetError(kErrPartialCopy);
  return false;
}

// ------------------------------------------------------------- toolhelp ----
Handle SimMachine::Impl::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t pid) {
  auto g = Enter("CreateToolhelp32Snapshot");
  auto snap = std::make_shared<SnapshotData>();
  std::vector<const Process*> listed;
  for (const auto& p : st.processes)
    if (p.alive && !p.hiddenFromToolhelp && p.pid != st.selfPid) listed.push_back(&p);
  if (Process* self = Self(); self && self->alive && !self->hiddenFromToolhelp) listed.push_back(self);  // newest last
  if (flags & th32::SnapProcess) {
    for (const Process* p : listed) {
      ProcessEntry32 e;
      e.th32ProcessID = p->pid;
      e.cntThreads = static_cast<std::uint32_t>(std::count_if(p->threads.begin(), p->threads.end(),
                                                              [](const Thread& t) { return t.alive; }));
      e.th32ParentProcessID = p->parentPid;
      e.pcPriClassBase = 8;
      e.szExeFile = p->exeName.substr(0, 259);
      snap->processes.push_back(e);
    }
  }
  if (flags & th32::SnapThread) {
    for (const Process* p : listed)
      for (const auto& t : p->threads)
        if (t.alive) snap->threads.push_back({t.tid, p->pid, t.basePriority});
  }
  if (flags & th32::SnapModule) {
    Process* p = pid == 0 ? Self() : LiveProc(pid);
    if (!p) {
      SetError(err::InvalidParameter);
      return kInvalidHandle;
    }
    if (p->pid != st.selfPid && p->protection != Protection::None) {
      SetError(err::AccessDenied);
      return kInvalidHandle;
    }
    if (p->moduleSnapshotFails || p->modulesUnreadable) {
      SetError(kErrPartialCopy);
      return kInvalidHandle;
    }
    for (const auto& mod : p->modules) {
      ModuleEntry32 e;
      e.th32ProcessID = p->pid;
      e.modBaseAddr = mod.base;
      e.modBaseSize = mod.size;
      e.hModule = mod.base;
      e.szModule = mod.name.substr(0, 255);
      e.szExePath = mod.path.substr(0, 259);
      snap->modules.push_back(e);
    }
  }
  HandleObj o;
  o.kind = HKind::Snapshot;
  o.access = 0x1F0FFF;
  o.snap = snap;
  SetError(0);
  return NewHandle(o);
}

namespace {
// One step of a snapshot walk; returns the Win32 error (0 when an entry was taken).
template <typename T>
std::uint32_t SnapStep(HandleObj* o, std::vector<T> SnapshotData::*list, std::size_t SnapshotData::*pos, bool first,
                       T& out) {
  if (!o) return err::InvalidHandle;
  SnapshotData& s = *o->snap;
  if (first) s.*pos = 0;
  if (s.*pos >= (s.*list).size()) return err::NoMoreFiles;
  out = (s.*list)[(s.*pos)++];
  return 0;
}
}  // namespace

bool SimMachine::Impl::Process32First(Handle snap, ProcessEntry32& e) {
  auto g = Enter("Process32First");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::processes, &SnapshotData::pPos, true, e);
  SetError(e32);
  return e32 == 0;
}
bool SimMachine::Impl::Process32Next(Handle snap, ProcessEntry32& e) {
  auto g = Enter("Process32Next");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::processes, &SnapshotData::pPos, false, e);
  SetError(e32);
  return e32 == 0;
}
bool SimMachine::Impl::Module32First(Handle snap, ModuleEntry32& e) {
  auto g = Enter("Module32First");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::modules, &SnapshotData::mPos, true, e);
  SetError(e32);
  return e32 == 0;
}
bool SimMachine::Impl::Module32Next(Handle snap, ModuleEntry32& e) {
  auto g = Enter("Module32Next");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::modules, &SnapshotData::mPos, false, e);
  SetError(e32);
  return e32 == 0;
}
bool SimMachine::Impl::Thread32First(Handle snap, ThreadEntry32& e) {
  auto g = Enter("Thread32First");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::threads, &SnapshotData::tPos, true, e);
  SetError(e32);
  return e32 == 0;
}
bool SimMachine::Impl::Thread32Next(Handle snap, ThreadEntry32& e) {
  auto g = Enter("Thread32Next");
  std::uint32_t e32 = SnapStep(Get(snap, HKind::Snapshot), &SnapshotData::threads, &SnapshotData::tPos, false, e);
  SetError(e32);
  return e32 == 0;
}

// ----------------------------------------------------------------- opens ----
Handle SimMachine::Impl::OpenProcess(std::uint32_t access, bool inherit, std::uint32_t pid) {
  auto g = Enter("OpenProcess");
  Process* p = pid == 0 ? nullptr : OpenableProc(pid);
  if (!p) {
    SetError(err::InvalidParameter);
    return 0;
  }
  if (p->pid != st.selfPid && p->protection != Protection::None) {
    SetError(err::AccessDenied);
    return 0;
  }
  HandleObj o;
  o.kind = HKind::Process;
  o.pid = p->pid;
  o.access = MapProcessAccess(access);
  o.inherit = inherit;
  SetError(0);
  return NewHandle(o);
}

Handle SimMachine::Impl::OpenThread(std::uint32_t access, bool inherit, std::uint32_t tid) {
  auto g = Enter("OpenThread");
  auto [p, t] = FindThreadById(tid);
  if (!t) {
    SetError(err::InvalidParameter);
    return 0;
  }
  HandleObj o;
  o.kind = HKind::Thread;
  o.pid = p->pid;
  o.tid = t->tid;
  o.access = MapThreadAccess(access);
  o.inherit = inherit;
  SetError(0);
  return NewHandle(o);
}

// ----------------------------------------------------------- termination ----
NTSTATUS SimMachine::Impl::TerminateProc(Process& p, std::uint32_t code) {
  EndProcess(p.pid, code);
  jobOfProcess.erase(p.pid);
  return status::Success;
}

bool SimMachine::Impl::TerminateProcess(Handle process, std::uint32_t exitCode) {
  auto g = Enter("TerminateProcess");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, access::ProcessTerminate, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (!p->alive || p->resistTerminateProcess) {
    SetError(err::AccessDenied);
    return false;
  }
  TerminateProc(*p, exitCode);
  SetError(0);
  return true;
}

bool SimMachine::Impl::TerminateThread(Handle thread, std::uint32_t exitCode) {
  auto g = Enter("TerminateThread");
  NTSTATUS s = 0;
  auto [p, t] = ThreadFromHandle(thread, access::ThreadTerminate, s);
  if (!t) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (!t->alive || t->resistTerminate) {
    SetError(err::AccessDenied);
    return false;
  }
  t->alive = false;
  t->exitStatus = static_cast<std::int32_t>(exitCode);
  if (std::none_of(p->threads.begin(), p->threads.end(), [](const Thread& x) { return x.alive; }))
    TerminateProc(*p, exitCode);  // the last thread ends the process
  SetError(0);
  return true;
}

bool SimMachine::Impl::GetExitCodeProcess(Handle process, std::uint32_t* code) {
  auto g = Enter("GetExitCodeProcess");
  HandleObj* o = Get(process);
  if (o && o->kind == HKind::Process && !(o->access & (kQuery | kQueryLimited))) {
    SetError(err::AccessDenied);
    return false;
  }
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, 0, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (code) *code = p->alive ? 259 : p->exitCode;
  SetError(0);
  return true;
}

// -------------------------------------------------------------- psapi ----
namespace {
const Module* ModuleOf(const Process& p, Handle module) {
  if (p.modules.empty()) return nullptr;
  if (module == 0) return &p.modules.front();
  for (const auto& m : p.modules)
    if (m.base == module) return &m;
  return nullptr;
}

std::string Cut(const std::string& s, std::uint32_t capacity) {
  if (capacity == 0) return "";
  return s.substr(0, capacity - 1);
}
}  // namespace

bool SimMachine::Impl::EnumProcessModules(Handle process, Handle* modules, std::uint32_t cb, std::uint32_t* needed) {
  auto g = Enter("EnumProcessModules");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kQuery | kVmRead, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (!p->alive || p->modulesUnreadable || p->modules.empty()) {
    SetError(kErrPartialCopy);
    return false;
  }
  const std::size_t n = p->modules.size();
  if (needed) *needed = static_cast<std::uint32_t>(n * sizeof(Handle));
  const std::size_t room = modules ? cb / sizeof(Handle) : 0;
  for (std::size_t i = 0; i < n && i < room; ++i) modules[i] = p->modules[i].base;
  SetError(0);
  return true;
}

std::string SimMachine::Impl::GetModuleFileNameExA(Handle process, Handle module, std::uint32_t capacity) {
  auto g = Enter("GetModuleFileNameExA");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kQuery | kVmRead, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return "";
  }
  if (!p->alive || p->modulesUnreadable) {
    SetError(kErrPartialCopy);
    return "";
  }
  const Module* m = ModuleOf(*p, module);
  if (!m) {
    SetError(err::InvalidHandle);
    return "";
  }
  if (p->imagePathUnreadable && m == &p->modules.front()) {
    SetError(kErrPartialCopy);
    return "";
  }
  if (capacity == 0) {
    SetError(err::InsufficientBuffer);
    return "";
  }
  SetError(m->path.size() >= capacity ? err::InsufficientBuffer : 0);
  return Cut(m->path, capacity);
}

std::string SimMachine::Impl::GetProcessImageFileNameA(Handle process, std::uint32_t capacity) {
  auto g = Enter("GetProcessImageFileNameA");
  HandleObj* o = Get(process);
  if (o && o->kind == HKind::Process && !(o->access & (kQuery | kQueryLimited))) {
    SetError(err::AccessDenied);
    return "";
  }
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, 0, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return "";
  }
  if (p->imagePathUnreadable || p->imagePath.empty()) {
    SetError(p->imagePathUnreadable ? kErrPartialCopy : err::InvalidParameter);
    return "";
  }
  std::string native = p->nativeImagePath.empty() ? NativePathOf(p->imagePath) : p->nativeImagePath;
  if (capacity == 0 || native.size() >= capacity) {
    SetError(err::InsufficientBuffer);
    return "";
  }
  SetError(0);
  return native;
}

bool SimMachine::Impl::GetModuleInformation(Handle process, Handle module, ModuleInfo& out) {
  auto g = Enter("GetModuleInformation");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kQuery | kVmRead, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (!p->alive || p->modulesUnreadable) {
    SetError(kErrPartialCopy);
    return false;
  }
  const Module* m = ModuleOf(*p, module);
  if (!m) {
    SetError(err::InvalidHandle);
    return false;
  }
  out.lpBaseOfDll = m->base;
  out.SizeOfImage = m->size;
  out.EntryPoint = m->base + 0x1000;
  SetError(0);
  return true;
}

bool SimMachine::Impl::ReadProcessMemory(Handle process, std::uintptr_t address, void* buffer, std::size_t size,
                                         std::size_t* read) {
  auto g = Enter("ReadProcessMemory");
  if (read) *read = 0;
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kVmRead, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  if (!p->alive || p->memoryUnreadable) {
    SetError(kErrPartialCopy);
    return false;
  }
  return ReadMemory(*p, address, buffer, size, read);
}

bool SimMachine::Impl::DuplicateHandle(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                                       std::uint32_t access, bool inherit, std::uint32_t options) {
  auto g = Enter("DuplicateHandle");
  NTSTATUS s = Duplicate(sourceProcess, source, targetProcess, target, access, inherit ? 2u : 0u, options & 3u);
  SetError(DosErrorOf(s));
  return s == status::Success;
}

bool SimMachine::Impl::SetProcessWorkingSetSize(Handle process, std::uintptr_t, std::uintptr_t) {
  auto g = Enter("SetProcessWorkingSetSize");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kSetQuota, s);
  if (!p) {
    SetError(DosErrorOf(s));
    return false;
  }
  SetError(0);
  return true;
}

Handle SimMachine::Impl::GetCurrentProcess() {
  auto g = Enter("GetCurrentProcess");
  return kCurrentProcess;
}

// --------------------------------------------------------------- windows ----
namespace {
Window* WindowOf(MachineState& st, Handle hwnd) {
  if (hwnd == 0) return nullptr;
  for (auto& w : st.windows)
    if (w.hwnd == hwnd) return &w;
  return nullptr;
}
}  // namespace

Handle SimMachine::Impl::FindWindowA(const char* className, const char* title) {
  auto g = Enter("FindWindowA", true);
  for (const auto& w : st.windows) {
    if (w.parent != 0) continue;
    if (className && !IEquals(w.className, className)) continue;
    if (title && !IEquals(w.title, title)) continue;
    SetError(0);
    return w.hwnd;
  }
  SetError(err::FileNotFound);
  return 0;
}

Handle SimMachine::Impl::GetParent(Handle hwnd) {
  auto g = Enter("GetParent", true);
  Window* w = WindowOf(st, hwnd);
  if (!w) {
    SetError(kErrInvalidWindow);
    return 0;
  }
  SetError(0);
  return w->parent;
}

Handle SimMachine::Impl::GetWindow(Handle hwnd, std::uint32_t relation) {
  auto g = Enter("GetWindow", true);
  Window* w = WindowOf(st, hwnd);
  if (!w) {
    SetError(kErrInvalidWindow);
    return 0;
  }
  SetError(0);
  std::vector<Handle> level;  // windows that share the parent, in z-order
  for (const auto& x : st.windows)
    if (x.parent == w->parent) level.push_back(x.hwnd);
  auto it = std::find(level.begin(), level.end(), hwnd);
  switch (relation) {
    case 0: return level.front();                                      // GW_HWNDFIRST
    case 1: return level.back();                                       // GW_HWNDLAST
    case 2: return (it + 1 == level.end()) ? 0 : *(it + 1);            // GW_HWNDNEXT
    case 3: return it == level.begin() ? 0 : *(it - 1);                // GW_HWNDPREV
    case 4: return 0;                                                  // GW_OWNER
    case 5:                                                            // GW_CHILD
      for (const auto& x : st.windows)
        if (x.parent == hwnd) return x.hwnd;
      return 0;
    default: SetError(err::InvalidParameter); return 0;
  }
}

std::uint32_t SimMachine::Impl::GetWindowThreadProcessId(Handle hwnd, std::uint32_t* pid) {
  auto g = Enter("GetWindowThreadProcessId", true);
  Window* w = WindowOf(st, hwnd);
  if (!w) {
    SetError(kErrInvalidWindow);
    return 0;
  }
  if (pid) *pid = w->ownerPid;
  SetError(0);
  return w->ownerTid;
}

bool SimMachine::Impl::PostMessageA(Handle hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  auto g = Enter("PostMessageA", true);
  Window* w = WindowOf(st, hwnd);
  if (!w) {
    SetError(kErrInvalidWindow);
    return false;
  }
  w->posted.push_back(msg);
  st.posted.push_back({hwnd, msg, wParam, lParam});
  if (msg == 16 && w->closeEndsProcess) pendingClose.push_back(w->ownerPid);
  SetError(0);
  return true;
}

}  // namespace tv::sim
