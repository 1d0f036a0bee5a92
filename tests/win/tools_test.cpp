// The tools on the real platform (Wine): the report of the live machine, the registry repair of
// Wine's registry, the junk cleaner on the Wine user's temporary folder, the usage reading.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "main/front.h"
#include "platform/win32/win32_platform.h"
#include "tools/registry_fix.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tv {
namespace {

std::wstring Widen(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

struct CliRun {
  int code;
  std::string out, err;
};
CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = FrontEnd(args, out, err, &win32::RealPlatform());
  return {code, out.str(), err.str()};
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(ToolsWine, ReportOfTheLiveMachineHasEverySectionAndServicesWithItsModules) {
  const std::wstring path = ExeDir() + L"tv_tools_report.log";
  DeleteFileW(path.c_str());
  CliRun r = Cli({"--report", Narrow(path)});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string text = ReadAll(path);
  ASSERT_FALSE(text.empty());
  // Every line ends in CR LF: no bare LF anywhere.
  for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
    ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "at byte " << i;
  const std::vector<std::string> lines = SplitCrLf(text);
  EXPECT_EQ(lines[0], "Tolvexa Diagnostic Report   Ver:1.0.0");
  EXPECT_EQ(lines[3].rfind("Generation Data: ", 0), 0u);
  EXPECT_GT(lines[3].size(), std::string("Generation Data: 1/1/2000").size()) << lines[3];
  std::size_t at = 0;
  for (const char* banner : {"=======Kernel Informaion=======", "=======Process and Module Informaion=======",
                             "=======Startup Informaion=======", "=======BHO Informaion=======",
                             "=======Port Informaion=======", "=======Service Informaion======="}) {
    auto it = std::find(lines.begin() + static_cast<std::ptrdiff_t>(at), lines.end(), banner);
    ASSERT_NE(it, lines.end()) << banner;
    at = static_cast<std::size_t>(it - lines.begin());
  }
  // The process section: services.exe's block with its modules ("    >>" lines).
  bool found = false;
  for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
    const std::string first = Lower(lines[i].substr(0, lines[i].find("  ,  ")));
    if (first.size() < 13 || first.compare(first.size() - 13, 13, "\\services.exe") != 0) continue;
    if (lines[i + 1].empty() && lines[i + 2].rfind("    >>", 0) == 0) {
      found = true;
      EXPECT_NE(Lower(text).find("ntdll.dll"), std::string::npos);
      break;
    }
  }
  EXPECT_TRUE(found) << text.substr(0, 4000);
  // An existing report is kept without --force and replaced with it.
  r = Cli({"--report", Narrow(path)});
  EXPECT_EQ(r.code, 2);
  r = Cli({"--report", Narrow(path), "--force"});
  EXPECT_EQ(r.code, 0) << r.err;
  DeleteFileW(path.c_str());
}

// ---------------------------------------------------------------- registry ----

HKEY RootKey(Handle root) {
  return root == reg::ClassesRoot ? HKEY_CLASSES_ROOT : root == reg::CurrentUser ? HKEY_CURRENT_USER
                                                                                 : HKEY_LOCAL_MACHINE;
}

struct SavedValue {
  HKEY root = nullptr;
  std::wstring key, name;
  bool existed = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

SavedValue Save(HKEY root, const std::wstring& key, const std::wstring& name) {
  SavedValue v;
  v.root = root;
  v.key = key;
  v.name = name;
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExW(k, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    if (RegQueryValueExW(k, name.c_str(), nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS) {
      v.existed = true;
      v.data.resize(size);
    }
  }
  RegCloseKey(k);
  return v;
}

void Restore(const SavedValue& v) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(v.root, v.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return;
  if (v.existed) {
    RegSetValueExW(k, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
  } else {
    RegDeleteValueW(k, v.name.c_str());
  }
  RegCloseKey(k);
}

bool ReadDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& value) {
  DWORD size = sizeof value, type = 0;
  return RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, &type, &value, &size) == ERROR_SUCCESS &&
         type == REG_DWORD;
}

std::wstring ReadText(HKEY root, const std::wstring& key, const std::wstring& name) {
  wchar_t buf[512] = {};
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, nullptr, buf, &size) !=
      ERROR_SUCCESS)
    return L"<none>";
  return buf;
}

