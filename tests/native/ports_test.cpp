// The port table on both paths, the owners' image paths and the raw-socket scan.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "base/paths.h"
#include "net/ports.h"
#include "platform/sim/sim_machine.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

class PortsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    PortTable().clear();
    ForgetBlockingHandles();
    m.AddProcess(1200, "C:\\Program Files\\App\\app.exe");
    m.AddProcess(40000, "C:\\WINDOWS\\system32\\svchost.exe");
    m.AddProcess(1300, "C:\\secret\\locked.exe").memoryUnreadable = true;
  }
  void TearDown() override {
    // Abandoned name queries end once the machine lets them go.
    m.ReleaseBlockedQueries();
    for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(PendingNameQueries(), 0u);
    ForgetBlockingHandles();
    SimTest::TearDown();
  }
  void UseIpHelper() { m.state.version.major = 6; }
  static sim::TcpEndpoint Tcp(std::uint32_t state, const std::string& la, std::uint16_t lp, const std::string& ra,
                              std::uint16_t rp, std::uint32_t pid) {
    sim::TcpEndpoint e;
    e.state = state;
    e.localAddr = la;
    e.localPort = lp;
    e.remoteAddr = ra;
    e.remotePort = rp;
    e.pid = pid;
    return e;
  }
  static sim::UdpEndpoint Udp(const std::string& la, std::uint16_t lp, std::uint32_t pid) {
    sim::UdpEndpoint e;
    e.localAddr = la;
    e.localPort = lp;
    e.pid = pid;
    return e;
  }
  std::vector<const PortEntry*> Rows(const std::string& protocol) {
    std::vector<const PortEntry*> out;
    for (const auto& e : PortTable())
      if (e.Protocol == protocol) out.push_back(&e);
    return out;
  }
};

TEST(TcpStateNameTest, EveryState) {
  const char* expected[] = {"???",         "CLOSED",   "LISTENING", "SYN SENT",   "SEN RECEIVED",
                            "ESTABLISHED", "FIN WAIT", "FIN WAIT2", "CLOSE WAIT", "CLOSING",
                            "LAST ACK",    "TIME WAIT", "DELETE TCB"};
  for (std::uint32_t s = 0; s < 13; ++s) EXPECT_EQ(TcpStateName(s), expected[s]);
  EXPECT_EQ(TcpStateName(13), "");
  EXPECT_EQ(TcpStateName(255), "");
}

TEST_F(PortsTest, DevicePathTcpRows) {
  m.state.tcp = {
      Tcp(2, "0.0.0.0", 80, "0.0.0.0", 1234, 1200),            // listening: remote port 0 whatever the field says
      Tcp(5, "192.168.1.10", 1025, "10.0.0.2", 443, 1200),    // established
      Tcp(2, "127.0.0.1", 0, "0.0.0.0", 0, 4),                 // port field 0 stays 0
      Tcp(0x10B, "10.1.2.3", 139, "0.0.0.0", 0, 8),            // low 8 bits of the state: 11
      Tcp(13, "10.1.2.3", 445, "0.0.0.0", 0, 0),               // beyond the table: empty status
      Tcp(0, "10.1.2.3", 7, "0.0.0.0", 0, 1300),               // 0: "???"
      Tcp(2, "10.1.2.3", 8, "0.0.0.0", 0, 5555),               // owner does not exist
  };
  GetPortTable();
  std::vector<const PortEntry*> tcp = Rows("TCP");
  ASSERT_EQ(tcp.size(), 7u);
  struct Expect {
    std::string localIp;
    int localPort;
    std::string remoteIp;
    int remotePort;
    std::string status;
    int pid;
    std::string image;
  };
  const std::vector<Expect> expected = {
      {"0.0.0.0", 80, "0.0.0.0", 0, "LISTENING", 1200, "C:\\Program Files\\App\\app.exe"},
      {"192.168.1.10", 1025, "10.0.0.2", 443, "ESTABLISHED", 1200, "C:\\Program Files\\App\\app.exe"},
      {"127.0.0.1", 0, "0.0.0.0", 0, "LISTENING", 4, "System"},
      {"10.1.2.3", 139, "0.0.0.0", 0, "TIME WAIT", 8, "System"},
      {"10.1.2.3", 445, "0.0.0.0", 0, "", 0, "System Idle Process"},
      {"10.1.2.3", 7, "0.0.0.0", 0, "???", 1300, "---"},
      {"10.1.2.3", 8, "0.0.0.0", 0, "LISTENING", 5555, ""},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tcp[i]->LocalIP, expected[i].localIp);
    EXPECT_EQ(tcp[i]->LocalPort, expected[i].localPort);
    EXPECT_EQ(tcp[i]->RemoteIP, expected[i].remoteIp);
    EXPECT_EQ(tcp[i]->RemotePort, expected[i].remotePort);
    EXPECT_EQ(tcp[i]->Status, expected[i].status);
    EXPECT_EQ(tcp[i]->PID, expected[i].pid);
    EXPECT_EQ(tcp[i]->ImageFile, expected[i].image);
  }
}

