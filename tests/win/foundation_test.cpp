// Paths, version strings, the registry layer and the platform operations against the real
// Windows backend (run under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/os_version.h"
#include "base/paths.h"
#include "base/platform_ops.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/layouts.h"
#include "platform/win32/win32_platform.h"
#include "sysconfig/registry.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tv {
namespace {

class RealFoundation : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Install(win32::RealPlatform());
    InitFolders();
  }
  void TearDown() override { platform::Install(Platform{}); }
  // A helper program built next to the test program.
  static std::string Helper(const std::string& name) { return Folders().AppDir + name; }
};

TEST_F(RealFoundation, FolderValuesAndVersionText) {
  const FolderValues& f = Folders();
  for (const std::string* dir : {&f.WinDir, &f.SysDir, &f.TempDir, &f.ProgramFilesDir, &f.AppDir}) {
    ASSERT_FALSE(dir->empty());
    EXPECT_EQ(dir->back(), '\\') << *dir;
    EXPECT_NE(dir->find(":\\"), std::string::npos) << *dir;
    EXPECT_TRUE(FileExists(*dir)) << *dir;
  }
  EXPECT_EQ(f.SysDir.rfind(f.WinDir, 0), 0u) << f.SysDir;
  EXPECT_TRUE(FileExists(f.SysDir + "kernel32.dll"));
  EXPECT_TRUE(FileCanBeOpened(f.AppDir + "tolvexa_tests.exe"));

  OsVersionInfo v;
  ASSERT_TRUE(platform::Sys().GetVersionExA(v));
  EXPECT_EQ(v.platformId, 2u);
  const std::string text = WindowsVersionText();
  if (!text.empty()) {
    EXPECT_NE(text.find(" (Build " + std::to_string(v.build) + ")"), std::string::npos) << text;
  }
  // Windows versions newer than the table give an empty text, the known ones a name.
  EXPECT_EQ(text.empty(), v.major > 6 || (v.major == 6 && v.minor > 1)) << v.major << "." << v.minor;
}

TEST_F(RealFoundation, VersionStringsOfABuiltResource) {
  const std::string exe = Helper("versioned.exe");
  ASSERT_TRUE(FileExists(exe)) << exe;
  // First block (US English) wins; odd and even key lengths alike.
  EXPECT_EQ(GetFileVersionString(exe, CompanyName), "Tolvexa Test Co");
  EXPECT_EQ(GetFileVersionString(exe, FileDescription), "Versioned test helper");
  EXPECT_EQ(GetFileVersionString(exe, FileVersion), "1.2.3.4");
  EXPECT_EQ(GetFileVersionString(exe, Comments), "First block");
  EXPECT_EQ(GetFileVersionString(exe, LegalCopyright), "Copyright 2026 TTC");
  EXPECT_EQ(GetFileVersionString(exe, LegalCopyright).size(), 18u);
  EXPECT_EQ(GetFileVersionString(exe, ProductVersion), "5.6.7.8");
  EXPECT_EQ(GetFileVersionString(exe, SpecialBuild), "");
  VersionStrings v = ReadVersionStrings(exe);
  EXPECT_EQ(v.Company, "Tolvexa Test Co");
  EXPECT_EQ(v.Description, "Versioned test helper");
  EXPECT_EQ(v.Version, "1.2.3.4");

  // A file without a version resource.
  const std::string plain = Folders().TempDir + "tv_found_plain.txt";
  HANDLE h = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "no resource here", 16, &written, nullptr);
  CloseHandle(h);
  for (int key = 0; key < 12; ++key) EXPECT_EQ(GetFileVersionString(plain, key), "") << key;
  DeleteFileA(plain.c_str());
  EXPECT_EQ(GetFileVersionString(Folders().TempDir + "tv_found_missing.exe", CompanyName), "");
}

