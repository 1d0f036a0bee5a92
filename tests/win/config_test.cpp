// Start-up entries, browser helper objects, services and ports on the real platform (Wine).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/paths.h"
#include "net/ports.h"
#include "platform/win32/win32_platform.h"
#include "sysconfig/driver.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace tv {
namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kBhoKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const wchar_t kBhoClsid[] = L"{7A1C0E55-3B1D-4F2A-9C1E-5D6B7F0A1C2E}";
const char kBhoClsidA[] = "{7A1C0E55-3B1D-4F2A-9C1E-5D6B7F0A1C2E}";
const wchar_t kTestService[] = L"TolvexaConfTestSvc";

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

// Folder of the test program, with a trailing backslash; the helpers are built next to it.
std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

bool SetString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExW(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  LONG r = RegQueryValueExW(k, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueW(k, name.c_str());
  RegCloseKey(k);
}

class ConfigWinTest : public ::testing::Test {
 protected:
  ui::Recorder recorder;
  void SetUp() override {
    platform::Install(win32::RealPlatform());
    InitFolders();
    LoadEnglishText();
    ui::Install(&recorder);
  }
  void TearDown() override { ui::Install(nullptr); }
};

TEST_F(ConfigWinTest, RunValuesAppearInWalkOrderAndAreRemovedByTheFix) {
  const std::wstring machineName = L"TolvexaConfTestMachine", userName = L"TolvexaConfTestUser";
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kRunKey, userName, L"C:\\user-side.exe /quiet"));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kRunKey, machineName, L"C:\\machine-side.exe"));

  GetStartupItems();
  int machineRow = -1, userRow = -1;
  for (std::size_t i = 0; i < StartupList().size(); ++i) {
    const StartupRecord& r = StartupList()[i];
    if (r.Name == Narrow(machineName)) machineRow = static_cast<int>(i);
    if (r.Name == Narrow(userName)) userRow = static_cast<int>(i);
  }
  ASSERT_GE(machineRow, 0);
  ASSERT_GE(userRow, 0);
  EXPECT_LT(machineRow, userRow);  // HKLM's Run key is walked before HKCU's
  const StartupRecord machine = StartupList()[machineRow], user = StartupList()[userRow];
  EXPECT_EQ(machine.KeyPath, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(machine.KeyName, "Run");
  EXPECT_EQ(machine.Value, "C:\\machine-side.exe");
  EXPECT_EQ(user.Value, "C:\\user-side.exe /quiet");
  EXPECT_EQ(user.ValueType, 1u);

  FixStartupItem(machine);
  FixStartupItem(user);
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, machineName));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, userName));
  GetStartupItems();
  for (const StartupRecord& r : StartupList()) {
    EXPECT_NE(r.Name, Narrow(machineName));
    EXPECT_NE(r.Name, Narrow(userName));
  }
  DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, machineName);
  DeleteValue(HKEY_CURRENT_USER, kRunKey, userName);
}

TEST_F(ConfigWinTest, BrowserHelperObjectShowsItsLibraryAndPublisher) {
  const std::wstring dll = ExeDir() + L"confbho.dll";
  ASSERT_NE(GetFileAttributesW(dll.c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(dll);
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kBhoClsid;
  ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"", dll));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, std::wstring(kBhoKey) + L"\\" + kBhoClsid, L"", L""));

  GetBrowserHelperObjects();
  const StartupRecord* found = nullptr;
  for (const StartupRecord& r : BhoList())
    if (r.Name == kBhoClsidA) found = &r;
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->ItemKind, 1);
  EXPECT_EQ(found->Value, Narrow(dll));
  EXPECT_EQ(found->Publisher, "Tolvexa BHO Test Co");

  // "&Delete Value" removes the registration; the class stays.
  int row = static_cast<int>(found - BhoList().data());
  recorder.answers = {ui::mb::IdYes};
  ASSERT_TRUE(DeleteReg({row}).has_value());
  HKEY k = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kBhoKey) + L"\\" + kBhoClsid).c_str(), 0, KEY_READ, &k),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  RegCloseKey(k);

  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kBhoKey) + L"\\" + kBhoClsid).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey.c_str());
}

TEST_F(ConfigWinTest, ServicesOfWineWithStates) {
  GetServices();
  ASSERT_FALSE(ServiceList().empty());
  int running = 0, stopped = 0;
  for (const ServiceRecord& r : ServiceList()) {
    EXPECT_FALSE(r.Name.empty());
    EXPECT_FALSE(r.RawImagePath.empty());
    if (r.Status == 4) ++running;
    if (r.Status == 1) ++stopped;
  }
  EXPECT_GT(running, 0);
  EXPECT_GT(stopped, 0);
  ui::ListContent all = ShowServiceList(kShowAll);
  EXPECT_EQ(all.rows.size(), ServiceList().size());
  EXPECT_EQ(all.status, std::to_string(all.rows.size()) + " Item(s)");
}

