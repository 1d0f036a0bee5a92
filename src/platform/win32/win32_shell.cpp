// Shell operations of the win32 backend: special folders, ShellExecute and the recycle bin.
#include <vector>

#include "platform/win32/win32_internal.h"
// After <windows.h>.
#include <shellapi.h>
#include <shlobj.h>

namespace tv::win32::detail {
namespace {

class Win32Shell final : public ShellApi {
 public:
  std::string GetSpecialFolderPath(int csidl) override {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || pidl == nullptr) return {};
    // SHGetPathFromIDListW writes at most MAX_PATH characters; the buffer is larger anyway.
    std::vector<wchar_t> buf(1024, L'\0');
    BOOL ok = ::SHGetPathFromIDListW(pidl, buf.data());
    ::CoTaskMemFree(pidl);
    if (!ok) return {};
    return NarrowZ(buf.data(), buf.size());
  }

  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                              const std::string& directory, int show) override {
    std::wstring wverb, wparams, wdir;
    std::wstring wfile = Widen(file);
    HINSTANCE r = ::ShellExecuteW(nullptr, WideOrNull(verb, wverb), wfile.c_str(), WideOrNull(parameters, wparams),
                                  WideOrNull(directory, wdir), show);
    return reinterpret_cast<std::intptr_t>(r);
  }

  int RecycleFile(const std::string& path) override {
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    // pFrom is a list of names ended by an empty one: the path and two NULs.
    std::wstring from = Widen(path);
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.pTo = nullptr;
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    int r = ::SHFileOperationW(&op);
    if (r == 0 && op.fAnyOperationsAborted) return ERROR_CANCELLED;
    return r;
  }

  std::int32_t SHEmptyRecycleBinA(Handle owner, const std::string& rootPath, std::uint32_t flags) override {
    std::wstring root;
    HRESULT hr = ::SHEmptyRecycleBinW(reinterpret_cast<HWND>(owner), WideOrNull(rootPath, root), flags);
    return static_cast<std::int32_t>(hr);
  }
};

}  // namespace

ShellApi& ShellBackend() {
  static Win32Shell instance;
  return instance;
}

}  // namespace tv::win32::detail
