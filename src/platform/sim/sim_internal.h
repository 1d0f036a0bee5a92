// Inside of the simulated machine: the object that answers every platform interface, the
// handles the tool holds, and small text helpers shared by the sim_*.cpp files.
#pragma once
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/api.h"
#include "platform/sim/sim_machine.h"

namespace tv::sim {

// ---- text helpers (sim_util.cpp) ----
std::string Lower(const std::string& s);
std::string Upper(const std::string& s);
bool IEquals(const std::string& a, const std::string& b);
bool IStartsWith(const std::string& s, const std::string& prefix);
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);
// "*" and "?" matching, case-insensitive, the way FindFirstFile matches long names.
bool WildcardMatch(const std::string& pattern, const std::string& name);
std::string FileNameOf(const std::string& path);  // after the last backslash
// Parses "HKEY_LOCAL_MACHINE" / "HKLM" (any case) into the root handle; 0 when unknown.
Handle RootFromName(const std::string& name);
std::string RootShortName(Handle root);  // "HKLM"
std::string RootLongName(Handle root);   // "HKEY_LOCAL_MACHINE"
// "1.2.3.4" -> the 32-bit value whose memory bytes are 1, 2, 3, 4 (network order).
std::uint32_t ParseIpv4(const std::string& text);
std::uint16_t Htons(std::uint16_t v);
std::vector<std::string> SplitPath(const std::string& path);  // at backslashes, empty parts dropped

// Raw little-endian writes into a byte buffer.
inline void Put16(std::uint8_t* p, std::uint16_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline void PutPtr(std::uint8_t* p, std::uintptr_t v) {
  if (kPtrSize == 8) Put64(p, v); else Put32(p, static_cast<std::uint32_t>(v));
}

// Win32 error that the kernel32 wrappers report for an NT status.
std::uint32_t DosErrorOf(NTSTATUS s);

// More status values the simulated kernel answers with.
namespace xstatus {
inline constexpr NTSTATUS InvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
inline constexpr NTSTATUS BufferOverflow = static_cast<NTSTATUS>(0x80000005);
inline constexpr NTSTATUS InvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010);
inline constexpr NTSTATUS NotMappedView = static_cast<NTSTATUS>(0xC0000019);
inline constexpr NTSTATUS ObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
inline constexpr NTSTATUS ThreadIsTerminating = static_cast<NTSTATUS>(0xC000004B);
inline constexpr NTSTATUS NoSuchPrivilege = static_cast<NTSTATUS>(0xC0000060);
inline constexpr NTSTATUS PrivilegeNotHeld = static_cast<NTSTATUS>(0xC0000061);
}  // namespace xstatus

// ---- the handles of the tool ----
enum class HKind { Process, Thread, File, Device, Transport, Event, Job, Key, Snapshot, Find, Scm, Service, Object };

struct SnapshotData {
  std::vector<ProcessEntry32> processes;
  std::vector<ModuleEntry32> modules;
  std::vector<ThreadEntry32> threads;
  std::size_t pPos = 0, mPos = 0, tPos = 0;
};
struct FindDataList {
  std::vector<FindData> entries;
  std::size_t pos = 0;
};

struct HandleObj {
  HKind kind = HKind::Object;
  std::uint32_t access = 0;
  bool inherit = false;
  std::uint32_t pid = 0, tid = 0;  // process, thread
  Handle root = 0;                 // key: the predefined root
  std::string path;                // file: DOS path; device: link; transport/object: name; key: subkey; service: name
  std::uint64_t pos = 0;           // file pointer
  std::uint32_t share = 0;
  std::size_t index = 0;           // job number
  std::uint8_t objectType = 0;     // Object kind: type number of the duplicated foreign object
  bool nameQueryBlocks = false;
  std::shared_ptr<SnapshotData> snap;
  std::shared_ptr<FindDataList> find;
};

struct Job {
  std::vector<std::uint32_t> pids;
};

