#include "net/ports.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "base/object_names.h"
#include "base/platform_ops.h"
#include "platform/api.h"
#include "base/record_text.h"

namespace tv {
namespace {

constexpr std::uint32_t kQueryAccess = 0x410;          // query information, read memory
constexpr std::uint32_t kRawScanOwnerAccess = 0x450;   // + duplicate handle
constexpr std::uint32_t kDupAccess = 0x40;             // duplicate handle
constexpr std::uint32_t kAllAccess = 0x1F0FFF;
constexpr std::uint32_t kSameAttributes = 4;
constexpr std::uint32_t kTcpEntity = 0x400, kUdpEntity = 0x401;
constexpr std::uint32_t kInfoClassProtocol = 0x200, kInfoTypeProvider = 0x100;
constexpr std::uint32_t kIdStatistics = 1, kIdTableWithOwners = 0x102;
constexpr std::uint32_t kHandleTableFirstSize = 0x10000;

// ---------------------------------------------------------------- helpers ----

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

ObjectAttributes PlainAttributes() { return ObjectAttributes{}; }

Handle NtOpenProcessById(std::uint32_t pid, std::uint32_t access) {
  Handle h = 0;
  ClientId cid;
  cid.UniqueProcess = pid;
  if (!NtSuccess(platform::Nt().NtOpenProcess(&h, access, PlainAttributes(), cid))) return 0;
  return h;
}

// The system handle table, entries copied out of the raw answer.
std::vector<layout::SystemHandleEntry> ReadHandleTable(bool& ok) {
  std::vector<std::uint8_t> buf;
  ok = NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, kHandleTableFirstSize, buf));
  std::vector<layout::SystemHandleEntry> entries;
  if (!ok || buf.size() < layout::kHandleEntriesOffset) return entries;
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), sizeof(count));
  const std::size_t fits = (buf.size() - layout::kHandleEntriesOffset) / sizeof(layout::SystemHandleEntry);
  count = static_cast<std::uint32_t>(std::min<std::size_t>(count, fits));
  entries.resize(count);
  if (count > 0)
    std::memcpy(entries.data(), buf.data() + layout::kHandleEntriesOffset,
                count * sizeof(layout::SystemHandleEntry));
  return entries;
}

Handle OpenDevice(const char* name) {
  ObjectAttributes oa;
  oa.ObjectName = name;
  oa.Attributes = 0x40;  // case-insensitive
  IoStatusBlock iosb;
  Handle h = 0;
  if (!NtSuccess(platform::Nt().NtOpenFile(&h, access::Synchronize, oa, &iosb, 3, 0))) return 0;
  return h;
}

// One transport query: 36-byte request, answer into `out`. Returns the bytes answered or -1.
long TransportQuery(Handle device, std::uint32_t entity, std::uint32_t id, void* out, std::uint32_t outSize) {
  Handle event = platform::Sys().CreateEventA(false, true);
  if (event == 0) return -1;
  layout::TcpRequestQueryInformationEx req{};
  req.ID.toi_entity.tei_entity = entity;
  req.ID.toi_entity.tei_instance = 0;
  req.ID.toi_class = kInfoClassProtocol;
  req.ID.toi_type = kInfoTypeProvider;
  req.ID.toi_id = id;
  IoStatusBlock iosb;
  NTSTATUS s = platform::Nt().NtDeviceIoControlFile(device, event, &iosb, layout::kIoctlTcpQueryInformationEx, &req,
                                                    sizeof(req), out, outSize);
  platform::Sys().CloseHandle(event);
  if (!NtSuccess(s)) return -1;
  return static_cast<long>(std::min<std::uintptr_t>(iosb.Information, outSize));
}

// Statistics first (the count is the value at `countIndex`), then the table with owners.
template <typename Entry>
std::vector<Entry> QueryEndpoints(Handle device, std::uint32_t entity, std::size_t statsSize,
                                  std::size_t countIndex) {
  std::vector<Entry> entries;
  std::vector<std::uint32_t> stats(statsSize / 4, 0);
  if (TransportQuery(device, entity, kIdStatistics, stats.data(), static_cast<std::uint32_t>(statsSize)) < 0)
    return entries;
  std::size_t count = stats[countIndex];
  // Room for endpoints that appear between the two requests.
  std::size_t room = count + count / 8 + 16;
  std::vector<Entry> buf(room);
  long got = TransportQuery(device, entity, kIdTableWithOwners, buf.data(),
                            static_cast<std::uint32_t>(room * sizeof(Entry)));
  if (got < 0) return entries;
  buf.resize(static_cast<std::size_t>(got) / sizeof(Entry));
  return buf;
}

