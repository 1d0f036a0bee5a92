// System values, shell and trust verification of the simulated machine.
#include <algorithm>
#include <limits>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kErrEnvVarNotFound = 203, kErrModNotFound = 126;
}

bool SimMachine::Impl::GetVersionExA(OsVersionInfo& out) {
  auto g = Enter("GetVersionExA");
  out = st.version;
  SetError(0);
  return true;
}

std::string SimMachine::Impl::GetWindowsDirectoryA() {
  auto g = Enter("GetWindowsDirectoryA");
  return st.windowsDir;
}

std::string SimMachine::Impl::GetSystemDirectoryA() {
  auto g = Enter("GetSystemDirectoryA");
  return st.systemDir;
}

std::string SimMachine::Impl::GetTempPathA() {
  auto g = Enter("GetTempPathA");
  std::string t = st.tempDir;
  if (!t.empty() && t.back() != '\\') t += '\\';
  return t;
}

std::string SimMachine::Impl::GetModuleFileNameA(Handle module) {
  auto g = Enter("GetModuleFileNameA");
  if (module == 0) {
    SetError(0);
    return st.appPath;
  }
  if (Process* self = Self())
    for (const auto& mod : self->modules)
      if (mod.base == module) {
        SetError(0);
        return mod.path;
      }
  SetError(kErrModNotFound);
  return "";
}

std::string SimMachine::Impl::GetEnvironmentVariableA(const std::string& name) {
  auto g = Enter("GetEnvironmentVariableA");
  for (const auto& [k, v] : st.environment)
    if (IEquals(k, name)) {
      SetError(0);
      return v;
    }
  SetError(kErrEnvVarNotFound);
  return "";
}

std::uint32_t SimMachine::Impl::GetTickCount() {
  auto g = Enter("GetTickCount");
  return st.tickCount++;
}

void SimMachine::Impl::Sleep(std::uint32_t ms) {
  auto g = Enter("Sleep");
  st.tickCount += ms;
}

std::uint32_t SimMachine::Impl::GetCurrentProcessId() {
  auto g = Enter("GetCurrentProcessId");
  return st.selfPid;
}

std::uint32_t SimMachine::Impl::GetCurrentThreadId() {
  auto g = Enter("GetCurrentThreadId");
  Process* self = Self();
  return (self && !self->threads.empty()) ? self->threads.front().tid : 0;
}

std::vector<std::string> SimMachine::Impl::GetLogicalDriveStringsA() {
  auto g = Enter("GetLogicalDriveStringsA");
  std::map<std::string, int> drives;  // sorted by letter
  for (const auto& [d, dev] : st.dosDevices) drives[Upper(d)] = 0;
  std::vector<std::string> out;
  for (const auto& [d, unused] : drives) out.push_back(d + "\\");
  return out;
}

std::string SimMachine::Impl::QueryDosDeviceA(const std::string& drive) {
  auto g = Enter("QueryDosDeviceA");
  for (const auto& [d, dev] : st.dosDevices)
    if (IEquals(d, drive)) {
      SetError(0);
      return dev;
    }
  SetError(err::FileNotFound);
  return "";
}

bool SimMachine::Impl::CloseHandle(Handle h) {
  auto g = Enter("CloseHandle");
  if (h == kCurrentProcess || h == kCurrentThread) {
    SetError(0);
    return true;
  }
  HandleObj* o = Get(h);
  if (!o || !InHandleTable(*o)) {  // find and service handles have their own close calls
    SetError(err::InvalidHandle);
    return false;
  }
  Close(h);
  SetError(0);
  return true;
}

Handle SimMachine::Impl::CreateEventA(bool, bool) {
  auto g = Enter("CreateEventA");
  HandleObj o;
  o.kind = HKind::Event;
  o.access = 0x1F0003;
  SetError(0);
  return NewHandle(o);
}

// ------------------------------------------------------------------ shell ----
std::string SimMachine::Impl::GetSpecialFolderPath(int csidl) {
  auto g = Enter("GetSpecialFolderPath");
  auto it = st.specialFolders.find(csidl);
  return it == st.specialFolders.end() ? "" : it->second;
}

