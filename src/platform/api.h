// The operating-system boundary. Every call the logic makes to Windows goes through one of
// these interfaces. Each operation mirrors the Windows or NT call of the same name: the same
// arguments, access masks, flags, status codes and byte layouts. Differences:
//   * strings are UTF-8 std::string (the win32 backend converts to and from UTF-16 at the
//     boundary); operations named after an "...A" function take and return UTF-8, and their
//     byte counts (registry data sizes) are counts of UTF-8 bytes;
//   * out-buffers of text are returned as std::string, cut to the capacity (in characters)
//     the caller passes, the way the real call cuts into a fixed buffer;
//   * raw-byte answers (NtQuerySystemInformation, NtQueryInformation*, NtQueryObject,
//     DeviceIoControl, GetTcpTable ...) write the platform's own layout (see layouts.h) into
//     the caller's buffer.
// Two backends implement them: platform/win32 (the real API) and platform/sim (a simulated
// machine). The logic reaches them through tv::platform::Current().
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace tv {

// ------------------------------------------------------------------ system ----
struct OsVersionInfo {
  std::uint32_t major = 0, minor = 0, build = 0, platformId = 2;
  std::string csdVersion;  // "Service Pack 3"
};

struct SystemTime {  // SYSTEMTIME
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  std::uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
struct MemoryStatus {  // MEMORYSTATUS
  std::uint32_t dwLength = 0;
  std::uint32_t dwMemoryLoad = 0;  // percent, as the system rounds it
  std::uintptr_t dwTotalPhys = 0, dwAvailPhys = 0;
  std::uintptr_t dwTotalPageFile = 0, dwAvailPageFile = 0;
  std::uintptr_t dwTotalVirtual = 0, dwAvailVirtual = 0;
};

class SystemApi {
 public:
  virtual ~SystemApi() = default;
  virtual bool GetVersionExA(OsVersionInfo& out) = 0;
  virtual std::string GetWindowsDirectoryA() = 0;      // no trailing backslash, as Windows reports it
  virtual std::string GetSystemDirectoryA() = 0;
  virtual std::string GetTempPathA() = 0;              // with trailing backslash, as Windows reports it
  virtual std::string GetModuleFileNameA(Handle module) = 0;  // module 0: this executable
  virtual std::string GetEnvironmentVariableA(const std::string& name) = 0;  // "" when unset
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual std::uint32_t GetCurrentProcessId() = 0;
  virtual std::uint32_t GetCurrentThreadId() = 0;
  virtual std::uint32_t GetLastError() = 0;
  // "C:\\\0D:\\\0\0" as a list of drive roots ("C:\\", "D:\\").
  virtual std::vector<std::string> GetLogicalDriveStringsA() = 0;
  // Device name of a drive ("C:" -> "\\Device\\HarddiskVolume1"); "" on failure.
  virtual std::string QueryDosDeviceA(const std::string& drive) = 0;
  virtual bool CloseHandle(Handle h) = 0;
  // Auto/manual reset event, no name. 0 on failure.
  virtual Handle CreateEventA(bool manualReset, bool initialState) = 0;
  // The system's ANSI code page (GetACP), and text converted between it and UTF-8 the way
  // MultiByteToWideChar / WideCharToMultiByte with CP_ACP do (UTF-16 standing in as UTF-8 on
  // this side). A character the code page lacks becomes its default character '?'.
  virtual std::uint32_t GetACP() = 0;
  virtual std::string AnsiToUtf8(const std::string& ansi) = 0;
  virtual std::string Utf8ToAnsi(const std::string& utf8) = 0;
  // GetLocalTime: the local date and time now.
  virtual void GetLocalTime(SystemTime& out) = 0;
  // GetDateFormatA / GetTimeFormatA for LOCALE_USER_DEFAULT with no picture: the date in the
  // user's short (flags 1, DATE_SHORTDATE) or long (2) date format, the time in the user's time
  // format (flags 0). "" when the date or time is not valid.
  virtual std::string GetDateFormatA(std::uint32_t flags, const SystemTime& date) = 0;
  virtual std::string GetTimeFormatA(std::uint32_t flags, const SystemTime& time) = 0;
  // GlobalMemoryStatus: physical, page-file and virtual memory in bytes (SIZE_T fields, so a
  // 32-bit build sees at most 4 GB). The call cannot fail.
  virtual void GlobalMemoryStatus(MemoryStatus& out) = 0;
  // winmm's sndPlaySound: plays a WAV file; flags 1 SND_ASYNC (returns at once, a newer sound
  // replaces one still playing), 2 SND_NODEFAULT. An empty path stops the sound playing. True
  // when the sound could be started.
  virtual bool sndPlaySoundA(const std::string& path, std::uint32_t flags) = 0;
};

// ------------------------------------------------------------------- files ----
struct FindData {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::string fileName;  // name only, no folder
};

class FileApi {
 public:
  virtual ~FileApi() = default;
  virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;  // fattr::Invalid when missing
  virtual bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) = 0;
  // access: 0x80000000 read, 0x40000000 write; share: 1 read, 2 write, 4 delete;
  // disposition: 1 create new, 2 create always, 3 open existing, 4 open always, 5 truncate.
  // Returns kInvalidHandle on failure. Also opens device links ("\\\\.\\Name").
  virtual Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                             std::uint32_t disposition, std::uint32_t flagsAndAttributes) = 0;
  virtual bool ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) = 0;
  virtual bool WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) = 0;
  virtual std::uint64_t GetFileSize(Handle h) = 0;  // ~0 on failure
  // method: 0 begin, 1 current, 2 end. Returns the new position or ~0 on failure.
  virtual std::uint64_t SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) = 0;
  virtual bool FlushFileBuffers(Handle h) = 0;
  virtual bool DeleteFileA(const std::string& path) = 0;
  // flags: 1 replace existing, 4 delay until reboot. newPath "" deletes at reboot.
  virtual bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) = 0;
  virtual bool CreateDirectoryA(const std::string& path) = 0;
  virtual bool RemoveDirectoryA(const std::string& path) = 0;
  // pattern may hold * and ? in its last component. Returns kInvalidHandle when nothing matches.
  virtual Handle FindFirstFileA(const std::string& pattern, FindData& out) = 0;
  virtual bool FindNextFileA(Handle find, FindData& out) = 0;
  virtual bool FindClose(Handle find) = 0;
  virtual std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) = 0;
  virtual bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                                   void* buffer) = 0;
  // DeviceIoControl on a handle from CreateFileA. Returns non-zero on success.
  virtual bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                               void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
};

