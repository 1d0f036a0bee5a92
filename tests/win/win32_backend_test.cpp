// Tests of the real Windows backend itself, for what the logic-level tests cannot show: text
// outside the ANSI code page crossing the UTF-8 boundary intact (registry names and data, file
// names, version information of a file in such a folder), the registry's size rules, and the
// raw NT / IP helper answers parsed with the layouts the logic reads.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
// After <winsock2.h>.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/layouts.h"
#include "platform/win32/win32_platform.h"

namespace {

using tv::Handle;

const tv::Platform& P() { return tv::win32::RealPlatform(); }

// Text outside any ANSI code page: Cyrillic and CJK in one name.
const char kName8[] = "Tolvexa-\xD1\x82\xD0\xB5\xD1\x81\xD1\x82-\xE6\xB5\x8B\xE8\xAF\x95";  // Tolvexa-тест-测试
const wchar_t kName16[] = L"Tolvexa-\x0442\x0435\x0441\x0442-\x6D4B\x8BD5";

std::string Pid() { return std::to_string(::GetCurrentProcessId()); }

std::wstring Wide(const std::string& s) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Bytes(const void* p, std::size_t n) { return std::string(static_cast<const char*>(p), n); }

// ====================================================================== registry ====

// A key HKEY_CURRENT_USER\Software\TolvexaTest-win32-<pid> that the test removes again.
class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\TolvexaTest-win32-" + Pid();
    ASSERT_EQ(0, R().RegCreateKeyA(tv::reg::CurrentUser, base_, &key_));
    ASSERT_NE(0u, key_);
  }
  void TearDown() override {
    if (key_ != 0) R().RegCloseKey(key_);
    R().SHDeleteKeyA(tv::reg::CurrentUser, base_);
    HKEY probe = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(base_).c_str(), 0, KEY_READ, &probe))
        << "test key left behind";
  }
  static tv::RegistryApi& R() { return *P().registry; }
  // The same key opened directly through the wide API, to check what really is stored.
  HKEY OpenDirect(const std::wstring& below = L"", REGSAM access = KEY_READ) {
    std::wstring path = Wide(base_);
    if (!below.empty()) path += L"\\" + below;
    HKEY k = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &k));
    return k;
  }

  std::string base_;
  Handle key_ = 0;
};

TEST_F(Win32RegistryTest, NamesAndStringDataSurviveAsUtf8) {
  Handle sub = 0;
  ASSERT_EQ(0, R().RegCreateKeyA(key_, kName8, &sub));
  const std::string sz = std::string(kName8) + '\0';
  ASSERT_EQ(0, R().RegSetValueExA(sub, kName8, tv::reg::Sz, sz.data(), static_cast<std::uint32_t>(sz.size())));
  // Multi-string: two strings, each with its NUL, and the NUL that ends the list.
  const std::string multi = std::string("a-\xE6\xB5\x8B") + '\0' + kName8 + '\0' + '\0';
  ASSERT_EQ(0, R().RegSetValueExA(sub, "multi", tv::reg::MultiSz, multi.data(),
                                  static_cast<std::uint32_t>(multi.size())));
  const std::string expand = std::string("%TEMP%\\\xD1\x82") + '\0';
  ASSERT_EQ(0, R().RegSetValueExA(sub, "expand", tv::reg::ExpandSz, expand.data(),
                                  static_cast<std::uint32_t>(expand.size())));
  ASSERT_EQ(0, R().RegCloseKey(sub));

  // What the registry holds is the UTF-16 form of the same text.
  HKEY direct = OpenDirect(kName16);
  ASSERT_NE(nullptr, direct);
  wchar_t wdata[64] = {};
  DWORD cb = sizeof(wdata), type = 0;
  ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExW(direct, kName16, nullptr, &type, reinterpret_cast<BYTE*>(wdata), &cb));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(std::wstring(kName16) + L'\0', std::wstring(wdata, cb / sizeof(wchar_t)));
  ::RegCloseKey(direct);

  // Read back through the backend: type, UTF-8 bytes with the NUL, size in those bytes.
  ASSERT_EQ(0, R().RegOpenKeyExA(key_, kName8, 0, tv::reg::KeyRead, &sub));
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string data;
  };
  for (const Case& c : {Case{kName8, tv::reg::Sz, sz}, Case{"multi", tv::reg::MultiSz, multi},
                        Case{"expand", tv::reg::ExpandSz, expand}}) {
    SCOPED_TRACE(c.name);
    std::uint32_t type = 0, size = 0;
    ASSERT_EQ(0, R().RegQueryValueExA(sub, c.name, &type, nullptr, &size));
    EXPECT_EQ(c.type, type);
    EXPECT_EQ(c.data.size(), size);
    std::vector<char> buf(size);
    ASSERT_EQ(0, R().RegQueryValueExA(sub, c.name, &type, buf.data(), &size));
    EXPECT_EQ(c.data, Bytes(buf.data(), size));
  }

  // Enumeration hands back the same names.
  std::string name;
  ASSERT_EQ(0, R().RegEnumKeyExA(key_, 0, &name, 256));
  EXPECT_EQ(kName8, name);
  bool found = false;
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t type = 0, size = 256;
    char data[256];
    std::int32_t r = R().RegEnumValueA(sub, i, &name, 256, &type, data, &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(0, r);
    if (name == kName8) {
      found = true;
      EXPECT_EQ(sz, Bytes(data, size));
    }
  }
  EXPECT_TRUE(found);
  R().RegCloseKey(sub);
}

