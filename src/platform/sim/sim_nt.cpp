// The native interface of the simulated machine: system information classes, native opens,
// handle duplication, process and thread queries, termination, jobs, privileges, object names.
#include <algorithm>
#include <cstring>

#include "platform/layouts.h"
#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kQuery = 0x400, kQueryLimited = 0x1000, kDupHandle = 0x40, kVmOperation = 0x8;
constexpr std::uint32_t kThreadQuery = 0x40, kThreadQueryLimited = 0x800;
constexpr std::uintptr_t kKernelBase = kPtrSize == 8 ? 0xFFFFFA8000000000ull : 0x81000000u;

std::uint32_t Fnv(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (char c : s) h = (h ^ static_cast<std::uint8_t>(std::tolower(static_cast<unsigned char>(c)))) * 16777619u;
  return h;
}

std::uintptr_t ObjectAddress(int space, std::uint32_t id) {
  return kKernelBase + static_cast<std::uintptr_t>(space) * 0x1000000u + static_cast<std::uintptr_t>(id & 0xFFFFF) * 0x10;
}

void Store(std::uint32_t* p, std::uint32_t v) {
  if (p) *p = v;
}
}  // namespace

// --------------------------------------------------- system information ----
NTSTATUS SimMachine::Impl::NtQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                                    std::uint32_t* returnLength) {
  auto g = Enter("NtQuerySystemInformation");
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::uint64_t elapsed = static_cast<std::uint64_t>(st.tickCount) * 10000;  // 100 ns since boot
  for (std::uint32_t refused : st.failingInfoClasses)
    if (refused == infoClass) return status::Unsuccessful;
  switch (infoClass) {
    case sysinfo::Basic: {
      const std::size_t size = layout::kSystemBasicInformationSize;
      Store(returnLength, static_cast<std::uint32_t>(size));
      if (length != size || !out) return status::InfoLengthMismatch;
      std::memset(out, 0, size);
      Put32(out + 4, 156250);     // TimerResolution
      Put32(out + 8, 4096);       // PageSize
      Put32(out + 12, 262000);    // NumberOfPhysicalPages
      Put32(out + 16, 1);         // LowestPhysicalPageNumber
      Put32(out + 20, 262143);    // HighestPhysicalPageNumber
      Put32(out + 24, 65536);     // AllocationGranularity
      const std::size_t p = kPtrSize == 8 ? 32 : 28;
      PutPtr(out + p, 0x10000);
      PutPtr(out + p + kPtrSize, kPtrSize == 8 ? 0x7FFFFFEFFFFull : 0x7FFEFFFFu);
      const std::uint8_t n = st.processorCount ? st.processorCount : 1;
      PutPtr(out + p + 2 * kPtrSize, n >= 8 * kPtrSize ? ~std::uintptr_t(0) : (std::uintptr_t(1) << n) - 1);
      out[layout::kSystemBasicNumberOfProcessorsOffset] = n;
      return status::Success;
    }
    case sysinfo::Performance: {
      const std::size_t size = layout::kSystemPerformanceInformationSize;
      Store(returnLength, static_cast<std::uint32_t>(size));
      if (length != size || !out) return status::InfoLengthMismatch;
      std::memset(out, 0, size);
      const std::uint32_t load = std::min<std::uint32_t>(st.cpuLoad, 100);
      const std::uint8_t n = st.processorCount ? st.processorCount : 1;
      Put64(out, elapsed * n * (100 - load) / 100);  // IdleTime
      return status::Success;
    }
    case sysinfo::TimeOfDay: {
      const std::size_t size = layout::kSystemTimeOfDayInformationSize;
      Store(returnLength, static_cast<std::uint32_t>(size));
      if (length != size || !out) return status::InfoLengthMismatch;
      std::memset(out, 0, size);
      const std::uint64_t boot = 134089920000000000ull;  // 2025-12-01 00:00 UTC as a FILETIME
      Put64(out, boot);
      Put64(out + 8, boot + elapsed);
      return status::Success;
    }
    case sysinfo::Module: {
      const std::size_t entry = sizeof(layout::SystemModuleEntry);
      const std::size_t n = st.kernelModules.size();
      const std::size_t needed = layout::kModuleEntriesOffset + n * entry;
      Store(returnLength, static_cast<std::uint32_t>(needed));
      if (out && length >= 4) Put32(out, static_cast<std::uint32_t>(n));
      for (std::size_t i = 0; i < n && out; ++i) {
        const std::size_t at = layout::kModuleEntriesOffset + i * entry;
        if (at + entry > length) break;
        layout::SystemModuleEntry e{};
        const Module& mod = st.kernelModules[i];
        e.ImageBase = mod.base;
        e.ImageSize = mod.size;
        e.Flags = 0x08804000;
        e.LoadOrderIndex = static_cast<std::uint16_t>(i);
        e.LoadCount = 1;
        std::string path = mod.path.substr(0, sizeof(e.FullPathName) - 1);
        auto slash = path.find_last_of('\\');
        e.OffsetToFileName = static_cast<std::uint16_t>(slash == std::string::npos ? 0 : slash + 1);
        std::memcpy(e.FullPathName, path.c_str(), path.size() + 1);
        std::memcpy(out + at, &e, entry);
      }
      return length < needed ? status::InfoLengthMismatch : status::Success;
    }
    case sysinfo::Handle: {
      const std::size_t entry = sizeof(layout::SystemHandleEntry);
      std::size_t own = 0;
      for (const auto& [h, o] : handles)
        if (InHandleTable(o)) ++own;
      const std::size_t n = st.handles.size() + st.rawOwners.size() + own;
      const std::size_t needed = layout::kHandleEntriesOffset + n * entry;
      Store(returnLength, static_cast<std::uint32_t>(std::min<std::size_t>(needed, 0xFFFFFFFFu)));
      if (out && length >= 4) Put32(out, static_cast<std::uint32_t>(n));
      std::size_t i = 0;
      auto put = [&](const layout::SystemHandleEntry& e) {
        const std::size_t at = layout::kHandleEntriesOffset + i * entry;
        if (out && at + entry <= length) std::memcpy(out + at, &e, entry);
        ++i;
      };
      if (out) {
        for (const auto& fh : st.handles) {
          layout::SystemHandleEntry e{};
          e.UniqueProcessId = static_cast<std::uint16_t>(fh.ownerPid);
          e.ObjectTypeIndex = fh.type;
          e.HandleValue = fh.value;
          e.Object = fh.type == st.processObjectType  ? ObjectAddress(1, fh.targetPid)
                     : fh.type == st.threadObjectType ? ObjectAddress(2, fh.targetTid)
                                                       : ObjectAddress(3, Fnv(fh.objectName));
          e.GrantedAccess = fh.grantedAccess;
          put(e);
          if (layout::kHandleEntriesOffset + i * entry > length) break;
        }
        for (std::size_t r = 0; r < st.rawOwners.size(); ++r) {
          layout::SystemHandleEntry e{};
          e.UniqueProcessId = static_cast<std::uint16_t>(st.rawOwners[r]);
          e.ObjectTypeIndex = st.fileObjectType;
          e.HandleValue = static_cast<std::uint16_t>(0xFFF0 - 4 * r);
          e.Object = ObjectAddress(3, Fnv("\\Device\\RawIp"));
          e.GrantedAccess = 0x12019F;
          put(e);
        }
        for (const auto& [h, o] : handles) {
          if (!InHandleTable(o)) continue;
          layout::SystemHandleEntry e{};
          e.UniqueProcessId = static_cast<std::uint16_t>(st.selfPid);
          e.ObjectTypeIndex = TypeNumberOf(o);
          e.HandleAttributes = o.inherit ? 2 : 0;
          e.HandleValue = static_cast<std::uint16_t>(h);
          e.Object = o.kind == HKind::Process   ? ObjectAddress(1, o.pid)
                     : o.kind == HKind::Thread  ? ObjectAddress(2, o.tid)
                     : o.kind == HKind::Object || o.kind == HKind::Transport
                         ? ObjectAddress(3, Fnv(o.path))
                         : ObjectAddress(4, static_cast<std::uint32_t>(h));
          e.GrantedAccess = o.access;
          put(e);
        }
      }
      return length < needed ? status::InfoLengthMismatch : status::Success;
    }
    default: return xstatus::InvalidInfoClass;
  }
}

