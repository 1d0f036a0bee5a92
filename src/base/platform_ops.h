// Windows and NT operations that several subsystems share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace tv {

inline bool NtSuccess(NTSTATUS s) { return s >= 0; }
// ZwClose, then NtClose, then CloseHandle: each only when the one before failed.
void CloseHandleEx(Handle h);
// RtlAdjustPrivilege on the thread token, on the process token when the thread has none.
bool AdjustPrivilege(std::uint32_t privilege, bool enable);
// The documented open, the native open (PID + 1), then the handle-table scan. 0 when none.
Handle OpenProcessByForce(std::uint32_t access, bool inherit, std::uint32_t pid);

// Largest buffer a growing system-information query may reach; past it the query fails.
inline constexpr std::uint32_t kMaxQueryBuffer = 256u * 1024 * 1024;

// Queries a system information class whose size is not known in advance (11, 16): starts with
// `initialSize` bytes and doubles while the answer is "length mismatch", up to kMaxQueryBuffer.
// Returns the final status; `out` holds the answer on success, is empty otherwise.
NTSTATUS QuerySystemInformationGrowing(std::uint32_t infoClass, std::uint32_t initialSize,
                                       std::vector<std::uint8_t>& out);
// Classes that answer only to their exact structure size (0, 2, 3): one query, no retry.
NTSTATUS QuerySystemInformationFixed(std::uint32_t infoClass, void* buffer, std::uint32_t size);

// SetProcessWorkingSetSize(current process, -1, -1).
void TrimWorkingSet();

// The local date and time in the system's general date format: the short date and the time,
// or the date alone at midnight.
std::string GeneralDateNow();

}  // namespace tv