TEST_F(Win32RegistryTest, SizesFollowTheAnsiRules) {
  // 4 characters of 3 UTF-8 bytes each (12 bytes) + NUL = 13 bytes; 10 bytes in UTF-16.
  const std::string text = std::string("\xE6\xB5\x8B\xE8\xAF\x95\xE6\xB5\x8B\xE8\xAF\x95") + '\0';
  ASSERT_EQ(0, R().RegSetValueExA(key_, "v", tv::reg::Sz, text.data(), static_cast<std::uint32_t>(text.size())));

  char buf[64];
  std::memset(buf, 'x', sizeof(buf));
  std::uint32_t type = 0, size = 12;  // one byte short
  EXPECT_EQ(234, R().RegQueryValueExA(key_, "v", &type, buf, &size));
  EXPECT_EQ(13u, size);
  EXPECT_EQ(tv::reg::Sz, type);
  size = 13;
  EXPECT_EQ(0, R().RegQueryValueExA(key_, "v", &type, buf, &size));
  EXPECT_EQ(13u, size);
  EXPECT_EQ(text, Bytes(buf, size));

  // The same rule in the enumeration, for the data and for the name.
  std::string name;
  size = 12;
  EXPECT_EQ(234, R().RegEnumValueA(key_, 0, &name, 256, &type, buf, &size));
  EXPECT_EQ(13u, size);
  size = sizeof(buf);
  EXPECT_EQ(0, R().RegEnumValueA(key_, 0, &name, 256, &type, buf, &size));
  EXPECT_EQ("v", name);
  EXPECT_EQ(234, R().RegEnumValueA(key_, 0, &name, 1, &type, buf, &size));  // no room for "v" and its NUL

  // Text written without its NUL is stored with one, as NT stores it for the ANSI function.
  ASSERT_EQ(0, R().RegSetValueExA(key_, "written", tv::reg::Sz, "abc", 3));
  size = sizeof(buf);
  ASSERT_EQ(0, R().RegQueryValueExA(key_, "written", &type, buf, &size));
  EXPECT_EQ(std::string("abc\0", 4), Bytes(buf, size));

  // A string some other program stored without a NUL: the size is that of the data; a NUL is
  // added behind it when there is room, as the ANSI function does.
  {
    HKEY direct = OpenDirect(L"", KEY_SET_VALUE);
    ASSERT_NE(nullptr, direct);
    const wchar_t abcd[] = L"abcd";  // only "abc" is stored; the 'd' behind keeps NT from adding a NUL
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(direct, L"bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(abcd), 6));
    ::RegCloseKey(direct);
  }
  std::memset(buf, 'x', sizeof(buf));
  size = sizeof(buf);
  ASSERT_EQ(0, R().RegQueryValueExA(key_, "bare", &type, buf, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ(std::string("abc\0", 4), Bytes(buf, 4));
  size = 3;
  std::memset(buf, 'x', sizeof(buf));
  ASSERT_EQ(0, R().RegQueryValueExA(key_, "bare", &type, buf, &size));
  EXPECT_EQ("abcx", Bytes(buf, 4));

  // Binary and number data cross unchanged.
  const unsigned char bin[] = {0, 0xFF, 0x80, 1, 0};
  ASSERT_EQ(0, R().RegSetValueExA(key_, "bin", tv::reg::Binary, bin, sizeof(bin)));
  size = sizeof(buf);
  ASSERT_EQ(0, R().RegQueryValueExA(key_, "bin", &type, buf, &size));
  EXPECT_EQ(tv::reg::Binary, type);
  EXPECT_EQ(Bytes(bin, sizeof(bin)), Bytes(buf, size));
  const std::uint32_t number = 0xA1B2C3D4u;
  ASSERT_EQ(0, R().RegSetValueExA(key_, "dw", tv::reg::Dword, &number, 4));
  std::uint32_t back = 0;
  size = 4;
  ASSERT_EQ(0, R().RegQueryValueExA(key_, "dw", &type, &back, &size));
  EXPECT_EQ(number, back);

  EXPECT_EQ(ERROR_FILE_NOT_FOUND, R().RegQueryValueExA(key_, "missing", &type, nullptr, &size));
}

TEST_F(Win32RegistryTest, RootsKeysAndTreeDeletion) {
  // Both spellings of a root reach the same key: 0x80000001 and its sign-extended form.
  const Handle signExtended = static_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
  for (Handle root : {tv::reg::CurrentUser, signExtended}) {
    Handle k = 0;
    EXPECT_EQ(0, R().RegOpenKeyExA(root, base_, 0, tv::reg::KeyRead, &k));
    if (k != 0) R().RegCloseKey(k);
  }
  // Opening a root with no subkey gives back the root in its interface form.
  Handle same = 0;
  ASSERT_EQ(0, R().RegOpenKeyA(tv::reg::CurrentUser, "", &same));
  EXPECT_EQ(tv::reg::CurrentUser, same);

  Handle a = 0, b = 0;
  ASSERT_EQ(0, R().RegCreateKeyA(key_, "a", &a));
  ASSERT_EQ(0, R().RegCreateKeyA(a, "b", &b));
  R().RegCloseKey(b);
  R().RegCloseKey(a);
  EXPECT_NE(0, R().RegDeleteKeyA(key_, "a")) << "a key with subkeys must not be deleted";
  EXPECT_EQ(0, R().RegDeleteKeyA(key_, "a\\b"));
  ASSERT_EQ(0, R().RegCreateKeyA(key_, "a\\b\\c", &a));
  R().RegCloseKey(a);
  EXPECT_EQ(0, R().SHDeleteKeyA(key_, "a"));
  EXPECT_NE(0, R().RegOpenKeyExA(key_, "a", 0, tv::reg::KeyRead, &a));
  EXPECT_EQ(0u, a);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, R().RegEnumKeyExA(key_, 0, nullptr, 256));
}

// ========================================================================= files ====

// A folder with a non-ANSI name in the temporary folder, removed at the end.
class Win32FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = P().system->GetTempPathA() + kName8 + "-" + Pid();
    wdir_ = Wide(P().system->GetTempPathA()) + kName16 + L"-" + Wide(Pid());
    ASSERT_TRUE(F().CreateDirectoryA(dir_));
  }
  void TearDown() override {
    WIN32_FIND_DATAW w;
    HANDLE h = ::FindFirstFileW((wdir_ + L"\\*").c_str(), &w);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = w.cFileName;
        if (n == L"." || n == L"..") continue;
        ::SetFileAttributesW((wdir_ + L"\\" + n).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((wdir_ + L"\\" + n).c_str());
      } while (::FindNextFileW(h, &w));
      ::FindClose(h);
    }
    EXPECT_TRUE(::RemoveDirectoryW(wdir_.c_str()));
  }
  static tv::FileApi& F() { return *P().files; }

  std::string dir_;
  std::wstring wdir_;
};

