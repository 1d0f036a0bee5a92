// Object names of handles (NtQueryObject, class 1), with a time limit for the queries that can
// hang, and the set of other processes' handles whose name query once did. The scans of the
// system handle table (raw sockets, handles held on a file) use them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/layouts.h"
#include "platform/types.h"

namespace tv {

// Object name of a handle of this process, a leading device name turned into its drive letter.
// This query can block for good on some file handles (synchronous pipes); see the timed form.
std::string GetHandleObjectName(Handle h);
// The same query on a worker thread, waiting at most `timeoutMs`. nullopt when the query did not
// come back in time; the stuck worker is left behind and finishes on its own if the query ever
// returns. The handle must stay open while the worker uses it: on a time-out it passes to the
// worker, which closes it (CloseHandleEx) when the query returns; on success the caller keeps it.
std::optional<std::string> GetHandleObjectNameTimed(Handle h, std::uint32_t timeoutMs);

// Time limit of one object-name query of the handle-table scans.
inline constexpr std::uint32_t kNameQueryTimeoutMs = 250;
// Name queries abandoned after their time limit whose workers are still waiting.
std::size_t PendingNameQueries();

// Handles of other processes whose name query outlived its time limit. A handle is known by its
// owner and value, and its object by the object's address (when the table gives one): every
// handle to that object is skipped, including the duplicate the abandoned worker still holds.
bool IsKnownBlockingHandle(std::uint32_t owner, const layout::SystemHandleEntry& e);
// Records `e` (owned by `owner`) and the duplicate `dup` this process handed to the worker.
void RememberBlockingHandle(std::uint32_t owner, const layout::SystemHandleEntry& e, Handle dup);
// Objects skipped because a name query on one of their handles already timed out.
std::size_t KnownBlockingObjects();
void ForgetBlockingHandles();

// UTF-16LE text of at most `units` code units (up to a NUL) as UTF-8.
std::string Utf16LeToUtf8(const std::uint8_t* p, std::size_t units);

}  // namespace tv