class RealRegistry : public RealFoundation {
 protected:
  void SetUp() override {
    RealFoundation::SetUp();
    DeleteRegTree("HKEY_CURRENT_USER\\Software", "TolvexaTest");
  }
  void TearDown() override {
    DeleteRegTree("HKEY_CURRENT_USER\\Software", "TolvexaTest");
    HKEY k = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TolvexaTest", 0, KEY_READ, &k), ERROR_SUCCESS)
        << "the test key was left behind";
    if (k) RegCloseKey(k);
    RealFoundation::TearDown();
  }
  const std::string kKey = "HKEY_CURRENT_USER\\Software\\TolvexaTest";
};

TEST_F(RealRegistry, ValuesRoundTrip) {
  EXPECT_EQ(WriteRegValue(kKey, "Sz", "C:\\x.exe", reg::Sz), 0);
  EXPECT_EQ(WriteRegValue(kKey, "Expand", "%SystemRoot%\\y.exe", reg::ExpandSz), 0);
  EXPECT_EQ(WriteRegValue(kKey, "Num", "42", reg::Dword), 0);
  EXPECT_EQ(WriteRegValue(kKey, "Multi", "autocheck autochk *", reg::MultiSz), 0);
  EXPECT_EQ(WriteRegValue(kKey, "Intl", "C:\\Größe\\工具.exe", reg::Sz), 0);
  EXPECT_EQ(RegWriteString(reg::CurrentUser, "Software\\TolvexaTest\\Sub", "S", "plain"), 0);
  EXPECT_EQ(RegWriteDword(reg::CurrentUser, "Software\\TolvexaTest\\Sub", "D", 0x80000001u), 0);
  EXPECT_EQ(WriteRegValue(kKey, "Fits", std::string(255, 'f'), reg::Sz), 0);
  EXPECT_EQ(WriteRegValue(kKey, "TooLong", std::string(300, 'g'), reg::Sz), 0);

  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Sz")), "C:\\x.exe");
  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Expand")), "%SystemRoot%\\y.exe");  // not expanded
  EXPECT_EQ(std::get<std::uint32_t>(ReadRegValue(kKey, "Num")), 42u);
  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Multi")), "autocheck autochk *");
  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Intl")), "C:\\Größe\\工具.exe");
  EXPECT_EQ(RegReadString(kKey, "Intl"), "C:\\Größe\\工具.exe");
  EXPECT_EQ(RegReadString(kKey + "\\Sub", "S"), "plain");
  EXPECT_EQ(RegValueNumber(ReadRegValue(kKey + "\\Sub", "D")), 0x80000001u);
  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Fits")), std::string(255, 'f'));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey, "TooLong")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey, "Missing")));
  EXPECT_EQ(RegReadString("hkey_current_user\\software\\tolvexatest", "Sz"), "C:\\x.exe");

  // The raw data as another reader sees it: the text without a terminating NUL.
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TolvexaTest", 0, KEY_READ, &k), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k, L"Multi", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  wchar_t multi[64] = {};
  size = sizeof multi;
  EXPECT_EQ(RegQueryValueExW(k, L"Multi", nullptr, &type, reinterpret_cast<BYTE*>(multi), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(multi), L"autocheck autochk *");
  EXPECT_EQ(multi[20], L'\0');  // the NUL that ends the list
  RegCloseKey(k);

  EXPECT_EQ(DeleteRegValue(kKey, "Sz"), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey, "Sz")));
  EXPECT_NE(DeleteRegValue(kKey, "Sz"), 0);
  EXPECT_EQ(DeleteRegValueAt(reg::CurrentUser, "Software\\TolvexaTest\\Sub", "S"), 0);
  EXPECT_EQ(RegReadString(kKey + "\\Sub", "S"), "");
}

