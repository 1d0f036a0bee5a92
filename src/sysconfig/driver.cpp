#include "sysconfig/driver.h"

#include "platform/api.h"
#include "ui/ui.h"

namespace tv {
namespace {

constexpr std::uint32_t kScmConnect = 0x1;
constexpr std::uint32_t kScmAllAccess = 0xF003F;
constexpr std::uint32_t kServiceQueryStatus = 0x4;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kStopped = 1, kRunning = 4;

void ManageServiceError() {
  ui::MessageBox("Manage service error", "Tolvexa", ui::mb::Ok | ui::mb::IconExclamation);
}

}  // namespace

ClsDriver::~ClsDriver() { DelDrv(); }

std::uint32_t ClsDriver::GetServiceStatus() {
  auto& svc = platform::Services();
  std::uint32_t state = 0;
  Handle scm = svc.OpenSCManagerA(nullptr, nullptr, kScmConnect);
  if (scm == 0) return 0;
  Handle service = svc.OpenServiceA(scm, szDrvSvcName, kServiceQueryStatus);
  if (service != 0) {
    ServiceStatus st;
    if (svc.QueryServiceStatus(service, st)) state = st.dwCurrentState;
    svc.CloseServiceHandle(service);
  }
  svc.CloseServiceHandle(scm);
  return state;
}

std::uint32_t ClsDriver::SetServiceStatus(std::int32_t sStatus) {
  auto& svc = platform::Services();
  Handle scm = svc.OpenSCManagerA(nullptr, nullptr, kScmConnect);
  Handle service = scm != 0 ? svc.OpenServiceA(scm, szDrvSvcName, kServiceAllAccess) : 0;
  if (service == 0) {
    if (scm != 0) svc.CloseServiceHandle(scm);
    ManageServiceError();
    return 0;
  }
  std::uint32_t result = 0;
  ServiceStatus st;
  const bool known = svc.QueryServiceStatus(service, st);
  switch (sStatus) {
    case 0:
      if (known && st.dwCurrentState == kStopped) result = svc.StartServiceA(service, {}) ? 1 : 0;
      break;
    case 1:
      if (known && st.dwCurrentState == kRunning) result = svc.ControlService(service, kControlStop, st) ? 1 : 0;
      break;
    case 2:
      if (known && st.dwCurrentState == kRunning) result = svc.ControlService(service, kControlStop, st) ? 1 : 0;
      svc.DeleteService(service);
      break;
    default:
      break;
  }
  svc.CloseServiceHandle(service);
  svc.CloseServiceHandle(scm);
  return result;
}

std::uint32_t ClsDriver::SetServiceStartType(std::int32_t) {
  auto& svc = platform::Services();
  Handle scm = svc.OpenSCManagerA(nullptr, nullptr, kScmConnect);
  Handle service = scm != 0 ? svc.OpenServiceA(scm, szDrvSvcName, kServiceAllAccess) : 0;
  if (service == 0) ManageServiceError();
  else svc.CloseServiceHandle(service);
  if (scm != 0) svc.CloseServiceHandle(scm);
  return 0;
}

bool ClsDriver::InstDrv() {
  auto& svc = platform::Services();
  // Handles of an earlier run of the sequence are given back first, so none is lost.
  if (service_ != 0) { svc.CloseServiceHandle(service_); service_ = 0; }
  if (manager_ != 0) { svc.CloseServiceHandle(manager_); manager_ = 0; }
  manager_ = svc.OpenSCManagerA(nullptr, nullptr, kScmAllAccess);
  if (manager_ == 0) return false;
  CreateServiceArgs args;
  args.serviceName = szDrvSvcName;
  args.displayName = szDrvDisplayName;
  args.desiredAccess = kServiceAllAccess;
  args.serviceType = 1;
  args.startType = 3;
  args.errorControl = 1;
  args.binaryPathName = szDrvFilePath;
  Handle created = svc.CreateServiceA(manager_, args);
  if (created != 0) {
    svc.ChangeServiceConfig2W(created, 1, szDrvDescription);
    service_ = svc.OpenServiceA(manager_, szDrvSvcName, kServiceAllAccess);
    svc.CloseServiceHandle(created);
  } else {
    service_ = svc.OpenServiceA(manager_, szDrvSvcName, kServiceAllAccess);
  }
  return service_ != 0;
}

bool ClsDriver::StartDrv() {
  if (service_ == 0) return false;
  auto& svc = platform::Services();
  ServiceStatus st;
  svc.QueryServiceStatus(service_, st);
  if (st.dwCurrentState == kRunning) return true;
  return svc.StartServiceA(service_, {});
}

bool ClsDriver::OpenDrv() {
  if (device_ != kInvalidHandle) return true;
  device_ = platform::Files().CreateFileA(szDrvLinkName, 0xC0000000u, 0, 3, 0x80);
  return device_ != kInvalidHandle;
}

std::uint32_t ClsDriver::IoControl(std::uint32_t dwIoControlCode, const void* lpInBuffer,
                                   std::uint32_t nInBufferSize, void* lpOutBuffer, std::uint32_t nOutBufferSize,
                                   std::uint32_t* lpBytesReturned) {
  std::uint32_t returned = 0;
  bool ok = false;
  if (device_ != kInvalidHandle)
    ok = platform::Files().DeviceIoControl(device_, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                                           nOutBufferSize, &returned);
  if (lpBytesReturned) *lpBytesReturned = returned;
  return ok ? 1 : 0;
}

bool ClsDriver::StopDrv() {
  if (service_ == 0) return false;
  auto& svc = platform::Services();
  ServiceStatus st;
  svc.QueryServiceStatus(service_, st);
  return svc.ControlService(service_, kControlStop, st);
}

bool ClsDriver::DelDrv() {
  if (device_ != kInvalidHandle) {
    platform::Sys().CloseHandle(device_);
    device_ = kInvalidHandle;
  }
  StopDrv();
  if (service_ != 0) platform::Services().CloseServiceHandle(service_);
  if (manager_ != 0) platform::Services().CloseServiceHandle(manager_);
  service_ = 0;
  manager_ = 0;
  return true;
}

ClsDriver& ServiceTabDriver() {
  static ClsDriver instance;
  return instance;
}

ClsDriver& CompanionDriver() {
  static ClsDriver instance;
  return instance;
}

}  // namespace tv