// ---------------------------------------------------------------- registry ----
// Mirrors the registry functions. Return values are Win32 error codes (0 success).
// Keys are Handles; the seven predefined roots are reg::ClassesRoot .. reg::DynData.
// String data (types 1, 2, 7) is UTF-8 bytes including the terminating NUL(s), the way the
// ANSI functions hand it over; sizes are byte counts of that form.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  virtual std::int32_t RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) = 0;
  virtual std::int32_t RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t access, Handle* result) = 0;
  virtual std::int32_t RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) = 0;
  // data may be null to ask for type and size only. With a buffer that is too small: 234
  // (ERROR_MORE_DATA) and *size set to the size needed.
  virtual std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type,
                                        void* data, std::uint32_t* size) = 0;
  virtual std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type,
                                      const void* data, std::uint32_t size) = 0;
  virtual std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) = 0;
  // Fails (non-zero) when the key has subkeys.
  virtual std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) = 0;
  // nameCapacity: characters of the name buffer including the NUL. data may be null.
  virtual std::int32_t RegEnumValueA(Handle key, std::uint32_t index, std::string* name,
                                     std::uint32_t nameCapacity, std::uint32_t* type, void* data,
                                     std::uint32_t* size) = 0;
  virtual std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name,
                                     std::uint32_t nameCapacity) = 0;
  virtual std::int32_t RegCloseKey(Handle key) = 0;
  // shlwapi: deletes a key with everything below it.
  virtual std::int32_t SHDeleteKeyA(Handle key, const std::string& subKey) = 0;
};

// --------------------------------------------------- processes and threads ----
struct ProcessEntry32 {  // PROCESSENTRY32
  std::uint32_t th32ProcessID = 0;
  std::uint32_t cntThreads = 0;
  std::uint32_t th32ParentProcessID = 0;
  std::int32_t pcPriClassBase = 0;
  std::string szExeFile;  // at most 259 characters
};
struct ModuleEntry32 {  // MODULEENTRY32
  std::uint32_t th32ProcessID = 0;
  std::uintptr_t modBaseAddr = 0;
  std::uint32_t modBaseSize = 0;
  Handle hModule = 0;
  std::string szModule;   // at most 255 characters
  std::string szExePath;  // at most 259 characters
};
struct ThreadEntry32 {  // THREADENTRY32
  std::uint32_t th32ThreadID = 0;
  std::uint32_t th32OwnerProcessID = 0;
  std::int32_t tpBasePri = 0;
};
struct ModuleInfo {  // MODULEINFO
  std::uintptr_t lpBaseOfDll = 0;
  std::uint32_t SizeOfImage = 0;
  std::uintptr_t EntryPoint = 0;
};

