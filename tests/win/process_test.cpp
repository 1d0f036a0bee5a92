// The process engine on the real backend, run under Wine: started helper programs are listed,
// enumerated, searched and ended.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/win32/win32_platform.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "process/terminate.h"

namespace tv::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string ExeDir() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, n);
  return p.substr(0, p.find_last_of('\\') + 1);
}

bool UnderWine() {
  HMODULE nt = GetModuleHandleA("ntdll.dll");
  return nt && GetProcAddress(nt, "wine_get_version") != nullptr;
}

// Wine without an X display cannot create windows unless its null display driver is chosen
// (HKCU\Software\Wine\Drivers, "Graphics" = "null"). While an object of this class lives,
// programs started under Wine get that driver when no driver is configured; the value is
// removed again afterwards. Outside Wine it does nothing.
class WineWindowDriver {
 public:
  WineWindowDriver() {
    if (!UnderWine() || GetEnvironmentVariableA("DISPLAY", nullptr, 0) != 0) return;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    if (RegQueryValueExA(key_, "Graphics", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return;
    static const char kNull[] = "null";
    set_ = RegSetValueExA(key_, "Graphics", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNull), sizeof kNull) ==
           ERROR_SUCCESS;
  }
  ~WineWindowDriver() {
    if (set_) RegDeleteValueA(key_, "Graphics");
    if (key_) RegCloseKey(key_);
  }
  WineWindowDriver(const WineWindowDriver&) = delete;
  WineWindowDriver& operator=(const WineWindowDriver&) = delete;

 private:
  HKEY key_ = nullptr;
  bool set_ = false;
};

class RealProcessTest : public ::testing::Test {
 protected:
  struct Helper {
    PROCESS_INFORMATION pi{};
    DWORD workerTid = 0;
    std::string tidFile;
  };
  std::vector<Helper> helpers_;

  void SetUp() override {
    platform::Install(win32::RealPlatform());
    InitFolders();
    InitVersionKeys();
  }

  void TearDown() override {
    // Helpers never outlive the test.
    for (Helper& h : helpers_) {
      if (WaitForSingleObject(h.pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(h.pi.hProcess, 99);
        WaitForSingleObject(h.pi.hProcess, 5000);
      }
      CloseHandle(h.pi.hThread);
      CloseHandle(h.pi.hProcess);
      DeleteFileA(h.tidFile.c_str());
    }
    helpers_.clear();
  }

  static std::string TargetPath() { return ExeDir() + "proc_target.exe"; }

  // Starts proc_target.exe and waits until it has written its worker thread's identifier.
  Helper* Start(bool window) {
    WineWindowDriver driver;  // the helper's window is created before it reports
    Helper h;
    h.tidFile = ExeDir() + "proc_target_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(helpers_.size()) + ".tid";
    DeleteFileA(h.tidFile.c_str());
    std::string cmd = "\"" + TargetPath() + "\" \"" + h.tidFile + "\"" + (window ? " window" : "");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &h.pi)) {
      ADD_FAILURE() << "cannot start " << TargetPath() << " error " << GetLastError();
      return nullptr;
    }
    helpers_.push_back(h);
    Helper* started = &helpers_.back();
    for (int i = 0; i < 200 && started->workerTid == 0; ++i) {
      std::ifstream in(started->tidFile);
      unsigned long tid = 0;
      if (in >> tid) started->workerTid = tid;
      else Sleep(50);
    }
    if (started->workerTid == 0) {
      ADD_FAILURE() << "helper did not report its thread";
      return nullptr;
    }
    return started;
  }

