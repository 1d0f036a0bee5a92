// Registry operations of the win32 backend. Names and string data (types 1, 2 and 7) cross the
// interface as UTF-8; the registry itself is read and written through the wide functions, so
// text outside the ANSI code page survives. Sizes of string data are UTF-8 byte counts, the way
// the ANSI functions count bytes of their code page.
#include <cstring>
#include <vector>

#include "platform/win32/win32_internal.h"
// After <windows.h>.
#include <shlwapi.h>

namespace tv::win32::detail {
namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Raw data as the registry stores it, turned into what crosses the interface.
std::vector<std::uint8_t> ToInterfaceData(DWORD type, const std::vector<BYTE>& raw) {
  if (!IsStringType(type)) return std::vector<std::uint8_t>(raw.begin(), raw.end());
  std::wstring units(raw.size() / 2, L'\0');
  if (!units.empty()) std::memcpy(units.data(), raw.data(), units.size() * sizeof(wchar_t));
  std::string utf8 = Narrow(units);
  return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

// Hands `payload` to the caller the way RegQueryValueExA does: type always; with no buffer
// only the size; with a buffer too small 234 and the size needed; a string that the registry
// holds without its NUL gets one appended when there is room (the size stays that of the data).
LONG Deliver(DWORD type, const std::vector<std::uint8_t>& payload, std::uint32_t* typeOut, void* data,
             std::uint32_t* size) {
  if (typeOut != nullptr) *typeOut = type;
  const auto needed = static_cast<std::uint32_t>(payload.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
  }
  if (needed > *size) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  auto* bytes = static_cast<std::uint8_t*>(data);
  if (!payload.empty()) std::memcpy(bytes, payload.data(), payload.size());
  if (IsStringType(type) && needed < *size && (payload.empty() || payload.back() != 0)) bytes[needed] = 0;
  *size = needed;
  return ERROR_SUCCESS;
}

// A name handed back into a buffer of `capacity` characters (with the NUL): 234 when it
// does not fit, with the part that fits.
LONG DeliverName(const std::string& full, std::string* name, std::uint32_t capacity) {
  if (full.size() >= capacity) {
    if (name != nullptr) *name = CutUtf8(full, capacity == 0 ? 0 : capacity - 1);
    return ERROR_MORE_DATA;
  }
  if (name != nullptr) *name = full;
  return ERROR_SUCCESS;
}

// Reads a value's type and raw bytes. ERROR_SUCCESS or the registry's error.
LONG ReadRaw(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& raw) {
  DWORD cb = 0;
  LONG r = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &cb);
  if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) return r;
  if (cb == 0) cb = 256;
  for (int attempt = 0; attempt < 16; ++attempt) {
    raw.assign(static_cast<std::size_t>(cb) + sizeof(wchar_t), 0);
    DWORD got = cb;
    r = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, raw.data(), &got);
    if (r == ERROR_SUCCESS) {
      raw.resize(got);
      return r;
    }
    if (r != ERROR_MORE_DATA) return r;
    // The value grew meanwhile (or the key does not report sizes): ask for more.
    cb = got > cb ? got : cb * 2;
  }
  return ERROR_MORE_DATA;
}

