// Byte layouts that the platform defines and that the logic reads out of raw answers.
// They follow the build's own pointer width: the 32-bit layouts on i686, the 64-bit ones on
// x86_64 and on the native (simulated) build. Both backends write exactly these layouts.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tv::layout {

// NtQuerySystemInformation class 16: SYSTEM_HANDLE_INFORMATION.
// 32-bit: count at 0, 16-byte entries from offset 4. 64-bit: count at 0, 24-byte entries from 8.
struct SystemHandleEntry {
  std::uint16_t UniqueProcessId;
  std::uint16_t CreatorBackTraceIndex;
  std::uint8_t ObjectTypeIndex;
  std::uint8_t HandleAttributes;
  std::uint16_t HandleValue;
  std::uintptr_t Object;
  std::uint32_t GrantedAccess;
};
struct SystemHandleInformation {
  std::uint32_t NumberOfHandles;
  SystemHandleEntry Handles[1];
};
inline constexpr std::size_t kHandleEntriesOffset = offsetof(SystemHandleInformation, Handles);
static_assert(sizeof(SystemHandleEntry) == (sizeof(void*) == 8 ? 24 : 16));

// Object type number of process objects in the handle table (Windows 2000 / XP).
inline constexpr std::uint8_t kProcessObjectType = 5;

// NtQuerySystemInformation class 11: RTL_PROCESS_MODULES.
// 32-bit: count at 0, 284-byte entries from 4 (base at 8, size at 12, path at 28).
struct SystemModuleEntry {
  std::uintptr_t Section;
  std::uintptr_t MappedBase;
  std::uintptr_t ImageBase;
  std::uint32_t ImageSize;
  std::uint32_t Flags;
  std::uint16_t LoadOrderIndex;
  std::uint16_t InitOrderIndex;
  std::uint16_t LoadCount;
  std::uint16_t OffsetToFileName;
  char FullPathName[256];
};
struct SystemModuleInformation {
  std::uint32_t NumberOfModules;
  SystemModuleEntry Modules[1];
};
inline constexpr std::size_t kModuleEntriesOffset = offsetof(SystemModuleInformation, Modules);
static_assert(sizeof(SystemModuleEntry) == (sizeof(void*) == 8 ? 296 : 284));

// NtQueryInformationProcess class 0: PROCESS_BASIC_INFORMATION (24 / 48 bytes).
struct ProcessBasicInformation {
  std::intptr_t ExitStatus;
  std::uintptr_t PebBaseAddress;
  std::uintptr_t AffinityMask;
  std::intptr_t BasePriority;
  std::uintptr_t UniqueProcessId;
  std::uintptr_t InheritedFromUniqueProcessId;
};

// NtQueryInformationThread class 0: THREAD_BASIC_INFORMATION (28 / 48 bytes).
struct ThreadBasicInformation {
  std::int32_t ExitStatus;
  std::uintptr_t TebBaseAddress;
  std::uintptr_t UniqueProcess;  // CLIENT_ID
  std::uintptr_t UniqueThread;
  std::uintptr_t AffinityMask;
  std::int32_t Priority;
  std::int32_t BasePriority;
};
static_assert(sizeof(ThreadBasicInformation) == (sizeof(void*) == 8 ? 48 : 28));
// Class 9 answers the start address: one pointer.

// NtQueryObject class 1: OBJECT_NAME_INFORMATION = UNICODE_STRING header, then the UTF-16 text.
struct UnicodeStringHeader {
  std::uint16_t Length;         // bytes, without NUL
  std::uint16_t MaximumLength;  // bytes
  std::uintptr_t Buffer;        // address of the text (points just behind the header)
};
inline constexpr std::size_t kObjectNameHeaderSize = sizeof(UnicodeStringHeader);  // 8 / 16

// Where a process keeps its image path: PEB -> Ldr -> first load-order entry -> FullDllName.
inline constexpr std::uintptr_t kPebLdrOffset = sizeof(void*) == 8 ? 0x18 : 0x0C;
inline constexpr std::uintptr_t kLdrInLoadOrderOffset = sizeof(void*) == 8 ? 0x10 : 0x0C;
inline constexpr std::uintptr_t kLdrEntryFullNameBufferOffset = sizeof(void*) == 8 ? 0x50 : 0x28;

// Transport driver query (IOCTL_TCP_QUERY_INFORMATION_EX = 0x00120003).
inline constexpr std::uint32_t kIoctlTcpQueryInformationEx = 0x00120003;
struct TdiEntityId {
  std::uint32_t tei_entity;    // 0x400 CO_TL_ENTITY, 0x401 CL_TL_ENTITY
  std::uint32_t tei_instance;
};
struct TdiObjectId {
  TdiEntityId toi_entity;
  std::uint32_t toi_class;  // 0x200 INFO_CLASS_PROTOCOL
  std::uint32_t toi_type;   // 0x100 INFO_TYPE_PROVIDER
  std::uint32_t toi_id;     // 1 statistics, 0x101 table, 0x102 table with owners
};
struct TcpRequestQueryInformationEx {
  TdiObjectId ID;
  std::uint8_t Context[16];
};
static_assert(sizeof(TcpRequestQueryInformationEx) == 36);
struct TdiTcpEntryWithOwner {  // 24 bytes; addresses and ports in network byte order
  std::uint32_t State, LocalAddr, LocalPort, RemoteAddr, RemotePort, OwningPid;
};
struct TdiUdpEntryWithOwner {  // 12 bytes
  std::uint32_t LocalAddr, LocalPort, OwningPid;
};
inline constexpr std::size_t kTcpStatsSize = 60;  // 15 values, the 15th is the connection count
inline constexpr std::size_t kUdpStatsSize = 20;  // 5 values, the 5th is the endpoint count

// IP helper: MIB_TCPTABLE (count + 20-byte rows) and MIB_UDPTABLE (count + 8-byte rows).
struct MibTcpRow {
  std::uint32_t dwState, dwLocalAddr, dwLocalPort, dwRemoteAddr, dwRemotePort;
};
struct MibUdpRow {
  std::uint32_t dwLocalAddr, dwLocalPort;
};
struct MibTcpTable {
  std::uint32_t dwNumEntries;
  MibTcpRow table[1];
};
struct MibUdpTable {
  std::uint32_t dwNumEntries;
  MibUdpRow table[1];
};
static_assert(sizeof(MibTcpRow) == 20 && sizeof(MibUdpRow) == 8);

}  // namespace tv::layout

namespace tv::layout {
// Classes 0, 2 and 3 of NtQuerySystemInformation answer only to their structure's exact size.
// SYSTEM_BASIC_INFORMATION: 44 bytes on 32-bit (NumberOfProcessors at 40), 64 on 64-bit (at 56).
inline constexpr std::size_t kSystemBasicInformationSize = sizeof(void*) == 8 ? 64 : 44;
inline constexpr std::size_t kSystemBasicNumberOfProcessorsOffset = sizeof(void*) == 8 ? 56 : 40;
// SYSTEM_PERFORMANCE_INFORMATION: 312 bytes; the idle time (64-bit, 100 ns) at offset 0.
inline constexpr std::size_t kSystemPerformanceInformationSize = 312;
// SYSTEM_TIMEOFDAY_INFORMATION: 32 bytes; boot time at 0, current time (64-bit, 100 ns) at 8.
inline constexpr std::size_t kSystemTimeOfDayInformationSize = 32;
}  // namespace tv::layout
