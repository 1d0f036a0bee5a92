// IP helper tables of the win32 backend. The system's MIB_TCPTABLE / MIB_UDPTABLE are the
// layouts of layouts.h, so the answers go straight into the caller's buffer.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
// After <winsock2.h>.
#include <iphlpapi.h>

#include <cstddef>

#include "platform/layouts.h"
#include "platform/win32/win32_internal.h"

namespace tv::win32::detail {
namespace {

static_assert(sizeof(MIB_TCPROW) == sizeof(layout::MibTcpRow));
static_assert(sizeof(MIB_UDPROW) == sizeof(layout::MibUdpRow));
static_assert(offsetof(MIB_TCPTABLE, table) == offsetof(layout::MibTcpTable, table));
static_assert(offsetof(MIB_UDPTABLE, table) == offsetof(layout::MibUdpTable, table));
static_assert(offsetof(MIB_TCPROW, dwLocalPort) == offsetof(layout::MibTcpRow, dwLocalPort));
static_assert(offsetof(MIB_TCPROW, dwRemotePort) == offsetof(layout::MibTcpRow, dwRemotePort));

class Win32Net final : public NetApi {
 public:
  std::uint32_t GetTcpTable(void* table, std::uint32_t* size, bool order) override {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    ULONG cb = *size;
    ULONG r = ::GetTcpTable(static_cast<PMIB_TCPTABLE>(table), &cb, order ? TRUE : FALSE);
    *size = cb;
    return r;
  }

  std::uint32_t GetUdpTable(void* table, std::uint32_t* size, bool order) override {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    ULONG cb = *size;
    ULONG r = ::GetUdpTable(static_cast<PMIB_UDPTABLE>(table), &cb, order ? TRUE : FALSE);
    *size = cb;
    return r;
  }
};

}  // namespace

NetApi& NetBackend() {
  static Win32Net instance;
  return instance;
}

}  // namespace tv::win32::detail