TEST_F(Win32FilesTest, NonAnsiNamesRoundTrip) {
  // The folder really has the UTF-16 name.
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(wdir_.c_str()));
  const std::string file = dir_ + "\\" + kName8 + ".txt";
  const std::string content = "data \xE6\xB5\x8B";
  Handle h = F().CreateFileA(file, tv::access::GenericRead | tv::access::GenericWrite, 0, 2, 0x80);
  ASSERT_NE(tv::kInvalidHandle, h);
  std::uint32_t n = 0;
  ASSERT_TRUE(F().WriteFile(h, content.data(), static_cast<std::uint32_t>(content.size()), &n));
  EXPECT_EQ(content.size(), n);
  EXPECT_EQ(content.size(), F().GetFileSize(h));
  EXPECT_EQ(0u, F().SetFilePointer(h, 0, 0));
  char buf[32] = {};
  ASSERT_TRUE(F().ReadFile(h, buf, sizeof(buf), &n));
  EXPECT_EQ(content, Bytes(buf, n));
  EXPECT_TRUE(P().system->CloseHandle(h));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((wdir_ + L"\\" + kName16 + L".txt").c_str()));

  ASSERT_TRUE(F().SetFileAttributesA(file, tv::fattr::Hidden | tv::fattr::System));
  EXPECT_EQ(tv::fattr::Hidden | tv::fattr::System,
            F().GetFileAttributesA(file) & (tv::fattr::Hidden | tv::fattr::System));

  // The listing finds it under its UTF-8 name, with its attributes and size.
  tv::FindData fd;
  Handle find = F().FindFirstFileA(dir_ + "\\*.txt", fd);
  ASSERT_NE(tv::kInvalidHandle, find);
  EXPECT_EQ(std::string(kName8) + ".txt", fd.fileName);
  EXPECT_EQ(content.size(), fd.size);
  EXPECT_TRUE(fd.attributes & tv::fattr::Hidden);
  EXPECT_FALSE(F().FindNextFileA(find, fd));
  EXPECT_TRUE(F().FindClose(find));

  const std::string moved = dir_ + "\\\xE6\xB5\x8B.bin";
  ASSERT_TRUE(F().SetFileAttributesA(file, tv::fattr::Normal));
  ASSERT_TRUE(F().MoveFileExA(file, moved, 1));
  EXPECT_EQ(tv::fattr::Invalid, F().GetFileAttributesA(file));
  EXPECT_NE(tv::fattr::Invalid, F().GetFileAttributesA(moved));
  EXPECT_TRUE(F().DeleteFileA(moved));
  EXPECT_EQ(tv::fattr::Invalid, F().GetFileAttributesA(moved));
  EXPECT_EQ(tv::kInvalidHandle, F().FindFirstFileA(dir_ + "\\*.bin", fd));
}

TEST_F(Win32FilesTest, VersionInformationOfAFileInANonAnsiFolder) {
  // The versioned helper is built next to this program.
  std::string self = P().system->GetModuleFileNameA(0);
  const std::string helper = self.substr(0, self.find_last_of('\\') + 1) + "versioned.exe";
  const std::string copy = dir_ + "\\" + kName8 + ".exe";
  ASSERT_TRUE(::CopyFileW(Wide(helper).c_str(), Wide(copy).c_str(), FALSE)) << helper;

  std::uint32_t handle = 7;
  const std::uint32_t size = F().GetFileVersionInfoSizeA(copy, &handle);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> raw(size);
  ASSERT_TRUE(F().GetFileVersionInfoA(copy, 0, size, raw.data()));
  // VS_VERSIONINFO: wLength, wValueLength, wType, then the UTF-16 key "VS_VERSION_INFO".
  std::uint16_t length = 0;
  std::memcpy(&length, raw.data(), 2);
  EXPECT_GT(length, 0u);
  EXPECT_LE(length, size);
  const std::wstring key = L"VS_VERSION_INFO";
  EXPECT_EQ(0, std::memcmp(raw.data() + 6, key.data(), key.size() * 2));
  // The value of the first block is in the raw bytes as UTF-16.
  const std::wstring company = L"Tolvexa Test Co";
  const auto* begin = reinterpret_cast<const char*>(raw.data());
  const std::string needle(reinterpret_cast<const char*>(company.data()), company.size() * 2);
  EXPECT_NE(std::string::npos, std::string(begin, raw.size()).find(needle));

  EXPECT_EQ(0u, F().GetFileVersionInfoSizeA(dir_ + "\\missing.exe", &handle));
}

// Wine's recycle bin is the host's trash folder; the test removes what it put there.
void EmptyWineTrashOf(const std::string& leaf) {
  // Wine hands its processes the host's home folder as WINEHOMEDIR (\??\Z:\root).
  std::string home = P().system->GetEnvironmentVariableA("WINEHOMEDIR");
  if (home.rfind("\\??\\", 0) != 0) return;
  const std::string trash = home.substr(4) + "\\.local\\share\\Trash\\";
  P().files->DeleteFileA(trash + "files\\" + leaf);
  P().files->DeleteFileA(trash + "info\\" + leaf + ".trashinfo");
}