TEST_F(PortsTest, DevicePathUdpRowsAndRowOrder) {
  m.state.tcp = {Tcp(2, "0.0.0.0", 135, "0.0.0.0", 0, 1200)};
  m.state.udp = {Udp("0.0.0.0", 53, 1200), Udp("127.0.0.1", 0, 40000), Udp("10.0.0.1", 65535, 4)};
  GetPortTable();
  ASSERT_GE(PortTable().size(), 4u);
  EXPECT_EQ(PortTable()[0].Protocol, "TCP");
  std::vector<const PortEntry*> udp = Rows("UDP");
  ASSERT_EQ(udp.size(), 3u);
  EXPECT_EQ(&PortTable()[1], udp[0]);  // UDP rows follow the TCP rows
  const std::vector<std::tuple<std::string, int, int, std::string>> expected = {
      {"0.0.0.0", 53, 1200, "C:\\Program Files\\App\\app.exe"},
      {"127.0.0.1", 0, 40000, "C:\\WINDOWS\\system32\\svchost.exe"},
      {"10.0.0.1", 65535, 4, "System"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(udp[i]->LocalIP, std::get<0>(expected[i]));
    EXPECT_EQ(udp[i]->LocalPort, std::get<1>(expected[i]));
    EXPECT_EQ(udp[i]->PID, std::get<2>(expected[i]));
    EXPECT_EQ(udp[i]->ImageFile, std::get<3>(expected[i]));
    EXPECT_EQ(udp[i]->RemoteIP, "---");
    EXPECT_EQ(udp[i]->RemotePort, 0);
    EXPECT_EQ(udp[i]->Status, "");
  }
}

TEST_F(PortsTest, RawRowsIncludeOwnProcessAndHighPids) {
  m.state.rawOwners = {1200, 40000};
  // A file handle that is not a raw socket is not listed.
  m.state.handles.push_back({1200, 0x48, m.state.fileObjectType, 0, "\\Device\\HarddiskVolume1\\log.txt"});
  GetPortTable();
  std::vector<const PortEntry*> raw = Rows("RAW");
  std::vector<int> pids;
  for (const PortEntry* e : raw) {
    pids.push_back(e->PID);
    EXPECT_EQ(e->LocalIP, "---");
    EXPECT_EQ(e->RemoteIP, "---");
    EXPECT_EQ(e->LocalPort, 0);
    EXPECT_EQ(e->RemotePort, 0);
    EXPECT_EQ(e->Status, "");
  }
  std::sort(pids.begin(), pids.end());
  EXPECT_EQ(pids, (std::vector<int>{1000, 1200, 40000}));
  for (const PortEntry* e : raw)
    if (e->PID == 40000) {
      EXPECT_EQ(e->ImageFile, "C:\\WINDOWS\\system32\\svchost.exe");
    }
}

TEST_F(PortsTest, BlockingNameQueryDoesNotHangTheScan) {
  m.state.rawOwners = {1200};
  sim::ForeignHandle pipe{1200, 0x30, m.state.fileObjectType, 0, "\\Device\\NamedPipe\\stuck"};
  pipe.nameQueryBlocks = true;
  m.state.handles.insert(m.state.handles.begin(), pipe);
  const auto start = std::chrono::steady_clock::now();
  GetPortTable();
  const auto first = std::chrono::steady_clock::now() - start;
  EXPECT_LT(first, std::chrono::seconds(5));
  EXPECT_EQ(m.BlockedQueryCount(), 1u);
  EXPECT_EQ(KnownBlockingObjects(), 1u);
  EXPECT_EQ(Rows("RAW").size(), 2u);  // the scan went on past the stuck handle

  // The next refresh skips the handle instead of getting stuck on it again.
  GetPortTable();
  EXPECT_EQ(m.BlockedQueryCount(), 1u);
  EXPECT_EQ(PendingNameQueries(), 1u);
  EXPECT_EQ(Rows("RAW").size(), 2u);

  // Once the query returns, its worker closes the duplicate it was left with.
  m.ReleaseBlockedQueries();
  for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(PendingNameQueries(), 0u);
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(PortsTest, ProtectedOwnerIsReachedThroughAHandleHeldByAnotherProcess) {
  m.FindProcess(40000)->protection = sim::Protection::DenyAll;
  m.state.udp = {Udp("0.0.0.0", 500, 40000)};
  EXPECT_EQ(GetOwnerImagePath(40000), "");
  // Process 1200 holds a handle to 40000: the scan duplicates it.
  m.state.handles.push_back({1200, 0x64, m.state.processObjectType, 40000, ""});
  EXPECT_EQ(GetOwnerImagePath(40000), "C:\\WINDOWS\\system32\\svchost.exe");
  GetPortTable();
  ASSERT_EQ(Rows("UDP").size(), 1u);
  EXPECT_EQ(Rows("UDP")[0]->ImageFile, "C:\\WINDOWS\\system32\\svchost.exe");
}

TEST_F(PortsTest, MissingTransportDeviceLeavesTheTableEmpty) {
  m.state.tcp = {Tcp(2, "0.0.0.0", 80, "0.0.0.0", 0, 1200)};
  m.state.transportDevicesPresent = false;
  PortTable().push_back(PortEntry{});  // whatever was there before goes
  GetPortTable();
  EXPECT_TRUE(PortTable().empty());
  ui::ListContent c = FillPortList();
  EXPECT_TRUE(c.rows.empty());
  EXPECT_EQ(c.status, "0 Item(s)");
}

TEST_F(PortsTest, FillPortListRowsOnTheDevicePath) {
  m.state.tcp = {Tcp(5, "10.0.0.1", 1025, "10.0.0.2", 80, 1200)};
  m.state.udp = {Udp("0.0.0.0", 137, 4)};
  GetPortTable();
  ui::ListContent c = FillPortList();
  ASSERT_GE(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[0].text, "TCP");
  EXPECT_EQ(c.rows[0].subItems, (std::vector<std::string>{"10.0.0.1", "1025", "10.0.0.2", "80", "ESTABLISHED", "1200",
                                                           "C:\\Program Files\\App\\app.exe"}));
  EXPECT_EQ(c.rows[0].iconKey, "PID1200");
  EXPECT_EQ(c.rows[1].text, "UDP");
  EXPECT_EQ(c.rows[1].subItems, (std::vector<std::string>{"0.0.0.0", "137", "---", "0", "", "4", "System"}));
  EXPECT_EQ(c.status, std::to_string(PortTable().size()) + " Item(s)");
}

TEST_F(PortsTest, IpHelperPathHasNoOwners) {
  UseIpHelper();
  m.state.tcp = {Tcp(2, "0.0.0.0", 80, "0.0.0.0", 0, 1200), Tcp(5, "127.0.0.1", 1025, "127.0.0.1", 80, 1200)};
  m.state.udp = {Udp("127.0.0.1", 53, 1200)};
  m.state.rawOwners = {1200};
  GetPortTable();
  ASSERT_EQ(PortTable().size(), 3u);
  ui::ListContent c = FillPortList();
  ASSERT_EQ(c.rows.size(), 3u);
  EXPECT_EQ(c.rows[0].subItems, (std::vector<std::string>{"0.0.0.0", "80", "0.0.0.0", "0", "LISTENING", "", ""}));
  EXPECT_EQ(c.rows[1].subItems,
            (std::vector<std::string>{"127.0.0.1", "1025", "127.0.0.1", "80", "ESTABLISHED", "", ""}));
  EXPECT_EQ(c.rows[2].text, "UDP");
  EXPECT_EQ(c.rows[2].subItems, (std::vector<std::string>{"127.0.0.1", "53", "---", "0", "", "", ""}));
  for (const auto& row : c.rows) EXPECT_EQ(row.iconKey, "");
  for (const auto& e : PortTable()) EXPECT_EQ(e.PID, -1);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PortsTest, IpHelperFailures) {
  UseIpHelper();
  m.state.tcp = {Tcp(2, "0.0.0.0", 80, "0.0.0.0", 0, 1200)};
  m.state.udp = {Udp("127.0.0.1", 53, 1200)};

  m.state.udpTableFails = true;
  GetPortTable();
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].text, "Can't get port information on this OS");
  EXPECT_EQ(recorder.messages[0].title, "Tolvexa");
  EXPECT_EQ(recorder.messages[0].flags, ui::mb::IconExclamation);
  ASSERT_EQ(PortTable().size(), 1u);  // the TCP rows stay
  EXPECT_EQ(PortTable()[0].Protocol, "TCP");

  m.state.udpTableFails = false;
  m.state.tcpTableFails = true;
  GetPortTable();
  EXPECT_EQ(recorder.messages.size(), 1u);  // a failing TCP table shows nothing
  ASSERT_EQ(PortTable().size(), 1u);
  EXPECT_EQ(PortTable()[0].Protocol, "UDP");
}

