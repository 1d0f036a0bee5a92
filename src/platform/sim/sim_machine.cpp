// The simulated machine: construction, the tool's handle table, test conveniences and the
// observation calls.
#include <algorithm>
#include <thread>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
thread_local std::uint32_t t_lastError = 0;

Process MakeSelfProcess(const MachineState& st) {
  Process p;
  p.pid = st.selfPid;
  p.parentPid = 0;
  p.imagePath = st.appPath;
  p.exeName = FileNameOf(st.appPath);
  p.modules.push_back({p.exeName, st.appPath, 0x00400000, 0x00080000});
  p.modules.push_back({"ntdll.dll", st.systemDir + "\\ntdll.dll", 0x7C900000, 0x000AF000});
  p.modules.push_back({"kernel32.dll", st.systemDir + "\\kernel32.dll", 0x7C800000, 0x000F6000});
  Thread t;
  t.tid = st.selfPid + 4;
  t.teb = 0x7FFDE000;
  t.startAddress = 0x00401000;
  p.threads.push_back(t);
  return p;
}
}  // namespace

// ------------------------------------------------------------- plumbing ----
SimMachine::Impl::~Impl() {
  std::unique_lock<std::recursive_mutex> lock(mu);
  destroying = true;
  cv.notify_all();
  cv.wait(lock, [this] { return blocked == 0; });
}

std::unique_lock<std::recursive_mutex> SimMachine::Impl::Enter(const char* operation, bool windowCall) {
  std::unique_lock<std::recursive_mutex> lock(mu);
  ++calls[operation];
  EnsureSelf();
  if (!windowCall && !pendingClose.empty()) {
    auto pids = std::move(pendingClose);
    pendingClose.clear();
    for (auto pid : pids) EndProcess(pid, 0);
  }
  return lock;
}

void SimMachine::Impl::SetError(std::uint32_t e) { t_lastError = e; }

std::uint32_t SimMachine::Impl::GetLastError() { return t_lastError; }

Handle SimMachine::Impl::NewHandle(HandleObj obj) {
  Handle value;
  if (freeValues.size() > kReuseDelay) {
    value = freeValues.front();
    freeValues.pop_front();
  } else {
    value = nextValue;
    nextValue += 4;
  }
  if (obj.kind == HKind::Service) ++serviceHandleCount[Lower(obj.path)];
  handles[value] = std::move(obj);
  return value;
}

HandleObj* SimMachine::Impl::Get(Handle h) {
  auto it = handles.find(h);
  return it == handles.end() ? nullptr : &it->second;
}

HandleObj* SimMachine::Impl::Get(Handle h, HKind kind) {
  HandleObj* o = Get(h);
  return (o && o->kind == kind) ? o : nullptr;
}

bool SimMachine::Impl::Close(Handle h) {
  auto it = handles.find(h);
  if (it == handles.end()) return false;
  HandleObj o = std::move(it->second);
  handles.erase(it);
  freeValues.push_back(h);
  if (o.kind == HKind::Service) {
    auto& n = serviceHandleCount[Lower(o.path)];
    if (n > 0) --n;
    MaybeRemoveService(o.path);
  }
  return true;
}

void SimMachine::Impl::EnsureSelf() {
  for (const auto& p : st.processes)
    if (p.pid == st.selfPid) return;
  st.processes.push_back(MakeSelfProcess(st));
}

Process* SimMachine::Impl::Proc(std::uint32_t pid) {
  const std::uint32_t key = pid & ~3u;
  for (auto& p : st.processes)
    if ((p.pid & ~3u) == key) return &p;
  return nullptr;
}

Process* SimMachine::Impl::LiveProc(std::uint32_t pid) {
  const std::uint32_t key = pid & ~3u;
  for (auto& p : st.processes)
    if ((p.pid & ~3u) == key && p.alive) return &p;
  return nullptr;
}