// --------------------------------------------------------------- row fill ----

PortEntry RawRow(std::uint32_t owner) {
  PortEntry e;
  e.Protocol = "RAW";
  e.LocalIP = "---";
  e.RemoteIP = "---";
  e.PID = static_cast<std::int32_t>(owner);
  e.ImageFile = FitText(GetOwnerImagePath(owner), 260);
  return e;
}

// Raw IP sockets: file handles of the system whose object name is "\Device\RawIp".
void ScanRawSockets(Handle tcp, Handle udp, Handle raw, std::vector<PortEntry>& table) {
  bool ok = false;
  std::vector<layout::SystemHandleEntry> entries = ReadHandleTable(ok);
  if (!ok) return;
  const std::uint32_t self = platform::Sys().GetCurrentProcessId();
  int fileType = -1;
  for (const auto& e : entries) {
    Handle value = e.HandleValue;
    if (e.UniqueProcessId == (self & 0xFFFF) && (value == tcp || value == udp || value == raw)) {
      fileType = e.ObjectTypeIndex;
      break;
    }
  }
  if (fileType < 0) return;
  auto& nt = platform::Nt();
  for (const auto& e : entries) {
    if (e.ObjectTypeIndex != fileType) continue;
    const std::uint32_t owner = e.UniqueProcessId;
    if (IsKnownBlockingHandle(owner, e)) continue;  // its name query hung before
    Handle process = NtOpenProcessById(owner, kRawScanOwnerAccess);
    if (process == 0) process = OpenProcessByHandleScan(owner);
    if (process == 0) continue;
    Handle dup = 0;
    if (!NtSuccess(nt.NtDuplicateObject(process, e.HandleValue, kCurrentProcess, &dup, 0x000F0000, 0, 0)) ||
        dup == 0) {
      CloseHandleEx(process);
      continue;
    }
    std::optional<std::string> name = GetHandleObjectNameTimed(dup, kNameQueryTimeoutMs);
    if (!name) {
      // The worker keeps the duplicate and closes it if the query ever returns.
      RememberBlockingHandle(owner, e, dup);
      CloseHandleEx(process);
      continue;
    }
    if (Lower(*name).find("\\device\\rawip") != std::string::npos) table.push_back(RawRow(owner));
    CloseHandleEx(dup);
    CloseHandleEx(process);
  }
}

std::string IpHelperAddress(std::uint32_t addr) { return FormatIPv4(addr); }

// Calls an IP helper table function with a buffer sized from what it asks for.
template <typename Fn>
std::uint32_t ReadIpHelperTable(Fn fn, std::uint32_t firstSize, std::vector<std::uint8_t>& buf) {
  std::uint32_t size = firstSize;
  std::uint32_t rc = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    buf.assign(size, 0);
    std::uint32_t asked = size;
    rc = fn(buf.data(), &asked);
    if (rc != err::InsufficientBuffer) break;
    // The table can grow between two calls: ask for a little more than it wants.
    if (asked <= size) asked = size * 2;
    size = asked + asked / 8;
  }
  return rc;
}

}  // namespace

// ===================================================================== API ====

std::vector<PortEntry>& PortTable() {
  static std::vector<PortEntry> table;
  return table;
}

