// The offline machine: finds the installation and its hives, chooses the user, derives the
// system values from the hives, and answers the interfaces of a running system like a machine
// on which nothing runs.
#include "platform/offline/offline_machine.h"

#include <hivex.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/layouts.h"
#include "platform/offline/offline_internal.h"

namespace tv::offline {

namespace {

constexpr std::uint32_t kErrDatabaseDoesNotExist = 1065, kErrInvalidWindowHandle = 1400, kErrModNotFound = 126,
                        kErrEnvVarNotFound = 203;
constexpr std::int32_t kTrustNoSignature = static_cast<std::int32_t>(0x800B0100u);
const char* const kCurrentVersionNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct SimpleObject final : HandleObject {
  const char* kind;
  explicit SimpleObject(const char* k) : kind(k) {}
  const char* Kind() const override { return kind; }
};

std::string CutAtNul(const Bytes& b) {
  std::string s(b.begin(), b.end());
  auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

std::uint32_t Dword(const Bytes& b) {
  return b.size() >= 4 ? (b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24)) : 0;
}

bool IsDir(const std::string& host) {
  struct stat st {};
  return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool IsFile(const std::string& host) {
  struct stat st {};
  return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Text between the code page of the disk and UTF-8, as MultiByteToWideChar and
// WideCharToMultiByte with CP_ACP convert it: a character the code page lacks becomes '?'.
std::string Convert(const std::string& text, const std::string& to, const std::string& from, bool fromUtf8) {
  iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  std::vector<char> in(text.begin(), text.end());
  char* ip = in.data();
  std::size_t il = in.size();
  char buf[256];
  while (il > 0) {
    char* op = buf;
    std::size_t ol = sizeof buf;
    const std::size_t r = ::iconv(cd, &ip, &il, &op, &ol);
    out.append(buf, static_cast<std::size_t>(op - buf));
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // A character that cannot be converted: '?' in its place, and on past it.
    out.push_back('?');
    std::size_t skip = 1;
    if (fromUtf8) {
      const auto c = static_cast<unsigned char>(*ip);
      skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    }
    skip = std::min(skip, il);
    ip += skip;
    il -= skip;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  ::iconv_close(cd);
  return out;
}

}  // namespace

// ------------------------------------------------------------------ inside ----
struct OfflineMachine::Impl final : public SystemApi,
                                    public ProcessApi,
                                    public WindowApi,
                                    public NtApi,
                                    public ServiceApi,
                                    public NetApi,
                                    public ShellApi,
                                    public TrustApi {
  HandleTable handles;
  std::unique_ptr<HostFiles> files;
  std::map<std::string, std::unique_ptr<Hive>> hives;  // by file name
  std::unique_ptr<HiveRegistry> registry;
  std::vector<UserProfile> profiles;
  int user = -1;

  OsVersionInfo version;
  bool haveVersion = false;
  std::string windowsDir, systemDir, tempDir, drive;
  std::vector<std::pair<std::string, std::string>> environment;
  std::map<int, std::string> specialFolders;
  std::uint32_t codePage = 1252;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  // ---- reading the hives ----
  bool Value(Handle root, const std::string& key, const std::string& name, std::uint32_t& type, Bytes& data) {
    return registry && registry->ReadValue(root, key, name, type, data);
  }
  std::string Text(Handle root, const std::string& key, const std::string& name, bool expand = true) {
    std::uint32_t type = 0;
    Bytes data;
    if (!Value(root, key, name, type, data) || (type != reg::Sz && type != reg::ExpandSz)) return {};
    std::string s = CutAtNul(data);
    return expand && type == reg::ExpandSz ? Expand(s) : s;
  }
  std::optional<std::uint32_t> Number(Handle root, const std::string& key, const std::string& name) {
    std::uint32_t type = 0;
    Bytes data;
    if (!Value(root, key, name, type, data)) return std::nullopt;
    if (type == reg::Dword && data.size() >= 4) return Dword(data);
    if (type == reg::Sz) {
      const std::string s = CutAtNul(data);
      if (!s.empty() && s.find_first_not_of("0123456789") == std::string::npos) return std::stoul(s);
    }
    return std::nullopt;
  }

  std::string Env(const std::string& name) const {
    for (const auto& [k, v] : environment)
      if (NameEquals(k, name)) return v;
    return {};
  }
  void SetEnv(const std::string& name, const std::string& value) {
    if (value.empty()) return;
    for (auto& [k, v] : environment)
      if (NameEquals(k, name)) {
        v = value;
        return;
      }
    environment.emplace_back(name, value);
  }
  // %NAME% replaced by the variable's value; unknown names stay as written, as ExpandEnvironmentStrings leaves them.
  std::string Expand(const std::string& s) const {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
      if (s[i] == '%') {
        auto end = s.find('%', i + 1);
        if (end != std::string::npos) {
          const std::string v = Env(s.substr(i + 1, end - i - 1));
          if (!v.empty()) {
            out += v;
            i = end + 1;
            continue;
          }
          out += s.substr(i, end - i);
          i = end;
          continue;
        }
      }
      out.push_back(s[i++]);
    }
    return out;
  }

  Hive* LoadHive(const std::string& name, const std::string& host, std::string& error) {
    auto hive = std::make_unique<Hive>(name, host);
    if (!hive->Load(error)) return nullptr;
    Hive* h = hive.get();
    hives[name] = std::move(hive);
    return h;
  }
  Hive* HiveNamed(const std::string& name) {
    auto it = hives.find(name);
    return it == hives.end() ? nullptr : it->second.get();
  }

  void BuildRegistry(std::uint32_t currentSet) {
    HiveRegistry::Mounts mounts;
    mounts.software = HiveNamed("SOFTWARE");
    mounts.system = HiveNamed("SYSTEM");
    mounts.defaultUser = HiveNamed("DEFAULT");
    mounts.user = HiveNamed("NTUSER.DAT");
    mounts.userClasses = HiveNamed("UsrClass.dat");
    mounts.userSid = user >= 0 ? profiles[static_cast<std::size_t>(user)].sid : std::string();
    mounts.currentControlSet = currentSet;
    registry = std::make_unique<HiveRegistry>(handles, mounts);
  }

  void ReadVersion() {
    const std::string cv = Text(reg::LocalMachine, kCurrentVersionNt, "CurrentVersion");
    if (cv.empty()) return;
    haveVersion = true;
    const auto dot = cv.find('.');
    version.major = static_cast<std::uint32_t>(std::strtoul(cv.c_str(), nullptr, 10));
    version.minor = dot == std::string::npos ? 0 : static_cast<std::uint32_t>(std::strtoul(cv.c_str() + dot + 1, nullptr, 10));
    // Windows 10 and later keep "6.3" in CurrentVersion for old programs and the real numbers beside it.
    if (auto major = Number(reg::LocalMachine, kCurrentVersionNt, "CurrentMajorVersionNumber")) {
      version.major = *major;
      version.minor = Number(reg::LocalMachine, kCurrentVersionNt, "CurrentMinorVersionNumber").value_or(0);
    }
    auto build = Number(reg::LocalMachine, kCurrentVersionNt, "CurrentBuildNumber");
    if (!build) build = Number(reg::LocalMachine, kCurrentVersionNt, "CurrentBuild");
    version.build = build.value_or(0);
    version.platformId = 2;
    version.csdVersion = Text(reg::LocalMachine, kCurrentVersionNt, "CSDVersion");
  }

  void ReadEnvironment() {
    SetEnv("SystemDrive", drive);
    SetEnv("SystemRoot", windowsDir);
    SetEnv("windir", windowsDir);
    SetEnv("OS", "Windows_NT");
    SetEnv("ComSpec", systemDir + "\\cmd.exe");
    std::string pf = Text(reg::LocalMachine, kCurrentVersion, "ProgramFilesDir");
    SetEnv("ProgramFiles", pf.empty() ? drive + "\\Program Files" : pf);
    SetEnv("ProgramFiles(x86)", Text(reg::LocalMachine, kCurrentVersion, "ProgramFilesDir (x86)"));
    std::string common = Text(reg::LocalMachine, kCurrentVersion, "CommonFilesDir");
    SetEnv("CommonProgramFiles", common.empty() ? Env("ProgramFiles") + "\\Common Files" : common);
    const std::string profileList = std::string(kCurrentVersionNt) + "\\ProfileList";
    SetEnv("ProgramData", Text(reg::LocalMachine, profileList, "ProgramData"));
    SetEnv("PUBLIC", Text(reg::LocalMachine, profileList, "Public"));
    std::string allUsers = Env("ProgramData");
    if (allUsers.empty()) {
      const std::string dir = Text(reg::LocalMachine, profileList, "ProfilesDirectory");
      const std::string name = Text(reg::LocalMachine, profileList, "AllUsersProfile");
      if (!dir.empty() && !name.empty()) allUsers = dir + "\\" + name;
    }
    SetEnv("ALLUSERSPROFILE", allUsers);
    SetEnv("COMPUTERNAME",
           Text(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName"));
    // The system's own variables; expandable ones may name those above and each other.
    const std::string sysEnv = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    ReadVariables(reg::LocalMachine, sysEnv);
    if (user >= 0) {
      const UserProfile& u = profiles[static_cast<std::size_t>(user)];
      SetEnv("USERPROFILE", u.profilePath);
      SetEnv("USERNAME", u.name);
      SetEnv("HOMEDRIVE", u.profilePath.substr(0, 2));
      SetEnv("HOMEPATH", u.profilePath.size() > 2 ? u.profilePath.substr(2) : "\\");
      SetEnv("APPDATA", Folder(26));
      SetEnv("LOCALAPPDATA", version.major >= 6 ? Folder(28) : std::string());
      ReadVariables(reg::CurrentUser, "Environment");
    }
  }
  void ReadVariables(Handle root, const std::string& key) {
    Handle k = 0;
    if (registry->RegOpenKeyExA(root, key, 0, reg::KeyRead, &k) != 0) return;
    std::vector<std::pair<std::string, std::pair<std::uint32_t, std::string>>> vars;
    for (std::uint32_t i = 0;; ++i) {
      std::string name;
      std::uint32_t type = 0, size = 0;
      if (registry->RegEnumValueA(k, i, &name, 16384, &type, nullptr, &size) != 0) break;
      Bytes data(size);
      if (registry->RegEnumValueA(k, i, &name, 16384, &type, data.empty() ? nullptr : data.data(), &size) != 0) break;
      if (type == reg::Sz || type == reg::ExpandSz) vars.push_back({name, {type, CutAtNul(data)}});
    }
    registry->RegCloseKey(k);
    for (const auto& [name, v] : vars)
      if (v.first == reg::Sz) SetEnv(name, v.second);
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& [name, v] : vars)
        if (v.first == reg::ExpandSz) SetEnv(name, Expand(v.second));
  }

  // A shell folder of the user (Shell Folders as Explorer last wrote them, else User Shell
  // Folders expanded), of all users, or of the system.
  std::string Folder(int csidl) {
    static const std::map<int, const char*> kUser = {
        {0, "Desktop"},    {2, "Programs"}, {5, "Personal"},  {6, "Favorites"},     {7, "Startup"},
        {8, "Recent"},     {9, "SendTo"},   {11, "Start Menu"}, {13, "My Music"},   {14, "My Video"},
        {16, "Desktop"},   {19, "NetHood"}, {20, "Fonts"},    {21, "Templates"},    {26, "AppData"},
        {27, "PrintHood"}, {28, "Local AppData"}, {32, "Cache"}, {33, "Cookies"},   {34, "History"},
        {39, "My Pictures"}};
    static const std::map<int, const char*> kCommon = {
        {22, "Common Start Menu"}, {23, "Common Programs"}, {24, "Common Startup"}, {25, "Common Desktop"},
        {35, "Common AppData"},    {45, "Common Templates"}, {46, "Common Documents"}};
    if (csidl == 36) return windowsDir;
    if (csidl == 37) return systemDir;
    if (csidl == 38) return Env("ProgramFiles");
    if (csidl == 43) return Env("CommonProgramFiles");
    if (csidl == 40) return user >= 0 ? profiles[static_cast<std::size_t>(user)].profilePath : std::string();
    if (auto it = kUser.find(csidl); it != kUser.end() && user >= 0) {
      std::string v = Text(reg::CurrentUser, kShellFolders, it->second);
      return v.empty() ? Text(reg::CurrentUser, kUserShellFolders, it->second) : v;
    }
    if (auto it = kCommon.find(csidl); it != kCommon.end()) {
      std::string v = Text(reg::LocalMachine, std::string("SOFTWARE\\") + (kShellFolders + 9), it->second);
      return v.empty() ? Text(reg::LocalMachine, std::string("SOFTWARE\\") + (kUserShellFolders + 9), it->second) : v;
    }
    return {};
  }

  // ------------------------------------------------------------- SystemApi ----
  bool GetVersionExA(OsVersionInfo& out) override {
    if (!haveVersion) {
      SetLastErrorValue(err::InvalidParameter);
      return false;
    }
    out = version;
    SetLastErrorValue(0);
    return true;
  }
  std::string GetWindowsDirectoryA() override { return windowsDir; }
  std::string GetSystemDirectoryA() override { return systemDir; }
  std::string GetTempPathA() override { return tempDir; }
  std::string GetModuleFileNameA(Handle) override {
    // The tool runs beside the disk, not from it: no path of the disk names it.
    SetLastErrorValue(kErrModNotFound);
    return {};
  }
  std::string GetEnvironmentVariableA(const std::string& name) override {
    std::string v = Env(name);
    SetLastErrorValue(v.empty() ? kErrEnvVarNotFound : 0);
    return v;
  }
  std::uint32_t GetTickCount() override {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
  }
  void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::uint32_t GetCurrentProcessId() override { return static_cast<std::uint32_t>(::getpid()); }
  std::uint32_t GetCurrentThreadId() override { return static_cast<std::uint32_t>(::gettid()); }
  std::uint32_t GetLastError() override { return LastErrorValue(); }
  std::vector<std::string> GetLogicalDriveStringsA() override { return {drive + "\\"}; }
  std::string QueryDosDeviceA(const std::string& d) override {
    if (!NameEquals(d, drive)) {
      SetLastErrorValue(err::FileNotFound);
      return {};
    }
    const int volume = std::toupper(static_cast<unsigned char>(drive[0])) - 'C' + 1;
    SetLastErrorValue(0);
    return volume >= 1 ? "\\Device\\HarddiskVolume" + std::to_string(volume) : std::string();
  }
  bool CloseHandle(Handle h) override {
    if (h == kCurrentProcess || h == kCurrentThread) return true;
    if (files->CloseFileHandle(h)) return true;
    HandleObject* o = handles.Get(h);
    if (!o || (std::strcmp(o->Kind(), "event") != 0 && std::strcmp(o->Kind(), "snapshot") != 0)) {
      SetLastErrorValue(err::InvalidHandle);
      return false;
    }
    handles.Close(h);
    SetLastErrorValue(0);
    return true;
  }
  Handle CreateEventA(bool, bool) override {
    SetLastErrorValue(0);
    return handles.Add(std::make_unique<SimpleObject>("event"));
  }
  std::uint32_t GetACP() override { return codePage; }
  std::string AnsiToUtf8(const std::string& ansi) override {
    return codePage == 65001 ? ansi : Convert(ansi, "UTF-8", "CP" + std::to_string(codePage), false);
  }
  std::string Utf8ToAnsi(const std::string& utf8) override {
    return codePage == 65001 ? utf8 : Convert(utf8, "CP" + std::to_string(codePage), "UTF-8", true);
  }
  // The clock is the examining machine's; dates and times read as in English (United States).
  void GetLocalTime(SystemTime& out) override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    out = SystemTime{static_cast<std::uint16_t>(tm.tm_year + 1900), static_cast<std::uint16_t>(tm.tm_mon + 1),
                     static_cast<std::uint16_t>(tm.tm_wday),       static_cast<std::uint16_t>(tm.tm_mday),
                     static_cast<std::uint16_t>(tm.tm_hour),       static_cast<std::uint16_t>(tm.tm_min),
                     static_cast<std::uint16_t>(tm.tm_sec),        static_cast<std::uint16_t>(ms)};
  }
  std::string GetDateFormatA(std::uint32_t flags, const SystemTime& d) override {
    static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    if (d.wMonth < 1 || d.wMonth > 12 || d.wDay < 1 || d.wDay > 31 || d.wYear < 1601) {
      SetLastErrorValue(err::InvalidParameter);
      return {};
    }
    SetLastErrorValue(0);
    if (flags & 2) {  // DATE_LONGDATE
      std::tm tm{};
      tm.tm_year = d.wYear - 1900;
      tm.tm_mon = d.wMonth - 1;
      tm.tm_mday = d.wDay;
      tm.tm_hour = 12;
      ::timegm(&tm);  // fills in the day of the week
      return std::string(kDays[tm.tm_wday]) + ", " + kMonths[d.wMonth - 1] + " " + std::to_string(d.wDay) + ", " +
             std::to_string(d.wYear);
    }
    return std::to_string(d.wMonth) + "/" + std::to_string(d.wDay) + "/" + std::to_string(d.wYear);
  }
  std::string GetTimeFormatA(std::uint32_t, const SystemTime& t) override {
    if (t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 || t.wMilliseconds > 999) {
      SetLastErrorValue(err::InvalidParameter);
      return {};
    }
    SetLastErrorValue(0);
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    const int h12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    return std::to_string(h12) + ":" + two(t.wMinute) + ":" + two(t.wSecond) + (t.wHour < 12 ? " AM" : " PM");
  }
  // The examined system is not running: it has no memory in use.
  void GlobalMemoryStatus(MemoryStatus& out) override {
    out = MemoryStatus{};
    out.dwLength = sizeof(MemoryStatus);
  }
  bool sndPlaySoundA(const std::string&, std::uint32_t) override { return false; }

  // ------------------------------------------ ProcessApi: nothing runs ----
  Handle CreateToolhelp32Snapshot(std::uint32_t, std::uint32_t) override {
    SetLastErrorValue(0);
    return handles.Add(std::make_unique<SimpleObject>("snapshot"));
  }
  bool Empty(Handle snap) {
    HandleObject* o = handles.Get(snap);
    SetLastErrorValue(o && std::strcmp(o->Kind(), "snapshot") == 0 ? err::NoMoreFiles : err::InvalidHandle);
    return false;
  }
  bool Process32First(Handle s, ProcessEntry32&) override { return Empty(s); }
  bool Process32Next(Handle s, ProcessEntry32&) override { return Empty(s); }
  bool Module32First(Handle s, ModuleEntry32&) override { return Empty(s); }
  bool Module32Next(Handle s, ModuleEntry32&) override { return Empty(s); }
  bool Thread32First(Handle s, ThreadEntry32&) override { return Empty(s); }
  bool Thread32Next(Handle s, ThreadEntry32&) override { return Empty(s); }
  Handle OpenProcess(std::uint32_t, bool, std::uint32_t) override {
    SetLastErrorValue(err::InvalidParameter);
    return 0;
  }
  Handle OpenThread(std::uint32_t, bool, std::uint32_t) override {
    SetLastErrorValue(err::InvalidParameter);
    return 0;
  }
  bool NoProcess() {
    SetLastErrorValue(err::InvalidHandle);
    return false;
  }
  bool TerminateProcess(Handle, std::uint32_t) override { return NoProcess(); }
  bool TerminateThread(Handle, std::uint32_t) override { return NoProcess(); }
  bool GetExitCodeProcess(Handle, std::uint32_t*) override { return NoProcess(); }
  bool EnumProcessModules(Handle, Handle*, std::uint32_t, std::uint32_t* needed) override {
    if (needed) *needed = 0;
    return NoProcess();
  }
  std::string GetModuleFileNameExA(Handle, Handle, std::uint32_t) override {
    NoProcess();
    return {};
  }
  std::string GetProcessImageFileNameA(Handle, std::uint32_t) override {
    NoProcess();
    return {};
  }
  bool GetModuleInformation(Handle, Handle, ModuleInfo&) override { return NoProcess(); }
  bool ReadProcessMemory(Handle, std::uintptr_t, void*, std::size_t, std::size_t* read) override {
    if (read) *read = 0;
    return NoProcess();
  }
  bool DuplicateHandle(Handle, Handle, Handle, Handle* target, std::uint32_t, bool, std::uint32_t) override {
    if (target) *target = 0;
    return NoProcess();
  }
  bool SetProcessWorkingSetSize(Handle process, std::uintptr_t, std::uintptr_t) override {
    return process == kCurrentProcess ? true : NoProcess();  // the tool's own process: nothing to trim here
  }
  Handle GetCurrentProcess() override { return kCurrentProcess; }

  // ------------------------------------------------ WindowApi: no desktop ----
  Handle FindWindowA(const char*, const char*) override { return 0; }
  Handle GetParent(Handle) override {
    SetLastErrorValue(kErrInvalidWindowHandle);
    return 0;
  }
  Handle GetWindow(Handle, std::uint32_t) override {
    SetLastErrorValue(kErrInvalidWindowHandle);
    return 0;
  }
  std::uint32_t GetWindowThreadProcessId(Handle, std::uint32_t* pid) override {
    if (pid) *pid = 0;
    return 0;
  }
  bool PostMessageA(Handle, std::uint32_t, std::uintptr_t, std::intptr_t) override {
    SetLastErrorValue(kErrInvalidWindowHandle);
    return false;
  }

  // ------------------------------------------- NtApi: no kernel running ----
  NTSTATUS NtQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                    std::uint32_t* returnLength) override {
    if (infoClass != sysinfo::Module && infoClass != sysinfo::Handle) return status::NotImplemented;
    // No kernel modules in memory and no open handles: a list that counts nothing.
    const std::uint32_t needed = static_cast<std::uint32_t>(kPtrSize);
    if (returnLength) *returnLength = needed;
    if (!buffer || length < needed) return status::InfoLengthMismatch;
    std::memset(buffer, 0, needed);
    return status::Success;
  }
  NTSTATUS NtOpenProcess(Handle* process, std::uint32_t, const ObjectAttributes&, const ClientId&) override {
    if (process) *process = 0;
    return status::InvalidCid;
  }
  NTSTATUS NtOpenThread(Handle* thread, std::uint32_t, const ObjectAttributes&, const ClientId&) override {
    if (thread) *thread = 0;
    return status::InvalidCid;
  }
  NTSTATUS NtClose(Handle h) override { return CloseHandle(h) ? status::Success : status::InvalidHandle; }
  NTSTATUS NtDuplicateObject(Handle, Handle, Handle, Handle* target, std::uint32_t, std::uint32_t,
                             std::uint32_t) override {
    if (target) *target = 0;
    return status::InvalidHandle;
  }
  NTSTATUS NtQueryInformationProcess(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override {
    return status::InvalidHandle;
  }
  NTSTATUS NtQueryInformationThread(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override {
    return status::InvalidHandle;
  }
  NTSTATUS NtTerminateProcess(Handle, NTSTATUS) override { return status::InvalidHandle; }
  NTSTATUS NtTerminateThread(Handle, NTSTATUS) override { return status::InvalidHandle; }
  NTSTATUS NtCreateJobObject(Handle* job, std::uint32_t, const ObjectAttributes&) override {
    if (job) *job = 0;
    return status::NotImplemented;
  }
  NTSTATUS NtAssignProcessToJobObject(Handle, Handle) override { return status::InvalidHandle; }
  NTSTATUS NtTerminateJobObject(Handle, NTSTATUS) override { return status::InvalidHandle; }
  NTSTATUS NtUnmapViewOfSection(Handle, std::uintptr_t) override { return status::InvalidHandle; }
  NTSTATUS RtlAdjustPrivilege(std::uint32_t, bool, bool, bool* wasEnabled) override {
    if (wasEnabled) *wasEnabled = false;
    return status::Success;  // the tool's own privileges; nothing of the disk is involved
  }
  NTSTATUS NtOpenFile(Handle* file, std::uint32_t, const ObjectAttributes&, IoStatusBlock* iosb, std::uint32_t,
                      std::uint32_t) override {
    if (file) *file = 0;
    if (iosb) iosb->Status = status::ObjectNameNotFound;
    return status::ObjectNameNotFound;  // no devices: nothing of the disk's kernel is loaded
  }
  NTSTATUS NtDeviceIoControlFile(Handle, Handle, IoStatusBlock*, std::uint32_t, const void*, std::uint32_t, void*,
                                 std::uint32_t) override {
    return status::InvalidHandle;
  }
  NTSTATUS NtQueryObject(Handle, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override {
    return status::InvalidHandle;
  }

  // ------------------------------- ServiceApi: no service control manager ----
  Handle OpenSCManagerA(const char*, const char*, std::uint32_t) override {
    SetLastErrorValue(kErrDatabaseDoesNotExist);
    return 0;
  }
  Handle NoService() {
    SetLastErrorValue(err::InvalidHandle);
    return 0;
  }
  Handle OpenServiceA(Handle, const std::string&, std::uint32_t) override { return NoService(); }
  Handle CreateServiceA(Handle, const CreateServiceArgs&) override { return NoService(); }
  bool QueryServiceStatus(Handle, ServiceStatus&) override { return NoService() != 0; }
  bool StartServiceA(Handle, const std::vector<std::string>&) override { return NoService() != 0; }
  bool ControlService(Handle, std::uint32_t, ServiceStatus&) override { return NoService() != 0; }
  bool DeleteService(Handle) override { return NoService() != 0; }
  bool ChangeServiceConfig2W(Handle, std::uint32_t, const std::string&) override { return NoService() != 0; }
  bool CloseServiceHandle(Handle) override { return NoService() != 0; }

  // ------------------------------------------------ NetApi: no endpoints ----
  std::uint32_t EmptyTable(void* table, std::uint32_t* size) {
    if (!size) return err::InvalidParameter;
    if (!table || *size < 4) {
      *size = 4;
      return err::InsufficientBuffer;
    }
    std::memset(table, 0, 4);
    return 0;
  }
  std::uint32_t GetTcpTable(void* table, std::uint32_t* size, bool) override { return EmptyTable(table, size); }
  std::uint32_t GetUdpTable(void* table, std::uint32_t* size, bool) override { return EmptyTable(table, size); }

  // -------------------------------------------------------------- ShellApi ----
  std::string GetSpecialFolderPath(int csidl) override {
    auto it = specialFolders.find(csidl);
    if (it != specialFolders.end()) return it->second;
    std::string v = Folder(csidl);
    specialFolders[csidl] = v;
    return v;
  }
  std::intptr_t ShellExecuteA(const std::string&, const std::string&, const std::string&, const std::string&,
                              int) override {
    return 31;  // SE_ERR_NOASSOC: nothing of the disk can be started from here
  }
  int RecycleFile(const std::string&) override { return 5; }  // the disk's recycle bin is not driven from outside
  std::int32_t SHEmptyRecycleBinA(Handle, const std::string&, std::uint32_t) override {
    return static_cast<std::int32_t>(0x80004005);  // E_FAIL, for the same reason
  }

  // -------------------------------------------------------------- TrustApi ----
  std::int32_t WinVerifyTrust(const std::string&, bool) override {
    SetLastErrorValue(static_cast<std::uint32_t>(kTrustNoSignature));
    return kTrustNoSignature;
  }
  bool TrustServiceAvailable() override { return false; }
};

// ------------------------------------------------------------------ public ----
OfflineMachine::OfflineMachine() : impl_(new Impl) {}
OfflineMachine::~OfflineMachine() = default;

std::unique_ptr<OfflineMachine> OfflineMachine::Open(const std::string& rootIn, const std::string& userName,
                                                     std::string& error) {
  std::string root = rootIn;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!IsDir(root)) {
    error = "not a folder: " + rootIn;
    return nullptr;
  }
  std::unique_ptr<OfflineMachine> machine(new OfflineMachine);
  Impl& d = *machine->impl_;

  // The Windows folder: the one whose System32\config holds the SYSTEM hive.
  HostFiles probe(root, "C:", nullptr);
  std::string windowsName, configHost;
  for (const char* name : {"Windows", "WINNT"}) {
    const std::string host = probe.HostPath(std::string("C:\\") + name + "\\System32\\config\\SYSTEM");
    if (!IsFile(host)) continue;
    configHost = host.substr(0, host.find_last_of('/'));
    const std::size_t start = root.size() + 1;
    windowsName = host.substr(start, host.find('/', start) - start);
    break;
  }
  if (configHost.empty()) {
    error = "no Windows installation in " + rootIn + " (no Windows\\System32\\config\\SYSTEM)";
    return nullptr;
  }
  auto hivePath = [&](const char* name) {
    const std::string host = probe.HostPath(std::string("C:\\") + windowsName + "\\System32\\config\\" + name);
    return IsFile(host) ? host : std::string();
  };
  for (const char* name : {"SYSTEM", "SOFTWARE"}) {
    const std::string host = hivePath(name);
    if (host.empty()) {
      error = std::string("no ") + name + " hive in " + configHost;
      return nullptr;
    }
    if (!d.LoadHive(name, host, error)) return nullptr;
  }
  if (const std::string host = hivePath("DEFAULT"); !host.empty()) {
    std::string ignored;
    d.LoadHive("DEFAULT", host, ignored);  // HKU\.DEFAULT only: a damaged one is left out
  }

  std::uint32_t currentSet = 1;
  {
    Hive* system = d.HiveNamed("SYSTEM");
    const std::size_t select = hivex_node_get_child(system->h(), system->Root(), "Select");
    const hive_value_h current = select ? hivex_node_get_value(system->h(), select, "Current") : 0;
    if (current) {
      const std::int32_t v = hivex_value_dword(system->h(), current);
      if (v > 0 && v < 1000) currentSet = static_cast<std::uint32_t>(v);
    }
  }
  d.BuildRegistry(currentSet);

  // Where Windows lives as its own registry says; the drive letter it had is the one the
  // registry's paths use.
  std::string systemRoot = d.Text(reg::LocalMachine, kCurrentVersionNt, "SystemRoot", false);
  if (systemRoot.size() < 3 || systemRoot[1] != ':') systemRoot = "C:\\" + windowsName;
  d.drive = systemRoot.substr(0, 2);
  d.drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(d.drive[0])));
  d.windowsDir = systemRoot;
  while (d.windowsDir.size() > 3 && d.windowsDir.back() == '\\') d.windowsDir.pop_back();
  d.systemDir = d.windowsDir + "\\system32";
  d.files = std::make_unique<HostFiles>(root, d.drive, nullptr, d.handles);
  if (auto acp = d.Number(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP"))
    d.codePage = *acp;
  d.ReadVersion();
  d.SetEnv("SystemDrive", d.drive);
  d.SetEnv("SystemRoot", d.windowsDir);

  // The profiles of the disk's users (accounts of people: S-1-5-21-...).
  const std::string profileList = std::string(kCurrentVersionNt) + "\\ProfileList";
  for (const std::string& sid : d.registry->SubkeyNames(reg::LocalMachine, profileList)) {
    if (sid.rfind("S-1-5-21-", 0) != 0) continue;
    UserProfile p;
    p.sid = sid;
    p.profilePath = d.Expand(d.Text(reg::LocalMachine, profileList + "\\" + sid, "ProfileImagePath", false));
    while (p.profilePath.size() > 3 && p.profilePath.back() == '\\') p.profilePath.pop_back();
    if (p.profilePath.empty()) continue;
    p.name = p.profilePath.substr(p.profilePath.find_last_of('\\') + 1);
    p.hasUserHive = IsFile(d.files->HostPath(p.profilePath + "\\NTUSER.DAT"));
    d.profiles.push_back(p);
  }
  auto names = [&](bool withHiveOnly) {
    std::string s;
    for (const UserProfile& p : d.profiles)
      if (!withHiveOnly || p.hasUserHive) s += (s.empty() ? "" : ", ") + p.name;
    return s.empty() ? std::string("none") : s;
  };
  if (!userName.empty()) {
    for (std::size_t i = 0; i < d.profiles.size(); ++i)
      if (NameEquals(d.profiles[i].name, userName) || NameEquals(d.profiles[i].sid, userName)) d.user = static_cast<int>(i);
    if (d.user < 0) {
      error = "no user profile " + userName + " on this disk (profiles: " + names(false) + ")";
      return nullptr;
    }
    if (!d.profiles[static_cast<std::size_t>(d.user)].hasUserHive) {
      error = "user profile " + userName + " has no NTUSER.DAT";
      return nullptr;
    }
  } else {
    for (std::size_t i = 0; i < d.profiles.size(); ++i) {
      if (!d.profiles[i].hasUserHive) continue;
      if (d.user >= 0) {
        error = "several user profiles on this disk (" + names(true) + "): choose one with --user NAME";
        return nullptr;
      }
      d.user = static_cast<int>(i);
    }
  }
  if (d.user >= 0) {
    const UserProfile& u = d.profiles[static_cast<std::size_t>(d.user)];
    if (!d.LoadHive("NTUSER.DAT", d.files->HostPath(u.profilePath + "\\NTUSER.DAT"), error)) return nullptr;
    for (const char* rel : {"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                            "\\Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat"}) {
      const std::string host = d.files->HostPath(u.profilePath + rel);
      if (!IsFile(host)) continue;
      if (!d.LoadHive("UsrClass.dat", host, error)) return nullptr;
      break;
    }
    d.BuildRegistry(currentSet);
  }
  error.clear();
  d.ReadEnvironment();
  std::string temp = d.Env("TEMP");
  if (temp.empty()) temp = d.windowsDir + "\\Temp";
  d.tempDir = temp.back() == '\\' ? temp : temp + "\\";
  return machine;
}

Platform OfflineMachine::platform() {
  Impl& d = *impl_;
  Platform p;
  p.system = &d;
  p.files = d.files.get();
  p.registry = d.registry.get();
  p.processes = &d;
  p.windows = &d;
  p.nt = &d;
  p.services = &d;
  p.net = &d;
  p.shell = &d;
  p.trust = &d;
  return p;
}

HostFiles& OfflineMachine::Files() { return *impl_->files; }
const std::vector<UserProfile>& OfflineMachine::Profiles() const { return impl_->profiles; }
const UserProfile* OfflineMachine::User() const {
  return impl_->user >= 0 ? &impl_->profiles[static_cast<std::size_t>(impl_->user)] : nullptr;
}
std::size_t OfflineMachine::HiveOpenCount(const std::string& name) const {
  auto it = impl_->hives.find(name);
  return it == impl_->hives.end() ? 0 : it->second->OpenCount();
}
std::size_t OfflineMachine::OpenHandleCount() const { return impl_->handles.Count(); }

}  // namespace tv::offline
