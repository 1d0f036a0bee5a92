// Shared helpers of the win32 backend: UTF-8 <-> UTF-16 conversion at the API boundary,
// Handle <-> HANDLE/HKEY casts, and run-time lookup of optional exports.
// Only the backend's own .cpp files include this header.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/api.h"

namespace tv::win32::detail {

// UTF-8 -> UTF-16. Embedded NULs are kept (the length is explicit). Invalid sequences become
// U+FFFD. The thread's last-error value is left as it was.
std::wstring Widen(std::string_view text);
// UTF-16 -> UTF-8, embedded NULs kept. Last-error value left as it was.
std::string Narrow(std::wstring_view text);
// UTF-16 up to the first NUL (or `maxUnits`) -> UTF-8.
std::string NarrowZ(const wchar_t* text, std::size_t maxUnits = static_cast<std::size_t>(-1));

// Cuts UTF-8 text to at most `maxBytes` bytes without splitting a character.
std::string CutUtf8(std::string text, std::size_t maxBytes);

// nullptr for a null C string, otherwise the widened text (kept alive in `storage`).
const wchar_t* OptionalWide(const char* text, std::wstring& storage);
// nullptr for an empty string, otherwise the widened text (kept alive in `storage`).
const wchar_t* WideOrNull(const std::string& text, std::wstring& storage);

inline HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
inline Handle FromHandle(HANDLE h) { return reinterpret_cast<Handle>(h); }
inline HWND ToHwnd(Handle h) { return reinterpret_cast<HWND>(h); }
inline Handle FromHwnd(HWND h) { return reinterpret_cast<Handle>(h); }

// The predefined registry roots travel as 0x80000000..0x80000006; on 64-bit Windows the real
// values are those numbers sign-extended. Both spellings are accepted.
HKEY ToHkey(Handle key);
Handle FromHkey(HKEY key);

// GetProcAddress cast to the wanted function-pointer type; nullptr when the module or export
// is missing.
template <class Fn>
Fn LookupExport(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  FARPROC p = ::GetProcAddress(module, name);
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

// Keeps the thread's last-error value across clean-up calls made after the call that set it.
class SavedLastError {
 public:
  SavedLastError() : value_(::GetLastError()) {}
  ~SavedLastError() { ::SetLastError(value_); }
  SavedLastError(const SavedLastError&) = delete;
  SavedLastError& operator=(const SavedLastError&) = delete;
  DWORD value() const { return value_; }

 private:
  DWORD value_;
};

// The single instances of each area, defined in the area's file.
SystemApi& SystemBackend();
FileApi& FileBackend();
RegistryApi& RegistryBackend();
ProcessApi& ProcessBackend();
WindowApi& WindowBackend();
NtApi& NtBackend();
ServiceApi& ServiceBackend();
NetApi& NetBackend();
ShellApi& ShellBackend();
TrustApi& TrustBackend();

}  // namespace tv::win32::detail
