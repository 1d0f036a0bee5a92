// The service control manager of the simulated machine. A service may be known to the manager
// (state.services), to the registry (HKLM\SYSTEM\CurrentControlSet\Services\<name>), or to both;
// the manager writes the registry key when it creates a service and removes it with the service.
#include <algorithm>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kErrServiceRequestTimeout = 1053, kErrServiceDisabled = 1058,
                        kErrDatabaseDoesNotExist = 1065, kErrRpcServerUnavailable = 1722;
constexpr std::uint32_t kQueryStatus = 0x4, kStart = 0x10, kStop = 0x20, kPauseContinue = 0x40,
                        kInterrogate = 0x80, kUserControl = 0x100, kChangeConfig = 0x2, kDelete = 0x10000;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF, kScmAllAccess = 0xF003F, kScmCreateService = 0x2;
const char* const kServicesKey = "SYSTEM\\CurrentControlSet\\Services";

std::uint32_t MapServiceAccess(std::uint32_t access) {
  if (access & (0x10000000u | 0x02000000u)) return kServiceAllAccess;
  std::uint32_t a = access & 0x00FFFFFFu;
  if (access & 0x80000000u) a |= 0x2008D;
  if (access & 0x40000000u) a |= 0x20002;
  if (access & 0x20000000u) a |= 0x201F0;
  return a;
}

void Fill(const Service& s, ServiceStatus& out) {
  out = {};
  out.dwServiceType = s.type;
  out.dwCurrentState = s.state;
  if (s.state == 4 || s.state == 7) {
    out.dwControlsAccepted = s.refuseStop ? 0 : 1;          // SERVICE_ACCEPT_STOP
    if (s.type & 0x30) out.dwControlsAccepted |= 2;         // SERVICE_ACCEPT_PAUSE_CONTINUE
  }
}
}  // namespace

void SimMachine::Impl::WriteServiceKey(const Service& s) {
  RegKey* k = CreatePath(reg::LocalMachine, std::string(kServicesKey) + "\\" + s.name);
  auto set = [&](const std::string& name, std::uint32_t type, Bytes data) {
    for (auto& v : k->values)
      if (IEquals(v.name, name)) {
        v.type = type;
        v.data = std::move(data);
        return;
      }
    k->values.push_back({name, type, std::move(data)});
  };
  auto text = [](const std::string& t) {
    Bytes b(t.begin(), t.end());
    b.push_back(0);
    return b;
  };
  auto dword = [](std::uint32_t v) {
    Bytes b(4);
    Put32(b.data(), v);
    return b;
  };
  set("Type", reg::Dword, dword(s.type));
  set("Start", reg::Dword, dword(s.startType));
  set("ErrorControl", reg::Dword, dword(s.errorControl));
  if (!s.binaryPath.empty()) set("ImagePath", reg::ExpandSz, text(s.binaryPath));
  if (!s.displayName.empty()) set("DisplayName", reg::Sz, text(s.displayName));
  if (!s.group.empty()) set("Group", reg::Sz, text(s.group));
  if (!s.description.empty()) set("Description", reg::Sz, text(s.description));
  if (s.type & 0x30) set("ObjectName", reg::Sz, text("LocalSystem"));
}

void SimMachine::Impl::MaybeRemoveService(const std::string& name) {
  auto it = std::find_if(st.services.begin(), st.services.end(), [&](const Service& s) { return IEquals(s.name, name); });
  if (it == st.services.end() || !it->markedForDelete || it->state != 1) return;
  if (serviceHandleCount[Lower(it->name)] != 0) return;
  const std::string key = std::string(kServicesKey) + "\\" + it->name;
  st.services.erase(it);
  if (Resolve(reg::LocalMachine, key)) RemoveKey(reg::LocalMachine, key, true);
}

namespace {
// The service behind a handle with `need` access; sets the error and returns null otherwise.
Service* ServiceOf(MachineState& st, HandleObj* o, std::uint32_t need, std::uint32_t& error) {
  if (!o || o->kind != HKind::Service) {
    error = err::InvalidHandle;
    return nullptr;
  }
  if ((o->access & need) != need) {
    error = err::AccessDenied;
    return nullptr;
  }
  for (auto& s : st.services)
    if (IEquals(s.name, o->path)) return &s;
  error = err::InvalidHandle;
  return nullptr;
}
}  // namespace

Handle SimMachine::Impl::OpenSCManagerA(const char* machine, const char* database, std::uint32_t access) {
  auto g = Enter("OpenSCManagerA");
  if (machine && *machine) {
    SetError(kErrRpcServerUnavailable);
    return 0;
  }
  if (database && *database && !IEquals(database, "ServicesActive")) {
    SetError(kErrDatabaseDoesNotExist);
    return 0;
  }
  HandleObj o;
  o.kind = HKind::Scm;
  o.access = (access & (0x10000000u | 0x02000000u)) ? kScmAllAccess : access;
  SetError(0);
  return NewHandle(o);
}

Handle SimMachine::Impl::OpenServiceA(Handle scm, const std::string& name, std::uint32_t access) {
  auto g = Enter("OpenServiceA");
  if (!Get(scm, HKind::Scm)) {
    SetError(err::InvalidHandle);
    return 0;
  }
  Service* s = m.FindService(name);
  if (!s) {
    SetError(err::ServiceDoesNotExist);
    return 0;
  }
  if (s->refuseOpen) {
    SetError(err::AccessDenied);
    return 0;
  }
  HandleObj o;
  o.kind = HKind::Service;
  o.path = s->name;
  o.access = MapServiceAccess(access);
  SetError(0);
  return NewHandle(o);
}

