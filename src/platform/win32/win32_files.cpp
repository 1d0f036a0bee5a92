// File, find, version-information and device-control operations of the win32 backend.
#include "platform/win32/win32_internal.h"

namespace tv::win32::detail {
namespace {

void FillFindData(const WIN32_FIND_DATAW& w, FindData& out) {
  out.attributes = w.dwFileAttributes;
  out.size = (static_cast<std::uint64_t>(w.nFileSizeHigh) << 32) | w.nFileSizeLow;
  out.fileName = NarrowZ(w.cFileName, sizeof(w.cFileName) / sizeof(wchar_t));
}

class Win32Files final : public FileApi {
 public:
  std::uint32_t GetFileAttributesA(const std::string& path) override {
    return ::GetFileAttributesW(Widen(path).c_str());
  }

  bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override {
    return ::SetFileAttributesW(Widen(path).c_str(), attributes) != FALSE;
  }

  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flagsAndAttributes) override {
    HANDLE h = ::CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition, flagsAndAttributes,
                             nullptr);
    return FromHandle(h);
  }

  bool ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    DWORD done = 0;
    BOOL ok = ::ReadFile(ToHandle(h), buffer, size, &done, nullptr);
    if (read != nullptr) *read = done;
    return ok != FALSE;
  }

  bool WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) override {
    DWORD done = 0;
    BOOL ok = ::WriteFile(ToHandle(h), buffer, size, &done, nullptr);
    if (written != nullptr) *written = done;
    return ok != FALSE;
  }

  std::uint64_t GetFileSize(Handle h) override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(ToHandle(h), &size)) return ~std::uint64_t(0);
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::uint64_t SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) override {
    LARGE_INTEGER move{};
    move.QuadPart = distance;
    LARGE_INTEGER now{};
    if (!::SetFilePointerEx(ToHandle(h), move, &now, method)) return ~std::uint64_t(0);
    return static_cast<std::uint64_t>(now.QuadPart);
  }

  bool FlushFileBuffers(Handle h) override { return ::FlushFileBuffers(ToHandle(h)) != FALSE; }

  bool DeleteFileA(const std::string& path) override { return ::DeleteFileW(Widen(path).c_str()) != FALSE; }

  bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override {
    std::wstring wto;
    return ::MoveFileExW(Widen(from).c_str(), WideOrNull(to, wto), flags) != FALSE;
  }

  bool CreateDirectoryA(const std::string& path) override {
    return ::CreateDirectoryW(Widen(path).c_str(), nullptr) != FALSE;
  }

  bool RemoveDirectoryA(const std::string& path) override {
    return ::RemoveDirectoryW(Widen(path).c_str()) != FALSE;
  }

  Handle FindFirstFileA(const std::string& pattern, FindData& out) override {
    WIN32_FIND_DATAW w{};
    HANDLE h = ::FindFirstFileW(Widen(pattern).c_str(), &w);
    if (h != INVALID_HANDLE_VALUE) FillFindData(w, out);
    return FromHandle(h);
  }

  bool FindNextFileA(Handle find, FindData& out) override {
    WIN32_FIND_DATAW w{};
    if (!::FindNextFileW(ToHandle(find), &w)) return false;
    FillFindData(w, out);
    return true;
  }

  bool FindClose(Handle find) override { return ::FindClose(ToHandle(find)) != FALSE; }

  std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) override {
    DWORD dummy = 0;
    DWORD n = ::GetFileVersionInfoSizeW(Widen(path).c_str(), &dummy);
    if (handle != nullptr) *handle = dummy;
    return n;
  }

  bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                           void* buffer) override {
    if (buffer == nullptr || size == 0) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    return ::GetFileVersionInfoW(Widen(path).c_str(), handle, size, buffer) != FALSE;
  }

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override {
    DWORD done = 0;
    BOOL ok = ::DeviceIoControl(ToHandle(device), code, const_cast<void*>(in), inSize, out, outSize, &done,
                                nullptr);
    if (bytesReturned != nullptr) *bytesReturned = done;
    return ok != FALSE;
  }
};

}  // namespace

FileApi& FileBackend() {
  static Win32Files instance;
  return instance;
}

}  // namespace tv::win32::detail
