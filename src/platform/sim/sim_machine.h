// A simulated Windows machine: the state of the machine as plain data that tests and scenario
// files set up, and SimMachine, which answers every platform interface from that state.
// Object lookups follow Windows: paths, registry names and service names are case-insensitive;
// the kernel looks identifiers up ignoring their two low bits (PID + 1 opens PID).
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"

namespace tv::sim {

// ------------------------------------------------------------------ files ----
struct File {
  std::string path;                          // DOS path, any letter case
  std::uint32_t attributes = fattr::Archive; // fattr::Directory for folders
  Bytes contents;
  Bytes versionResource;                     // raw VS_VERSIONINFO bytes; empty: none
  bool denyOpen = false;                     // CreateFileA fails (locked / no access)
};

// --------------------------------------------------------------- registry ----
struct RegValue {
  std::string name;  // "" is the default value
  std::uint32_t type = reg::Sz;
  Bytes data;        // as stored: string types in UTF-8 with their terminating NUL(s)
};
struct RegKey {
  std::string name;
  std::vector<RegValue> values;                  // enumeration order = insertion order
  std::vector<std::unique_ptr<RegKey>> subkeys;  // enumeration order = insertion order
};

// -------------------------------------------------------- processes, threads ----
struct Module {
  std::string name;        // "kernel32.dll"
  std::string path;        // DOS path
  std::uintptr_t base = 0;
  std::uint32_t size = 0;
};
struct Thread {
  std::uint32_t tid = 0;
  std::int32_t priority = 8, basePriority = 8;
  std::uintptr_t affinity = 1;
  std::int32_t exitStatus = 259;  // STILL_ACTIVE while it runs
  std::uintptr_t teb = 0;
  std::uintptr_t startAddress = 0;
  bool alive = true;
  bool resistTerminate = false;   // TerminateThread fails (NtTerminateThread still works)
};
struct Window {
  Handle hwnd = 0;
  Handle parent = 0;        // 0 for a top-level window
  std::uint32_t ownerPid = 0;
  std::uint32_t ownerTid = 0;
  std::vector<std::uint32_t> posted;  // messages posted to it, in order
  bool closeEndsProcess = true;       // WM_CLOSE (16) ends the owner process
  std::string className, title;       // matched by FindWindowA (case-insensitive)
};
enum class Protection {
  None,
  DenyDocumented,  // OpenProcess fails; the native open works
  DenyAll,         // OpenProcess and NtOpenProcess fail; only a duplicated handle reaches it
};
struct Process {
  std::uint32_t pid = 0;
  std::uint32_t parentPid = 0;
  std::string exeName;         // as the toolhelp list reports it
  std::string imagePath;       // DOS path of the image
  std::string nativeImagePath; // "\\Device\\HarddiskVolume1\\..."; derived from imagePath when empty
  bool hiddenFromToolhelp = false;  // rootkit-style: missing from the toolhelp list
  Protection protection = Protection::None;
  bool modulesUnreadable = false;    // EnumProcessModules / module snapshot fail
  bool moduleSnapshotFails = false;  // only the toolhelp module snapshot fails (other architecture)
  bool imagePathUnreadable = false;  // GetModuleFileNameExA and GetProcessImageFileNameA answer nothing
  bool memoryUnreadable = false;     // ReadProcessMemory fails
  bool resistTerminateProcess = false;  // TerminateProcess fails
  bool resistNtTerminate = false;       // NtTerminateProcess fails
  bool resistJob = false;               // NtAssignProcessToJobObject fails
  std::vector<Module> modules;  // the first is the image
  std::vector<Thread> threads;
  bool alive = true;
  std::uint32_t exitCode = 259;
};

// A handle owned by some process other than the tool (the tool's own handles are tracked by
// SimMachine and appear in the system handle table too).
struct ForeignHandle {
  std::uint32_t ownerPid = 0;
  std::uint16_t value = 0;
  std::uint8_t type = 0;           // object type number: 5 process, 6 thread, 28 file ...
  std::uint32_t targetPid = 0;     // for type 5: the process it refers to
  std::string objectName;          // for files: "\\Device\\HarddiskVolume1\\x", "\\Device\\RawIp"
  bool nameQueryBlocks = false;    // NtQueryObject(name) would never return (synchronous pipe)
  std::uint32_t grantedAccess = 0x1F0FFF;  // what the owner may do with it (DUPLICATE_SAME_ACCESS)
  std::uint32_t targetTid = 0;     // for thread handles: the thread it refers to
  // For files: the share mode the owner opened it with (1 read, 2 write, 4 delete). Opens,
  // deletes and renames of the file that the holder does not share fail with error 32.
  std::uint32_t shareMode = 7;
};

// ---------------------------------------------------------------- services ----
struct Service {
  std::string name;
  std::uint32_t type = 0x10;   // 1 kernel driver, 2 file-system driver, 0x10 own process, 0x20 shared
  std::uint32_t state = 1;     // 1 stopped .. 7 paused
  bool refuseOpen = false;     // OpenServiceA fails (access denied)
  bool refuseStart = false;
  bool refuseStop = false;
  bool markedForDelete = false;
  std::string binaryPath, displayName, description;
  std::uint32_t startType = 3;
  std::string group;              // registry "Group" (written when the service is created)
  std::uint32_t errorControl = 1;
};

// ---------------------------------------------------------------- network ----
struct TcpEndpoint {
  std::uint32_t state = 2;  // MIB_TCP_STATE: 2 listening, 5 established ...
  std::string localAddr = "0.0.0.0";
  std::uint16_t localPort = 0;
  std::string remoteAddr = "0.0.0.0";
  std::uint16_t remotePort = 0;
  std::uint32_t pid = 0;
};
struct UdpEndpoint {
  std::string localAddr = "0.0.0.0";
  std::uint16_t localPort = 0;
  std::uint32_t pid = 0;
};

// Everything a control device ("\\\\.\\Name") was asked.
struct DeviceRequest {
  std::uint32_t code = 0;
  Bytes input;
  std::uint32_t outSize = 0;
};
struct Device {
  std::string link;  // "\\\\.\\tolvexa"
  std::vector<DeviceRequest> requests;
  Bytes reply;                 // copied into the output buffer of every request (as far as it fits)
  std::uint32_t failWith = 0;  // non-zero: DeviceIoControl fails with this Win32 error
};

// A message posted to a window (kept here too: a window goes away with its process).
struct PostedMessage {
  Handle hwnd = 0;
  std::uint32_t msg = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// A ShellExecuteA call, as the shell was asked.
struct ShellCall {
  std::string verb, file, parameters, directory;
  int show = 0;
};

// A sndPlaySoundA call.
struct SoundCall {
  std::string path;
  std::uint32_t flags = 0;
};

// ------------------------------------------------------------------ machine ----
struct MachineState {
  OsVersionInfo version{5, 1, 2600, 2, "Service Pack 3"};
  std::string windowsDir = "C:\\WINDOWS";   // no trailing backslash, as the platform reports it
  std::string systemDir = "C:\\WINDOWS\\system32";
  std::string tempDir = "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\";
  std::string appPath = "C:\\Tools\\Tolvexa\\tolvexa.exe";
  std::map<int, std::string> specialFolders;  // CSIDL -> path
  std::map<std::string, std::string> environment;
  // Drive letter ("C:") -> device name ("\\Device\\HarddiskVolume1").
  std::map<std::string, std::string> dosDevices;