Process* SimMachine::Impl::OpenableProc(std::uint32_t pid) {
  Process* p = Proc(pid);
  if (!p || p->alive) return p;
  for (const auto& [h, o] : handles)
    if ((o.kind == HKind::Process || o.kind == HKind::Thread) && o.pid == p->pid) return p;
  for (const auto& fh : st.handles)
    if (fh.type == st.processObjectType && fh.targetPid == p->pid) return p;
  return nullptr;
}

Process* SimMachine::Impl::Self() {
  EnsureSelf();
  for (auto& p : st.processes)
    if (p.pid == st.selfPid) return &p;
  return nullptr;
}

std::pair<Process*, Thread*> SimMachine::Impl::FindThreadById(std::uint32_t tid) {
  const std::uint32_t key = tid & ~3u;
  if (key == 0) return {nullptr, nullptr};
  for (auto& p : st.processes) {
    if (!p.alive) continue;
    for (auto& t : p.threads)
      if ((t.tid & ~3u) == key) return {&p, &t};
  }
  return {nullptr, nullptr};
}

Process* SimMachine::Impl::ProcFromHandle(Handle h, std::uint32_t need, NTSTATUS& status) {
  if (h == kCurrentProcess) return Self();
  HandleObj* o = Get(h);
  if (!o) {
    status = status::InvalidHandle;
    return nullptr;
  }
  if (o->kind != HKind::Process) {
    status = status::ObjectTypeMismatch;
    return nullptr;
  }
  if ((o->access & need) != need) {
    status = status::AccessDenied;
    return nullptr;
  }
  Process* p = Proc(o->pid);
  if (!p) status = status::InvalidHandle;
  return p;
}

std::pair<Process*, Thread*> SimMachine::Impl::ThreadFromHandle(Handle h, std::uint32_t need, NTSTATUS& status) {
  std::uint32_t tid = 0;
  if (h == kCurrentThread) {
    Process* self = Self();
    if (self && !self->threads.empty()) return {self, &self->threads.front()};
    status = status::InvalidHandle;
    return {nullptr, nullptr};
  }
  HandleObj* o = Get(h);
  if (!o) {
    status = status::InvalidHandle;
    return {nullptr, nullptr};
  }
  if (o->kind != HKind::Thread) {
    status = status::ObjectTypeMismatch;
    return {nullptr, nullptr};
  }
  if ((o->access & need) != need) {
    status = status::AccessDenied;
    return {nullptr, nullptr};
  }
  tid = o->tid;
  for (auto& p : st.processes)
    for (auto& t : p.threads)
      if (t.tid == tid) return {&p, &t};
  status = status::InvalidHandle;
  return {nullptr, nullptr};
}

void SimMachine::Impl::EndProcess(std::uint32_t pid, std::uint32_t exitCode) {
  Process* p = Proc(pid);
  if (!p || !p->alive) return;
  const std::uint32_t id = p->pid;
  p->alive = false;
  p->exitCode = exitCode;
  for (auto& t : p->threads) {
    if (t.alive) t.exitStatus = static_cast<std::int32_t>(exitCode);
    t.alive = false;
  }
  auto& w = st.windows;
  w.erase(std::remove_if(w.begin(), w.end(), [id](const Window& x) { return x.ownerPid == id; }), w.end());
  auto& fh = st.handles;
  fh.erase(std::remove_if(fh.begin(), fh.end(), [id](const ForeignHandle& x) { return x.ownerPid == id; }), fh.end());
  auto& tcp = st.tcp;
  tcp.erase(std::remove_if(tcp.begin(), tcp.end(), [id](const TcpEndpoint& x) { return x.pid == id; }), tcp.end());
  auto& udp = st.udp;
  udp.erase(std::remove_if(udp.begin(), udp.end(), [id](const UdpEndpoint& x) { return x.pid == id; }), udp.end());
  auto& raw = st.rawOwners;
  raw.erase(std::remove(raw.begin(), raw.end(), id), raw.end());
}

