// Service control manager operations of the win32 backend (the W functions).
#include <vector>

#include "platform/win32/win32_internal.h"

namespace tv::win32::detail {
namespace {

SC_HANDLE ToSc(Handle h) { return reinterpret_cast<SC_HANDLE>(h); }
Handle FromSc(SC_HANDLE h) { return reinterpret_cast<Handle>(h); }

void Fill(const SERVICE_STATUS& s, ServiceStatus& out) {
  out.dwServiceType = s.dwServiceType;
  out.dwCurrentState = s.dwCurrentState;
  out.dwControlsAccepted = s.dwControlsAccepted;
  out.dwWin32ExitCode = s.dwWin32ExitCode;
  out.dwServiceSpecificExitCode = s.dwServiceSpecificExitCode;
  out.dwCheckPoint = s.dwCheckPoint;
  out.dwWaitHint = s.dwWaitHint;
}

class Win32Services final : public ServiceApi {
 public:
  Handle OpenSCManagerA(const char* machine, const char* database, std::uint32_t access) override {
    std::wstring wmachine, wdatabase;
    return FromSc(::OpenSCManagerW(OptionalWide(machine, wmachine), OptionalWide(database, wdatabase), access));
  }

  Handle OpenServiceA(Handle scm, const std::string& name, std::uint32_t access) override {
    return FromSc(::OpenServiceW(ToSc(scm), Widen(name).c_str(), access));
  }

  Handle CreateServiceA(Handle scm, const CreateServiceArgs& a) override {
    std::wstring name = Widen(a.serviceName);
    std::wstring display, binary, group, account, password;
    // The dependency list is a sequence of NUL-terminated names ended by one more NUL.
    std::wstring dependencies;
    if (!a.dependencies.empty()) {
      dependencies = Widen(a.dependencies);
      dependencies.push_back(L'\0');
      dependencies.push_back(L'\0');
    }
    return FromSc(::CreateServiceW(ToSc(scm), name.c_str(), WideOrNull(a.displayName, display), a.desiredAccess,
                                   a.serviceType, a.startType, a.errorControl, WideOrNull(a.binaryPathName, binary),
                                   WideOrNull(a.loadOrderGroup, group), nullptr,
                                   dependencies.empty() ? nullptr : dependencies.c_str(),
                                   WideOrNull(a.serviceStartName, account), WideOrNull(a.password, password)));
  }

  bool QueryServiceStatus(Handle service, ServiceStatus& status) override {
    SERVICE_STATUS s{};
    if (!::QueryServiceStatus(ToSc(service), &s)) return false;
    Fill(s, status);
    return true;
  }

  bool StartServiceA(Handle service, const std::vector<std::string>& args) override {
    std::vector<std::wstring> wide;
    wide.reserve(args.size());
    for (const auto& a : args) wide.push_back(Widen(a));
    std::vector<LPCWSTR> argv;
    argv.reserve(wide.size());
    for (const auto& w : wide) argv.push_back(w.c_str());
    return ::StartServiceW(ToSc(service), static_cast<DWORD>(argv.size()), argv.empty() ? nullptr : argv.data()) !=
           FALSE;
  }

  bool ControlService(Handle service, std::uint32_t control, ServiceStatus& status) override {
    SERVICE_STATUS s{};
    BOOL ok = ::ControlService(ToSc(service), control, &s);
    // The status is filled in on success and for the refusals that still report a state.
    if (ok || ::GetLastError() == ERROR_SERVICE_CANNOT_ACCEPT_CTRL || ::GetLastError() == ERROR_SERVICE_NOT_ACTIVE ||
        ::GetLastError() == ERROR_INVALID_SERVICE_CONTROL)
      Fill(s, status);
    return ok != FALSE;
  }

  bool DeleteService(Handle service) override { return ::DeleteService(ToSc(service)) != FALSE; }

  bool ChangeServiceConfig2W(Handle service, std::uint32_t level, const std::string& description) override {
    if (level != SERVICE_CONFIG_DESCRIPTION) {
      ::SetLastError(ERROR_INVALID_LEVEL);
      return false;
    }
    std::wstring text = Widen(description);
    SERVICE_DESCRIPTIONW info{};
    info.lpDescription = text.data();
    return ::ChangeServiceConfig2W(ToSc(service), level, &info) != FALSE;
  }

  bool CloseServiceHandle(Handle h) override { return ::CloseServiceHandle(ToSc(h)) != FALSE; }
};

}  // namespace

ServiceApi& ServiceBackend() {
  static Win32Services instance;
  return instance;
}

}  // namespace tv::win32::detail
