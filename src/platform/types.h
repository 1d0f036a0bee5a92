// Basic Windows-shaped types shared by the platform interfaces and the logic.
// Handles are opaque integers of the build's pointer width; strings are UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tv {

using Handle = std::uintptr_t;   // HANDLE, HKEY, SC_HANDLE, HWND, HMODULE ...
using NTSTATUS = std::int32_t;
using Bytes = std::vector<std::uint8_t>;

inline constexpr Handle kNullHandle = 0;
inline constexpr Handle kInvalidHandle = ~Handle(0);        // INVALID_HANDLE_VALUE
inline constexpr Handle kCurrentProcess = ~Handle(0);       // GetCurrentProcess() pseudo-handle (-1)
inline constexpr Handle kCurrentThread = ~Handle(0) - 1;    // GetCurrentThread() pseudo-handle (-2)

// Size of a pointer in the layouts the platform defines (4 on i686, 8 on x86_64 and on the native build).
inline constexpr std::size_t kPtrSize = sizeof(void*);

// ---- NTSTATUS values ----
namespace status {
inline constexpr NTSTATUS Success = 0;
inline constexpr NTSTATUS Pending = 0x103;
inline constexpr NTSTATUS NotImplemented = static_cast<NTSTATUS>(0xC0000002);
inline constexpr NTSTATUS InfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
inline constexpr NTSTATUS InvalidHandle = static_cast<NTSTATUS>(0xC0000008);
inline constexpr NTSTATUS InvalidCid = static_cast<NTSTATUS>(0xC000000B);
inline constexpr NTSTATUS InvalidParameter = static_cast<NTSTATUS>(0xC000000D);
inline constexpr NTSTATUS AccessDenied = static_cast<NTSTATUS>(0xC0000022);
inline constexpr NTSTATUS BufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
inline constexpr NTSTATUS ObjectTypeMismatch = static_cast<NTSTATUS>(0xC0000024);
inline constexpr NTSTATUS ObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS NoToken = static_cast<NTSTATUS>(0xC000007C);
inline constexpr NTSTATUS NoMemory = static_cast<NTSTATUS>(0xC0000017);
inline constexpr NTSTATUS ProcessIsTerminating = static_cast<NTSTATUS>(0xC000010A);
inline constexpr NTSTATUS NotSupported = static_cast<NTSTATUS>(0xC00000BB);
inline constexpr NTSTATUS Unsuccessful = static_cast<NTSTATUS>(0xC0000001);
}  // namespace status

// ---- Win32 error codes (GetLastError / registry and service results) ----
namespace err {
inline constexpr std::uint32_t Success = 0;
inline constexpr std::uint32_t FileNotFound = 2;
inline constexpr std::uint32_t PathNotFound = 3;
inline constexpr std::uint32_t AccessDenied = 5;
inline constexpr std::uint32_t InvalidHandle = 6;
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t InsufficientBuffer = 122;
inline constexpr std::uint32_t MoreData = 234;
inline constexpr std::uint32_t NoMoreItems = 259;
inline constexpr std::uint32_t NoMoreFiles = 18;
inline constexpr std::uint32_t ServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t ServiceDoesNotExist = 1060;
inline constexpr std::uint32_t ServiceCannotAcceptCtrl = 1061;
inline constexpr std::uint32_t ServiceNotActive = 1062;
inline constexpr std::uint32_t ServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t ServiceExists = 1073;
inline constexpr std::uint32_t KeyHasChildren = 1020;  // RegDeleteKey on a key with subkeys (Windows answers 5 on NT)
inline constexpr std::uint32_t BadPathname = 161;
}  // namespace err

// ---- file attributes ----
namespace fattr {
inline constexpr std::uint32_t ReadOnly = 0x1;
inline constexpr std::uint32_t Hidden = 0x2;
inline constexpr std::uint32_t System = 0x4;
inline constexpr std::uint32_t Directory = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
inline constexpr std::uint32_t Normal = 0x80;
inline constexpr std::uint32_t Invalid = 0xFFFFFFFFu;
}  // namespace fattr

// ---- registry ----
namespace reg {
inline constexpr Handle ClassesRoot = 0x80000000u;
inline constexpr Handle CurrentUser = 0x80000001u;
inline constexpr Handle LocalMachine = 0x80000002u;
inline constexpr Handle Users = 0x80000003u;
inline constexpr Handle PerformanceData = 0x80000004u;
inline constexpr Handle CurrentConfig = 0x80000005u;
inline constexpr Handle DynData = 0x80000006u;
inline constexpr std::uint32_t None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7;
inline constexpr std::uint32_t KeyRead = 0x20019;
inline constexpr std::uint32_t KeyAllAccess = 0xF003F;
}  // namespace reg

}  // namespace tv
