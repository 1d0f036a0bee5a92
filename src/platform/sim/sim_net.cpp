// Network endpoints of the simulated machine: the transport devices' query request
// (IOCTL_TCP_QUERY_INFORMATION_EX) and the IP helper tables.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <tuple>

#include "platform/layouts.h"
#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kErrNotSupported = 50;
constexpr std::uint32_t kCoTlEntity = 0x400, kClTlEntity = 0x401, kInfoClassProtocol = 0x200,
                        kInfoTypeProvider = 0x100, kStatsId = 1, kTableId = 0x101, kTableWithOwnerId = 0x102;

std::uint32_t HostOrder(std::uint32_t networkValue) {
  return ((networkValue & 0xFF) << 24) | ((networkValue & 0xFF00) << 8) | ((networkValue >> 8) & 0xFF00) |
         (networkValue >> 24);
}

std::vector<TcpEndpoint> SortedTcp(const std::vector<TcpEndpoint>& in) {
  std::vector<TcpEndpoint> v = in;
  std::stable_sort(v.begin(), v.end(), [](const TcpEndpoint& a, const TcpEndpoint& b) {
    auto key = [](const TcpEndpoint& e) {
      return std::make_tuple(HostOrder(ParseIpv4(e.localAddr)), e.localPort, HostOrder(ParseIpv4(e.remoteAddr)),
                             e.remotePort);
    };
    return key(a) < key(b);
  });
  return v;
}

std::vector<UdpEndpoint> SortedUdp(const std::vector<UdpEndpoint>& in) {
  std::vector<UdpEndpoint> v = in;
  std::stable_sort(v.begin(), v.end(), [](const UdpEndpoint& a, const UdpEndpoint& b) {
    return std::make_pair(HostOrder(ParseIpv4(a.localAddr)), a.localPort) <
           std::make_pair(HostOrder(ParseIpv4(b.localAddr)), b.localPort);
  });
  return v;
}
}  // namespace

NTSTATUS SimMachine::Impl::TransportIoctl(HandleObj&, IoStatusBlock* iosb, std::uint32_t code, const void* in,
                                          std::uint32_t inLength, void* out, std::uint32_t outLength) {
  std::size_t written = 0;
  auto finish = [&](NTSTATUS s) {
    if (iosb) {
      iosb->Status = s;
      iosb->Information = written;
    }
    return s;
  };
  if (code != layout::kIoctlTcpQueryInformationEx) return finish(xstatus::InvalidDeviceRequest);
  if (!in || inLength < sizeof(layout::TcpRequestQueryInformationEx)) return finish(status::InvalidParameter);
  layout::TcpRequestQueryInformationEx req;
  std::memcpy(&req, in, sizeof req);
  const layout::TdiObjectId& id = req.ID;
  if (id.toi_class != kInfoClassProtocol || id.toi_type != kInfoTypeProvider) return finish(status::InvalidParameter);
  auto* o = static_cast<std::uint8_t*>(out);
  // Writes `count` records of `size` bytes, as many as fit; the rest is an overflow.
  auto table = [&](std::size_t count, std::size_t size, auto&& record) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!o || written + size > outLength) return finish(count ? xstatus::BufferOverflow : status::Success);
      record(o + written, i);
      written += size;
    }
    return finish(status::Success);
  };
  if (id.toi_entity.tei_entity == kCoTlEntity) {
    const auto& eps = st.tcp;
    if (id.toi_id == kStatsId) {
      if (!o || outLength < layout::kTcpStatsSize) return finish(status::BufferTooSmall);
      std::uint32_t v[15] = {};
      v[0] = 4;            // RtoAlgorithm: Van Jacobson
      v[1] = 300;          // RtoMin
      v[2] = 120000;       // RtoMax
      v[3] = 0xFFFFFFFFu;  // MaxConn: dynamic
      v[8] = static_cast<std::uint32_t>(
          std::count_if(eps.begin(), eps.end(), [](const TcpEndpoint& e) { return e.state == 5 || e.state == 8; }));
      v[14] = static_cast<std::uint32_t>(eps.size());  // NumConns
      std::memcpy(o, v, sizeof v);
      written = sizeof v;
      return finish(status::Success);
    }
    if (id.toi_id == kTableId || id.toi_id == kTableWithOwnerId) {
      const bool owner = id.toi_id == kTableWithOwnerId;
      return table(eps.size(), owner ? sizeof(layout::TdiTcpEntryWithOwner) : sizeof(layout::MibTcpRow),
                   [&](std::uint8_t* at, std::size_t i) {
                     const TcpEndpoint& e = eps[i];
                     layout::TdiTcpEntryWithOwner r{e.state, ParseIpv4(e.localAddr), Htons(e.localPort),
                                                    ParseIpv4(e.remoteAddr), Htons(e.remotePort), e.pid};
                     std::memcpy(at, &r, owner ? sizeof r : sizeof(layout::MibTcpRow));
                   });
    }
  } else if (id.toi_entity.tei_entity == kClTlEntity) {
    const auto& eps = st.udp;
    if (id.toi_id == kStatsId) {
      if (!o || outLength < layout::kUdpStatsSize) return finish(status::BufferTooSmall);
      std::uint32_t v[5] = {};
      v[4] = static_cast<std::uint32_t>(eps.size());  // NumAddrs
      std::memcpy(o, v, sizeof v);
      written = sizeof v;
      return finish(status::Success);
    }
    if (id.toi_id == kTableId || id.toi_id == kTableWithOwnerId) {
      const bool owner = id.toi_id == kTableWithOwnerId;
      return table(eps.size(), owner ? sizeof(layout::TdiUdpEntryWithOwner) : sizeof(layout::MibUdpRow),
                   [&](std::uint8_t* at, std::size_t i) {
                     const UdpEndpoint& e = eps[i];
                     layout::TdiUdpEntryWithOwner r{ParseIpv4(e.localAddr), Htons(e.localPort), e.pid};
                     std::memcpy(at, &r, owner ? sizeof r : sizeof(layout::MibUdpRow));
                   });
    }
  }
  return finish(status::InvalidParameter);
}