  std::vector<File> files;
  std::map<Handle, RegKey> roots;  // the seven predefined roots, created on demand

  std::uint32_t selfPid = 1000;     // the tool's own process; created when missing
  std::vector<Process> processes;   // toolhelp order = this order
  std::vector<ForeignHandle> handles;
  std::vector<Window> windows;      // z-order = this order
  std::vector<Module> kernelModules;  // path as the kernel reports it ("\\SystemRoot\\...", bare name)

  std::vector<Service> services;
  std::vector<TcpEndpoint> tcp;
  std::vector<UdpEndpoint> udp;
  std::vector<std::uint32_t> rawOwners;   // processes holding a "\\Device\\RawIp" handle
  bool transportDevicesPresent = true;    // "\\Device\\Tcp", "\\Device\\Udp", "\\Device\\RawIp"
  bool tcpTableFails = false;             // GetTcpTable answers an error
  bool udpTableFails = false;
  std::vector<Device> devices;

  // Object type number the handle table gives to files / processes / threads.
  std::uint8_t fileObjectType = 28, processObjectType = 5, threadObjectType = 6;
  bool debugPrivilegeAvailable = true;
  bool threadHasToken = false;  // RtlAdjustPrivilege(thread) answers "no token" when false
  std::map<std::string, std::int32_t> signatures;  // path (lower case) -> WinVerifyTrust result
  // path (lower case) -> the last error the trust provider leaves (default: the result itself)
  std::map<std::string, std::uint32_t> signatureLastErrors;
  bool trustServiceAvailable = true;  // false: no trust service (TrustServiceAvailable)