namespace th32 {
inline constexpr std::uint32_t SnapHeapList = 1, SnapProcess = 2, SnapThread = 4, SnapModule = 8,
                               SnapAll = 15;
}
namespace access {
inline constexpr std::uint32_t ProcessTerminate = 0x1;
inline constexpr std::uint32_t ProcessVmRead = 0x10;
inline constexpr std::uint32_t ProcessDupHandle = 0x40;
inline constexpr std::uint32_t ProcessQueryInformation = 0x400;
inline constexpr std::uint32_t ProcessAllAccess = 0x1F0FFF;
inline constexpr std::uint32_t ThreadTerminate = 0x1;
inline constexpr std::uint32_t ThreadQueryInformation = 0x40;
inline constexpr std::uint32_t ThreadAllAccess = 0x1F03FF;
inline constexpr std::uint32_t JobAllAccess = 0x1F001F;
inline constexpr std::uint32_t Synchronize = 0x00100000;
inline constexpr std::uint32_t GenericRead = 0x80000000u;
inline constexpr std::uint32_t GenericWrite = 0x40000000u;
}  // namespace access

class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  // kInvalidHandle on failure.
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t pid) = 0;
  virtual bool Process32First(Handle snap, ProcessEntry32& e) = 0;
  virtual bool Process32Next(Handle snap, ProcessEntry32& e) = 0;
  virtual bool Module32First(Handle snap, ModuleEntry32& e) = 0;
  virtual bool Module32Next(Handle snap, ModuleEntry32& e) = 0;
  virtual bool Thread32First(Handle snap, ThreadEntry32& e) = 0;
  virtual bool Thread32Next(Handle snap, ThreadEntry32& e) = 0;
  // 0 on failure.
  virtual Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t pid) = 0;
  virtual Handle OpenThread(std::uint32_t access, bool inherit, std::uint32_t tid) = 0;
  virtual bool TerminateProcess(Handle process, std::uint32_t exitCode) = 0;
  virtual bool TerminateThread(Handle thread, std::uint32_t exitCode) = 0;
  virtual bool GetExitCodeProcess(Handle process, std::uint32_t* code) = 0;
  // psapi. cb is in bytes; modules receives up to cb / sizeof(Handle) handles; *needed the
  // bytes all of them need. The first module is the image.
  virtual bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t cb,
                                  std::uint32_t* needed) = 0;
  // Returns the text written (cut to capacity - 1 characters); "" on failure.
  virtual std::string GetModuleFileNameExA(Handle process, Handle module, std::uint32_t capacity) = 0;
  virtual std::string GetProcessImageFileNameA(Handle process, std::uint32_t capacity) = 0;
  virtual bool GetModuleInformation(Handle process, Handle module, ModuleInfo& out) = 0;
  virtual bool ReadProcessMemory(Handle process, std::uintptr_t address, void* buffer, std::size_t size,
                                 std::size_t* read) = 0;
  // DUPLICATE_CLOSE_SOURCE = 1, DUPLICATE_SAME_ACCESS = 2.
  virtual bool DuplicateHandle(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                               std::uint32_t access, bool inherit, std::uint32_t options) = 0;
  virtual bool SetProcessWorkingSetSize(Handle process, std::uintptr_t minimum, std::uintptr_t maximum) = 0;
  virtual Handle GetCurrentProcess() = 0;  // the pseudo-handle kCurrentProcess
};