TEST_F(PortsTest, IpHelperTablesOfABusyServerAreListedWhole) {
  UseIpHelper();
  for (int i = 0; i < 700; ++i) m.state.tcp.push_back(Tcp(5, "10.0.0.1", 80, "10.0.0.2", static_cast<std::uint16_t>(2000 + i), 0));
  for (int i = 0; i < 300; ++i) m.state.udp.push_back(Udp("0.0.0.0", static_cast<std::uint16_t>(3000 + i), 0));
  GetPortTable();
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(Rows("TCP").size(), 700u);
  EXPECT_EQ(Rows("UDP").size(), 300u);
  EXPECT_EQ(FillPortList().status, "1000 Item(s)");
}

TEST_F(PortsTest, ObjectNamesGetTheirDriveLetters) {
  m.state.dosDevices = {{"C:", "\\Device\\HarddiskVolume1"}, {"D:", "\\Device\\HarddiskVolume10"}};
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\\Device\\HarddiskVolume1\\a.txt", "C:\\a.txt"},
      {"\\Device\\HarddiskVolume10\\data\\x.txt", "D:\\data\\x.txt"},  // not "C:0\\data..."
      {"\\Device\\HarddiskVolume2\\y.txt", "\\Device\\HarddiskVolume2\\y.txt"},
      {"\\Device\\RawIp", "\\Device\\RawIp"}};
  std::uint16_t value = 0x100;
  for (const auto& [objectName, expected] : cases) {
    m.state.handles.push_back({1200, value, m.state.fileObjectType, 0, objectName});
    Handle owner = 0, dup = 0;
    ClientId cid;
    cid.UniqueProcess = 1200;
    ASSERT_EQ(platform::Nt().NtOpenProcess(&owner, 0x40, ObjectAttributes{}, cid), 0);
    ASSERT_EQ(platform::Nt().NtDuplicateObject(owner, value, kCurrentProcess, &dup, 0, 0, 2), 0);
    EXPECT_EQ(GetHandleObjectName(dup), expected);
    std::optional<std::string> timed = GetHandleObjectNameTimed(dup, 1000);
    ASSERT_TRUE(timed.has_value());
    EXPECT_EQ(*timed, expected);
    platform::Nt().NtClose(dup);
    platform::Nt().NtClose(owner);
    value += 4;
  }
}

TEST_F(PortsTest, CommandLineList) {
  UseIpHelper();
  m.state.tcp = {Tcp(2, "0.0.0.0", 80, "0.0.0.0", 0, 4)};
  int code = -1;
  std::vector<std::string> lines = CliLines("ports", {}, code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(lines, (std::vector<std::string>{"Protocol\tLocal IP\tLocal Port\tRemote IP\tRemote Port\tStatus\tPID\tPathName",
                                             "TCP\t0.0.0.0\t80\t0.0.0.0\t0\tLISTENING\t\t", "1 Item(s)"}));
}

}  // namespace
}  // namespace tv
