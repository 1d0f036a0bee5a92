// The port table: every TCP and UDP endpoint of the machine and, where the platform allows it,
// the owning process. On Windows 5.x the transport drivers are asked directly (with owners) and
// raw IP sockets are found by a scan of the system handle table; on later versions the IP
// helper's tables are read (no owners).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/object_names.h"  // the name queries of the raw-socket scan
#include "platform/types.h"
#include "platform/layouts.h"
#include "ui/ui.h"

namespace tv {

struct PortEntry {
  std::int32_t PID = 0;        // owning process; -1 when unknown (IP helper path)
  std::string LocalIP;         // 24: dotted decimal or "---"
  std::int32_t LocalPort = 0;  // host byte order
  std::string RemoteIP;        // 24
  std::int32_t RemotePort = 0;
  std::string Status;          // 32: TCP state text; empty for UDP and RAW rows
  std::string ImageFile;       // 260: image of the owner, "---" or empty
  std::string Protocol;        // 8: "TCP", "UDP" or "RAW"
};

// The process-wide table: the endpoints in the order found (row i of the list is element i).
std::vector<PortEntry>& PortTable();

// Rebuilds PortTable: the device path on major version 5, the IP helper path otherwise.
void GetPortTable();
void GetPortTableIpHelper();
// Rows of the Port tab and its status text ("N Item(s)"). On major version 5 each row also
// names the icon of its image by the key "PID" + PID.
ui::ListContent FillPortList();

std::string TcpStateName(std::uint32_t state);

// "\Device\Tcp", "\Device\Udp", "\Device\RawIp"; 0 when they cannot be opened.
Handle OpenTcpDevice();
Handle OpenUdpDevice();
Handle OpenRawIpDevice();

std::vector<layout::TdiTcpEntryWithOwner> QueryTcpEndpoints(Handle tcpDevice);
std::vector<layout::TdiUdpEntryWithOwner> QueryUdpEndpoints(Handle udpDevice);

// Image path of a process: "System Idle Process" (0), "System" (4, 8), the full path read from
// the process's loader data, "---" when its memory cannot be read, "" when it cannot be opened.
std::string GetOwnerImagePath(std::uint32_t pid);
// A process handle for `pid`: the native open, else a duplicate of a process handle found in
// the system handle table. 0 when none.
Handle OpenProcessByHandleScan(std::uint32_t pid);
// Formats an IPv4 address held in network byte order, the way inet_ntoa does.
std::string FormatIPv4(std::uint32_t networkOrderAddress);
// ntohs of the low 16 bits of a port field.
std::int32_t PortFromField(std::uint32_t field);

}  // namespace tv