TEST_F(Win32FilesTest, RecycleAndShellExecuteTakeNonAnsiPaths) {
  const std::string leaf = std::string(kName8) + "-" + Pid() + ".del";
  const std::string file = dir_ + "\\" + leaf;
  Handle h = F().CreateFileA(file, tv::access::GenericWrite, 0, 2, 0x80);
  ASSERT_NE(tv::kInvalidHandle, h);
  P().system->CloseHandle(h);
  EXPECT_EQ(0, P().shell->RecycleFile(file));
  EXPECT_EQ(tv::fattr::Invalid, F().GetFileAttributesA(file));
  EmptyWineTrashOf(leaf);
  EXPECT_NE(0, P().shell->RecycleFile(file + ".missing"));

  // The versioned helper, copied to a non-ANSI name, started through the shell.
  std::string self = P().system->GetModuleFileNameA(0);
  const std::string helper = self.substr(0, self.find_last_of('\\') + 1) + "versioned.exe";
  const std::string copy = dir_ + "\\" + kName8 + ".exe";
  ASSERT_TRUE(::CopyFileW(Wide(helper).c_str(), Wide(copy).c_str(), FALSE));
  EXPECT_GT(P().shell->ShellExecuteA("open", copy, "", dir_, 0), 32);
  EXPECT_LE(P().shell->ShellExecuteA("open", copy + ".missing", "", "", 0), 32);
  // The started copy holds its file until it ends; give it a moment before clean-up.
  for (int i = 0; i < 50 && !::DeleteFileW(Wide(copy).c_str()); ++i) ::Sleep(100);
}

// ============================================================ system and shell ====

TEST(Win32System, FoldersDrivesAndEnvironment) {
  tv::SystemApi& s = *P().system;
  tv::OsVersionInfo v;
  ASSERT_TRUE(s.GetVersionExA(v));
  EXPECT_EQ(2u, v.platformId);
  EXPECT_GE(v.major, 5u);

  const std::string win = s.GetWindowsDirectoryA();
  ASSERT_GE(win.size(), 3u);
  EXPECT_NE('\\', win.back());
  EXPECT_EQ(0u, s.GetSystemDirectoryA().rfind(win, 0)) << "the system folder lies below the Windows folder";
  EXPECT_EQ('\\', s.GetTempPathA().back());
  EXPECT_EQ(s.GetCurrentProcessId(), ::GetCurrentProcessId());

  const std::vector<std::string> drives = s.GetLogicalDriveStringsA();
  ASSERT_FALSE(drives.empty());
  for (const auto& d : drives) EXPECT_EQ(3u, d.size()) << d;
  EXPECT_NE(drives.end(), std::find(drives.begin(), drives.end(), win.substr(0, 2) + "\\"));
  EXPECT_EQ(0u, s.QueryDosDeviceA(win.substr(0, 2)).rfind("\\Device\\", 0));
  EXPECT_EQ("", s.QueryDosDeviceA("Q9:"));

  const std::wstring var = L"TOLVEXA_TEST_VAR";
  ASSERT_TRUE(::SetEnvironmentVariableW(var.c_str(), kName16));
  EXPECT_EQ(kName8, s.GetEnvironmentVariableA("TOLVEXA_TEST_VAR"));
  ::SetEnvironmentVariableW(var.c_str(), nullptr);
  EXPECT_EQ("", s.GetEnvironmentVariableA("TOLVEXA_TEST_VAR"));

  // The profile folder exists; a failing lookup answers "".
  const std::string profile = P().shell->GetSpecialFolderPath(40);
  ASSERT_FALSE(profile.empty());
  EXPECT_NE(tv::fattr::Invalid, P().files->GetFileAttributesA(profile));
  EXPECT_EQ("", P().shell->GetSpecialFolderPath(0x7FFF));
}

TEST(Win32System, LastErrorSurvivesTheConversions) {
  // The failing call's reason is what GetLastError reports, not the state after the
  // backend's own UTF-16 conversions.
  EXPECT_EQ(tv::kInvalidHandle, P().files->CreateFileA(std::string("C:\\") + kName8 + "\\none\\x", 0x80000000u, 1, 3, 0x80));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, P().system->GetLastError());
  Handle scm = P().services->OpenSCManagerA(nullptr, nullptr, 1);
  ASSERT_NE(0u, scm);
  EXPECT_EQ(0u, P().services->OpenServiceA(scm, std::string("TolvexaNoSuch") + kName8, 4));
  EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, P().system->GetLastError());
  EXPECT_TRUE(P().services->CloseServiceHandle(scm));
}

// ===================================================== processes and threads ====

TEST(Win32Processes, ToolhelpFindsThisProcessItsImageAndThisThread) {
  tv::ProcessApi& pr = *P().processes;
  const std::uint32_t self = ::GetCurrentProcessId();
  const std::string image = P().system->GetModuleFileNameA(0);
  const std::string exe = image.substr(image.find_last_of('\\') + 1);

  Handle snap = pr.CreateToolhelp32Snapshot(tv::th32::SnapAll, 0);
  ASSERT_NE(tv::kInvalidHandle, snap);
  tv::ProcessEntry32 pe;
  int processes = 0;
  bool foundSelf = false;
  for (bool ok = pr.Process32First(snap, pe); ok; ok = pr.Process32Next(snap, pe)) {
    ++processes;
    if (pe.th32ProcessID == self) {
      foundSelf = true;
      EXPECT_EQ(0, _stricmp(exe.c_str(), pe.szExeFile.c_str())) << pe.szExeFile;
      EXPECT_GE(pe.cntThreads, 1u);
    }
  }
  EXPECT_TRUE(foundSelf);
  EXPECT_GE(processes, 2);
  tv::ThreadEntry32 te;
  bool foundThread = false;
  for (bool ok = pr.Thread32First(snap, te); ok; ok = pr.Thread32Next(snap, te))
    if (te.th32ThreadID == ::GetCurrentThreadId()) foundThread = te.th32OwnerProcessID == self;
  EXPECT_TRUE(foundThread);
  EXPECT_TRUE(P().system->CloseHandle(snap));

  snap = pr.CreateToolhelp32Snapshot(tv::th32::SnapModule, self);
  ASSERT_NE(tv::kInvalidHandle, snap);
  tv::ModuleEntry32 me;
  ASSERT_TRUE(pr.Module32First(snap, me));
  EXPECT_EQ(0, _stricmp(image.c_str(), me.szExePath.c_str())) << me.szExePath;
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr)), me.modBaseAddr);
  EXPECT_GT(me.modBaseSize, 0u);
  bool foundNtdll = false;
  while (pr.Module32Next(snap, me)) foundNtdll = foundNtdll || _stricmp(me.szModule.c_str(), "ntdll.dll") == 0;
  EXPECT_TRUE(foundNtdll);
  EXPECT_TRUE(P().system->CloseHandle(snap));
}