Handle SimMachine::Impl::CreateServiceA(Handle scm, const CreateServiceArgs& args) {
  auto g = Enter("CreateServiceA");
  HandleObj* sc = Get(scm, HKind::Scm);
  if (!sc) {
    SetError(err::InvalidHandle);
    return 0;
  }
  if (!(sc->access & kScmCreateService)) {
    SetError(err::AccessDenied);
    return 0;
  }
  if (args.serviceName.empty() || args.binaryPathName.empty()) {
    SetError(err::InvalidParameter);
    return 0;
  }
  if (Service* existing = m.FindService(args.serviceName)) {
    SetError(existing->markedForDelete ? err::ServiceMarkedForDelete : err::ServiceExists);
    return 0;
  }
  Service s;
  s.name = args.serviceName;
  s.displayName = args.displayName.empty() ? args.serviceName : args.displayName;
  s.type = args.serviceType;
  s.startType = args.startType;
  s.errorControl = args.errorControl;
  s.binaryPath = args.binaryPathName;
  s.group = args.loadOrderGroup;
  s.state = 1;
  st.services.push_back(s);
  WriteServiceKey(s);
  HandleObj o;
  o.kind = HKind::Service;
  o.path = s.name;
  o.access = MapServiceAccess(args.desiredAccess);
  SetError(0);
  return NewHandle(o);
}

bool SimMachine::Impl::QueryServiceStatus(Handle service, ServiceStatus& status) {
  auto g = Enter("QueryServiceStatus");
  std::uint32_t e = 0;
  Service* s = ServiceOf(st, Get(service), kQueryStatus, e);
  if (!s) {
    SetError(e);
    return false;
  }
  Fill(*s, status);
  SetError(0);
  return true;
}

bool SimMachine::Impl::StartServiceA(Handle service, const std::vector<std::string>&) {
  auto g = Enter("StartServiceA");
  std::uint32_t e = 0;
  Service* s = ServiceOf(st, Get(service), kStart, e);
  if (!s) e = e ? e : err::InvalidHandle;
  else if (s->markedForDelete) e = err::ServiceMarkedForDelete;
  else if (s->startType == 4) e = kErrServiceDisabled;
  else if (s->state != 1) e = err::ServiceAlreadyRunning;
  else if (s->refuseStart) e = kErrServiceRequestTimeout;
  if (e) {
    SetError(e);
    return false;
  }
  s->state = 4;
  SetError(0);
  return true;
}

bool SimMachine::Impl::ControlService(Handle service, std::uint32_t control, ServiceStatus& status) {
  auto g = Enter("ControlService");
  std::uint32_t need = control == 1 ? kStop
                       : (control == 2 || control == 3) ? kPauseContinue
                       : control == 4 ? kInterrogate
                       : (control >= 128 && control <= 255) ? kUserControl
                                                              : 0;
  std::uint32_t e = 0;
  Service* s = ServiceOf(st, Get(service), need, e);
  if (!s) {
    SetError(e);
    return false;
  }
  if (need == 0) {
    SetError(err::InvalidParameter);
    return false;
  }
  const bool active = s->state == 4 || s->state == 7;
  const bool pending = s->state == 2 || s->state == 3 || s->state == 5 || s->state == 6;
  if (s->state == 1) e = err::ServiceNotActive;
  else if (pending) e = err::ServiceCannotAcceptCtrl;
  else if (control == 1 && s->refuseStop) e = err::ServiceCannotAcceptCtrl;
  else if ((control == 2 || control == 3) && !(s->type & 0x30)) e = err::ServiceCannotAcceptCtrl;
  if (!e && active) {
    if (control == 1) s->state = 1;
    else if (control == 2) s->state = 7;
    else if (control == 3) s->state = 4;
  }
  Fill(*s, status);
  if (e) {
    SetError(e);
    return false;
  }
  const std::string name = s->name;
  MaybeRemoveService(name);
  SetError(0);
  return true;
}

bool SimMachine::Impl::DeleteService(Handle service) {
  auto g = Enter("DeleteService");
  std::uint32_t e = 0;
  Service* s = ServiceOf(st, Get(service), kDelete, e);
  if (!s) {
    SetError(e);
    return false;
  }
  if (s->markedForDelete) {
    SetError(err::ServiceMarkedForDelete);
    return false;
  }
  s->markedForDelete = true;
  MaybeRemoveService(s->name);
  SetError(0);
  return true;
}

bool SimMachine::Impl::ChangeServiceConfig2W(Handle service, std::uint32_t level, const std::string& description) {
  auto g = Enter("ChangeServiceConfig2W");
  std::uint32_t e = 0;
  Service* s = ServiceOf(st, Get(service), kChangeConfig, e);
  if (!s) {
    SetError(e);
    return false;
  }
  if (s->markedForDelete) {
    SetError(err::ServiceMarkedForDelete);
    return false;
  }
  if (level != 1) {
    SetError(err::InvalidParameter);
    return false;
  }
  s->description = description;
  RegKey* k = CreatePath(reg::LocalMachine, std::string(kServicesKey) + "\\" + s->name);
  Bytes b(description.begin(), description.end());
  b.push_back(0);
  bool found = false;
  for (auto& v : k->values)
    if (IEquals(v.name, "Description")) {
      v.type = reg::Sz;
      v.data = b;
      found = true;
    }
  if (!found) k->values.push_back({"Description", reg::Sz, b});
  SetError(0);
  return true;
}

bool SimMachine::Impl::CloseServiceHandle(Handle h) {
  auto g = Enter("CloseServiceHandle");
  HandleObj* o = Get(h);
  if (!o || (o->kind != HKind::Scm && o->kind != HKind::Service)) {
    SetError(err::InvalidHandle);
    return false;
  }
  Close(h);
  SetError(0);
  return true;
}

}  // namespace tv::sim