std::uint32_t SimMachine::Impl::GetTcpTable(void* table, std::uint32_t* size, bool order) {
  auto g = Enter("GetTcpTable");
  if (st.tcpTableFails) return kErrNotSupported;
  if (!size) return err::InvalidParameter;
  const auto eps = order ? SortedTcp(st.tcp) : st.tcp;
  const std::size_t needed = offsetof(layout::MibTcpTable, table) + eps.size() * sizeof(layout::MibTcpRow);
  if (!table || *size < needed) {
    *size = static_cast<std::uint32_t>(needed);
    return err::InsufficientBuffer;
  }
  auto* o = static_cast<std::uint8_t*>(table);
  Put32(o, static_cast<std::uint32_t>(eps.size()));
  for (std::size_t i = 0; i < eps.size(); ++i) {
    const TcpEndpoint& e = eps[i];
    layout::MibTcpRow r{e.state, ParseIpv4(e.localAddr), Htons(e.localPort), ParseIpv4(e.remoteAddr),
                        Htons(e.remotePort)};
    std::memcpy(o + offsetof(layout::MibTcpTable, table) + i * sizeof r, &r, sizeof r);
  }
  return 0;
}

std::uint32_t SimMachine::Impl::GetUdpTable(void* table, std::uint32_t* size, bool order) {
  auto g = Enter("GetUdpTable");
  if (st.udpTableFails) return kErrNotSupported;
  if (!size) return err::InvalidParameter;
  const auto eps = order ? SortedUdp(st.udp) : st.udp;
  const std::size_t needed = offsetof(layout::MibUdpTable, table) + eps.size() * sizeof(layout::MibUdpRow);
  if (!table || *size < needed) {
    *size = static_cast<std::uint32_t>(needed);
    return err::InsufficientBuffer;
  }
  auto* o = static_cast<std::uint8_t*>(table);
  Put32(o, static_cast<std::uint32_t>(eps.size()));
  for (std::size_t i = 0; i < eps.size(); ++i) {
    const UdpEndpoint& e = eps[i];
    layout::MibUdpRow r{ParseIpv4(e.localAddr), Htons(e.localPort)};
    std::memcpy(o + offsetof(layout::MibUdpTable, table) + i * sizeof r, &r, sizeof r);
  }
  return 0;
}

}  // namespace tv::sim