std::intptr_t SimMachine::Impl::ShellExecuteA(const std::string& verb, const std::string& file,
                                              const std::string& parameters, const std::string& directory,
                                              int show) {
  auto g = Enter("ShellExecuteA");
  st.shellExecuted.push_back({verb, file, parameters, directory, show});
  std::string c = CanonicalPath(file);
  bool exists = !c.empty() && AttributesOf(c) != fattr::Invalid;
  // A bare program name ("notepad", "regedit") is found on the search path; a path must exist.
  bool looksLikePath = file.find('\\') != std::string::npos || file.find(':') != std::string::npos;
  if (looksLikePath && !exists) return 2;  // SE_ERR_FNF
  return 42;
}

int SimMachine::Impl::RecycleFile(const std::string& path) {
  auto g = Enter("RecycleFile");
  std::string c = CanonicalPath(path);
  if (c.empty() || c.size() <= 3 || AttributesOf(c) == fattr::Invalid) return 2;
  const std::string key = Lower(c);
  std::vector<File> kept;
  for (auto& f : st.files) {
    std::string k = Lower(CanonicalPath(f.path));
    if (k == key || k.rfind(key + "\\", 0) == 0) continue;
    kept.push_back(std::move(f));
  }
  st.files = std::move(kept);
  st.recycled.push_back(c);
  return 0;
}

std::int32_t SimMachine::Impl::SHEmptyRecycleBinA(Handle owner, const std::string& rootPath, std::uint32_t flags) {
  auto g = Enter("SHEmptyRecycleBinA");
  st.recycleBinEmptied.push_back({owner, rootPath, flags});
  // The bin of one drive ("C:\\") or, with no root, of every drive.
  std::vector<std::string> kept;
  for (const std::string& p : st.recycled)
    if (!rootPath.empty() && !IStartsWith(p, rootPath.substr(0, 2))) kept.push_back(p);
  st.recycled = std::move(kept);
  return 0;
}

// ------------------------------------------------------------ clock, memory ----
namespace {
constexpr const char* kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidDate(const SystemTime& t) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1) return false;
  const int days = kDays[t.wMonth - 1] + (t.wMonth == 2 && LeapYear(t.wYear) ? 1 : 0);
  return t.wDay <= days;
}

// 0 Sunday .. 6 Saturday, computed from the date as Windows does (wDayOfWeek is ignored).
int DayOfWeek(const SystemTime& t) {
  static const int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = t.wYear - (t.wMonth < 3 ? 1 : 0);
  return (y + y / 4 - y / 100 + y / 400 + kOffsets[t.wMonth - 1] + t.wDay) % 7;
}

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }
}  // namespace

void SimMachine::Impl::GetLocalTime(SystemTime& out) {
  auto g = Enter("GetLocalTime");
  out = st.localTime;
}

// The machine's user locale is English (United States): "M/d/yyyy", "dddd, MMMM d, yyyy" and
// "h:mm:ss tt".
std::string SimMachine::Impl::GetDateFormatA(std::uint32_t flags, const SystemTime& date) {
  auto g = Enter("GetDateFormatA");
  if (!ValidDate(date)) {
    SetError(err::InvalidParameter);
    return "";
  }
  SetError(0);
  if (flags & 2)  // DATE_LONGDATE
    return std::string(kDayNames[DayOfWeek(date)]) + ", " + kMonthNames[date.wMonth - 1] + " " +
           std::to_string(date.wDay) + ", " + std::to_string(date.wYear);
  return std::to_string(date.wMonth) + "/" + std::to_string(date.wDay) + "/" + std::to_string(date.wYear);
}

std::string SimMachine::Impl::GetTimeFormatA(std::uint32_t, const SystemTime& time) {
  auto g = Enter("GetTimeFormatA");
  if (time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59 || time.wMilliseconds > 999) {
    SetError(err::InvalidParameter);
    return "";
  }
  SetError(0);
  const int h12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
  return std::to_string(h12) + ":" + TwoDigits(time.wMinute) + ":" + TwoDigits(time.wSecond) +
         (time.wHour < 12 ? " AM" : " PM");
}

