// Ending processes, windows, threads and mapped modules. Each operation reports its result to
// the caller and shows nothing itself.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace tv {

// TerminateProcess, then the native terminate, then the job route; after a successful job route
// the duplicated-handle terminate runs as well (its result is not used). True when one of the
// three routes succeeded. The caller keeps and closes `process`.
bool TerminateProcessChain(Handle process, std::uint32_t exitCode, std::uint32_t pid);
// Opens the process for query, upgrades the handle to all access by duplication and terminates
// it. True when the final TerminateProcess succeeded.
bool TerminateByDuplicatedHandle(std::uint32_t pid, std::uint32_t exitCode);
// Posts WM_CLOSE to every top-level window the process owns.
void EndTaskByWindows(std::uint32_t pid);
// OpenThread(terminate) + TerminateThread(0).
bool TerminateThreadNormal(std::uint32_t tid);
// Native open (TID + 1, all access) + native terminate. 0 when terminated, else a failure status.
NTSTATUS TerminateThreadByForce(std::uint32_t tid);
// Unmaps the section at `base` in the process: the status of the unmapping, 1 when the process
// cannot be opened.
NTSTATUS UnloadModule(std::uintptr_t base, std::uint32_t pid);

}  // namespace tv
