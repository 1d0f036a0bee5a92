// The command line against the live Wine machine, for the switches that the scan, delete and
// tools tests do not run already: the lists, the version and seek commands, the two black-list
// scans and the trust list. Each runs in-process through the front end over the real backend,
// on state the test makes itself (a child process, a Run value, a listening socket, a file).
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "main/front.h"
#include "platform/win32/win32_platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tv {
namespace {

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

struct CliRun {
  int code;
  std::vector<std::string> lines;  // of standard output
  std::string err;
  // The first line that holds every one of `parts` (letter case ignored), or "".
  std::string LineWith(const std::vector<std::string>& parts) const {
    for (const auto& line : lines) {
      bool all = true;
      for (const auto& p : parts) all = all && Lower(line).find(Lower(p)) != std::string::npos;
      if (all) return line;
    }
    return {};
  }
};

CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = FrontEnd(args, out, err, &win32::RealPlatform());
  CliRun r{code, {}, err.str()};
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    r.lines.push_back(line);
  }
  return r;
}

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A copy of sleeper.exe (no version resource) in a private folder, registered under the
// current user's Run key and running; all of it undone at the end.
class PlantedProgram : public ::testing::Test {
 protected:
  std::wstring dir_, exe_, value_;
  PROCESS_INFORMATION pi_{};

  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount());
    dir_ = std::wstring(temp) + L"tvcli_" + tag + L"\\";
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    exe_ = dir_ + L"tvplant" + tag + L".exe";
    ASSERT_TRUE(CopyFileW((ExeDir() + L"sleeper.exe").c_str(), exe_.c_str(), FALSE));
    value_ = L"TolvexaCliTest" + tag;
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr), 0);
    RegSetValueExW(k, value_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(exe_.c_str()),
                   static_cast<DWORD>((exe_.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    std::wstring cmd = L"\"" + exe_ + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, dir_.c_str(),
                               &si, &pi_));
    WaitForInputIdle(pi_.hProcess, 2000);
    Sleep(300);  // let the loader map its modules
  }
  void TearDown() override {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 0);
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &k) == 0) {
      RegDeleteValueW(k, value_.c_str());
      RegCloseKey(k);
    }
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir_), ec);
  }
  std::string Exe() const { return Narrow(exe_); }
  std::string Dir() const { return Narrow(dir_); }
};

TEST_F(PlantedProgram, ProcessModuleThreadAndSeekListsShowTheChild) {
  const std::string pid = std::to_string(pi_.dwProcessId);
  const std::string name = Narrow(exe_.substr(exe_.find_last_of(L'\\') + 1));

  CliRun procs = Cli({"--list", "processes"});
  ASSERT_EQ(procs.code, 0) << procs.err;
  const std::string row = procs.LineWith({name, "\t" + pid + "\t"});
  ASSERT_FALSE(row.empty()) << "child not listed";
  EXPECT_NE(Lower(row).find(Lower(Exe())), std::string::npos) << row;
  EXPECT_EQ(procs.lines.back().rfind("Process: ", 0), 0u) << procs.lines.back();

  CliRun mods = Cli({"--list", "modules", pid});
  ASSERT_EQ(mods.code, 0) << mods.err;
  EXPECT_FALSE(mods.LineWith({name}).empty());
  EXPECT_FALSE(mods.LineWith({"ntdll.dll"}).empty());
  EXPECT_NE(mods.lines.back().find("Module(s)"), std::string::npos) << mods.lines.back();

  CliRun threads = Cli({"--list", "threads", pid});
  ASSERT_EQ(threads.code, 0) << threads.err;
  EXPECT_FALSE(threads.LineWith({std::to_string(pi_.dwThreadId)}).empty());
  EXPECT_NE(threads.lines.back().find("Thread(s)"), std::string::npos) << threads.lines.back();

  // Every process that holds the child's image: the child alone.
  CliRun seek = Cli({"--seek", name});
  ASSERT_EQ(seek.code, 0) << seek.err;
  EXPECT_FALSE(seek.LineWith({pid, name}).empty());
}

