// ClsDriver: the service control manager and kernel-device interface. It queries a service's
// state, starts, stops and deletes services, and can install a kernel driver as a service,
// start it, open its device and send it control requests.
#pragma once
#include <cstdint>
#include <string>

#include "platform/types.h"

// winioctl.h defines CTL_CODE as a macro; ours is a member function of the same name.
#ifdef CTL_CODE
#undef CTL_CODE
#endif

namespace tv {

class ClsDriver {
 public:
  std::string szDrvSvcName;      // service name
  std::string szDrvDisplayName;  // display name used when installing
  std::string szDrvFilePath;     // driver file path used when installing
  std::string szDrvLinkName;     // symbolic link of the device, opened by OpenDrv
  std::string szDrvDeviceName;   // device name (kept for completeness)
  std::string szDrvDescription;  // description used when installing

  ClsDriver() = default;
  ~ClsDriver();
  ClsDriver(const ClsDriver&) = delete;
  ClsDriver& operator=(const ClsDriver&) = delete;

  // Current state of service szDrvSvcName (1 stopped .. 7 paused), 0 when it cannot be asked.
  std::uint32_t GetServiceStatus();
  // sStatus 0 start (only a stopped service), 1 stop (only a running one), 2 stop when running
  // and delete. Result: the start's or stop's status (non-zero success), 0 when nothing was sent.
  // "Manage service error" when the service cannot be opened.
  std::uint32_t SetServiceStatus(std::int32_t sStatus);
  // Only checks that the service exists; changes nothing. Always 0.
  std::uint32_t SetServiceStartType(std::int32_t sStatus);
  bool InstDrv();
  bool StartDrv();
  bool OpenDrv();
  bool StopDrv();
  bool DelDrv();
  std::uint32_t IoControl(std::uint32_t dwIoControlCode, const void* lpInBuffer, std::uint32_t nInBufferSize,
                          void* lpOutBuffer, std::uint32_t nOutBufferSize,
                          std::uint32_t* lpBytesReturned = nullptr);

  static constexpr std::uint32_t CTL_CODE(std::uint32_t lngDevFileSys, std::uint32_t lngFunction,
                                          std::uint32_t lngMethod, std::uint32_t lngAccess) {
    return (lngDevFileSys * 65536u) | (lngAccess * 16384u) | (lngFunction * 4u) | lngMethod;
  }
  static constexpr std::uint32_t CTL_CODE_GEN(std::uint32_t lngFunction) {
    return CTL_CODE(0x22, lngFunction, 0, 0);
  }

  // Observation for callers and tests.
  Handle ServiceHandle() const { return service_; }
  Handle ManagerHandle() const { return manager_; }
  Handle DeviceHandle() const { return device_; }

 private:
  Handle service_ = 0;
  Handle manager_ = 0;
  Handle device_ = kInvalidHandle;
};

// The two process-wide instances, created on first use.
ClsDriver& ServiceTabDriver();  // the service list and its commands
ClsDriver& CompanionDriver();   // the companion kernel driver

// Control code of the companion driver's file-delete request.
inline constexpr std::uint32_t kForceDeleteControlCode = ClsDriver::CTL_CODE_GEN(0x360);
static_assert(kForceDeleteControlCode == 0x220D80);

}  // namespace tv
