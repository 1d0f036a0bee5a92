// The deletion modes on the real platform (Wine): --delete on real files, a reboot delete in the
// session manager's registry value, and a file another process holds open without sharing.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "base/object_names.h"
#include "base/paths.h"
#include "cli/cli.h"
#include "platform/win32/win32_platform.h"
#include "tools/file_delete.h"
#include "ui/ui.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tv {
namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

std::string ExeDir() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, n);
  return p.substr(0, p.find_last_of('\\') + 1);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteBytes(const std::string& path, std::size_t size, char fill) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  std::string block(64 * 1024, fill);
  for (std::size_t done = 0; done < size;) {
    DWORD n = static_cast<DWORD>(std::min(block.size(), size - done)), written = 0;
    ASSERT_TRUE(WriteFile(h, block.data(), n, &written, nullptr));
    done += written;
  }
  CloseHandle(h);
}

std::string ReadAll(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string out(1 << 16, '\0');
  DWORD got = 0;
  ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
  CloseHandle(h);
  out.resize(got);
  return out;
}

// The session manager's value as raw bytes; `present` false when it does not exist.
std::string PendingValue(bool& present) {
  present = false;
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return "";
  DWORD type = 0, size = 0;
  std::string data;
  if (RegQueryValueExA(k, kPending, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size);
    if (RegQueryValueExA(k, kPending, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
      present = true;
      data.resize(size);
    }
  }
  RegCloseKey(k);
  return data;
}

void RestorePendingValue(bool present, const std::string& data) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  if (present)
    RegSetValueExA(k, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
  else
    RegDeleteValueA(k, kPending);
  RegCloseKey(k);
}

class RealDeleteTest : public ::testing::Test {
 protected:
  struct Run {
    int code;
    std::string out, err;
  };
  void SetUp() override {
    platform::Install(win32::RealPlatform());
    InitFolders();
    ui::Install(&recorder_);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    dir_ = std::string(tmp) + "tolvexa_delete_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir_.c_str(), nullptr);
    pendingBefore_ = PendingValue(pendingPresent_);
  }
  void TearDown() override {
    if (holder_.hProcess) {
      TerminateProcess(holder_.hProcess, 0);
      WaitForSingleObject(holder_.hProcess, 5000);
      CloseHandle(holder_.hThread);
      CloseHandle(holder_.hProcess);
    }
    RestorePendingValue(pendingPresent_, pendingBefore_);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir_ + "*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string p = dir_ + fd.cFileName;
        SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(p.c_str());
      } while (FindNextFileA(find, &fd));
      FindClose(find);
    }
    RemoveDirectoryA(dir_.c_str());
    ui::Install(nullptr);
    platform::Install(Platform{});
  }
  Run Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  // Starts file_holder.exe on `path` with `share` and waits until it holds the file.
  void Hold(const std::string& path, unsigned share) {
    const std::string ready = dir_ + "holder.ready";
    const std::string cmd = "\"" + ExeDir() + "file_holder.exe\" \"" + path + "\" " + std::to_string(share) + " \"" +
                            ready + "\"";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                               &holder_))
        << GetLastError();
    for (int i = 0; i < 500 && !Exists(ready); ++i) {
      ASSERT_EQ(WaitForSingleObject(holder_.hProcess, 10), static_cast<DWORD>(WAIT_TIMEOUT)) << "holder ended";
    }
    ASSERT_TRUE(Exists(ready));
  }
  bool HolderRuns() const { return WaitForSingleObject(holder_.hProcess, 0) == WAIT_TIMEOUT; }

  std::string dir_;
  ui::Recorder recorder_;
  PROCESS_INFORMATION holder_{};
  bool pendingPresent_ = false;
  std::string pendingBefore_;
};

TEST_F(RealDeleteTest, NormalSecureAndRebootOnRealFiles) {
  const std::string plain = dir_ + "plain.txt", ro = dir_ + "read-only.txt", big = dir_ + "big.bin",
                    later = dir_ + "later.txt";
  WriteBytes(plain, 10, 'p');
  WriteBytes(ro, 10, 'r');
  ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  WriteBytes(big, 2500000, 'b');  // three blocks per pass
  WriteBytes(later, 10, 'l');

  Run r = Cli({"--delete", "normal", plain, ro});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "deleted\t" + plain + "\ndeleted\t" + ro + "\n");
  EXPECT_FALSE(Exists(plain));
  EXPECT_FALSE(Exists(ro));

  r = Cli({"--delete", "secure", big});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "deleted\t" + big + "\n");
  EXPECT_FALSE(Exists(big));
  // Nothing is left behind under its random name either.
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((dir_ + "*.tmp").c_str(), &fd);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << fd.cFileName;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);

  r = Cli({"--delete", "reboot", later, dir_ + "missing.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "scheduled\t" + later + "\nfailed\t" + dir_ + "missing.txt\n");
  EXPECT_TRUE(Exists(later));  // nothing moves before the restart
  bool present = false;
  const std::string value = PendingValue(present);
  ASSERT_TRUE(present);
  const std::string entry = "\\??\\" + later + std::string(1, '\0') + std::string(1, '\0');
  EXPECT_NE(value.find(entry), std::string::npos);
  EXPECT_EQ(value.find("missing.txt"), std::string::npos);
}

TEST_F(RealDeleteTest, FileHeldOpenWithoutSharingIsRemovedOnlyByForce) {
  const std::string held = dir_ + "held.dat";
  WriteBytes(held, 1000, 'h');
  Hold(held, 0);
  ASSERT_FALSE(DeleteFileA(held.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  Run r = Cli({"--delete", "normal", held});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "failed\t" + held + "\n");
  EXPECT_EQ(r.err, "tolvexa: Delete file :" + held + " error!\n");
  EXPECT_TRUE(Exists(held));

  // A secure delete cannot overwrite it, so it does not delete it either.
  r = Cli({"--delete", "secure", held});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Exists(held));

  r = Cli({"--delete", "force", held});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "deleted\t" + held + "\n");
  EXPECT_FALSE(Exists(held));
  EXPECT_TRUE(HolderRuns());  // only its handle was closed
  EXPECT_EQ(PendingNameQueries(), 0u);
}

TEST_F(RealDeleteTest, SecureDeleteOfAHeldFileLeavesItsContents) {
  const std::string held = dir_ + "shared.dat";
  WriteBytes(held, 100, 's');
  Hold(held, FILE_SHARE_READ);  // readers welcome, writers and deleters not
  std::string path = held;
  EXPECT_EQ(DeleteFileByMode(path, kSecureDelete, true), 0);
  EXPECT_EQ(ReadAll(held), std::string(100, 's'));
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "Delete file :" + held + " error!");
}

}  // namespace
}  // namespace tv