TEST(ToolsWine, FixRegistryPutsTheTableBackAndIsUndoneAfterwards) {
  // Everything the repair touches is saved first and put back at the end, so that Wine's
  // registry stays as the other tests expect it.
  std::vector<SavedValue> saved;
  for (const RepairRow& row : RegistryRepairTable())
    saved.push_back(Save(RootKey(row.root), Widen(row.key), Widen(row.value)));

  const std::wstring system = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, system.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const DWORD one = 1;
  RegSetValueExW(k, L"DisableTaskMgr", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegSetValueExW(k, L"DisableRegistryTools", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegCloseKey(k);

  CliRun r = Cli({"--fix-registry"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Registry repaired: ", 0), 0u) << r.out;

  DWORD v = 99;
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, system, L"DisableTaskMgr", v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, system, L"DisableRegistryTools", v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                        L"NoDriveTypeAutoRun", v));
  EXPECT_EQ(v, 1u);
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                        L"ShowSuperHidden", v));
  EXPECT_EQ(v, 1u);
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L""), L"\"%1\" %*");
  EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"regfile\\shell\\open\\command", L""), L"regedit.exe %1");
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", L"Auto"), L"0");

  for (auto it = saved.rbegin(); it != saved.rend(); ++it) Restore(*it);
  for (const SavedValue& before : saved) {
    const SavedValue now = Save(before.root, before.key, before.name);
    EXPECT_EQ(now.existed, before.existed) << Narrow(before.key) << " " << Narrow(before.name);
    EXPECT_EQ(now.data, before.data) << Narrow(before.key) << " " << Narrow(before.name);
  }
}

// -------------------------------------------------------------- junk files ----

// The Unix path of a Windows path (Wine's kernel32 export), for the environment of a child.
std::string UnixPath(const std::wstring& path) {
  using Fn = char*(CDECL*)(const wchar_t*);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return {};
  char* unix = fn(path.c_str());
  if (!unix) return {};
  std::string s = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return s;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
  DWORD written = 0;
  WriteFile(h, "junk", 4, &written, nullptr);
  CloseHandle(h);
}

TEST(ToolsWine, CleanJunkEmptiesTheTemporaryFolderButNotItsSubfolders) {
  const std::wstring exe = ExeDir() + L"tolvexa.exe";
  ASSERT_TRUE(Exists(exe)) << "build tolvexa.exe next to the test program";
  wchar_t tempBuf[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, tempBuf), 0u);
  const std::wstring temp = tempBuf;
  const std::wstring a = temp + L"tv_junk_a.tmp", b = temp + L"tv_junk_b", sub = temp + L"tv_junk_sub",
                     kept = sub + L"\\keep.tmp";
  Touch(a);
  Touch(b);
  CreateDirectoryW(sub.c_str(), nullptr);
  Touch(kept);

  // Wine's recycle bin is the desktop's trash of the Unix user: the child gets a trash of its own
  // (a scratch folder as its data home), so that emptying the bins touches nothing outside.
  const std::wstring sandbox = ExeDir() + L"tv_junk_home";
  CreateDirectoryW(sandbox.c_str(), nullptr);
  const std::string unixSandbox = UnixPath(sandbox);
  ASSERT_FALSE(unixSandbox.empty());
  ASSERT_EQ(unixSandbox[0], '/');
  std::wstring env;
  for (const wchar_t* p = GetEnvironmentStringsW(); p && *p; p += wcslen(p) + 1) {
    const std::wstring var = p;
    if (var.rfind(L"XDG_DATA_HOME=", 0) == 0 || var.rfind(L"HOME=", 0) == 0) continue;
    env += var;
    env.push_back(L'\0');
  }
  env += L"XDG_DATA_HOME=" + Widen(unixSandbox);
  env.push_back(L'\0');
  env += L"HOME=" + Widen(unixSandbox);
  env.push_back(L'\0');
  env.push_back(L'\0');

  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = nul;
  si.hStdError = nul;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + exe + L"\" --clean-junk";
  ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                             env.data(), nullptr, &si, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(nul);
  EXPECT_EQ(code, 0u);

  EXPECT_TRUE(Exists(sandbox + L"\\Trash")) << "the child's recycle bin was not its own";
  EXPECT_FALSE(Exists(a));
  EXPECT_FALSE(Exists(b));
  EXPECT_TRUE(Exists(sub));
  EXPECT_TRUE(Exists(kept));
  DeleteFileW(kept.c_str());
  RemoveDirectoryW(sub.c_str());
}

TEST(ToolsWine, UsageReadsProcessorAndMemoryLoad) {
  CliRun r = Cli({"--usage"});
  EXPECT_EQ(r.code, 0) << r.out;
  std::smatch match;
  ASSERT_TRUE(std::regex_match(r.out, match, std::regex("CPU Usage: (\\d+)%  ,  Memory Usage: (\\d+)%\n"))) << r.out;
  EXPECT_LE(std::stoi(match[1].str()), 100);
  EXPECT_GT(std::stoi(match[2].str()), 0);
  EXPECT_LE(std::stoi(match[2].str()), 100);
}

}  // namespace
}  // namespace tv