std::uint8_t SimMachine::Impl::TypeNumberOf(const HandleObj& o) const {
  switch (o.kind) {
    case HKind::Process: return st.processObjectType;
    case HKind::Thread: return st.threadObjectType;
    case HKind::File:
    case HKind::Device:
    case HKind::Transport: return st.fileObjectType;
    case HKind::Event: return st.eventObjectType;
    case HKind::Job: return st.jobObjectType;
    case HKind::Key: return st.keyObjectType;
    case HKind::Snapshot: return st.sectionObjectType;
    case HKind::Object: return o.objectType;
    default: return 0;
  }
}

bool SimMachine::Impl::InHandleTable(const HandleObj& o) const {
  return o.kind != HKind::Find && o.kind != HKind::Scm && o.kind != HKind::Service;
}

std::string SimMachine::Impl::DescribeHandle(const HandleObj& o) const {
  switch (o.kind) {
    case HKind::Process: return "process " + std::to_string(o.pid);
    case HKind::Thread: return "thread " + std::to_string(o.tid);
    case HKind::File: return "file " + o.path;
    case HKind::Device: return "device " + o.path;
    case HKind::Transport: return "transport " + o.path;
    case HKind::Event: return "event";
    case HKind::Job: return "job";
    case HKind::Key: return "key " + RootShortName(o.root) + (o.path.empty() ? "" : "\\" + o.path);
    case HKind::Snapshot: return "snapshot";
    case HKind::Find: return "find";
    case HKind::Scm: return "scm";
    case HKind::Service: return "service " + o.path;
    case HKind::Object: return "object " + o.path;
  }
  return "?";
}

std::string SimMachine::Impl::ObjectNameOf(const HandleObj& o) {
  switch (o.kind) {
    case HKind::File: return NativePathOf(o.path);
    case HKind::Device: {
      std::string name = o.path;
      if (IStartsWith(name, "\\\\.\\")) name = name.substr(4);
      return "\\Device\\" + name;
    }
    case HKind::Transport:
    case HKind::Object: return o.path;
    case HKind::Key: {
      std::string base;
      switch (o.root) {
        case reg::LocalMachine: base = "\\REGISTRY\\MACHINE"; break;
        case reg::Users: base = "\\REGISTRY\\USER"; break;
        case reg::CurrentUser: base = "\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1003"; break;
        case reg::ClassesRoot: base = "\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"; break;
        case reg::CurrentConfig:
          base = "\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Hardware Profiles\\0001";
          break;
        default: base = "\\REGISTRY"; break;
      }
      return o.path.empty() ? base : base + "\\" + o.path;
    }
    default: return "";
  }
}

// ------------------------------------------------------------ SimMachine ----
SimMachine::SimMachine() : impl_(std::make_unique<Impl>(*this)) {
  state.dosDevices["C:"] = "\\Device\\HarddiskVolume1";
  state.environment["SystemRoot"] = state.windowsDir;
  state.environment["windir"] = state.windowsDir;
  state.processes.push_back(MakeSelfProcess(state));
}

SimMachine::~SimMachine() = default;

Platform SimMachine::platform() {
  Impl* i = impl_.get();
  Platform p;
  p.system = i;
  p.files = i;
  p.registry = i;
  p.processes = i;
  p.windows = i;
  p.nt = i;
  p.services = i;
  p.net = i;
  p.shell = i;
  p.trust = i;
  return p;
}

File& SimMachine::AddFile(const std::string& path, std::uint32_t attributes, Bytes contents) {
  if (File* f = FindFile(path)) {
    f->attributes = attributes;
    f->contents = std::move(contents);
    return *f;
  }
  File f;
  f.path = path;
  f.attributes = attributes;
  f.contents = std::move(contents);
  state.files.push_back(std::move(f));
  return state.files.back();
}

File* SimMachine::FindFile(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  return impl_->FileAt(impl_->CanonicalPath(path));
}

RegKey& SimMachine::Key(const std::string& fullPath) {
  auto parts = SplitPath(fullPath);
  Handle root = parts.empty() ? 0 : RootFromName(parts[0]);
  if (root == 0) throw std::runtime_error("unknown registry root in \"" + fullPath + "\"");
  std::string sub;
  for (std::size_t i = 1; i < parts.size(); ++i) sub += (i > 1 ? "\\" : "") + parts[i];
  return *impl_->CreatePath(root, sub);
}