// ----------------------------------------------------------------- windows ----
class WindowApi {
 public:
  virtual ~WindowApi() = default;
  // className and title: nullptr for "any".
  virtual Handle FindWindowA(const char* className, const char* title) = 0;
  virtual Handle GetParent(Handle hwnd) = 0;
  virtual Handle GetWindow(Handle hwnd, std::uint32_t relation) = 0;  // 2: GW_HWNDNEXT
  virtual std::uint32_t GetWindowThreadProcessId(Handle hwnd, std::uint32_t* pid) = 0;
  virtual bool PostMessageA(Handle hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// ---------------------------------------------------------------- NT native ----
struct ObjectAttributes {  // OBJECT_ATTRIBUTES
  std::uint32_t Length = static_cast<std::uint32_t>(kPtrSize == 8 ? 48 : 24);
  Handle RootDirectory = 0;
  std::string ObjectName;  // UTF-8; empty: no name
  std::uint32_t Attributes = 0;  // 2 OBJ_INHERIT, 0x40 OBJ_CASE_INSENSITIVE
};
struct ClientId {  // CLIENT_ID
  std::uintptr_t UniqueProcess = 0;
  std::uintptr_t UniqueThread = 0;
};
struct IoStatusBlock {  // IO_STATUS_BLOCK
  NTSTATUS Status = 0;
  std::uintptr_t Information = 0;
};

namespace sysinfo {
inline constexpr std::uint32_t Basic = 0, Performance = 2, TimeOfDay = 3, Module = 11, Handle = 16;
}
namespace procinfo {
inline constexpr std::uint32_t Basic = 0;
}
namespace threadinfo {
inline constexpr std::uint32_t Basic = 0, QuerySetWin32StartAddress = 9;
}
namespace objinfo {
inline constexpr std::uint32_t Basic = 0, Name = 1, Type = 2;
}

class NtApi {
 public:
  virtual ~NtApi() = default;
  virtual NTSTATUS NtQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                            std::uint32_t* returnLength) = 0;
  virtual NTSTATUS NtOpenProcess(Handle* process, std::uint32_t access, const ObjectAttributes& oa,
                                 const ClientId& cid) = 0;
  virtual NTSTATUS NtOpenThread(Handle* thread, std::uint32_t access, const ObjectAttributes& oa,
                                const ClientId& cid) = 0;
  virtual NTSTATUS NtClose(Handle h) = 0;
  // options: 1 close source, 2 same access, 4 same attributes.
  virtual NTSTATUS NtDuplicateObject(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                                     std::uint32_t access, std::uint32_t attributes, std::uint32_t options) = 0;
  virtual NTSTATUS NtQueryInformationProcess(Handle process, std::uint32_t infoClass, void* buffer,
                                             std::uint32_t length, std::uint32_t* returnLength) = 0;
  virtual NTSTATUS NtQueryInformationThread(Handle thread, std::uint32_t infoClass, void* buffer,
                                            std::uint32_t length, std::uint32_t* returnLength) = 0;
  virtual NTSTATUS NtTerminateProcess(Handle process, NTSTATUS exitStatus) = 0;
  virtual NTSTATUS NtTerminateThread(Handle thread, NTSTATUS exitStatus) = 0;
  virtual NTSTATUS NtCreateJobObject(Handle* job, std::uint32_t access, const ObjectAttributes& oa) = 0;
  virtual NTSTATUS NtAssignProcessToJobObject(Handle job, Handle process) = 0;
  virtual NTSTATUS NtTerminateJobObject(Handle job, NTSTATUS exitStatus) = 0;
  virtual NTSTATUS NtUnmapViewOfSection(Handle process, std::uintptr_t base) = 0;
  // privilege: 20 = SeDebugPrivilege.
  virtual NTSTATUS RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                      bool* wasEnabled) = 0;
  virtual NTSTATUS NtOpenFile(Handle* file, std::uint32_t access, const ObjectAttributes& oa,
                              IoStatusBlock* iosb, std::uint32_t shareAccess, std::uint32_t openOptions) = 0;
  virtual NTSTATUS NtDeviceIoControlFile(Handle file, Handle event, IoStatusBlock* iosb, std::uint32_t code,
                                         const void* in, std::uint32_t inLength, void* out,
                                         std::uint32_t outLength) = 0;
  virtual NTSTATUS NtQueryObject(Handle h, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                 std::uint32_t* returnLength) = 0;
  // Zw* are the same entry points in user mode.
  NTSTATUS ZwQuerySystemInformation(std::uint32_t c, void* b, std::uint32_t l, std::uint32_t* r) {
    return NtQuerySystemInformation(c, b, l, r);
  }
  NTSTATUS ZwOpenProcess(Handle* p, std::uint32_t a, const ObjectAttributes& oa, const ClientId& cid) {
    return NtOpenProcess(p, a, oa, cid);
  }
  NTSTATUS ZwOpenThread(Handle* t, std::uint32_t a, const ObjectAttributes& oa, const ClientId& cid) {
    return NtOpenThread(t, a, oa, cid);
  }
  NTSTATUS ZwClose(Handle h) { return NtClose(h); }
};

// ---------------------------------------------------------------- services ----
struct ServiceStatus {  // SERVICE_STATUS
  std::uint32_t dwServiceType = 0;
  std::uint32_t dwCurrentState = 0;  // 1 stopped, 2 start pending, 3 stop pending, 4 running,
                                     // 5 continue pending, 6 pause pending, 7 paused
  std::uint32_t dwControlsAccepted = 0;
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceSpecificExitCode = 0;
  std::uint32_t dwCheckPoint = 0;
  std::uint32_t dwWaitHint = 0;
};
struct CreateServiceArgs {
  std::string serviceName, displayName;
  std::uint32_t desiredAccess = 0xF01FF, serviceType = 1, startType = 3, errorControl = 1;
  std::string binaryPathName, loadOrderGroup, dependencies, serviceStartName, password;
};