TEST_F(RealRegistry, DeleteKeyAndDeleteTree) {
  ASSERT_EQ(WriteRegValue(kKey + "\\Parent\\Child\\Grandchild", "v", "x", reg::Sz), 0);
  ASSERT_EQ(WriteRegValue(kKey + "\\Leaf", "v", "x", reg::Sz), 0);
  ASSERT_EQ(WriteRegValue("HKEY_CLASSES_ROOT\\TolvexaTestClass", "", "C:\\bho.dll", reg::Sz), 0);

  EXPECT_NE(DeleteRegKey(kKey + "\\Parent", "Child"), 0);
  EXPECT_EQ(RegValueText(ReadRegValue(kKey + "\\Parent\\Child\\Grandchild", "v")), "x");
  EXPECT_EQ(DeleteRegTree(kKey + "\\Parent", "Child"), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey + "\\Parent\\Child\\Grandchild", "v")));
  EXPECT_EQ(DeleteRegKey(kKey, "Leaf"), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey + "\\Leaf", "v")));
  EXPECT_NE(DeleteRegKey(kKey + "\\Nowhere", "Child"), 0);

  EXPECT_EQ(ReadClassDefault("TolvexaTestClass"), "C:\\bho.dll");
  EXPECT_EQ(DeleteRegKey("HKEY_CLASSES_ROOT", "TolvexaTestClass"), 0);
  EXPECT_EQ(ReadClassDefault("TolvexaTestClass"), "");
}

TEST_F(RealFoundation, FileTestsOnRealFiles) {
  const std::string dir = Folders().TempDir + "tv_found_files\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  struct Case {
    const char* name;
    DWORD attributes;
    bool listed;
  };
  const Case cases[] = {
      {"normal.txt", FILE_ATTRIBUTE_NORMAL, true},
      {"readonly.txt", FILE_ATTRIBUTE_READONLY, true},
      {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, false},
      {"system.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN, false},
  };
  for (const Case& c : cases) {
    const std::string path = dir + c.name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    CloseHandle(h);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.attributes)) << path;
  }
  for (const Case& c : cases) {
    const std::string path = dir + c.name;
    EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_TRUE(FileExists("  " + path + " ")) << path;
    EXPECT_TRUE(FileCanBeOpened(path)) << path;
    EXPECT_EQ(DirListingFinds(path), c.listed) << path;
  }
  EXPECT_TRUE(FileExists(dir));
  EXPECT_FALSE(FileCanBeOpened(dir));
  EXPECT_FALSE(DirListingFinds(dir.substr(0, dir.size() - 1)));
  EXPECT_FALSE(FileExists(dir + "missing.txt"));
  EXPECT_FALSE(FileCanBeOpened(dir + "missing.txt"));

  // A file another handle holds without read sharing cannot be opened, but exists.
  const std::string locked = dir + "normal.txt";
  HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileExists(locked));
  EXPECT_FALSE(FileCanBeOpened(locked));
  CloseHandle(holder);
  EXPECT_TRUE(FileCanBeOpened(locked));

  // Path rules against the real folders.
  EXPECT_EQ(ConvertDevicePath("%SystemRoot%\\system32\\kernel32.dll", false), Folders().WinDir + "system32\\kernel32.dll");
  EXPECT_TRUE(FileCanBeOpened(GetImagePathFromCommand("\"" + Folders().SysDir + "kernel32.dll\" /x", true)));

  for (const Case& c : cases) {
    const std::string path = dir + c.name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(dir.c_str());
  EXPECT_FALSE(FileExists(dir));
}