RegKey* SimMachine::FindKey(const std::string& fullPath) {
  auto parts = SplitPath(fullPath);
  Handle root = parts.empty() ? 0 : RootFromName(parts[0]);
  if (root == 0) return nullptr;
  std::string sub;
  for (std::size_t i = 1; i < parts.size(); ++i) sub += (i > 1 ? "\\" : "") + parts[i];
  return impl_->Resolve(root, sub);
}

void SimMachine::SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type, const Bytes& data) {
  RegKey& k = Key(keyPath);
  for (auto& v : k.values)
    if (IEquals(v.name, name)) {
      v.type = type;
      v.data = data;
      return;
    }
  k.values.push_back({name, type, data});
}

void SimMachine::SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                           std::uint32_t type) {
  Bytes b(text.begin(), text.end());
  b.push_back(0);
  if (type == reg::MultiSz) b.push_back(0);
  SetValue(keyPath, name, type, b);
}

void SimMachine::SetDword(const std::string& keyPath, const std::string& name, std::uint32_t value) {
  Bytes b(4);
  Put32(b.data(), value);
  SetValue(keyPath, name, reg::Dword, b);
}

Process& SimMachine::AddProcess(std::uint32_t pid, const std::string& imagePath) {
  Process p;
  p.pid = pid;
  p.imagePath = imagePath;
  if (pid == 0) {
    p.exeName = "[System Process]";
  } else if (imagePath.empty() && (pid == 4 || pid == 8)) {
    p.exeName = "System";
  } else {
    p.exeName = FileNameOf(imagePath);
  }
  if (!imagePath.empty()) p.modules.push_back({p.exeName, imagePath, 0x00400000, 0x00010000});
  if (pid != 0) {
    Thread t;
    t.tid = pid + 4;
    t.teb = 0x7FFDE000;
    t.startAddress = 0x7C8106F5;
    p.threads.push_back(t);
  }
  for (auto& existing : state.processes)
    if (existing.pid == pid) {
      existing = std::move(p);
      return existing;
    }
  state.processes.push_back(std::move(p));
  return state.processes.back();
}

Process* SimMachine::FindProcess(std::uint32_t pid) { return impl_->Proc(pid); }

Thread* SimMachine::FindThread(std::uint32_t tid) {
  const std::uint32_t key = tid & ~3u;
  for (auto& p : state.processes)
    for (auto& t : p.threads)
      if ((t.tid & ~3u) == key) return &t;
  return nullptr;
}

Service* SimMachine::FindService(const std::string& name) {
  for (auto& s : state.services)
    if (IEquals(s.name, name)) return &s;
  return nullptr;
}

Device& SimMachine::AddDevice(const std::string& link) {
  for (auto& d : state.devices)
    if (IEquals(d.link, link)) return d;
  state.devices.push_back({link, {}, {}, 0});
  return state.devices.back();
}

void SimMachine::EndProcess(std::uint32_t pid, std::uint32_t exitCode) {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  impl_->EndProcess(pid, exitCode);
}

void SimMachine::ReleaseBlockedQueries() {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  ++impl_->releaseGeneration;
  impl_->cv.notify_all();
}

std::size_t SimMachine::BlockedQueryCount() const {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  return impl_->blocked;
}

std::size_t SimMachine::OpenHandleCount() const {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  return impl_->handles.size();
}

std::vector<std::string> SimMachine::OpenHandleKinds() const {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  std::vector<std::string> out;
  for (const auto& [h, o] : impl_->handles) out.push_back(impl_->DescribeHandle(o));
  return out;
}

std::uint64_t SimMachine::CallCount(const std::string& operation) const {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  auto it = impl_->calls.find(operation);
  return it == impl_->calls.end() ? 0 : it->second;
}

}  // namespace tv::sim

namespace tv::sim {
Process& SimMachine::SelfProcess() {
  std::lock_guard<std::recursive_mutex> lock(impl_->mu);
  return *impl_->Self();
}
}  // namespace tv::sim
