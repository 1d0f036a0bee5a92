// The simulated service control manager, the transport devices, the IP helper tables and the
// object-name query that blocks: what the service list, the service commands and the port table
// rely on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/layouts.h"
#include "platform/sim/sim_machine.h"

namespace {
using tv::Handle;

TEST(SimServices, DeletionWaitsForTheStopAndTheLastHandleAndTakesTheRegistryKeyAlong) {
  tv::sim::SimMachine m;
  m.state.services.push_back({"Demo", 0x10, 4, false, false, false, false, "C:\\demo.exe", "Demo", "", 3, "", 1});
  m.state.services.push_back({"Locked", 0x10, 4, true, false, false, false, "C:\\l.exe", "", "", 3, "", 1});
  m.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Demo", "ImagePath", "C:\\demo.exe", tv::reg::ExpandSz);
  m.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\RegOnly", "ImagePath", "C:\\r.exe", tv::reg::ExpandSz);
  auto& s = *m.platform().services;
  auto& sys = *m.platform().system;

  Handle scm = s.OpenSCManagerA(nullptr, nullptr, 1);
  ASSERT_NE(0u, scm);
  EXPECT_EQ(0u, s.OpenServiceA(scm, "regonly", 4));  // in the registry only
  EXPECT_EQ(1060u, sys.GetLastError());
  EXPECT_EQ(0u, s.OpenServiceA(scm, "Locked", 4));
  EXPECT_EQ(5u, sys.GetLastError());

  Handle status = s.OpenServiceA(scm, "demo", 4);  // query only
  Handle full = s.OpenServiceA(scm, "DEMO", 0xF01FF);
  ASSERT_NE(0u, full);
  tv::ServiceStatus st;
  EXPECT_FALSE(s.ControlService(status, 1, st));  // no stop access
  EXPECT_EQ(5u, sys.GetLastError());
  EXPECT_FALSE(s.StartServiceA(full, {}));
  EXPECT_EQ(1056u, sys.GetLastError());  // already running
  ASSERT_TRUE(s.DeleteService(full));
  EXPECT_FALSE(s.DeleteService(full));
  EXPECT_EQ(1072u, sys.GetLastError());
  ASSERT_TRUE(s.ControlService(full, 1, st));
  EXPECT_EQ(1u, st.dwCurrentState);
  EXPECT_NE(nullptr, m.FindService("Demo"));  // handles still open
  EXPECT_TRUE(s.CloseServiceHandle(full));
  EXPECT_NE(nullptr, m.FindService("Demo"));
  ASSERT_TRUE(s.QueryServiceStatus(status, st));
  EXPECT_EQ(1u, st.dwCurrentState);
  EXPECT_TRUE(s.CloseServiceHandle(status));
  EXPECT_EQ(nullptr, m.FindService("Demo"));
  EXPECT_EQ(nullptr, m.FindKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Demo"));

  // Creating writes the registry key; a second create of the same name is refused.
  Handle all = s.OpenSCManagerA(nullptr, nullptr, 0xF003F);
  tv::CreateServiceArgs args;
  args.serviceName = "tvdrv";
  args.serviceType = 1;
  args.binaryPathName = "C:\\WINDOWS\\system32\\drivers\\tvdrv.sys";
  Handle created = s.CreateServiceA(all, args);
  ASSERT_NE(0u, created);
  EXPECT_EQ(0u, s.CreateServiceA(all, args));
  EXPECT_EQ(1073u, sys.GetLastError());
  ASSERT_NE(nullptr, m.FindKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\tvdrv"));
  EXPECT_TRUE(s.StartServiceA(created, {}));
  for (Handle h : {created, all, scm}) EXPECT_TRUE(s.CloseServiceHandle(h));
  EXPECT_EQ(0u, m.OpenHandleCount());
}

struct Request {
  std::uint32_t entity, id;
};

tv::NTSTATUS Query(tv::NtApi& nt, Handle dev, Request r, std::vector<std::uint8_t>& out, tv::IoStatusBlock& io) {
  tv::layout::TcpRequestQueryInformationEx req{};
  req.ID.toi_entity.tei_entity = r.entity;
  req.ID.toi_class = 0x200;
  req.ID.toi_type = 0x100;
  req.ID.toi_id = r.id;
  return nt.NtDeviceIoControlFile(dev, 0, &io, tv::layout::kIoctlTcpQueryInformationEx, &req, sizeof req, out.data(),
                                  static_cast<std::uint32_t>(out.size()));
}

TEST(SimNetwork, TransportDevicesAnswerStatisticsAndOwnerTablesInNetworkByteOrder) {
  tv::sim::SimMachine m;
  m.state.tcp = {{2, "0.0.0.0", 135, "0.0.0.0", 4660, 840}, {5, "192.168.1.20", 1042, "10.0.0.1", 80, 40000}};
  m.state.udp = {{"127.0.0.1", 1900, 840}};
  auto& nt = *m.platform().nt;
  tv::ObjectAttributes oa;
  oa.Attributes = 0x40;
  tv::IoStatusBlock io;
  Handle tcp = 0, udp = 0;
  oa.ObjectName = "\\Device\\Tcp";
  ASSERT_EQ(0, nt.NtOpenFile(&tcp, 0x00100000, oa, &io, 3, 0));
  oa.ObjectName = "\\device\\UDP";
  ASSERT_EQ(0, nt.NtOpenFile(&udp, 0x00100000, oa, &io, 3, 0));

  std::vector<std::uint8_t> stats(60);
  ASSERT_EQ(0, Query(nt, tcp, {0x400, 1}, stats, io));
  std::uint32_t v[15];
  std::memcpy(v, stats.data(), 60);
  EXPECT_EQ(2u, v[14]);
  std::vector<std::uint8_t> rows(2 * 24);
  ASSERT_EQ(0, Query(nt, tcp, {0x400, 0x102}, rows, io));
  EXPECT_EQ(48u, io.Information);
  tv::layout::TdiTcpEntryWithOwner e[2];
  std::memcpy(e, rows.data(), sizeof e);
  EXPECT_EQ(5u, e[1].State);
  const std::uint8_t* local = reinterpret_cast<const std::uint8_t*>(&e[1].LocalAddr);
  EXPECT_EQ((std::vector<int>{192, 168, 1, 20}), (std::vector<int>{local[0], local[1], local[2], local[3]}));
  EXPECT_EQ(0x1204u, e[1].LocalPort);  // 1042 = 0x0412, bytes swapped
  EXPECT_EQ(40000u, e[1].OwningPid);
  std::vector<std::uint8_t> one(24);
  EXPECT_LT(Query(nt, tcp, {0x400, 0x102}, one, io), 0);  // room for one of two
  EXPECT_EQ(24u, io.Information);

  std::vector<std::uint8_t> ustats(20), urows(12);
  ASSERT_EQ(0, Query(nt, udp, {0x401, 1}, ustats, io));
  std::uint32_t u[5];
  std::memcpy(u, ustats.data(), 20);
  EXPECT_EQ(1u, u[4]);
  ASSERT_EQ(0, Query(nt, udp, {0x401, 0x102}, urows, io));
  EXPECT_EQ(12u, io.Information);

  // IP helper: 122 and the size needed, then the table; a failing table answers an error.
  std::uint32_t size = 0;
  EXPECT_EQ(122u, m.platform().net->GetTcpTable(nullptr, &size, true));
  EXPECT_EQ(4u + 2 * 20, size);
  std::vector<std::uint8_t> table(size);
  ASSERT_EQ(0u, m.platform().net->GetTcpTable(table.data(), &size, true));
  std::uint32_t count = 0;
  std::memcpy(&count, table.data(), 4);
  EXPECT_EQ(2u, count);
  size = 8;
  EXPECT_EQ(122u, m.platform().net->GetUdpTable(table.data(), &size, true));
  EXPECT_EQ(12u, size);
  m.state.udpTableFails = true;
  size = 1024;
  EXPECT_NE(0u, m.platform().net->GetUdpTable(table.data(), &size, true));

  m.state.transportDevicesPresent = false;
  Handle none = 0;
  oa.ObjectName = "\\Device\\RawIp";
  EXPECT_EQ(tv::status::ObjectNameNotFound, nt.NtOpenFile(&none, 0x00100000, oa, &io, 3, 0));
  nt.NtClose(tcp);
  nt.NtClose(udp);
  EXPECT_EQ(0u, m.OpenHandleCount());
}

// The query of a pipe's name blocks; a worker left waiting is let go when the machine goes away,
// and the destructor returns only after the worker has left the call.
TEST(SimNetwork, ABlockingNameQueryIsReleasedOnRequestAndOnDestruction) {
  for (bool byDestruction : {false, true}) {
    auto m = std::make_unique<tv::sim::SimMachine>();
    m->AddProcess(840, "C:\\WINDOWS\\system32\\svchost.exe");
    m->state.handles.push_back({840, 0x1F8, 28, 0, "\\Device\\NamedPipe\\ntsvcs", true, 0x12019F, 0});
    tv::Platform p = m->platform();
    Handle owner = 0, dup = 0;
    tv::ObjectAttributes oa;
    tv::ClientId cid;
    cid.UniqueProcess = 840;
    ASSERT_EQ(0, p.nt->NtOpenProcess(&owner, 0x40, oa, cid));
    ASSERT_EQ(0, p.nt->NtDuplicateObject(owner, 0x1F8, tv::kCurrentProcess, &dup, 0, 0, 2));

    auto result = std::make_shared<std::promise<tv::NTSTATUS>>();
    std::future<tv::NTSTATUS> done = result->get_future();
    std::thread([nt = p.nt, dup, result] {
      std::vector<std::uint8_t> buf(4096);
      std::uint32_t len = 0;
      result->set_value(nt->NtQueryObject(dup, 1, buf.data(), 4096, &len));
    }).detach();
    while (m->BlockedQueryCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(std::future_status::timeout, done.wait_for(std::chrono::milliseconds(20)));
    // Other calls go on meanwhile.
    EXPECT_EQ(0, p.nt->NtClose(owner));
    if (byDestruction) {
      m.reset();
      ASSERT_EQ(std::future_status::ready, done.wait_for(std::chrono::seconds(5)));
      EXPECT_NE(0, done.get());
    } else {
      m->ReleaseBlockedQueries();
      ASSERT_EQ(std::future_status::ready, done.wait_for(std::chrono::seconds(5)));
      EXPECT_EQ(0, done.get());
      EXPECT_EQ(0u, m->BlockedQueryCount());
    }
  }
}

}  // namespace