// The object behind SimMachine: one instance answers all interfaces.
struct SimMachine::Impl final : public SystemApi,
                                public FileApi,
                                public RegistryApi,
                                public ProcessApi,
                                public WindowApi,
                                public NtApi,
                                public ServiceApi,
                                public NetApi,
                                public ShellApi,
                                public TrustApi {
  explicit Impl(SimMachine& machine) : m(machine), st(machine.state) {}
  ~Impl() override;

  SimMachine& m;
  MachineState& st;

  // Every call takes this lock; a blocked object-name query waits on `cv` with it released.
  mutable std::recursive_mutex mu;
  std::condition_variable_any cv;
  std::size_t blocked = 0;
  std::uint64_t releaseGeneration = 0;
  bool destroying = false;

  std::map<std::string, std::uint64_t> calls;
  std::map<Handle, HandleObj> handles;
  // Handle values given back. They are reused oldest first, and only once kReuseDelay of them wait:
  // values stay small (16-bit in the handle table) across long probes, while a stale handle right
  // after its close is invalid instead of naming the next object opened.
  std::deque<Handle> freeValues;
  static constexpr std::size_t kReuseDelay = 256;
  Handle nextValue = 4;
  std::vector<Job> jobs;
  std::map<std::uint32_t, std::size_t> jobOfProcess;
  std::set<std::uint32_t> enabledPrivileges;
  std::map<std::string, std::size_t> serviceHandleCount;  // lower-case name -> open handles

  // Index of the other processes' handles by (owner, value); checked on every hit, rebuilt on a miss.
  std::unordered_map<std::uint64_t, std::size_t> foreignIndex;
  const ForeignHandle* FindForeign(std::uint32_t owner, Handle value, std::size_t* index);

  // File lookup cache (validated against `st.files` on each use).
  std::vector<std::string> fileKeys;      // canonical lower-case path of each file
  std::vector<std::string> fileOriginal;  // the path text the key was made from
  std::unordered_map<std::string, std::size_t> fileIndex;

  // ---- plumbing (sim_machine.cpp) ----
  // Counts the call, takes the lock and lets the owners of windows that were sent WM_CLOSE end
  // (posted messages are handled after the poster's window walk, as the real queue would).
  std::unique_lock<std::recursive_mutex> Enter(const char* operation, bool windowCall = false);
  std::vector<std::uint32_t> pendingClose;  // owners of closed windows, to end
  void SetError(std::uint32_t e);
  Handle NewHandle(HandleObj obj);
  HandleObj* Get(Handle h);
  HandleObj* Get(Handle h, HKind kind);
  bool Close(Handle h);  // false when not a handle of the tool
  void EnsureSelf();
  Process* Proc(std::uint32_t pid);            // by identifier, ignoring the two low bits
  Process* LiveProc(std::uint32_t pid);        // the same, alive only
  // The process an identifier opens: alive, or ended but still referenced by a handle (Windows
  // keeps the identifier until the process object goes away).
  Process* OpenableProc(std::uint32_t pid);
  Process* Self();
  std::pair<Process*, Thread*> FindThreadById(std::uint32_t tid);
  // The process a process handle (or the pseudo-handle) refers to, checking `need` access.
  // Sets `status` on failure.
  Process* ProcFromHandle(Handle h, std::uint32_t need, NTSTATUS& status);
  std::pair<Process*, Thread*> ThreadFromHandle(Handle h, std::uint32_t need, NTSTATUS& status);
  void EndProcess(std::uint32_t pid, std::uint32_t exitCode);
  std::uint8_t TypeNumberOf(const HandleObj& o) const;
  bool InHandleTable(const HandleObj& o) const;
  std::string DescribeHandle(const HandleObj& o) const;
  std::string ObjectNameOf(const HandleObj& o);

  // ---- files (sim_files.cpp) ----
  std::string CanonicalPath(const std::string& path) const;  // "" when not a drive path
  File* FileAt(const std::string& canonical);
  bool IsDirectory(const std::string& canonical);  // explicit or implied by files below it
  std::uint32_t AttributesOf(const std::string& canonical);
  std::string NativePathOf(const std::string& dosPath);  // "\\Device\\HarddiskVolume1\\..."
  std::string DosPathOfNative(const std::string& ntPath);
  void RemovePendingRename(const std::string& from, const std::string& to, bool replace);
  // Whether a handle of another process on the file at `canonical` (with `below`: on anything
  // inside that folder), or the tool's duplicate of one, refuses an open with `access` by its
  // share mode. Access to attributes only is never refused.
  bool HeldElsewhere(const std::string& canonical, std::uint32_t access, bool below);

  // ---- registry (sim_registry.cpp) ----
  RegKey& RootKey(Handle root);
  RegKey* Resolve(Handle root, const std::string& sub);
  // The key a handle stands for: a root or an open key. Sets `error` (6 bad handle, 1018 deleted).
  bool KeyOfHandle(Handle key, Handle& root, std::string& sub, std::uint32_t& error);
  RegKey* OpenedKey(Handle key, std::uint32_t needed, std::int32_t& status);
  RegKey* CreatePath(Handle root, const std::string& sub);
  std::uint32_t KeyAccess(Handle key);
  std::int32_t OpenKey(Handle key, const std::string& subKey, std::uint32_t access, bool create,
                       bool sameHandleWhenEmpty, Handle* result);
  std::int32_t RemoveKey(Handle root, const std::string& target, bool tree);

  // ---- services (sim_services.cpp) ----
  void MaybeRemoveService(const std::string& name);
  void WriteServiceKey(const Service& s);

  // ---- network (sim_net.cpp) ----
  NTSTATUS TransportIoctl(HandleObj& dev, IoStatusBlock* iosb, std::uint32_t code, const void* in,
                          std::uint32_t inLength, void* out, std::uint32_t outLength);

  // ---- memory of processes (sim_process.cpp) ----
  bool ReadMemory(const Process& p, std::uintptr_t address, void* buffer, std::size_t size, std::size_t* read);

  // ================================================== SystemApi (sim_system.cpp)
  bool GetVersionExA(OsVersionInfo& out) override;
  std::string GetWindowsDirectoryA() override;
  std::string GetSystemDirectoryA() override;
  std::string GetTempPathA() override;
  std::string GetModuleFileNameA(Handle module) override;
  std::string GetEnvironmentVariableA(const std::string& name) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t ms) override;
  std::uint32_t GetCurrentProcessId() override;
  std::uint32_t GetCurrentThreadId() override;
  std::uint32_t GetLastError() override;
  std::vector<std::string> GetLogicalDriveStringsA() override;
  std::string QueryDosDeviceA(const std::string& drive) override;
  bool CloseHandle(Handle h) override;
  Handle CreateEventA(bool manualReset, bool initialState) override;
  std::uint32_t GetACP() override;
  std::string AnsiToUtf8(const std::string& ansi) override;
  std::string Utf8ToAnsi(const std::string& utf8) override;
  void GetLocalTime(SystemTime& out) override;
  std::string GetDateFormatA(std::uint32_t flags, const SystemTime& date) override;
  std::string GetTimeFormatA(std::uint32_t flags, const SystemTime& time) override;
  void GlobalMemoryStatus(MemoryStatus& out) override;
  bool sndPlaySoundA(const std::string& path, std::uint32_t flags) override;

  // ================================================== FileApi (sim_files.cpp)
  std::uint32_t GetFileAttributesA(const std::string& path) override;
  bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override;
  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  std::uint64_t GetFileSize(Handle h) override;
  std::uint64_t SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) override;
  bool FlushFileBuffers(Handle h) override;
  bool DeleteFileA(const std::string& path) override;
  bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override;
  bool CreateDirectoryA(const std::string& path) override;
  bool RemoveDirectoryA(const std::string& path) override;
  Handle FindFirstFileA(const std::string& pattern, FindData& out) override;
  bool FindNextFileA(Handle find, FindData& out) override;
  bool FindClose(Handle find) override;
  std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) override;
  bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size, void* buffer) override;
  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;

  // ================================================== RegistryApi (sim_registry.cpp)
  std::int32_t RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) override;
  std::int32_t RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                             Handle* result) override;
  std::int32_t RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) override;
  std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type, void* data,
                                std::uint32_t* size) override;
  std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type, const void* data,
                              std::uint32_t size) override;
  std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) override;
  std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) override;
  std::int32_t RegEnumValueA(Handle key, std::uint32_t index, std::string* name, std::uint32_t nameCapacity,
                             std::uint32_t* type, void* data, std::uint32_t* size) override;
  std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name, std::uint32_t nameCapacity) override;
  std::int32_t RegCloseKey(Handle key) override;
  std::int32_t SHDeleteKeyA(Handle key, const std::string& subKey) override;
  std::int32_t DeleteKeyBelow(Handle key, const std::string& subKey, bool tree);

  // ================================================== ProcessApi (sim_process.cpp)
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t pid) override;
  bool Process32First(Handle snap, ProcessEntry32& e) override;
  bool Process32Next(Handle snap, ProcessEntry32& e) override;
  bool Module32First(Handle snap, ModuleEntry32& e) override;
  bool Module32Next(Handle snap, ModuleEntry32& e) override;
  bool Thread32First(Handle snap, ThreadEntry32& e) override;
  bool Thread32Next(Handle snap, ThreadEntry32& e) override;
  Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t pid) override;
  Handle OpenThread(std::uint32_t access, bool inherit, std::uint32_t tid) override;
  bool TerminateProcess(Handle process, std::uint32_t exitCode) override;
  bool TerminateThread(Handle thread, std::uint32_t exitCode) override;
  bool GetExitCodeProcess(Handle process, std::uint32_t* code) override;
  bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t cb, std::uint32_t* needed) override;
  std::string GetModuleFileNameExA(Handle process, Handle module, std::uint32_t capacity) override;
  std::string GetProcessImageFileNameA(Handle process, std::uint32_t capacity) override;
  bool GetModuleInformation(Handle process, Handle module, ModuleInfo& out) override;
  bool ReadProcessMemory(Handle process, std::uintptr_t address, void* buffer, std::size_t size,
                         std::size_t* read) override;
  bool DuplicateHandle(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                       std::uint32_t access, bool inherit, std::uint32_t options) override;
  bool SetProcessWorkingSetSize(Handle process, std::uintptr_t minimum, std::uintptr_t maximum) override;
  Handle GetCurrentProcess() override;

  // ================================================== WindowApi (sim_process.cpp)
  Handle FindWindowA(const char* className, const char* title) override;
  Handle GetParent(Handle hwnd) override;
  Handle GetWindow(Handle hwnd, std::uint32_t relation) override;
  std::uint32_t GetWindowThreadProcessId(Handle hwnd, std::uint32_t* pid) override;
  bool PostMessageA(Handle hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // ================================================== NtApi (sim_nt.cpp)
  NTSTATUS NtQuerySystemInformation(std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                    std::uint32_t* returnLength) override;
  NTSTATUS NtOpenProcess(Handle* process, std::uint32_t access, const ObjectAttributes& oa,
                         const ClientId& cid) override;
  NTSTATUS NtOpenThread(Handle* thread, std::uint32_t access, const ObjectAttributes& oa, const ClientId& cid) override;
  NTSTATUS NtClose(Handle h) override;
  NTSTATUS NtDuplicateObject(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                             std::uint32_t access, std::uint32_t attributes, std::uint32_t options) override;
  NTSTATUS NtQueryInformationProcess(Handle process, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                     std::uint32_t* returnLength) override;
  NTSTATUS NtQueryInformationThread(Handle thread, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                                    std::uint32_t* returnLength) override;
  NTSTATUS NtTerminateProcess(Handle process, NTSTATUS exitStatus) override;
  NTSTATUS NtTerminateThread(Handle thread, NTSTATUS exitStatus) override;
  NTSTATUS NtCreateJobObject(Handle* job, std::uint32_t access, const ObjectAttributes& oa) override;
  NTSTATUS NtAssignProcessToJobObject(Handle job, Handle process) override;
  NTSTATUS NtTerminateJobObject(Handle job, NTSTATUS exitStatus) override;
  NTSTATUS NtUnmapViewOfSection(Handle process, std::uintptr_t base) override;
  NTSTATUS RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread, bool* wasEnabled) override;
  NTSTATUS NtOpenFile(Handle* file, std::uint32_t access, const ObjectAttributes& oa, IoStatusBlock* iosb,
                      std::uint32_t shareAccess, std::uint32_t openOptions) override;
  NTSTATUS NtDeviceIoControlFile(Handle file, Handle event, IoStatusBlock* iosb, std::uint32_t code, const void* in,
                                 std::uint32_t inLength, void* out, std::uint32_t outLength) override;
  NTSTATUS NtQueryObject(Handle h, std::uint32_t infoClass, void* buffer, std::uint32_t length,
                         std::uint32_t* returnLength) override;
  // shared by NtDuplicateObject and DuplicateHandle
  NTSTATUS Duplicate(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target, std::uint32_t access,
                     std::uint32_t attributes, std::uint32_t options);
  NTSTATUS TerminateProc(Process& p, std::uint32_t code);

  // ================================================== ServiceApi (sim_services.cpp)
  Handle OpenSCManagerA(const char* machine, const char* database, std::uint32_t access) override;
  Handle OpenServiceA(Handle scm, const std::string& name, std::uint32_t access) override;
  Handle CreateServiceA(Handle scm, const CreateServiceArgs& args) override;
  bool QueryServiceStatus(Handle service, ServiceStatus& status) override;
  bool StartServiceA(Handle service, const std::vector<std::string>& args) override;
  bool ControlService(Handle service, std::uint32_t control, ServiceStatus& status) override;
  bool DeleteService(Handle service) override;
  bool ChangeServiceConfig2W(Handle service, std::uint32_t level, const std::string& description) override;
  bool CloseServiceHandle(Handle h) override;

  // ================================================== NetApi (sim_net.cpp)
  std::uint32_t GetTcpTable(void* table, std::uint32_t* size, bool order) override;
  std::uint32_t GetUdpTable(void* table, std::uint32_t* size, bool order) override;

  // ================================================== ShellApi, TrustApi (sim_system.cpp)
  std::string GetSpecialFolderPath(int csidl) override;
  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                              const std::string& directory, int show) override;
  int RecycleFile(const std::string& path) override;
  std::int32_t SHEmptyRecycleBinA(Handle owner, const std::string& rootPath, std::uint32_t flags) override;
  std::int32_t WinVerifyTrust(const std::string& path, bool showUi) override;
  bool TrustServiceAvailable() override;
};

}  // namespace tv::sim