TEST(Win32Processes, ProcessStatusFunctionsOnThisProcess) {
  tv::ProcessApi& pr = *P().processes;
  Handle h = pr.OpenProcess(0x410, false, ::GetCurrentProcessId());
  ASSERT_NE(0u, h);
  Handle first = 0;
  std::uint32_t needed = 0;
  ASSERT_TRUE(pr.EnumProcessModules(h, &first, sizeof(Handle), &needed));
  EXPECT_EQ(reinterpret_cast<Handle>(::GetModuleHandleW(nullptr)), first);
  EXPECT_GE(needed, 3 * sizeof(Handle)) << "the image, ntdll.dll and kernel32.dll at least";
  EXPECT_EQ(0u, needed % sizeof(Handle));
  std::vector<Handle> all(needed / sizeof(Handle));
  ASSERT_TRUE(pr.EnumProcessModules(h, all.data(), needed, &needed));
  EXPECT_EQ(first, all[0]);

  const std::string image = P().system->GetModuleFileNameA(0);
  EXPECT_EQ(image, pr.GetModuleFileNameExA(h, first, 1024));
  EXPECT_EQ(image.substr(0, 4), pr.GetModuleFileNameExA(h, first, 5)) << "cut to the capacity less the NUL";
  const std::string native = pr.GetProcessImageFileNameA(h, 1024);
  EXPECT_EQ(0, _strnicmp(native.c_str(), "\\Device\\", 8)) << native;

  tv::ModuleInfo mi;
  ASSERT_TRUE(pr.GetModuleInformation(h, first, mi));
  EXPECT_EQ(first, mi.lpBaseOfDll);
  EXPECT_GT(mi.SizeOfImage, 0u);

  // Reading this process's own memory through the handle.
  const char marker[] = "tolvexa-marker";
  char back[sizeof(marker)] = {};
  std::size_t read = 0;
  ASSERT_TRUE(pr.ReadProcessMemory(h, reinterpret_cast<std::uintptr_t>(marker), back, sizeof(back), &read));
  EXPECT_EQ(sizeof(marker), read);
  EXPECT_STREQ(marker, back);
  EXPECT_TRUE(P().system->CloseHandle(h));
}

// ====================================================================== windows ====

TEST(Win32Windows, TopLevelWindowIsFoundWalkedAndPosted) {
  const std::wstring title = std::wstring(kName16) + L"-window-" + Wide(Pid());
  HWND w = ::CreateWindowExW(0, L"STATIC", title.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  // Wine without a display has no window driver; the window functions need one.
  if (w == nullptr) GTEST_SKIP() << "no window can be created here (no display)";
  tv::WindowApi& win = *P().windows;
  const Handle mine = reinterpret_cast<Handle>(w);
  // By its UTF-8 title, and by walking every top-level window from the first.
  EXPECT_EQ(mine, win.FindWindowA(nullptr, (std::string(kName8) + "-window-" + Pid()).c_str()));
  bool walked = false;
  int steps = 0;
  for (Handle h = win.FindWindowA(nullptr, nullptr); h != 0 && steps < 100000; h = win.GetWindow(h, 2), ++steps)
    walked = walked || h == mine;
  EXPECT_TRUE(walked);
  EXPECT_EQ(0u, win.GetParent(mine));
  std::uint32_t pid = 0;
  EXPECT_EQ(::GetCurrentThreadId(), win.GetWindowThreadProcessId(mine, &pid));
  EXPECT_EQ(::GetCurrentProcessId(), pid);

  ASSERT_TRUE(win.PostMessageA(mine, WM_APP + 1, 5, -6));
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, w, WM_APP + 1, WM_APP + 1, PM_REMOVE));
  EXPECT_EQ(5u, msg.wParam);
  EXPECT_EQ(-6, msg.lParam);
  ::DestroyWindow(w);
}

// ==================================================================== NT native ====

// Queries a class of unknown size into a buffer that doubles while the answer is "length
// mismatch".
tv::NTSTATUS QueryGrowing(std::uint32_t infoClass, std::vector<unsigned char>& buf, std::uint32_t& returned) {
  buf.assign(0x10000, 0);
  for (;;) {
    tv::NTSTATUS s = P().nt->NtQuerySystemInformation(infoClass, buf.data(), static_cast<std::uint32_t>(buf.size()),
                                                      &returned);
    if (s != tv::status::InfoLengthMismatch || buf.size() >= (64u << 20)) return s;
    buf.assign(buf.size() * 2, 0);
  }
}

TEST(Win32Nt, HandleTableHoldsThisProcessAndItsEvent) {
  Handle event = P().system->CreateEventA(false, true);
  ASSERT_NE(0u, event);
  std::vector<unsigned char> buf;
  std::uint32_t returned = 0;
  ASSERT_EQ(0, QueryGrowing(tv::sysinfo::Handle, buf, returned));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_GT(count, 10u);
  ASSERT_LE(tv::layout::kHandleEntriesOffset + count * sizeof(tv::layout::SystemHandleEntry), buf.size());
  const auto self = static_cast<std::uint16_t>(::GetCurrentProcessId());
  std::uint32_t own = 0;
  bool eventSeen = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    tv::layout::SystemHandleEntry e;
    std::memcpy(&e, buf.data() + tv::layout::kHandleEntriesOffset + i * sizeof(e), sizeof(e));
    if (e.UniqueProcessId != self) continue;
    ++own;
    if (e.HandleValue == static_cast<std::uint16_t>(event)) eventSeen = true;
  }
  EXPECT_GT(own, 0u);
  EXPECT_TRUE(eventSeen);
  EXPECT_TRUE(P().system->CloseHandle(event));
}

