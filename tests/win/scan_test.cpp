// The threat scan on the real platform (Wine): tolvexa.exe runs as a child process from a
// private copy in a temporary folder (so that its "trust.lst" is private too), and the test
// reads what it prints. Programs: sleeper.exe (no version resource), the copy of it the build
// signed with a throw-away certificate, and a copy of that with one byte changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "platform/win32/win32_platform.h"
#include "scan/scan_lists.h"
#include "scan/signature.h"
#include "ui/text_tables.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tv {
namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunKeyText = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}
std::wstring Widen(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}
std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SetRunValue(const std::wstring& name, const std::wstring& value) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExW(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}
bool RunValueExists(const std::wstring& name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  LONG r = RegQueryValueExW(k, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}
void DeleteRunValue(const std::wstring& name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueW(k, name.c_str());
  RegCloseKey(k);
}

struct RunResult {
  DWORD code = 0xFFFFFFFF;
  std::vector<std::string> lines;
  std::string err;
};

// Reads a pipe to its end.
std::string Drain(HANDLE h) {
  std::string all;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) all.append(buf, n);
  return all;
}

class ScanWinTest : public ::testing::Test {
 protected:
  std::wstring dir_;                 // private folder of this test, with a trailing backslash
  std::vector<std::wstring> values_;  // Run values this test made

  void SetUp() override {
    platform::Install(win32::RealPlatform());
    InitFolders();
    LoadEnglishText();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"tvscan_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((ExeDir() + L"tolvexa.exe").c_str(), (dir_ + L"tolvexa.exe").c_str(), FALSE))
        << "tolvexa.exe must be built next to the test program";
  }
  void TearDown() override {
    for (const std::wstring& v : values_) DeleteRunValue(v);
    WIN32_FIND_DATAW fd;
    HANDLE f = FindFirstFileW((dir_ + L"*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW((dir_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((dir_ + name).c_str());
      } while (FindNextFileW(f, &fd));
      FindClose(f);
    }
    RemoveDirectoryW(dir_.c_str());
    EXPECT_FALSE(Exists(dir_));
    platform::Install(Platform{});
  }

  std::string Path(const std::wstring& name) { return Narrow(dir_ + name); }

  // A program registered under the current user's Run key.
  void Register(const std::wstring& valueName, const std::wstring& file) {
    values_.push_back(valueName);
    ASSERT_TRUE(SetRunValue(valueName, dir_ + file));
  }

  // tolvexa.exe from the private folder, with its output captured.
  RunResult Tolvexa(const std::vector<std::string>& args) {
    RunResult r;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &sa, 0) || !CreatePipe(&errRead, &errWrite, &sa, 0)) return r;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    std::wstring cmd = L"\"" + dir_ + L"tolvexa.exe\"";
    for (const std::string& a : args) cmd += L" \"" + Widen(a) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        dir_.c_str(), &si, &pi);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
      const std::string out = Drain(outRead);
      r.err = Drain(errRead);
      WaitForSingleObject(pi.hProcess, 300000);
      GetExitCodeProcess(pi.hProcess, &r.code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
      std::istringstream in(out);
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        r.lines.push_back(line);
      }
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return r;
  }

  // The threat lines of a scan: risk text, object, location.
  static std::vector<std::vector<std::string>> Threats(const RunResult& r) {
    std::vector<std::vector<std::string>> out;
    for (const std::string& line : r.lines) {
      if (line == "Smart Scan completed") break;
      std::vector<std::string> cells;
      std::istringstream in(line);
      for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
      if (cells.size() == 3) out.push_back(cells);
    }
    return out;
  }
  static const std::vector<std::string>* Find(const std::vector<std::vector<std::string>>& threats,
                                              const std::string& object) {
    for (const auto& t : threats)
      if (t[1] == object) return &t;
    return nullptr;
  }
};