std::string FormatIPv4(std::uint32_t a) {
  const std::uint8_t* b = reinterpret_cast<const std::uint8_t*>(&a);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

std::int32_t PortFromField(std::uint32_t field) {
  const std::uint8_t* b = reinterpret_cast<const std::uint8_t*>(&field);
  return (b[0] << 8) | b[1];
}

std::string TcpStateName(std::uint32_t state) {
  static const char* const names[] = {"???",         "CLOSED",    "LISTENING", "SYN SENT", "SEN RECEIVED",
                                      "ESTABLISHED", "FIN WAIT",  "FIN WAIT2", "CLOSE WAIT", "CLOSING",
                                      "LAST ACK",    "TIME WAIT", "DELETE TCB"};
  return state < 13 ? names[state] : "";
}

Handle OpenTcpDevice() { return OpenDevice("\\Device\\Tcp"); }
Handle OpenUdpDevice() { return OpenDevice("\\Device\\Udp"); }
Handle OpenRawIpDevice() { return OpenDevice("\\Device\\RawIp"); }

std::vector<layout::TdiTcpEntryWithOwner> QueryTcpEndpoints(Handle tcpDevice) {
  return QueryEndpoints<layout::TdiTcpEntryWithOwner>(tcpDevice, kTcpEntity, layout::kTcpStatsSize, 14);
}

std::vector<layout::TdiUdpEntryWithOwner> QueryUdpEndpoints(Handle udpDevice) {
  return QueryEndpoints<layout::TdiUdpEntryWithOwner>(udpDevice, kUdpEntity, layout::kUdpStatsSize, 4);
}

std::string GetOwnerImagePath(std::uint32_t pid) {
  if (pid == 0) return "System Idle Process";
  if (pid == 4 || pid == 8) return "System";
  Handle h = NtOpenProcessById(pid, kQueryAccess);
  if (h == 0) h = OpenProcessByHandleScan(pid);
  if (h == 0) return "";
  layout::ProcessBasicInformation pbi{};
  std::uint32_t got = 0;
  if (!NtSuccess(platform::Nt().NtQueryInformationProcess(h, procinfo::Basic, &pbi, sizeof(pbi), &got))) {
    CloseHandleEx(h);
    return "";
  }
  auto& proc = platform::Processes();
  auto readPointer = [&](std::uintptr_t address, std::uintptr_t& value) {
    std::size_t read = 0;
    value = 0;
    return proc.ReadProcessMemory(h, address, &value, sizeof(value), &read) && read == sizeof(value);
  };
  std::uintptr_t ldr = 0, entry = 0, nameAddress = 0;
  std::uint8_t text[520] = {};
  std::size_t read = 0;
  const bool ok = readPointer(pbi.PebBaseAddress + layout::kPebLdrOffset, ldr) &&
                  readPointer(ldr + layout::kLdrInLoadOrderOffset, entry) &&
                  readPointer(entry + layout::kLdrEntryFullNameBufferOffset, nameAddress) &&
                  proc.ReadProcessMemory(h, nameAddress, text, sizeof(text), &read);
  CloseHandleEx(h);
  if (!ok) return "---";
  return Utf16LeToUtf8(text, std::min<std::size_t>(read, sizeof(text)) / 2);
}

Handle OpenProcessByHandleScan(std::uint32_t pid) {
  Handle h = NtOpenProcessById(pid, kQueryAccess);
  if (h != 0) return h;
  bool ok = false;
  std::vector<layout::SystemHandleEntry> entries = ReadHandleTable(ok);
  if (!ok) return 0;
  auto& nt = platform::Nt();
  for (const auto& e : entries) {
    if (e.ObjectTypeIndex != layout::kProcessObjectType) continue;
    Handle owner = NtOpenProcessById(e.UniqueProcessId, kDupAccess);
    if (owner == 0) continue;
    Handle dup = 0;
    if (NtSuccess(nt.NtDuplicateObject(owner, e.HandleValue, kCurrentProcess, &dup, kAllAccess, 0, kSameAttributes)) &&
        dup != 0) {
      layout::ProcessBasicInformation pbi{};
      std::uint32_t got = 0;
      if (NtSuccess(nt.NtQueryInformationProcess(dup, procinfo::Basic, &pbi, sizeof(pbi), &got)) &&
          pbi.UniqueProcessId == pid) {
        CloseHandleEx(owner);
        return dup;
      }
      CloseHandleEx(dup);  // not the one sought: give the copy back
    }
    CloseHandleEx(owner);
  }
  return 0;
}

void GetPortTable() {
  OsVersionInfo v;
  platform::Sys().GetVersionExA(v);
  if (v.major != 5) {
    GetPortTableIpHelper();
    return;
  }
  std::vector<PortEntry> table;
  Handle tcp = OpenTcpDevice(), udp = OpenUdpDevice(), raw = OpenRawIpDevice();
  if (tcp == 0 || udp == 0 || raw == 0) {
    for (Handle h : {tcp, udp, raw})
      if (h != 0) CloseHandleEx(h);
    PortTable().clear();
    return;
  }
  for (const auto& t : QueryTcpEndpoints(tcp)) {
    PortEntry e;
    e.Protocol = "TCP";
    e.LocalIP = FormatIPv4(t.LocalAddr);
    e.LocalPort = PortFromField(t.LocalPort);
    e.RemoteIP = FormatIPv4(t.RemoteAddr);
    e.RemotePort = t.RemoteAddr == 0 ? 0 : PortFromField(t.RemotePort);
    e.Status = TcpStateName(t.State & 0xFF);
    e.PID = static_cast<std::int32_t>(t.OwningPid);
    e.ImageFile = FitText(GetOwnerImagePath(t.OwningPid), 260);
    table.push_back(std::move(e));
  }
  for (const auto& u : QueryUdpEndpoints(udp)) {
    PortEntry e;
    e.Protocol = "UDP";
    e.LocalIP = FormatIPv4(u.LocalAddr);
    e.LocalPort = PortFromField(u.LocalPort);
    e.RemoteIP = "---";
    e.PID = static_cast<std::int32_t>(u.OwningPid);
    e.ImageFile = FitText(GetOwnerImagePath(u.OwningPid), 260);
    table.push_back(std::move(e));
  }
  ScanRawSockets(tcp, udp, raw, table);
  CloseHandleEx(tcp);
  CloseHandleEx(udp);
  CloseHandleEx(raw);
  PortTable() = std::move(table);
}

void GetPortTableIpHelper() {
  std::vector<PortEntry> table;
  auto& net = platform::Net();
  std::vector<std::uint8_t> buf;
  // First sizes as for 513 TCP and 129 UDP rows; larger tables get what they ask for.
  if (ReadIpHelperTable([&](void* p, std::uint32_t* s) { return net.GetTcpTable(p, s, true); },
                        4 + 513 * sizeof(layout::MibTcpRow), buf) == 0 &&
      buf.size() >= 4) {
    std::uint32_t count = 0;
    std::memcpy(&count, buf.data(), 4);
    count = static_cast<std::uint32_t>(std::min<std::size_t>(count, (buf.size() - 4) / sizeof(layout::MibTcpRow)));
    for (std::uint32_t i = 0; i < count; ++i) {
      layout::MibTcpRow row;
      std::memcpy(&row, buf.data() + 4 + i * sizeof(row), sizeof(row));
      PortEntry e;
      e.Status = TcpStateName(row.dwState & 0xFF);
      e.Protocol = "TCP";
      e.LocalIP = IpHelperAddress(row.dwLocalAddr);
      e.LocalPort = PortFromField(row.dwLocalPort);
      e.RemoteIP = IpHelperAddress(row.dwRemoteAddr);
      e.RemotePort = PortFromField(row.dwRemotePort);
      e.PID = -1;
      table.push_back(std::move(e));
    }
  }
  if (ReadIpHelperTable([&](void* p, std::uint32_t* s) { return net.GetUdpTable(p, s, true); },
                        4 + 129 * sizeof(layout::MibUdpRow), buf) != 0 ||
      buf.size() < 4) {
    ui::MessageBox("Can't get port information on this OS", "Tolvexa", ui::mb::Ok | ui::mb::IconExclamation);
    PortTable() = std::move(table);
    return;
  }
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  count = static_cast<std::uint32_t>(std::min<std::size_t>(count, (buf.size() - 4) / sizeof(layout::MibUdpRow)));
  for (std::uint32_t i = 0; i < count; ++i) {
    layout::MibUdpRow row;
    std::memcpy(&row, buf.data() + 4 + i * sizeof(row), sizeof(row));
    PortEntry e;
    e.Protocol = "UDP";
    e.LocalIP = IpHelperAddress(row.dwLocalAddr);
    e.LocalPort = PortFromField(row.dwLocalPort);
    e.RemoteIP = "---";
    e.PID = -1;
    table.push_back(std::move(e));
  }
  PortTable() = std::move(table);
}

ui::ListContent FillPortList() {
  ui::ListContent content;
  OsVersionInfo v;
  platform::Sys().GetVersionExA(v);
  const bool icons = v.major == 5;
  for (const PortEntry& e : PortTable()) {
    ui::ListRow row;
    row.text = TrimBlanks(e.Protocol);
    row.subItems = {TrimBlanks(e.LocalIP),
                    std::to_string(e.LocalPort),
                    TrimBlanks(e.RemoteIP),
                    std::to_string(e.RemotePort),
                    TrimBlanks(e.Status),
                    e.PID == -1 ? std::string() : std::to_string(e.PID),
                    TrimBlanks(e.ImageFile)};
    if (icons) row.iconKey = "PID" + std::to_string(e.PID);
    content.rows.push_back(std::move(row));
  }
  content.status = std::to_string(content.rows.size()) + " Item(s)";
  return content;
}

}  // namespace tv