TEST(Win32Nt, KernelModuleListIsWellFormed) {
  std::vector<unsigned char> buf;
  std::uint32_t returned = 0;
  ASSERT_EQ(0, QueryGrowing(tv::sysinfo::Module, buf, returned));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_GT(count, 0u);
  ASSERT_LT(count, 10000u);
  ASSERT_LE(tv::layout::kModuleEntriesOffset + count * sizeof(tv::layout::SystemModuleEntry), buf.size());
  for (std::uint32_t i = 0; i < count; ++i) {
    tv::layout::SystemModuleEntry e;
    std::memcpy(&e, buf.data() + tv::layout::kModuleEntriesOffset + i * sizeof(e), sizeof(e));
    const char* end = static_cast<const char*>(std::memchr(e.FullPathName, 0, sizeof(e.FullPathName)));
    ASSERT_NE(nullptr, end) << "entry " << i << " has no NUL in its path";
    const std::string path(e.FullPathName, static_cast<std::size_t>(end - e.FullPathName));
    EXPECT_FALSE(path.empty());
    EXPECT_LT(e.OffsetToFileName, path.size());
    EXPECT_EQ(std::string::npos, path.find('\\', e.OffsetToFileName)) << path;
    EXPECT_NE(0u, e.ImageBase);
  }
}

TEST(Win32Nt, OpenQueryDuplicateAndCloseOwnProcessAndThread) {
  tv::NtApi& nt = *P().nt;
  const std::uint32_t pid = ::GetCurrentProcessId();
  // The block length as the logic writes it for either width: the backend hands the system
  // its own.
  for (std::uint32_t length : {24u, 48u}) {
    SCOPED_TRACE(length);
    tv::ObjectAttributes oa;
    oa.Length = length;
    tv::ClientId cid;
    cid.UniqueProcess = pid;
    Handle h = 0;
    ASSERT_EQ(0, nt.NtOpenProcess(&h, 0x400, oa, cid));
    ASSERT_NE(0u, h);
    tv::layout::ProcessBasicInformation pbi;
    std::uint32_t ret = 0;
    ASSERT_EQ(0, nt.NtQueryInformationProcess(h, tv::procinfo::Basic, &pbi, sizeof(pbi), &ret));
    EXPECT_EQ(sizeof(pbi), ret);
    EXPECT_EQ(pid, pbi.UniqueProcessId);
    EXPECT_NE(0u, pbi.PebBaseAddress);

    Handle copy = 0;
    ASSERT_EQ(0, nt.NtDuplicateObject(tv::kCurrentProcess, h, tv::kCurrentProcess, &copy, 0, 0, 2));
    EXPECT_NE(0u, copy);
    EXPECT_NE(h, copy);
    EXPECT_EQ(0, nt.NtClose(copy));
    EXPECT_EQ(0, nt.NtClose(h));
  }
  tv::ObjectAttributes oa;
  tv::ClientId nobody;
  nobody.UniqueProcess = 0xFFFFFFF0u;
  Handle none = 0;
  EXPECT_LT(nt.NtOpenProcess(&none, 0x400, oa, nobody), 0);
  EXPECT_EQ(0u, none);

  tv::ClientId tcid;
  tcid.UniqueThread = ::GetCurrentThreadId();
  Handle th = 0;
  ASSERT_EQ(0, nt.NtOpenThread(&th, 0x40, oa, tcid));
  tv::layout::ThreadBasicInformation tbi;
  ASSERT_EQ(0, nt.NtQueryInformationThread(th, tv::threadinfo::Basic, &tbi, sizeof(tbi), nullptr));
  EXPECT_EQ(pid, tbi.UniqueProcess);
  EXPECT_EQ(::GetCurrentThreadId(), tbi.UniqueThread);
  EXPECT_EQ(259, tbi.ExitStatus);
  EXPECT_EQ(0, nt.NtClose(th));
  EXPECT_LT(nt.NtClose(th), 0) << "a handle closes once";
}

struct ThreadEvents {
  HANDLE started;
  HANDLE stop;
};

DWORD WINAPI WaitingThread(LPVOID param) {
  auto* events = static_cast<ThreadEvents*>(param);
  ::SetEvent(events->started);
  ::WaitForSingleObject(events->stop, 10000);
  return 7;
}

TEST(Win32Nt, ThreadStartAddressAndNativeTermination) {
  ThreadEvents events{::CreateEventW(nullptr, TRUE, FALSE, nullptr), ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  DWORD tid = 0;
  HANDLE thread = ::CreateThread(nullptr, 0, WaitingThread, &events, 0, &tid);
  ASSERT_NE(nullptr, thread);
  // The start address is known once the thread runs.
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(events.started, 5000));
  tv::NtApi& nt = *P().nt;
  tv::ObjectAttributes oa;
  tv::ClientId cid;
  cid.UniqueThread = tid;
  Handle th = 0;
  ASSERT_EQ(0, nt.NtOpenThread(&th, tv::access::ThreadAllAccess, oa, cid));
  std::uintptr_t start = 1;
  std::uint32_t ret = 0;
  ASSERT_EQ(0, nt.NtQueryInformationThread(th, tv::threadinfo::QuerySetWin32StartAddress, &start, sizeof(start),
                                           &ret));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&WaitingThread), start);
  EXPECT_EQ(sizeof(start), ret);
  EXPECT_EQ(0, nt.NtTerminateThread(th, 0x55));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 5000));
  DWORD code = 0;
  ::GetExitCodeThread(thread, &code);
  EXPECT_EQ(0x55u, code);
  nt.NtClose(th);
  ::CloseHandle(thread);
  ::CloseHandle(events.started);
  ::CloseHandle(events.stop);
}