TEST_F(PlantedProgram, StartupListAndBothBlackListScansFindTheProgram) {
  CliRun startup = Cli({"--list", "startup"});
  ASSERT_EQ(startup.code, 0) << startup.err;
  EXPECT_FALSE(startup.LineWith({Narrow(value_), Exe()}).empty());

  // The program has no version text and no signature: the start-up items put it on the black
  // list, and both scans then find its file, in memory and on disk.
  CliRun memory = Cli({"--scan", "memory"});
  EXPECT_EQ(memory.code, 1) << memory.err;
  EXPECT_FALSE(memory.LineWith({"Dangerous", Lower(Exe())}).empty()) << ::testing::PrintToString(memory.lines);

  CliRun system = Cli({"--scan", "system", Dir()});
  EXPECT_EQ(system.code, 1) << system.err;
  const std::string hit = system.LineWith({"Dangerous", Lower(Exe())});
  EXPECT_FALSE(hit.empty()) << ::testing::PrintToString(system.lines);
  EXPECT_EQ(system.lines[system.lines.size() - 2], "Scan spyware completed");
}

TEST(CliWine, InfoVersionKernelServicesAndPorts) {
  CliRun info = Cli({"--info"});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_FALSE(info.LineWith({"Microsoft Windows"}).empty()) << ::testing::PrintToString(info.lines);

  CliRun version = Cli({"--version-of", Narrow(ExeDir() + L"versioned.exe")});
  ASSERT_EQ(version.code, 0) << version.err;
  EXPECT_FALSE(version.LineWith({"Company: Tolvexa Test"}).empty()) << ::testing::PrintToString(version.lines);

  CliRun kernel = Cli({"--list", "kernel"});
  ASSERT_EQ(kernel.code, 0) << kernel.err;
  EXPECT_GE(kernel.lines.size(), 3u);  // captions, at least one driver, the count
  EXPECT_FALSE(kernel.LineWith({":\\"}).empty()) << "drive-letter paths expected";

  CliRun services = Cli({"--list", "services", "--filter", "0"});
  ASSERT_EQ(services.code, 0) << services.err;
  EXPECT_FALSE(services.LineWith({"Started"}).empty()) << ::testing::PrintToString(services.lines);

  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(listener, INVALID_SOCKET);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  sockaddr_in got{};
  int len = sizeof got;
  getsockname(listener, reinterpret_cast<sockaddr*>(&got), &len);
  const std::string port = std::to_string(ntohs(got.sin_port));
  CliRun ports = Cli({"--list", "ports"});
  closesocket(listener);
  WSACleanup();
  ASSERT_EQ(ports.code, 0) << ports.err;
  EXPECT_FALSE(ports.LineWith({"TCP", "127.0.0.1\t" + port, "LISTENING"}).empty())
      << ::testing::PrintToString(ports.lines);
}

TEST(CliWine, TrustListAddListAndRemoveOnTheFileBesideTheProgram) {
  const std::wstring list = ExeDir() + L"trust.lst";
  const std::wstring saved = list + L".saved";
  const bool had = GetFileAttributesW(list.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (had) {
    ASSERT_TRUE(MoveFileExW(list.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING));
  }

  const std::string file = Narrow(ExeDir() + L"versioned.exe");
  CliRun add = Cli({"--trust", "add", file, file});
  EXPECT_EQ(add.code, 0) << add.err;
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(list)), 2u * 1812u);
  CliRun listed = Cli({"--trust", "list"});
  EXPECT_EQ(listed.code, 0) << listed.err;
  EXPECT_FALSE(listed.LineWith({"1\t", Lower(file)}).empty()) << ::testing::PrintToString(listed.lines);
  EXPECT_FALSE(listed.LineWith({"2\t", Lower(file)}).empty()) << "duplicates are kept";
  CliRun removed = Cli({"--trust", "remove", "2"});
  EXPECT_EQ(removed.code, 0) << removed.err;
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(list)), 1812u);
  CliRun bad = Cli({"--trust", "remove", "2"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(list)), 1812u) << "nothing changed";

  DeleteFileW(list.c_str());
  if (had) MoveFileExW(saved.c_str(), list.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace
}  // namespace tv
