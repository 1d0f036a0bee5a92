// The win32 backend's shared helpers, the system operations and the assembled interface set.
#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/win32/win32_internal.h"
// After <windows.h>: sndPlaySoundW.
#include <mmsystem.h>

namespace tv::win32 {
namespace detail {

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  DWORD saved = ::GetLastError();
  const int inLen = static_cast<int>(text.size());
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), inLen, nullptr, 0);
  std::wstring out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n));
    n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), inLen, out.data(), n);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::SetLastError(saved);
  return out;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  DWORD saved = ::GetLastError();
  const int inLen = static_cast<int>(text.size());
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), inLen, nullptr, 0, nullptr, nullptr);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n));
    n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), inLen, out.data(), n, nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::SetLastError(saved);
  return out;
}

std::string NarrowZ(const wchar_t* text, std::size_t maxUnits) {
  if (text == nullptr) return {};
  std::size_t n = 0;
  while (n < maxUnits && text[n] != L'\0') ++n;
  return Narrow(std::wstring_view(text, n));
}

std::string CutUtf8(std::string text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  // Step back over continuation bytes so that no character is split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

const wchar_t* OptionalWide(const char* text, std::wstring& storage) {
  if (text == nullptr) return nullptr;
  storage = Widen(text);
  return storage.c_str();
}

const wchar_t* WideOrNull(const std::string& text, std::wstring& storage) {
  if (text.empty()) return nullptr;
  storage = Widen(text);
  return storage.c_str();
}

namespace {
constexpr std::uint32_t kFirstRoot = 0x80000000u;
constexpr std::uint32_t kLastRoot = 0x80000006u;
}  // namespace

HKEY ToHkey(Handle key) {
  const auto low = static_cast<std::uint32_t>(key);
  bool predefined = low >= kFirstRoot && low <= kLastRoot;
  if constexpr (sizeof(Handle) == 8) {
    const auto high = static_cast<std::uint64_t>(key) >> 32;
    predefined = predefined && (high == 0 || high == 0xFFFFFFFFu);
  }
  if (predefined) {
    // (HKEY)(ULONG_PTR)(LONG)0x8000000N, as the SDK defines the roots.
    const auto value = static_cast<LONG_PTR>(static_cast<LONG>(low));
    return reinterpret_cast<HKEY>(value);
  }
  return reinterpret_cast<HKEY>(key);
}

Handle FromHkey(HKEY key) {
  const auto raw = reinterpret_cast<LONG_PTR>(key);
  for (std::uint32_t r = kFirstRoot; r <= kLastRoot; ++r) {
    if (raw == static_cast<LONG_PTR>(static_cast<LONG>(r))) return static_cast<Handle>(r);
  }
  return reinterpret_cast<Handle>(key);
}

// ------------------------------------------------------------------ system ----
namespace {

class Win32System final : public SystemApi {
 public:
  bool GetVersionExA(OsVersionInfo& out) override {
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!::GetVersionExW(&vi)) return false;
    out.major = vi.dwMajorVersion;
    out.minor = vi.dwMinorVersion;
    out.build = vi.dwBuildNumber;
    out.platformId = vi.dwPlatformId;
    out.csdVersion = NarrowZ(vi.szCSDVersion, sizeof(vi.szCSDVersion) / sizeof(wchar_t));
    return true;
  }

  std::string GetWindowsDirectoryA() override {
    return ReadGrowing([](wchar_t* b, UINT n) { return ::GetWindowsDirectoryW(b, n); });
  }
  std::string GetSystemDirectoryA() override {
    return ReadGrowing([](wchar_t* b, UINT n) { return ::GetSystemDirectoryW(b, n); });
  }
  std::string GetTempPathA() override {
    return ReadGrowing([](wchar_t* b, UINT n) { return static_cast<UINT>(::GetTempPathW(n, b)); });
  }

  std::string GetModuleFileNameA(Handle module) override {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
      const DWORD cap = static_cast<DWORD>(buf.size());
      DWORD n = ::GetModuleFileNameW(reinterpret_cast<HMODULE>(module), buf.data(), cap);
      if (n == 0) return {};
      if (n < cap) return Narrow(std::wstring_view(buf.data(), n));
      if (buf.size() >= 32768) return Narrow(std::wstring_view(buf.data(), n));
      buf.resize(buf.size() * 2);
    }
  }

  std::string GetEnvironmentVariableA(const std::string& name) override {
    std::wstring wname = Widen(name);
    std::vector<wchar_t> buf(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
      const DWORD cap = static_cast<DWORD>(buf.size());
      DWORD n = ::GetEnvironmentVariableW(wname.c_str(), buf.data(), cap);
      if (n == 0) return {};
      if (n < cap) return Narrow(std::wstring_view(buf.data(), n));
      buf.resize(n + 1);  // n is the size needed, with the NUL
    }
    return {};
  }

  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  std::uint32_t GetCurrentProcessId() override { return ::GetCurrentProcessId(); }
  std::uint32_t GetCurrentThreadId() override { return ::GetCurrentThreadId(); }
  std::uint32_t GetLastError() override { return ::GetLastError(); }

  std::vector<std::string> GetLogicalDriveStringsA() override {
    std::vector<std::string> drives;
    DWORD need = ::GetLogicalDriveStringsW(0, nullptr);
    if (need == 0) return drives;
    std::vector<wchar_t> buf(need + 1, L'\0');
    DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0 || n >= buf.size()) return drives;
    const wchar_t* p = buf.data();
    const wchar_t* end = buf.data() + n;
    while (p < end && *p != L'\0') {
      std::wstring_view one(p);
      drives.push_back(Narrow(one));
      p += one.size() + 1;
    }
    return drives;
  }

  std::string QueryDosDeviceA(const std::string& drive) override {
    std::wstring wdrive = Widen(drive);
    std::vector<wchar_t> buf(1024, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
      DWORD n = ::QueryDosDeviceW(wdrive.empty() ? nullptr : wdrive.c_str(), buf.data(),
                                  static_cast<DWORD>(buf.size()));
      if (n != 0) return NarrowZ(buf.data(), n);
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
      buf.assign(buf.size() * 4, L'\0');
    }
    return {};
  }

  bool CloseHandle(Handle h) override { return ::CloseHandle(ToHandle(h)) != FALSE; }

  Handle CreateEventA(bool manualReset, bool initialState) override {
    return FromHandle(::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr));
  }

  std::uint32_t GetACP() override { return ::GetACP(); }

  std::string AnsiToUtf8(const std::string& ansi) override {
    if (ansi.empty()) return {};
    const int n = static_cast<int>(ansi.size());
    int wlen = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, nullptr, 0);
    if (wlen <= 0) return {};
    std::wstring w(static_cast<std::size_t>(wlen), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, w.data(), wlen);
    return Narrow(w);
  }

  std::string Utf8ToAnsi(const std::string& utf8) override {
    if (utf8.empty()) return {};
    std::wstring w = Widen(utf8);
    const int wlen = static_cast<int>(w.size());
    int len = ::WideCharToMultiByte(CP_ACP, 0, w.data(), wlen, nullptr, 0, nullptr, nullptr);
    if (len <= 0) return {};
    std::string out(static_cast<std::size_t>(len), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.data(), wlen, out.data(), len, nullptr, nullptr);
    return out;
  }

  void GetLocalTime(SystemTime& out) override {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    out = SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  }

  std::string GetDateFormatA(std::uint32_t flags, const SystemTime& date) override {
    const SYSTEMTIME t = ToSystemTime(date);
    wchar_t buf[128] = {};
    int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, flags, &t, nullptr, buf, 128);
    return n > 0 ? NarrowZ(buf, 128) : std::string();
  }

  std::string GetTimeFormatA(std::uint32_t flags, const SystemTime& time) override {
    const SYSTEMTIME t = ToSystemTime(time);
    wchar_t buf[128] = {};
    int n = ::GetTimeFormatW(LOCALE_USER_DEFAULT, flags, &t, nullptr, buf, 128);
    return n > 0 ? NarrowZ(buf, 128) : std::string();
  }

  void GlobalMemoryStatus(MemoryStatus& out) override {
    MEMORYSTATUS m{};
    m.dwLength = sizeof m;
    ::GlobalMemoryStatus(&m);
    out.dwLength = m.dwLength;
    out.dwMemoryLoad = m.dwMemoryLoad;
    out.dwTotalPhys = m.dwTotalPhys;
    out.dwAvailPhys = m.dwAvailPhys;
    out.dwTotalPageFile = m.dwTotalPageFile;
    out.dwAvailPageFile = m.dwAvailPageFile;
    out.dwTotalVirtual = m.dwTotalVirtual;
    out.dwAvailVirtual = m.dwAvailVirtual;
  }

  bool sndPlaySoundA(const std::string& path, std::uint32_t flags) override {
    if (path.empty()) return ::sndPlaySoundW(nullptr, flags) != FALSE;
    const std::wstring w = Widen(path);
    return ::sndPlaySoundW(w.c_str(), flags) != FALSE;
  }

 private:
  static SYSTEMTIME ToSystemTime(const SystemTime& t) {
    SYSTEMTIME s{};
    s.wYear = t.wYear;
    s.wMonth = t.wMonth;
    s.wDayOfWeek = t.wDayOfWeek;
    s.wDay = t.wDay;
    s.wHour = t.wHour;
    s.wMinute = t.wMinute;
    s.wSecond = t.wSecond;
    s.wMilliseconds = t.wMilliseconds;
    return s;
  }

  // Calls a "fill this buffer of n characters" function; it returns the length written or,
  // when the buffer is too small, the size needed.
  template <class Fn>
  static std::string ReadGrowing(Fn fn) {
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
      const UINT cap = static_cast<UINT>(buf.size());
      UINT n = fn(buf.data(), cap);
      if (n == 0) return {};
      if (n < cap) return Narrow(std::wstring_view(buf.data(), n));
      buf.resize(n + 1);
    }
    return {};
  }
};

}  // namespace

SystemApi& SystemBackend() {
  static Win32System instance;
  return instance;
}

}  // namespace detail

const tv::Platform& RealPlatform() {
  static const tv::Platform platform = [] {
    tv::Platform p;
    p.system = &detail::SystemBackend();
    p.files = &detail::FileBackend();
    p.registry = &detail::RegistryBackend();
    p.processes = &detail::ProcessBackend();
    p.windows = &detail::WindowBackend();
    p.nt = &detail::NtBackend();
    p.services = &detail::ServiceBackend();
    p.net = &detail::NetBackend();
    p.shell = &detail::ShellBackend();
    p.trust = &detail::TrustBackend();
    return p;
  }();
  return platform;
}

}  // namespace tv::win32