TEST(Win32Nt, ObjectNameAndPrivilege) {
  // A file with a non-ANSI name: its object name comes back in the UTF-16 layout the logic
  // reads (counted-string header, then the text).
  const std::wstring path = Wide(P().system->GetTempPathA()) + kName16 + L"-" + Wide(Pid()) + L".obj";
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  std::vector<unsigned char> buf(4096);
  std::uint32_t ret = 0;
  tv::NTSTATUS s = P().nt->NtQueryObject(reinterpret_cast<Handle>(f), tv::objinfo::Name, buf.data(),
                                         static_cast<std::uint32_t>(buf.size()), &ret);
  ASSERT_EQ(0, s);
  tv::layout::UnicodeStringHeader head;
  std::memcpy(&head, buf.data(), sizeof(head));
  ASSERT_GT(head.Length, 0u);
  ASSERT_LE(tv::layout::kObjectNameHeaderSize + head.Length, buf.size());
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buf.data() + tv::layout::kObjectNameHeaderSize), head.Buffer);
  std::wstring name(head.Length / 2, L'\0');
  std::memcpy(name.data(), buf.data() + tv::layout::kObjectNameHeaderSize, head.Length);
  const std::wstring tail = std::wstring(kName16) + L"-" + Wide(Pid()) + L".obj";
  ASSERT_GE(name.size(), tail.size());
  EXPECT_EQ(tail, name.substr(name.size() - tail.size()));
  ::CloseHandle(f);

  // SeDebugPrivilege on the process token (the thread has none of its own).
  bool was = false;
  EXPECT_EQ(0, P().nt->RtlAdjustPrivilege(20, true, false, &was));
  EXPECT_EQ(tv::status::NoToken, P().nt->RtlAdjustPrivilege(20, true, true, &was));
}

// A suspended copy of the versioned helper: alive until it is ended.
PROCESS_INFORMATION StartSuspendedChild() {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  std::wstring exe = self.substr(0, self.find_last_of(L'\\') + 1) + L"versioned.exe";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
    pi = PROCESS_INFORMATION{};
  return pi;
}

TEST(Win32Nt, JobAndNativeTerminationEndChildren) {
  tv::NtApi& nt = *P().nt;
  tv::ProcessApi& pr = *P().processes;
  tv::ObjectAttributes oa;
  oa.Length = 24;

  PROCESS_INFORMATION a = StartSuspendedChild();
  ASSERT_NE(nullptr, a.hProcess);
  Handle job = 0;
  ASSERT_EQ(0, nt.NtCreateJobObject(&job, tv::access::JobAllAccess, oa));
  ASSERT_NE(0u, job);
  Handle ha = pr.OpenProcess(tv::access::ProcessAllAccess, false, a.dwProcessId);
  ASSERT_NE(0u, ha);
  EXPECT_EQ(0, nt.NtAssignProcessToJobObject(job, ha));
  EXPECT_EQ(0, nt.NtTerminateJobObject(job, 0x77));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(a.hProcess, 5000));
  std::uint32_t code = 0;
  EXPECT_TRUE(pr.GetExitCodeProcess(ha, &code));
  EXPECT_EQ(0x77u, code);
  nt.NtClose(ha);
  nt.NtClose(job);

  PROCESS_INFORMATION b = StartSuspendedChild();
  ASSERT_NE(nullptr, b.hProcess);
  tv::ClientId cid;
  cid.UniqueProcess = b.dwProcessId;
  Handle hb = 0;
  ASSERT_EQ(0, nt.NtOpenProcess(&hb, tv::access::ProcessTerminate | tv::access::ProcessQueryInformation, oa, cid));
  EXPECT_EQ(0, nt.NtTerminateProcess(hb, 0x66));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(b.hProcess, 5000));
  EXPECT_TRUE(pr.GetExitCodeProcess(hb, &code));
  EXPECT_EQ(0x66u, code);
  nt.NtClose(hb);

  for (PROCESS_INFORMATION* pi : {&a, &b}) {
    ::CloseHandle(pi->hThread);
    ::CloseHandle(pi->hProcess);
  }
}

TEST(Win32Nt, OpenFileByNativeNonAnsiName) {
  const std::wstring dosPath = Wide(P().system->GetTempPathA()) + kName16 + L"-" + Wide(Pid()) + L".nt";
  HANDLE f = ::CreateFileW(dosPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  tv::ObjectAttributes oa;
  oa.Length = 24;
  oa.Attributes = 0x40;
  oa.ObjectName = "\\??\\" + P().system->GetTempPathA() + kName8 + "-" + Pid() + ".nt";
  tv::IoStatusBlock iosb;
  iosb.Status = -1;
  Handle h = 0;
  ASSERT_EQ(0, P().nt->NtOpenFile(&h, tv::access::Synchronize | 0x80 /* read attributes */, oa, &iosb, 7, 0x20));
  EXPECT_NE(0u, h);
  EXPECT_EQ(0, iosb.Status);
  EXPECT_EQ(0, P().nt->NtClose(h));
  ::CloseHandle(f);

  oa.ObjectName += "-missing";
  h = 123;
  EXPECT_EQ(tv::status::ObjectNameNotFound, P().nt->NtOpenFile(&h, tv::access::Synchronize, oa, &iosb, 7, 0x20));
  EXPECT_EQ(0u, h);
}

DWORD WINAPI ConnectPipeLater(LPVOID name) {
  ::Sleep(300);
  HANDLE client = ::CreateFileW(static_cast<const wchar_t*>(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (client == INVALID_HANDLE_VALUE) return 1;
  ::Sleep(100);
  ::CloseHandle(client);
  return 0;
}

TEST(Win32Nt, DeviceRequestLeftPendingIsWaitedFor) {
  // A listen request on an asynchronous pipe stays pending until a client connects. The
  // backend returns only when it has finished, with its final status in the status block.
  const std::wstring name = L"\\\\.\\pipe\\tolvexa-test-" + Wide(Pid());
  HANDLE pipe = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 512, 512,
                                   0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
  Handle event = P().system->CreateEventA(false, true);
  ASSERT_NE(0u, event);
  HANDLE client = ::CreateThread(nullptr, 0, ConnectPipeLater, const_cast<wchar_t*>(name.c_str()), 0, nullptr);
  ASSERT_NE(nullptr, client);
  constexpr std::uint32_t kPipeListen = 0x00110008;  // FSCTL_PIPE_LISTEN
  tv::IoStatusBlock iosb;
  iosb.Status = -1;
  const DWORD t0 = ::GetTickCount();
  const tv::NTSTATUS s =
      P().nt->NtDeviceIoControlFile(reinterpret_cast<Handle>(pipe), event, &iosb, kPipeListen, nullptr, 0, nullptr, 0);
  const DWORD waited = ::GetTickCount() - t0;
  EXPECT_EQ(0, s) << std::hex << s;
  EXPECT_EQ(0, iosb.Status);
  EXPECT_GE(waited, 200u) << "returned before the client connected";
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(client, 5000));
  DWORD code = 9;
  ::GetExitCodeThread(client, &code);
  EXPECT_EQ(0u, code);
  ::CloseHandle(client);
  P().system->CloseHandle(event);
  ::CloseHandle(pipe);
}

// ==================================================================== IP helper ====

class Win32WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA wsa;
    ASSERT_EQ(0, ::WSAStartup(MAKEWORD(2, 2), &wsa));
  }
  void TearDown() override { ::WSACleanup(); }
  // Binds a socket of `type` to 127.0.0.1 on a free port; returns the port.
  static std::uint16_t BindLoopback(SOCKET s) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) return 0;
    int len = sizeof(a);
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
  }
};