void SimMachine::Impl::GlobalMemoryStatus(MemoryStatus& out) {
  auto g = Enter("GlobalMemoryStatus");
  // SIZE_T fields: a 32-bit process sees at most 4 GB, as on Windows.
  auto size = [](std::uint64_t v) {
    return static_cast<std::uintptr_t>(std::min<std::uint64_t>(v, std::numeric_limits<std::uintptr_t>::max()));
  };
  const std::uint64_t avail = std::min(st.availPhys, st.totalPhys);
  out = MemoryStatus{};
  out.dwLength = sizeof(MemoryStatus);
  out.dwMemoryLoad = st.totalPhys ? static_cast<std::uint32_t>((st.totalPhys - avail) * 100 / st.totalPhys) : 0;
  out.dwTotalPhys = size(st.totalPhys);
  out.dwAvailPhys = size(avail);
  out.dwTotalPageFile = size(st.totalPhys * 2);
  out.dwAvailPageFile = size(avail + st.totalPhys);
  out.dwTotalVirtual = size(kPtrSize == 8 ? 0x7FFFFFFE0000ull : 0x7FFE0000ull);
  out.dwAvailVirtual = size(kPtrSize == 8 ? 0x7FFF00000000ull : 0x70000000ull);
}

// -------------------------------------------------------------- code page ----
namespace {
// Windows-1252 bytes 0x80..0x9F (0 where the code page leaves the byte unassigned); the other
// bytes are the Unicode code points of the same number.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::uint32_t SimMachine::Impl::GetACP() { return st.codePage; }

std::string SimMachine::Impl::AnsiToUtf8(const std::string& ansi) {
  if (st.codePage == 65001) return ansi;
  std::u16string wide;
  for (char c : ansi) {
    const auto b = static_cast<unsigned char>(c);
    // An unassigned byte maps to the code point of the same number, as Windows does.
    wide.push_back(b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return Utf16ToUtf8(wide);
}

std::string SimMachine::Impl::Utf8ToAnsi(const std::string& utf8) {
  if (st.codePage == 65001) return utf8;
  std::string out;
  for (char16_t w : Utf8ToUtf16(utf8)) {
    if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) {
      out.push_back(static_cast<char>(w));
      continue;
    }
    char mapped = '?';
    for (int i = 0; i < 32; ++i)
      if (kCp1252High[i] == w && w != 0) mapped = static_cast<char>(0x80 + i);
    if (w >= 0x80 && w < 0xA0) mapped = static_cast<char>(w);  // the unassigned bytes round-trip
    out.push_back(mapped);
  }
  return out;
}

// ------------------------------------------------------------------ sound ----
bool SimMachine::Impl::sndPlaySoundA(const std::string& path, std::uint32_t flags) {
  auto g = Enter("sndPlaySoundA");
  st.soundsPlayed.push_back({path, flags});
  SetError(0);
  return true;
}

// ------------------------------------------------------------------ trust ----
// The trust provider leaves its reason in the thread's last error: the result itself unless
// the scenario names another value (TRUST_E_SUBJECT_FORM_UNKNOWN behind "no signature" ...).
// A file that does not exist answers the error of opening it (2, or 3 for a missing folder),
// as Wine's provider does.
std::int32_t SimMachine::Impl::WinVerifyTrust(const std::string& path, bool) {
  auto g = Enter("WinVerifyTrust");
  std::string c = Lower(CanonicalPath(path));
  for (const auto& [p, result] : st.signatures)
    if (Lower(CanonicalPath(p)) == c || IEquals(p, path)) {
      auto e = st.signatureLastErrors.find(p);
      SetError(e != st.signatureLastErrors.end() ? e->second : static_cast<std::uint32_t>(result));
      return result;
    }
  if (c.empty() || AttributesOf(c) == fattr::Invalid) {
    const std::size_t slash = c.find_last_of('\\');
    const std::string parent = slash == std::string::npos ? "" : slash == 2 ? c.substr(0, 3) : c.substr(0, slash);
    const std::uint32_t e = !parent.empty() && IsDirectory(parent) ? err::FileNotFound : err::PathNotFound;
    SetError(e);
    return static_cast<std::int32_t>(e);
  }
  SetError(0x800B0100u);
  return static_cast<std::int32_t>(0x800B0100u);  // TRUST_E_NOSIGNATURE
}

bool SimMachine::Impl::TrustServiceAvailable() {
  auto g = Enter("TrustServiceAvailable");
  return st.trustServiceAvailable;
}

}  // namespace tv::sim