class ServiceApi {
 public:
  virtual ~ServiceApi() = default;
  // Return 0 on failure; GetLastError (SystemApi) tells why.
  virtual Handle OpenSCManagerA(const char* machine, const char* database, std::uint32_t access) = 0;
  virtual Handle OpenServiceA(Handle scm, const std::string& name, std::uint32_t access) = 0;
  virtual Handle CreateServiceA(Handle scm, const CreateServiceArgs& args) = 0;
  virtual bool QueryServiceStatus(Handle service, ServiceStatus& status) = 0;
  virtual bool StartServiceA(Handle service, const std::vector<std::string>& args) = 0;
  virtual bool ControlService(Handle service, std::uint32_t control, ServiceStatus& status) = 0;  // 1 stop
  virtual bool DeleteService(Handle service) = 0;
  // level 1: SERVICE_CONFIG_DESCRIPTION.
  virtual bool ChangeServiceConfig2W(Handle service, std::uint32_t level, const std::string& description) = 0;
  virtual bool CloseServiceHandle(Handle h) = 0;
};

// --------------------------------------------------------------- IP helper ----
class NetApi {
 public:
  virtual ~NetApi() = default;
  // MIB_TCPTABLE / MIB_UDPTABLE into the caller's buffer (layouts.h). Returns a Win32 error:
  // 122 (insufficient buffer) with *size set to the bytes needed when the buffer is too small.
  virtual std::uint32_t GetTcpTable(void* table, std::uint32_t* size, bool order) = 0;
  virtual std::uint32_t GetUdpTable(void* table, std::uint32_t* size, bool order) = 0;
};

// ------------------------------------------------------------------- shell ----
class ShellApi {
 public:
  virtual ~ShellApi() = default;
  // SHGetSpecialFolderLocation + SHGetPathFromIDListA; "" on failure. 40 = profile.
  virtual std::string GetSpecialFolderPath(int csidl) = 0;
  // Returns a value greater than 32 on success, as ShellExecute does.
  virtual std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file,
                                      const std::string& parameters, const std::string& directory,
                                      int show) = 0;
  // Moves a file or folder to the recycle bin (SHFileOperation FO_DELETE, allow undo); 0 success.
  virtual int RecycleFile(const std::string& path) = 0;
  // SHEmptyRecycleBinA: empties the recycle bin of the drive of `rootPath`, or of every drive
  // when it is "". flags: 1 no confirmation, 2 no progress window, 4 no sound. An HRESULT
  // (0 success).
  virtual std::int32_t SHEmptyRecycleBinA(Handle owner, const std::string& rootPath, std::uint32_t flags) = 0;
};

// ------------------------------------------------------------------- trust ----
class TrustApi {
 public:
  virtual ~TrustApi() = default;
  // WinVerifyTrust with the generic verify action for an embedded signature. 0 when trusted,
  // otherwise the trust provider's error (for example 0x800B0100 no signature).
  virtual std::int32_t WinVerifyTrust(const std::string& path, bool showUi) = 0;
  // Whether a trust verification service answers at all. False on a disk examined offline,
  // where WinVerifyTrust answers 0x800B0100 (no signature) for every file: callers that rate
  // files by their signature say once that signatures were not checked.
  virtual bool TrustServiceAvailable() = 0;
};

// ------------------------------------------------------------ the whole set ----
struct Platform {
  SystemApi* system = nullptr;
  FileApi* files = nullptr;
  RegistryApi* registry = nullptr;
  ProcessApi* processes = nullptr;
  WindowApi* windows = nullptr;
  NtApi* nt = nullptr;
  ServiceApi* services = nullptr;
  NetApi* net = nullptr;
  ShellApi* shell = nullptr;
  TrustApi* trust = nullptr;
};

namespace platform {
// The platform in force. Set once at start-up (main) or by a test fixture.
Platform& Current();
void Install(const Platform& p);

inline SystemApi& Sys() { return *Current().system; }
inline FileApi& Files() { return *Current().files; }
inline RegistryApi& Registry() { return *Current().registry; }
inline ProcessApi& Processes() { return *Current().processes; }
inline WindowApi& Windows() { return *Current().windows; }
inline NtApi& Nt() { return *Current().nt; }
inline ServiceApi& Services() { return *Current().services; }
inline NetApi& Net() { return *Current().net; }
inline ShellApi& Shell() { return *Current().shell; }
inline TrustApi& Trust() { return *Current().trust; }
}  // namespace platform

}  // namespace tv
