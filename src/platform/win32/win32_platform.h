// The real Windows backend of the platform interfaces. Built only for Windows targets.
//
// What it does beyond passing calls through:
//   * Text crosses the interfaces as UTF-8 and the system is called with the wide-character
//     functions, so names outside the ANSI code page survive. The "...A" operations count text
//     and registry string data (types 1, 2, 7) in UTF-8 bytes: a buffer too small for the UTF-8
//     form answers 234 (ERROR_MORE_DATA) with the UTF-8 size. String data written without its
//     terminating NUL is stored with one (as NT stores it for the ANSI function); data stored
//     without one by others reads back at its own size, with a NUL added behind it when there
//     is room.
//   * The predefined registry roots are accepted as 0x80000000..6 and sign-extended; a root
//     handed back (opening a root with no subkey) comes back as 0x8000000N.
//   * NT entry points are looked up in ntdll.dll (a missing one answers STATUS_NOT_IMPLEMENTED),
//     the process-status functions in kernel32 (K32*) or psapi.dll. The object-attributes
//     length 24 or 48 is replaced by the system's own size.
//   * NtDeviceIoControlFile never returns with a request still pending: it waits for the
//     request (30 s, then cancels it) so that no reply lands in memory the caller has released.
//   * The thread's last-error value after a failing call is the call's own, not that of the
//     backend's conversions or clean-up calls.
#pragma once
#include "platform/api.h"

namespace tv::win32 {

// The interface set answering from the running Windows system. Install it with
// tv::platform::Install(tv::win32::RealPlatform()).
const tv::Platform& RealPlatform();

}  // namespace tv::win32