TEST_F(RealFoundation, AnsiCodePageConversions) {
  SystemApi& sys = platform::Sys();
  EXPECT_EQ(sys.GetACP(), ::GetACP());
  EXPECT_EQ(sys.Utf8ToAnsi("C:\\Temp\\a.exe"), "C:\\Temp\\a.exe");
  EXPECT_EQ(sys.Utf8ToAnsi(""), "");
  if (::GetACP() == 1252) {
    EXPECT_EQ(sys.Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(sys.AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(sys.Utf8ToAnsi("\xE4\xB8\xAD"), "?");
  }
}

TEST_F(RealFoundation, DebugPrivilege) { EXPECT_TRUE(AdjustPrivilege(20, true)); }

// Starts sleeper.exe and ends it when the test is done.
class ChildProcess : public RealFoundation {
 protected:
  void SetUp() override {
    RealFoundation::SetUp();
    std::wstring cmd;
    const std::string exe = Helper("sleeper.exe");
    ASSERT_TRUE(FileExists(exe)) << exe;
    int n = MultiByteToWideChar(CP_UTF8, 0, exe.c_str(), -1, nullptr, 0);
    cmd.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, exe.c_str(), -1, cmd.data(), n);
    cmd = L"\"" + std::wstring(cmd.c_str()) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &si, &child_));
  }
  void TearDown() override {
    if (child_.hProcess) {
      TerminateProcess(child_.hProcess, 0);
      WaitForSingleObject(child_.hProcess, 5000);
      CloseHandle(child_.hThread);
      CloseHandle(child_.hProcess);
    }
    RealFoundation::TearDown();
  }
  PROCESS_INFORMATION child_{};
};

TEST_F(ChildProcess, OpenProcessByForceOpensTheChild) {
  Handle h = OpenProcessByForce(access::ProcessAllAccess, false, child_.dwProcessId);
  ASSERT_NE(h, kNullHandle);
  layout::ProcessBasicInformation pbi{};
  std::uint32_t ret = 0;
  ASSERT_TRUE(NtSuccess(platform::Nt().NtQueryInformationProcess(h, procinfo::Basic, &pbi, sizeof pbi, &ret)));
  EXPECT_EQ(pbi.UniqueProcessId, child_.dwProcessId);
  CloseHandleEx(h);
  EXPECT_EQ(OpenProcessByForce(access::ProcessAllAccess, false, 0xFFFFFFF0u), kNullHandle);
}

TEST_F(ChildProcess, HandleTableIsWellFormed) {
  std::vector<std::uint8_t> buf;
  ASSERT_TRUE(NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, 131072, buf)));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_GT(count, 0u);
  ASSERT_LE(layout::kHandleEntriesOffset + count * sizeof(layout::SystemHandleEntry), buf.size());
  // Our own handle to the child is among the entries.
  const auto self = static_cast<std::uint16_t>(GetCurrentProcessId());
  const auto value = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(child_.hProcess));
  bool ownHandle = false;
  std::size_t owners = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    layout::SystemHandleEntry e;
    std::memcpy(&e, buf.data() + layout::kHandleEntriesOffset + i * sizeof e, sizeof e);
    ownHandle |= e.UniqueProcessId == self && e.HandleValue == value;
    owners += e.UniqueProcessId == self;
  }
  EXPECT_TRUE(ownHandle);
  EXPECT_GT(owners, 0u);
}

TEST_F(RealFoundation, KernelModuleTableIsWellFormed) {
  std::vector<std::uint8_t> buf;
  ASSERT_TRUE(NtSuccess(QuerySystemInformationGrowing(sysinfo::Module, 131072, buf)));
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), 4);
  ASSERT_GT(count, 0u);
  ASSERT_LE(layout::kModuleEntriesOffset + count * sizeof(layout::SystemModuleEntry), buf.size());
  for (std::uint32_t i = 0; i < count; ++i) {
    layout::SystemModuleEntry e;
    std::memcpy(&e, buf.data() + layout::kModuleEntriesOffset + i * sizeof e, sizeof e);
    const std::size_t len = strnlen(e.FullPathName, sizeof e.FullPathName);
    ASSERT_LT(len, sizeof e.FullPathName) << "entry " << i;
    ASSERT_GT(len, 0u) << "entry " << i;
    EXPECT_LT(e.OffsetToFileName, len) << e.FullPathName;
    EXPECT_NE(e.ImageBase, 0u) << e.FullPathName;
    EXPECT_GT(e.ImageSize, 0u) << e.FullPathName;
    // Every kernel path becomes a drive-letter path.
    const std::string dos = ConvertDevicePath(e.FullPathName, true);
    EXPECT_NE(dos.find(":\\"), std::string::npos) << e.FullPathName << " -> " << dos;
  }
}

}  // namespace
}  // namespace tv