  // Further object type numbers of the handle table (Windows XP numbering).
  std::uint8_t jobObjectType = 7, eventObjectType = 9, sectionObjectType = 19, keyObjectType = 20;
  // Time: GetTickCount answers this (and adds 1 ms per call); Sleep adds its argument.
  std::uint32_t tickCount = 1000000;
  std::uint8_t processorCount = 1;  // SYSTEM_BASIC_INFORMATION.NumberOfProcessors
  std::uint32_t codePage = 1252;    // GetACP: 1252 (Western) or 65001 (UTF-8)
  std::uint32_t cpuLoad = 0;        // percent busy: drives the idle time of class 2
  // What the shell was asked to do.
  std::vector<ShellCall> shellExecuted;
  std::vector<std::string> recycled;  // paths moved to the recycle bin (removed from `files`)
  std::vector<PostedMessage> posted;  // every PostMessageA, in order

  // Clock, memory and recycle bin.
  SystemTime localTime{2026, 12, 4, 10, 14, 30, 5, 0};  // GetLocalTime (this clock does not advance)
  std::uint64_t totalPhys = 512ull << 20, availPhys = 256ull << 20;  // GlobalMemoryStatus, bytes
  // Information classes NtQuerySystemInformation refuses (0xC0000001) whatever the buffer.
  std::vector<std::uint32_t> failingInfoClasses;
  struct EmptyBinCall {
    Handle owner = 0;
    std::string rootPath;
    std::uint32_t flags = 0;
  };
  std::vector<EmptyBinCall> recycleBinEmptied;  // every SHEmptyRecycleBinA, in order
  std::vector<SoundCall> soundsPlayed;  // every sndPlaySoundA, in order
};

class SimMachine {
 public:
  SimMachine();
  ~SimMachine();
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  MachineState state;

  // The interface set answering from `state`. Install it with platform::Install(sim.platform()).
  Platform platform();

  // ---- convenience for tests and scenarios ----
  File& AddFile(const std::string& path, std::uint32_t attributes = fattr::Archive, Bytes contents = {});
  File* FindFile(const std::string& path);
  RegKey& Key(const std::string& fullPath);  // creates "HKEY_...\\a\\b" on the way
  RegKey* FindKey(const std::string& fullPath);
  void SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type, const Bytes& data);
  void SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                 std::uint32_t type = reg::Sz);  // stores text + NUL
  void SetDword(const std::string& keyPath, const std::string& name, std::uint32_t value);
  Process& AddProcess(std::uint32_t pid, const std::string& imagePath);  // name from the path
  Process* FindProcess(std::uint32_t pid);  // ignores the two low bits
  Process& SelfProcess();  // the tool's own process (state.selfPid), created when missing
  Thread* FindThread(std::uint32_t tid);    // ignores the two low bits
  Service* FindService(const std::string& name);  // case-insensitive
  Device& AddDevice(const std::string& link);     // "\\\\.\\name"
  // Ends a process the way the kernel does: threads exit, windows and handles go away.
  void EndProcess(std::uint32_t pid, std::uint32_t exitCode);

  // Object-name queries that block (ForeignHandle::nameQueryBlocks) wait until this is called
  // (or the machine is destroyed; the destructor waits until every blocked call has returned).
  void ReleaseBlockedQueries();
  std::size_t BlockedQueryCount() const;  // calls waiting right now

  // ---- observation ----
  std::size_t OpenHandleCount() const;  // handles the tool holds open right now
  std::vector<std::string> OpenHandleKinds() const;  // e.g. "process 1234", "key HKLM\\..."
  std::uint64_t CallCount(const std::string& operation) const;  // calls made, by operation name

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Loads a scenario file (JSON, format in docs/scenarios.md) into a new machine.
// Throws std::runtime_error with a readable message on a malformed file.
std::unique_ptr<SimMachine> LoadScenario(const std::string& path);
std::unique_ptr<SimMachine> LoadScenarioText(const std::string& json);

// A small but complete default machine (Windows XP SP3 layout) used when no scenario is given.
std::unique_ptr<SimMachine> DefaultMachine();

// Builds raw version-resource bytes (VS_VERSIONINFO with one StringFileInfo block per entry).
struct VersionBlock {
  std::string langCodepage = "040904b0";
  std::vector<std::pair<std::string, std::string>> strings;  // key, value
};
Bytes BuildVersionResource(const std::vector<VersionBlock>& blocks);

}  // namespace tv::sim