  static DWORD WaitExit(const Helper& h, DWORD ms = 10000) {
    if (WaitForSingleObject(h.pi.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(h.pi.hProcess, &code);
    return code;
  }
};

TEST_F(RealProcessTest, StartedHelperIsListedWithItsPathAndVersion) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  RefreshProcessList();
  const ProcessRecord* rec = nullptr;
  for (const auto& r : GetProcessList())
    if (r.PID == static_cast<std::int32_t>(h->pi.dwProcessId)) rec = &r;
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(Lower(rec->ImageName), "proc_target.exe");
  EXPECT_EQ(Lower(rec->PathName), Lower(TargetPath()));
  EXPECT_FALSE(rec->Rootkit);
  EXPECT_EQ(rec->Company, "Tolvexa Process Lab");
  EXPECT_EQ(rec->Description, "Process engine test target");
  EXPECT_EQ(rec->Version, "3.1.4.1");
  // Our own process is listed, once.
  const auto self = static_cast<std::int32_t>(GetCurrentProcessId());
  EXPECT_EQ(std::count_if(GetProcessList().begin(), GetProcessList().end(),
                          [self](const ProcessRecord& r) { return r.PID == self; }),
            1);
  EXPECT_EQ(Lower(GetProcessPath(h->pi.dwProcessId)), Lower(TargetPath()));
}

TEST_F(RealProcessTest, ModulesOfTheHelperStartWithItsImage) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  EnumModules(h->pi.dwProcessId);
  const auto& l = ModuleList();
  ASSERT_FALSE(l.empty());
  EXPECT_EQ(Lower(l[0].ModuleName), "proc_target.exe");
  EXPECT_EQ(Lower(l[0].PathName), Lower(TargetPath()));
  EXPECT_EQ(l[0].Version, "3.1.4.1");
  auto has = [&](const char* name) {
    return std::any_of(l.begin(), l.end(), [&](const ModuleRecord& m) { return Lower(m.ModuleName) == name; });
  };
  EXPECT_TRUE(has("ntdll.dll"));
  EXPECT_TRUE(has("kernel32.dll"));
  EXPECT_EQ(ShowModuleList().status, std::to_string(l.size()) + " Module(s)");

  // The second method finds the same image first.
  EnumModulesByPsapi(h->pi.dwProcessId);
  ASSERT_FALSE(ModuleList().empty());
  EXPECT_EQ(Lower(ModuleList()[0].ModuleName), "proc_target.exe");
}

TEST_F(RealProcessTest, ThreadsOfTheHelperIncludeTheOneItStarted) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  EnumThreads(h->pi.dwProcessId);
  const auto& l = ThreadList();
  EXPECT_GE(l.size(), 2u);
  auto worker = std::find_if(l.begin(), l.end(), [&](const ThreadRecord& t) { return t.TID == h->workerTid; });
  ASSERT_NE(worker, l.end());
  EXPECT_EQ(worker->ExitStatus, 259);  // still running
  EXPECT_NE(worker->TebBaseAddress, 0u);
  EXPECT_TRUE(std::any_of(l.begin(), l.end(), [&](const ThreadRecord& t) { return t.TID == h->pi.dwThreadId; }));
}

TEST_F(RealProcessTest, KernelModulesHaveDriveLetterPaths) {
  std::size_t n = EnumKernelModules();
  ASSERT_GT(n, 0u);
  for (const auto& m : KernelModuleList()) {
    ASSERT_GE(m.PathName.size(), 3u) << m.PathName;
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(m.PathName[0])) && m.PathName[1] == ':' &&
                m.PathName[2] == '\\')
        << m.PathName;
    EXPECT_FALSE(m.ModuleName.empty());
    EXPECT_EQ(Lower(GetFileName(m.PathName)), Lower(m.ModuleName));
  }
}

TEST_F(RealProcessTest, SeekFindsKernel32InTheHelperAndInThisProcess) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  SeekModule("KERNEL32.DLL");
  const auto& hits = SeekList();
  auto owns = [&](DWORD pid) {
    return std::count_if(hits.begin(), hits.end(),
                         [&](const SeekRecord& s) { return s.OwnerPID == static_cast<std::int32_t>(pid); });
  };
  EXPECT_EQ(owns(h->pi.dwProcessId), 1);
  EXPECT_EQ(owns(GetCurrentProcessId()), 1);
  for (const auto& s : hits) EXPECT_EQ(Lower(s.ModuleName), "kernel32.dll");
}

TEST_F(RealProcessTest, EndTaskClosesTheHelpersWindow) {
  Helper* h = Start(true);
  ASSERT_NE(h, nullptr);
  EndTaskByWindows(h->pi.dwProcessId);
  EXPECT_EQ(WaitExit(*h), 7u);
}

TEST_F(RealProcessTest, TerminationChainEndsTheHelper) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  Handle proc = OpenProcessByForce(access::ProcessAllAccess, false, h->pi.dwProcessId);
  ASSERT_NE(proc, kNullHandle);
  EXPECT_TRUE(TerminateProcessChain(proc, 1, h->pi.dwProcessId));
  CloseHandleEx(proc);
  EXPECT_EQ(WaitExit(*h), 1u);
}

TEST_F(RealProcessTest, ThreadTerminationEndsTheHelpersWorker) {
  Helper* h = Start(false);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(TerminateThreadNormal(h->workerTid));
  EXPECT_EQ(WaitExit(*h), 42u);  // the helper ends as soon as its worker has gone
  EXPECT_FALSE(TerminateThreadNormal(0x7FFFFFF0));  // no such thread
  EXPECT_NE(TerminateThreadByForce(0x7FFFFFF0), 0);
}

}  // namespace
}  // namespace tv::test