std::uint32_t WaitForState(ClsDriver& d, std::uint32_t wanted) {
  std::uint32_t s = 0;
  for (int i = 0; i < 200; ++i) {
    s = d.GetServiceStatus();
    if (s == wanted) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return s;
}

TEST_F(ConfigWinTest, TestServiceIsStartedStoppedAndDeletedThroughClsDriver) {
  const std::wstring exe = ExeDir() + L"conf_service.exe";
  ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(exe);
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  // A service left behind by an interrupted run goes first.
  if (SC_HANDLE old = OpenServiceW(scm, kTestService, SERVICE_ALL_ACCESS)) {
    SERVICE_STATUS st;
    ControlService(old, SERVICE_CONTROL_STOP, &st);
    ::DeleteService(old);
    CloseServiceHandle(old);
  }
  const std::wstring binary = L"\"" + exe + L"\"";
  SC_HANDLE created = CreateServiceW(scm, kTestService, L"Tolvexa conf test service", SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(created, nullptr) << GetLastError();
  CloseServiceHandle(created);

  ClsDriver d;
  d.szDrvSvcName = Narrow(kTestService);
  EXPECT_EQ(d.GetServiceStatus(), 1u);
  EXPECT_NE(d.SetServiceStatus(0), 0u);
  EXPECT_EQ(WaitForState(d, 4), 4u);

  // The service list shows it, running.
  GetServices();
  bool listed = false;
  for (const ServiceRecord& r : ServiceList())
    if (r.Name == d.szDrvSvcName) {
      listed = true;
      EXPECT_EQ(r.Status, 4u);
      EXPECT_EQ(r.Type, 16u);
      EXPECT_EQ(r.Start, 3u);
    }
  EXPECT_TRUE(listed);

  EXPECT_NE(d.SetServiceStatus(1), 0u);
  EXPECT_EQ(WaitForState(d, 1), 1u);
  EXPECT_EQ(d.SetServiceStatus(1), 0u);  // already stopped: nothing sent

  EXPECT_NE(d.SetServiceStatus(0), 0u);
  EXPECT_EQ(WaitForState(d, 4), 4u);
  EXPECT_NE(d.SetServiceStatus(2), 0u);  // stop and delete
  SC_HANDLE gone = nullptr;
  for (int i = 0; i < 100; ++i) {
    gone = OpenServiceW(scm, kTestService, SERVICE_QUERY_STATUS);
    if (gone == nullptr) break;
    CloseServiceHandle(gone);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(gone, nullptr);
  EXPECT_TRUE(recorder.messages.empty());
  if (gone != nullptr) {
    SC_HANDLE s = OpenServiceW(scm, kTestService, SERVICE_ALL_ACCESS);
    if (s) {
      SERVICE_STATUS st;
      ControlService(s, SERVICE_CONTROL_STOP, &st);
      ::DeleteService(s);
      CloseServiceHandle(s);
    }
  }
  CloseServiceHandle(scm);
}

TEST_F(ConfigWinTest, ListenerAndUdpSocketAppearInThePortTable) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  SOCKET udp = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(listener, INVALID_SOCKET);
  ASSERT_NE(udp, INVALID_SOCKET);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  sockaddr_in got{};
  int len = sizeof(got);
  getsockname(listener, reinterpret_cast<sockaddr*>(&got), &len);
  const int tcpPort = ntohs(got.sin_port);
  len = sizeof(got);
  getsockname(udp, reinterpret_cast<sockaddr*>(&got), &len);
  const int udpPort = ntohs(got.sin_port);

  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  GetVersionExW(&v);
  GetPortTable();
  const PortEntry* tcpRow = nullptr;
  const PortEntry* udpRow = nullptr;
  for (const PortEntry& e : PortTable()) {
    if (e.Protocol == "TCP" && e.LocalPort == tcpPort && e.LocalIP == "127.0.0.1") tcpRow = &e;
    if (e.Protocol == "UDP" && e.LocalPort == udpPort && e.LocalIP == "127.0.0.1") udpRow = &e;
  }
  ASSERT_NE(tcpRow, nullptr) << tcpPort;
  ASSERT_NE(udpRow, nullptr) << udpPort;
  EXPECT_EQ(tcpRow->Status, "LISTENING");
  EXPECT_EQ(tcpRow->RemotePort, 0);
  EXPECT_EQ(udpRow->RemoteIP, "---");
  EXPECT_EQ(udpRow->Status, "");
  if (v.dwMajorVersion != 5) {
    EXPECT_EQ(tcpRow->PID, -1);
    EXPECT_EQ(tcpRow->ImageFile, "");
  }
  ui::ListContent rows = FillPortList();
  EXPECT_EQ(rows.rows.size(), PortTable().size());
  EXPECT_TRUE(recorder.messages.empty());

  closesocket(listener);
  closesocket(udp);
  WSACleanup();
}

}  // namespace
}  // namespace tv