TEST_F(Win32WinsockTest, TcpTableShowsALoopbackListener) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(INVALID_SOCKET, s);
  const std::uint16_t port = BindLoopback(s);
  ASSERT_NE(0, port);
  ASSERT_EQ(0, ::listen(s, 1));

  std::uint32_t size = 0;
  ASSERT_EQ(122u, P().net->GetTcpTable(nullptr, &size, true)) << "a missing buffer asks for the size";
  ASSERT_GE(size, 4u + sizeof(tv::layout::MibTcpRow));
  std::vector<unsigned char> buf(size + 10 * sizeof(tv::layout::MibTcpRow));
  size = static_cast<std::uint32_t>(buf.size());
  ASSERT_EQ(0u, P().net->GetTcpTable(buf.data(), &size, true));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_LE(offsetof(tv::layout::MibTcpTable, table) + count * sizeof(tv::layout::MibTcpRow), buf.size());
  bool found = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    tv::layout::MibTcpRow r;
    std::memcpy(&r, buf.data() + offsetof(tv::layout::MibTcpTable, table) + i * sizeof(r), sizeof(r));
    if (r.dwLocalAddr == htonl(INADDR_LOOPBACK) && ntohs(static_cast<u_short>(r.dwLocalPort)) == port) {
      found = true;
      EXPECT_EQ(2u, r.dwState) << "listening";
    }
  }
  EXPECT_TRUE(found) << "port " << port;
  ::closesocket(s);
}

TEST_F(Win32WinsockTest, UdpTableShowsALoopbackSocket) {
  SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(INVALID_SOCKET, s);
  const std::uint16_t port = BindLoopback(s);
  ASSERT_NE(0, port);
  std::uint32_t size = 0;
  ASSERT_EQ(122u, P().net->GetUdpTable(nullptr, &size, true));
  std::vector<unsigned char> buf(size + 10 * sizeof(tv::layout::MibUdpRow));
  size = static_cast<std::uint32_t>(buf.size());
  ASSERT_EQ(0u, P().net->GetUdpTable(buf.data(), &size, true));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_LE(offsetof(tv::layout::MibUdpTable, table) + count * sizeof(tv::layout::MibUdpRow), buf.size());
  bool found = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    tv::layout::MibUdpRow r;
    std::memcpy(&r, buf.data() + offsetof(tv::layout::MibUdpTable, table) + i * sizeof(r), sizeof(r));
    found = found || (r.dwLocalAddr == htonl(INADDR_LOOPBACK) && ntohs(static_cast<u_short>(r.dwLocalPort)) == port);
  }
  EXPECT_TRUE(found) << "port " << port;
  ::closesocket(s);
}

// =================================================================== services ====

TEST(Win32Services, DescriptionWithNonAnsiTextIsStoredAsUtf16) {
  tv::ServiceApi& sv = *P().services;
  Handle scm = sv.OpenSCManagerA(nullptr, nullptr, 0xF003F);
  ASSERT_NE(0u, scm);
  tv::CreateServiceArgs a;
  a.serviceName = "TolvexaTestSvc" + Pid();
  a.displayName = std::string("Tolvexa ") + kName8;
  a.serviceType = 0x10;
  a.startType = 4;  // disabled: it is never started
  a.binaryPathName = "C:\\windows\\system32\\notepad.exe";
  Handle svc = sv.CreateServiceA(scm, a);
  ASSERT_NE(0u, svc) << P().system->GetLastError();
  EXPECT_TRUE(sv.ChangeServiceConfig2W(svc, 1, kName8));

  unsigned char raw[1024] = {};
  DWORD need = 0;
  ASSERT_TRUE(::QueryServiceConfig2W(reinterpret_cast<SC_HANDLE>(svc), SERVICE_CONFIG_DESCRIPTION, raw, sizeof(raw), &need));
  const auto* d = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(raw);
  ASSERT_NE(nullptr, d->lpDescription);
  EXPECT_EQ(std::wstring(kName16), d->lpDescription);

  tv::ServiceStatus st;
  ASSERT_TRUE(sv.QueryServiceStatus(svc, st));
  EXPECT_EQ(1u, st.dwCurrentState);
  EXPECT_EQ(0x10u, st.dwServiceType);
  EXPECT_FALSE(sv.StartServiceA(svc, {})) << "a disabled service does not start";
  EXPECT_TRUE(sv.DeleteService(svc));
  EXPECT_TRUE(sv.CloseServiceHandle(svc));
  EXPECT_EQ(0u, sv.OpenServiceA(scm, a.serviceName, 4));
  EXPECT_TRUE(sv.CloseServiceHandle(scm));
}

// ======================================================================= trust ====

TEST(Win32Trust, UnsignedProgramIsNotVerified) {
  const std::int32_t r = P().trust->WinVerifyTrust(P().system->GetModuleFileNameA(0), false);
  EXPECT_EQ(static_cast<std::int32_t>(0x800B0100u), r) << std::hex << r;
  const std::uint32_t why = P().system->GetLastError();
  EXPECT_TRUE(why == 0x800B0100u || why == 0x800B0003u || why == 0x800B0001u) << std::hex << why;
  EXPECT_TRUE(P().trust->TrustServiceAvailable());
}

}  // namespace