// The tampered copy: one byte in the middle of the signed program changed.
bool WriteTamperedCopy(const std::wstring& from, const std::wstring& to) {
  std::ifstream in(std::filesystem::path(from), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 4096) return false;
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
  std::ofstream out(std::filesystem::path(to), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

TEST_F(ScanWinTest, UnsignedAndTamperedProgramsAreReportedSignedOneIsNot) {
  const std::wstring signedSource = ExeDir() + L"signed_sleeper.exe";
  if (!Exists(signedSource)) GTEST_SKIP() << "signed_sleeper.exe was not built (openssl / osslsigncode missing)";
  ASSERT_TRUE(CopyFileW((ExeDir() + L"sleeper.exe").c_str(), (dir_ + L"plain.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(signedSource.c_str(), (dir_ + L"signed.exe").c_str(), FALSE));
  ASSERT_TRUE(WriteTamperedCopy(signedSource, dir_ + L"tampered.exe"));
  EXPECT_TRUE(CheckFileSignature(Path(L"signed.exe")).verified());
  EXPECT_EQ(static_cast<std::uint32_t>(CheckFileSignature(Path(L"tampered.exe")).result), trust::BadDigest);
  Register(L"TolvexaScanPlain", L"plain.exe");
  Register(L"TolvexaScanSigned", L"signed.exe");
  Register(L"TolvexaScanTampered", L"tampered.exe");

  RunResult scan = Tolvexa({"--scan"});
  EXPECT_EQ(scan.code, 1u) << scan.err;
  auto threats = Threats(scan);
  const auto* plain = Find(threats, Lower(Path(L"plain.exe")));
  ASSERT_TRUE(plain) << ::testing::PrintToString(scan.lines);
  EXPECT_EQ((*plain)[0], "Dangerous");
  EXPECT_EQ((*plain)[2], kRunKeyText + " {TolvexaScanPlain}");
  const auto* tampered = Find(threats, Lower(Path(L"tampered.exe")));
  ASSERT_TRUE(tampered);
  EXPECT_EQ((*tampered)[0], "Dangerous");
  EXPECT_FALSE(Find(threats, Lower(Path(L"signed.exe"))));
  ASSERT_GE(scan.lines.size(), 2u);
  EXPECT_EQ(scan.lines[scan.lines.size() - 2], "Smart Scan completed");
  EXPECT_EQ(scan.lines.back(), "Found Threat: " + std::to_string(threats.size()));

  RunResult verify = Tolvexa({"--verify", Path(L"plain.exe")});
  EXPECT_EQ(verify.lines, (std::vector<std::string>{"The file \"" + Path(L"plain.exe") + "\" is not signed."}));
  EXPECT_EQ(verify.code, 1u);
  verify = Tolvexa({"--verify", Path(L"signed.exe")});
  EXPECT_EQ(verify.lines, (std::vector<std::string>{"The file \"" + Path(L"signed.exe") +
                                                    "\" is signed and the signature was verified."}));
  EXPECT_EQ(verify.code, 0u);

  RunResult trust = Tolvexa({"--trust", "add", Path(L"plain.exe")});
  EXPECT_EQ(trust.code, 0u) << trust.err;
  WIN32_FILE_ATTRIBUTE_DATA info{};
  ASSERT_TRUE(GetFileAttributesExW((dir_ + L"trust.lst").c_str(), GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, kListRecordSize);
  EXPECT_EQ(info.nFileSizeLow % kListRecordSize, 0u);
  EXPECT_FALSE(Exists(dir_ + L"trust.lst.tmp"));

  scan = Tolvexa({"--scan"});
  threats = Threats(scan);
  EXPECT_FALSE(Find(threats, Lower(Path(L"plain.exe"))));
  EXPECT_TRUE(Find(threats, Lower(Path(L"tampered.exe"))));
  EXPECT_EQ(Tolvexa({"--trust", "list"}).lines.front(), "1\t" + Path(L"plain.exe") + "\tUnknown\t {}\t\t");
}

TEST_F(ScanWinTest, CleanDangerousRemovesTheFileAndItsRunValue) {
  ASSERT_TRUE(CopyFileW((ExeDir() + L"sleeper.exe").c_str(), (dir_ + L"dropper.exe").c_str(), FALSE));
  Register(L"TolvexaScanDropper", L"dropper.exe");
  const std::string ours = Lower(Path(L"dropper.exe"));

  // Whatever else the machine reports is trusted first (in this folder's private list), so that
  // the clean can only reach this test's own entry. Wine starts some drivers on demand, so a
  // later scan may show more of its own files: trust until a scan shows nothing new.
  bool onlyOurs = false;
  for (int round = 0; round < 4 && !onlyOurs; ++round) {
    const RunResult scan = Tolvexa({"--scan"});
    ASSERT_TRUE(Find(Threats(scan), ours)) << ::testing::PrintToString(scan.lines);
    std::vector<std::string> others;
    onlyOurs = true;
    for (const auto& t : Threats(scan)) {
      if (t[1] == ours || t[0] != "Dangerous") continue;
      onlyOurs = false;
      if (t[1].size() > 3 && t[1][1] == ':' && Exists(Widen(t[1]))) others.push_back(t[1]);
    }
    for (std::size_t i = 0; i < others.size(); i += 20) {
      std::vector<std::string> args = {"--trust", "add"};
      for (std::size_t k = i; k < others.size() && k < i + 20; ++k) args.push_back(others[k]);
      ASSERT_EQ(Tolvexa(args).code, 0u);
    }
  }
  ASSERT_TRUE(onlyOurs) << "an untrusted dangerous item of the machine would be cleaned";

  RunResult clean = Tolvexa({"--scan", "--clean", "dangerous"});
  EXPECT_EQ(clean.code, 1u) << clean.err;
  std::vector<std::string> cleanLines;
  for (const std::string& l : clean.lines)
    if (l.rfind("Clean", 0) == 0) cleanLines.push_back(l);
  EXPECT_EQ(cleanLines, (std::vector<std::string>{"Clean\t" + ours + "\t" + kRunKeyText + " {TolvexaScanDropper}"}));
  EXPECT_FALSE(Exists(dir_ + L"dropper.exe"));
  EXPECT_FALSE(RunValueExists(L"TolvexaScanDropper"));
}

TEST(ScanWinSound, AlertSoundIsPlayedAsynchronously) {
  platform::Install(win32::RealPlatform());
  // An asynchronous play answers at once, before the file is even looked at; an empty path
  // stops whatever plays.
  EXPECT_TRUE(platform::Sys().sndPlaySoundA("C:\\nonexistent\\alert.wav", 1 | 2));
  EXPECT_TRUE(platform::Sys().sndPlaySoundA("", 0));
  platform::Install(Platform{});
}

}  // namespace
}  // namespace tv