class Win32Registry final : public RegistryApi {
 public:
  std::int32_t RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY out = nullptr;
    std::wstring wsub;
    LONG r = ::RegOpenKeyW(ToHkey(key), WideOrNull(subKey, wsub), &out);
    *result = r == ERROR_SUCCESS ? FromHkey(out) : 0;
    return r;
  }

  std::int32_t RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                             Handle* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY out = nullptr;
    std::wstring wsub;
    LONG r = ::RegOpenKeyExW(ToHkey(key), WideOrNull(subKey, wsub), options, access, &out);
    *result = r == ERROR_SUCCESS ? FromHkey(out) : 0;
    return r;
  }

  std::int32_t RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY out = nullptr;
    std::wstring wsub;
    LONG r = ::RegCreateKeyW(ToHkey(key), WideOrNull(subKey, wsub), &out);
    *result = r == ERROR_SUCCESS ? FromHkey(out) : 0;
    return r;
  }

  std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type, void* data,
                                std::uint32_t* size) override {
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    DWORD t = REG_NONE;
    std::vector<BYTE> raw;
    LONG r = ReadRaw(ToHkey(key), Widen(valueName), t, raw);
    if (r != ERROR_SUCCESS) return r;
    return Deliver(t, ToInterfaceData(t, raw), type, data, size);
  }

  std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type, const void* data,
                              std::uint32_t size) override {
    if (data == nullptr && size != 0) return ERROR_NOACCESS;
    std::wstring wname = Widen(valueName);
    if (IsStringType(type)) {
      std::wstring text = Widen(std::string_view(static_cast<const char*>(data), size));
      // Text handed over without its terminating NUL is stored with one, as NT does for the
      // ANSI function (callers write strings without the NUL and read them back with it).
      if (!text.empty() && text.back() != L'\0') text.push_back(L'\0');
      return ::RegSetValueExW(ToHkey(key), wname.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                              static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    }
    return ::RegSetValueExW(ToHkey(key), wname.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  }

  std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) override {
    return ::RegDeleteValueW(ToHkey(key), Widen(valueName).c_str());
  }

  std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) override {
    return ::RegDeleteKeyW(ToHkey(key), Widen(subKey).c_str());
  }

  std::int32_t RegEnumValueA(Handle key, std::uint32_t index, std::string* name, std::uint32_t nameCapacity,
                             std::uint32_t* type, void* data, std::uint32_t* size) override {
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY hk = ToHkey(key);
    std::vector<wchar_t> wname(16384 + 1);  // the longest value name the registry allows, and a NUL
    std::vector<BYTE> raw(512);
    DWORD t = REG_NONE;
    LONG r = ERROR_MORE_DATA;
    DWORD nameLen = 0;
    for (int attempt = 0; attempt < 16 && r == ERROR_MORE_DATA; ++attempt) {
      nameLen = static_cast<DWORD>(wname.size());
      DWORD cb = static_cast<DWORD>(raw.size() - sizeof(wchar_t));
      r = ::RegEnumValueW(hk, index, wname.data(), &nameLen, nullptr, &t, raw.data(), &cb);
      if (r == ERROR_SUCCESS) {
        raw.resize(cb);
      } else if (r == ERROR_MORE_DATA) {
        const std::size_t want = static_cast<std::size_t>(cb) + sizeof(wchar_t);
        raw.assign(want > raw.size() ? want : raw.size() * 2, 0);
      }
    }
    if (r != ERROR_SUCCESS) return r;
    const std::string fullName = Narrow(std::wstring_view(wname.data(), nameLen));
    const std::vector<std::uint8_t> payload = ToInterfaceData(t, raw);
    if (DeliverName(fullName, name, nameCapacity) != ERROR_SUCCESS) {
      if (type != nullptr) *type = t;
      if (size != nullptr) *size = static_cast<std::uint32_t>(payload.size());
      return ERROR_MORE_DATA;
    }
    return Deliver(t, payload, type, data, size);
  }

  std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name,
                             std::uint32_t nameCapacity) override {
    wchar_t wname[256];  // key names are at most 255 characters
    DWORD len = 256;
    LONG r = ::RegEnumKeyExW(ToHkey(key), index, wname, &len, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) return r;
    return DeliverName(Narrow(std::wstring_view(wname, len)), name, nameCapacity);
  }

  std::int32_t RegCloseKey(Handle key) override { return ::RegCloseKey(ToHkey(key)); }

  std::int32_t SHDeleteKeyA(Handle key, const std::string& subKey) override {
    return static_cast<std::int32_t>(::SHDeleteKeyW(ToHkey(key), Widen(subKey).c_str()));
  }
};

}  // namespace

RegistryApi& RegistryBackend() {
  static Win32Registry instance;
  return instance;
}

}  // namespace tv::win32::detail