// ----------------------------------------------------------------- opens ----
NTSTATUS SimMachine::Impl::NtOpenProcess(Handle* process, std::uint32_t access, const ObjectAttributes& oa,
                                         const ClientId& cid) {
  auto g = Enter("NtOpenProcess");
  if (!process) return status::InvalidParameter;
  *process = 0;
  Process* p = nullptr;
  if (cid.UniqueThread != 0) {
    auto [tp, t] = FindThreadById(static_cast<std::uint32_t>(cid.UniqueThread));
    if (!t || (cid.UniqueProcess != 0 && (tp->pid & ~3u) != (cid.UniqueProcess & ~std::uintptr_t(3))))
      return status::InvalidCid;
    p = tp;
  } else {
    p = cid.UniqueProcess == 0 ? nullptr : OpenableProc(static_cast<std::uint32_t>(cid.UniqueProcess));
  }
  if (!p) return status::InvalidCid;
  if (p->pid != st.selfPid && p->protection == Protection::DenyAll) return status::AccessDenied;
  HandleObj o;
  o.kind = HKind::Process;
  o.pid = p->pid;
  o.access = (access & 0x02000000u) ? 0x1FFFFF : access;
  o.inherit = (oa.Attributes & 2) != 0;
  *process = NewHandle(o);
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtOpenThread(Handle* thread, std::uint32_t access, const ObjectAttributes& oa,
                                        const ClientId& cid) {
  auto g = Enter("NtOpenThread");
  if (!thread) return status::InvalidParameter;
  *thread = 0;
  auto [p, t] = FindThreadById(static_cast<std::uint32_t>(cid.UniqueThread));
  if (!t) return status::InvalidCid;
  if (cid.UniqueProcess != 0 && (p->pid & ~3u) != (cid.UniqueProcess & ~std::uintptr_t(3))) return status::InvalidCid;
  HandleObj o;
  o.kind = HKind::Thread;
  o.pid = p->pid;
  o.tid = t->tid;
  o.access = (access & 0x02000000u) ? 0x1FFFFF : access;
  o.inherit = (oa.Attributes & 2) != 0;
  *thread = NewHandle(o);
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtClose(Handle h) {
  auto g = Enter("NtClose");
  if (h == kCurrentProcess || h == kCurrentThread) return status::Success;
  HandleObj* o = Get(h);
  if (!o || !InHandleTable(*o)) return status::InvalidHandle;
  Close(h);
  return status::Success;
}

// ----------------------------------------------------------- duplication ----
const ForeignHandle* SimMachine::Impl::FindForeign(std::uint32_t owner, Handle value, std::size_t* index) {
  if (value > 0xFFFF) return nullptr;
  const std::uint64_t key = (static_cast<std::uint64_t>(owner) << 16) | value;
  auto lookup = [&]() -> const ForeignHandle* {
    auto it = foreignIndex.find(key);
    if (it == foreignIndex.end() || it->second >= st.handles.size()) return nullptr;
    const ForeignHandle& fh = st.handles[it->second];
    if (fh.ownerPid != owner || fh.value != value) return nullptr;
    *index = it->second;
    return &fh;
  };
  if (const ForeignHandle* fh = lookup()) return fh;
  foreignIndex.clear();
  for (std::size_t i = 0; i < st.handles.size(); ++i)
    foreignIndex.emplace((static_cast<std::uint64_t>(st.handles[i].ownerPid) << 16) | st.handles[i].value, i);
  return lookup();
}

NTSTATUS SimMachine::Impl::Duplicate(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                                     std::uint32_t access, std::uint32_t attributes, std::uint32_t options) {
  if (target) *target = 0;
  NTSTATUS s = 0;
  Process* sp = ProcFromHandle(sourceProcess, kDupHandle, s);
  if (!sp) return s;
  HandleObj obj;
  std::uint32_t sourceAccess = 0;
  bool sourceInherit = false;
  if (sp->pid == st.selfPid) {
    if (source == kCurrentProcess) {
      obj.kind = HKind::Process;
      obj.pid = st.selfPid;
      sourceAccess = 0x1FFFFF;
    } else if (source == kCurrentThread) {
      Process* self = Self();
      if (!self || self->threads.empty()) return status::InvalidHandle;
      obj.kind = HKind::Thread;
      obj.pid = st.selfPid;
      obj.tid = self->threads.front().tid;
      sourceAccess = 0x1FFFFF;
    } else {
      HandleObj* o = Get(source);
      if (!o || !InHandleTable(*o)) return status::InvalidHandle;
      obj = *o;
      sourceAccess = o->access;
      sourceInherit = o->inherit;
      if (options & 1) Close(source);
    }
  } else {
    std::size_t index = 0;
    const ForeignHandle* fh = nullptr;
    ForeignHandle raw;
    for (std::size_t r = 0; r < st.rawOwners.size() && !fh; ++r)
      if (st.rawOwners[r] == sp->pid && source == 0xFFF0 - 4 * r) {
        raw.ownerPid = sp->pid;
        raw.value = static_cast<std::uint16_t>(source);
        raw.type = st.fileObjectType;
        raw.objectName = "\\Device\\RawIp";
        raw.grantedAccess = 0x12019F;
        fh = &raw;
      }
    if (!fh) fh = FindForeign(sp->pid, source, &index);
    if (!fh) return status::InvalidHandle;
    if (fh->type == st.processObjectType) {
      obj.kind = HKind::Process;
      obj.pid = fh->targetPid;
    } else if (fh->type == st.threadObjectType) {
      obj.kind = HKind::Thread;
      obj.tid = fh->targetTid;
      if (auto [owner, t] = FindThreadById(fh->targetTid); t) obj.pid = owner->pid;
    } else {
      obj.kind = HKind::Object;
      obj.objectType = fh->type;
      obj.path = fh->objectName;
      obj.share = fh->shareMode;  // the same file object: its sharing goes with every handle to it
      obj.nameQueryBlocks = fh->nameQueryBlocks;
    }
    sourceAccess = fh->grantedAccess;
    if ((options & 1) && fh != &raw) st.handles.erase(st.handles.begin() + static_cast<std::ptrdiff_t>(index));
  }
  if (targetProcess == 0) return (options & 1) ? status::Success : status::InvalidHandle;
  Process* tp = ProcFromHandle(targetProcess, kDupHandle, s);
  if (!tp) return s;
  if (tp->pid != st.selfPid) return status::NotSupported;  // only copies into the tool are simulated
  if (!target) return status::InvalidParameter;
  obj.access = (options & 2) ? sourceAccess : ((access & 0x02000000u) ? 0x1FFFFF : access);
  obj.inherit = (options & 4) ? sourceInherit : (attributes & 2) != 0;
  obj.pos = 0;
  *target = NewHandle(obj);
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtDuplicateObject(Handle sourceProcess, Handle source, Handle targetProcess,
                                             Handle* target, std::uint32_t access, std::uint32_t attributes,
                                             std::uint32_t options) {
  auto g = Enter("NtDuplicateObject");
  return Duplicate(sourceProcess, source, targetProcess, target, access, attributes, options);
}

// --------------------------------------------------- process, thread info ----
NTSTATUS SimMachine::Impl::NtQueryInformationProcess(Handle process, std::uint32_t infoClass, void* buffer,
                                                     std::uint32_t length, std::uint32_t* returnLength) {
  auto g = Enter("NtQueryInformationProcess");
  if (infoClass != procinfo::Basic) return xstatus::InvalidInfoClass;
  const std::size_t size = sizeof(layout::ProcessBasicInformation);
  if (length != size) return status::InfoLengthMismatch;
  HandleObj* o = Get(process);
  if (o && o->kind == HKind::Process && !(o->access & (kQuery | kQueryLimited))) return status::AccessDenied;
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, 0, s);
  if (!p) return s;
  layout::ProcessBasicInformation info{};
  info.ExitStatus = p->alive ? 259 : static_cast<std::intptr_t>(static_cast<std::int32_t>(p->exitCode));
  std::size_t read = 0;
  std::uint8_t probe = 0;
  info.PebBaseAddress = ReadMemory(*p, kPtrSize == 8 ? 0x000007FFFFFD5000ull : 0x7FFDF000u, &probe, 1, &read)
                            ? (kPtrSize == 8 ? 0x000007FFFFFD5000ull : 0x7FFDF000u)
                            : 0;
  info.AffinityMask = 1;
  info.BasePriority = 8;
  info.UniqueProcessId = p->pid;
  info.InheritedFromUniqueProcessId = p->parentPid;
  std::memcpy(buffer, &info, size);
  Store(returnLength, static_cast<std::uint32_t>(size));
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtQueryInformationThread(Handle thread, std::uint32_t infoClass, void* buffer,
                                                    std::uint32_t length, std::uint32_t* returnLength) {
  auto g = Enter("NtQueryInformationThread");
  std::size_t size = 0;
  if (infoClass == threadinfo::Basic) size = sizeof(layout::ThreadBasicInformation);
  else if (infoClass == threadinfo::QuerySetWin32StartAddress) size = kPtrSize;
  else return xstatus::InvalidInfoClass;
  if (length != size) return status::InfoLengthMismatch;
  HandleObj* o = Get(thread);
  if (o && o->kind == HKind::Thread && !(o->access & (kThreadQuery | kThreadQueryLimited))) return status::AccessDenied;
  NTSTATUS s = 0;
  auto [p, t] = ThreadFromHandle(thread, 0, s);
  if (!t) return s;
  if (infoClass == threadinfo::Basic) {
    layout::ThreadBasicInformation info{};
    info.ExitStatus = t->exitStatus;
    info.TebBaseAddress = t->teb;
    info.UniqueProcess = p->pid;
    info.UniqueThread = t->tid;
    info.AffinityMask = t->affinity;
    info.Priority = t->priority;
    info.BasePriority = t->basePriority;
    std::memcpy(buffer, &info, size);
  } else {
    PutPtr(static_cast<std::uint8_t*>(buffer), t->startAddress);
  }
  Store(returnLength, static_cast<std::uint32_t>(size));
  return status::Success;
}

// ----------------------------------------------------------- termination ----
NTSTATUS SimMachine::Impl::NtTerminateProcess(Handle process, NTSTATUS exitStatus) {
  auto g = Enter("NtTerminateProcess");
  if (process == 0) return status::InvalidHandle;
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, access::ProcessTerminate, s);
  if (!p) return s;
  if (!p->alive) return status::ProcessIsTerminating;
  if (p->resistNtTerminate) return status::AccessDenied;
  return TerminateProc(*p, static_cast<std::uint32_t>(exitStatus));
}

NTSTATUS SimMachine::Impl::NtTerminateThread(Handle thread, NTSTATUS exitStatus) {
  auto g = Enter("NtTerminateThread");
  if (thread == 0) return status::InvalidHandle;
  NTSTATUS s = 0;
  auto [p, t] = ThreadFromHandle(thread, access::ThreadTerminate, s);
  if (!t) return s;
  if (!t->alive) return xstatus::ThreadIsTerminating;
  t->alive = false;
  t->exitStatus = exitStatus;
  if (std::none_of(p->threads.begin(), p->threads.end(), [](const Thread& x) { return x.alive; }))
    TerminateProc(*p, static_cast<std::uint32_t>(exitStatus));
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtCreateJobObject(Handle* job, std::uint32_t access, const ObjectAttributes&) {
  auto g = Enter("NtCreateJobObject");
  if (!job) return status::InvalidParameter;
  jobs.push_back({});
  HandleObj o;
  o.kind = HKind::Job;
  o.index = jobs.size() - 1;
  o.access = (access & 0x02000000u) ? access::JobAllAccess : access;
  *job = NewHandle(o);
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtAssignProcessToJobObject(Handle job, Handle process) {
  auto g = Enter("NtAssignProcessToJobObject");
  HandleObj* j = Get(job);
  if (!j) return status::InvalidHandle;
  if (j->kind != HKind::Job) return status::ObjectTypeMismatch;
  if (!(j->access & 0x1)) return status::AccessDenied;  // JOB_OBJECT_ASSIGN_PROCESS
  const std::size_t index = j->index;
  NTSTATUS s = 0;
  // Windows asks for PROCESS_SET_QUOTA and PROCESS_TERMINATE on the process handle.
  Process* p = ProcFromHandle(process, 0x100 | access::ProcessTerminate, s);
  if (!p) return s;
  if (!p->alive) return status::ProcessIsTerminating;
  if (p->resistJob || jobOfProcess.count(p->pid)) return status::AccessDenied;
  jobOfProcess[p->pid] = index;
  jobs[index].pids.push_back(p->pid);
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtTerminateJobObject(Handle job, NTSTATUS exitStatus) {
  auto g = Enter("NtTerminateJobObject");
  HandleObj* j = Get(job);
  if (!j) return status::InvalidHandle;
  if (j->kind != HKind::Job) return status::ObjectTypeMismatch;
  if (!(j->access & 0x8)) return status::AccessDenied;  // JOB_OBJECT_TERMINATE
  auto pids = jobs[j->index].pids;
  jobs[j->index].pids.clear();
  for (auto pid : pids)
    if (Process* p = LiveProc(pid)) TerminateProc(*p, static_cast<std::uint32_t>(exitStatus));
  return status::Success;
}

NTSTATUS SimMachine::Impl::NtUnmapViewOfSection(Handle process, std::uintptr_t base) {
  auto g = Enter("NtUnmapViewOfSection");
  NTSTATUS s = 0;
  Process* p = ProcFromHandle(process, kVmOperation, s);
  if (!p) return s;
  if (!p->alive) return status::ProcessIsTerminating;
  for (auto it = p->modules.begin(); it != p->modules.end(); ++it)
    if (it->base == base) {
      p->modules.erase(it);
      return status::Success;
    }
  return xstatus::NotMappedView;
}

NTSTATUS SimMachine::Impl::RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                              bool* wasEnabled) {
  auto g = Enter("RtlAdjustPrivilege");
  if (currentThread && !st.threadHasToken) return status::NoToken;
  if (privilege < 2 || privilege > 35) return xstatus::NoSuchPrivilege;
  if (privilege == 20 && !st.debugPrivilegeAvailable) return xstatus::PrivilegeNotHeld;
  if (wasEnabled) *wasEnabled = enabledPrivileges.count(privilege) != 0;
  if (enable) enabledPrivileges.insert(privilege);
  else enabledPrivileges.erase(privilege);
  return status::Success;
}

// ------------------------------------------------------------ files, devices ----
NTSTATUS SimMachine::Impl::NtOpenFile(Handle* file, std::uint32_t access, const ObjectAttributes& oa,
                                      IoStatusBlock* iosb, std::uint32_t shareAccess, std::uint32_t) {
  auto g = Enter("NtOpenFile");
  if (!file) return status::InvalidParameter;
  *file = 0;
  auto finish = [&](NTSTATUS s) {
    if (iosb) {
      iosb->Status = s;
      iosb->Information = s == status::Success ? 1 : 0;  // FILE_OPENED
    }
    return s;
  };
  // The 32-bit and the 64-bit OBJECT_ATTRIBUTES sizes both stand for the build's own (as in the real backend).
  if (oa.Length != 24u && oa.Length != 48u) return status::InvalidParameter;
  const std::string& name = oa.ObjectName;
  if (name.empty() || oa.RootDirectory != 0) return finish(xstatus::ObjectPathNotFound);
  for (const char* t : {"\\Device\\Tcp", "\\Device\\Udp", "\\Device\\RawIp"}) {
    if (!IEquals(name, t)) continue;
    if (!st.transportDevicesPresent) return finish(status::ObjectNameNotFound);
    HandleObj o;
    o.kind = HKind::Transport;
    o.path = t;
    o.access = access;
    o.share = shareAccess;
    *file = NewHandle(o);
    return finish(status::Success);
  }
  for (const char* prefix : {"\\Device\\", "\\??\\", "\\DosDevices\\"}) {
    if (!IStartsWith(name, prefix)) continue;
    const std::string link = "\\\\.\\" + name.substr(std::string(prefix).size());
    for (const auto& d : st.devices)
      if (IEquals(d.link, link)) {
        HandleObj o;
        o.kind = HKind::Device;
        o.path = d.link;
        o.access = access;
        o.share = shareAccess;
        *file = NewHandle(o);
        return finish(status::Success);
      }
  }
  std::string dos = DosPathOfNative(name);
  std::string c = dos.empty() ? "" : CanonicalPath(dos);
  if (c.empty() || AttributesOf(c) == fattr::Invalid) {
    std::string parent = c.empty() ? "" : c.substr(0, c.find_last_of('\\') == 2 ? 3 : c.find_last_of('\\'));
    return finish(!c.empty() && IsDirectory(parent) ? status::ObjectNameNotFound : xstatus::ObjectPathNotFound);
  }
  if (File* f = FileAt(c); f && f->denyOpen) return finish(status::AccessDenied);
  HandleObj o;
  o.kind = HKind::File;
  o.path = c;
  o.access = access;
  o.share = shareAccess;
  *file = NewHandle(o);
  return finish(status::Success);
}

NTSTATUS SimMachine::Impl::NtDeviceIoControlFile(Handle file, Handle event, IoStatusBlock* iosb, std::uint32_t code,
                                                 const void* in, std::uint32_t inLength, void* out,
                                                 std::uint32_t outLength) {
  auto g = Enter("NtDeviceIoControlFile");
  HandleObj* o = Get(file);
  if (!o) return status::InvalidHandle;
  if (event != 0 && !Get(event, HKind::Event)) return status::InvalidHandle;
  if (o->kind == HKind::Transport) return TransportIoctl(*o, iosb, code, in, inLength, out, outLength);
  if (o->kind == HKind::Device) {
    Device* d = nullptr;
    for (auto& x : st.devices)
      if (IEquals(x.link, o->path)) d = &x;
    if (!d) return status::InvalidHandle;
    DeviceRequest r;
    r.code = code;
    if (in && inLength) r.input.assign(static_cast<const std::uint8_t*>(in), static_cast<const std::uint8_t*>(in) + inLength);
    r.outSize = outLength;
    d->requests.push_back(std::move(r));
    NTSTATUS s = d->failWith ? status::Unsuccessful : status::Success;
    std::size_t n = 0;
    if (!d->failWith && out && !d->reply.empty()) {
      n = std::min<std::size_t>(d->reply.size(), outLength);
      std::memcpy(out, d->reply.data(), n);
    }
    if (iosb) {
      iosb->Status = s;
      iosb->Information = n;
    }
    return s;
  }
  return xstatus::InvalidDeviceRequest;
}

// ----------------------------------------------------------- object names ----
NTSTATUS SimMachine::Impl::NtQueryObject(Handle h, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                         std::uint32_t* returnLength) {
  auto g = Enter("NtQueryObject");
  HandleObj obj;
  if (h == kCurrentProcess) {
    obj.kind = HKind::Process;
    obj.pid = st.selfPid;
    obj.access = 0x1FFFFF;
  } else if (HandleObj* o = Get(h); o && InHandleTable(*o)) {
    obj = *o;
  } else {
    return status::InvalidHandle;
  }
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::size_t hdr = layout::kObjectNameHeaderSize;
  auto writeString = [&](std::uint8_t* at, const std::u16string& text, std::uint8_t* textAt) {
    Put16(at, static_cast<std::uint16_t>(text.size() * 2));
    Put16(at + 2, static_cast<std::uint16_t>(text.size() * 2 + 2));
    PutPtr(at + kPtrSize, reinterpret_cast<std::uintptr_t>(textAt));
    for (std::size_t i = 0; i < text.size(); ++i) Put16(textAt + 2 * i, text[i]);
    Put16(textAt + 2 * text.size(), 0);
  };
  switch (infoClass) {
    case objinfo::Name: {
      std::u16string name = Utf8ToUtf16(ObjectNameOf(obj));
      if (obj.nameQueryBlocks) {  // a synchronous pipe with a read pending: the query waits for it
        ++blocked;
        const std::uint64_t generation = releaseGeneration;
        cv.wait(g, [&] { return destroying || releaseGeneration != generation; });
        --blocked;
        const bool gone = destroying;
        cv.notify_all();
        if (gone) return status::Unsuccessful;
      }
      const std::size_t needed = hdr + (name.size() + 1) * 2;
      Store(returnLength, static_cast<std::uint32_t>(needed));
      if (!out || length < needed) return status::InfoLengthMismatch;
      writeString(out, name, out + hdr);
      return status::Success;
    }
    case objinfo::Type: {
      const char* type = "";
      switch (obj.kind) {
        case HKind::Process: type = "Process"; break;
        case HKind::Thread: type = "Thread"; break;
        case HKind::Event: type = "Event"; break;
        case HKind::Job: type = "Job"; break;
        case HKind::Key: type = "Key"; break;
        case HKind::Snapshot: type = "Section"; break;
        case HKind::Object:
          type = obj.objectType == st.processObjectType ? "Process"
                 : obj.objectType == st.threadObjectType ? "Thread"
                                                          : "File";
          break;
        default: type = "File"; break;
      }
      std::u16string name = Utf8ToUtf16(type);
      const std::size_t fixed = kPtrSize == 8 ? 0x68 : 0x60;  // OBJECT_TYPE_INFORMATION
      const std::size_t needed = fixed + (name.size() + 1) * 2;
      Store(returnLength, static_cast<std::uint32_t>(needed));
      if (!out || length < needed) return status::InfoLengthMismatch;
      std::memset(out, 0, fixed);
      writeString(out, name, out + fixed);
      return status::Success;
    }
    case objinfo::Basic: {
      const std::size_t size = 56;  // OBJECT_BASIC_INFORMATION
      Store(returnLength, static_cast<std::uint32_t>(size));
      if (!out || length != size) return status::InfoLengthMismatch;
      std::memset(out, 0, size);
      Put32(out, obj.inherit ? 2 : 0);
      Put32(out + 4, obj.access);
      Put32(out + 8, 1);  // HandleCount
      Put32(out + 12, 2);  // PointerCount
      return status::Success;
    }
    default: return xstatus::InvalidInfoClass;
  }
}

}  // namespace tv::sim
