// Process, thread, module and window operations of the win32 backend: toolhelp through the W
// structures, the process-status functions through kernel32's K32* exports (psapi.dll on
// systems that lack them), resolved at run time so that no psapi.h macro is ever in play.
#include <vector>

#include "platform/win32/win32_internal.h"
// After <windows.h>.
#include <tlhelp32.h>

namespace tv::win32::detail {
namespace {

// MODULEINFO as the process-status functions fill it.
struct NativeModuleInfo {
  LPVOID lpBaseOfDll;
  DWORD SizeOfImage;
  LPVOID EntryPoint;
};

typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, LPDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExWFn)(HANDLE, HMODULE, LPWSTR, DWORD);
typedef DWORD(WINAPI* GetProcessImageFileNameWFn)(HANDLE, LPWSTR, DWORD);
typedef BOOL(WINAPI* GetModuleInformationFn)(HANDLE, HMODULE, NativeModuleInfo*, DWORD);
typedef HANDLE(WINAPI* OpenThreadFn)(DWORD, BOOL, DWORD);

struct ProcessStatusExports {
  EnumProcessModulesFn enumProcessModules = nullptr;
  GetModuleFileNameExWFn getModuleFileNameExW = nullptr;
  GetProcessImageFileNameWFn getProcessImageFileNameW = nullptr;
  GetModuleInformationFn getModuleInformation = nullptr;
  OpenThreadFn openThread = nullptr;

  ProcessStatusExports() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    enumProcessModules = LookupExport<EnumProcessModulesFn>(kernel, "K32EnumProcessModules");
    getModuleFileNameExW = LookupExport<GetModuleFileNameExWFn>(kernel, "K32GetModuleFileNameExW");
    getProcessImageFileNameW = LookupExport<GetProcessImageFileNameWFn>(kernel, "K32GetProcessImageFileNameW");
    getModuleInformation = LookupExport<GetModuleInformationFn>(kernel, "K32GetModuleInformation");
    openThread = LookupExport<OpenThreadFn>(kernel, "OpenThread");
    if (enumProcessModules == nullptr || getModuleFileNameExW == nullptr || getProcessImageFileNameW == nullptr ||
        getModuleInformation == nullptr) {
      // Before Windows 7 the same functions live in psapi.dll under their plain names.
      HMODULE psapi = ::LoadLibraryW(L"psapi.dll");
      if (enumProcessModules == nullptr)
        enumProcessModules = LookupExport<EnumProcessModulesFn>(psapi, "EnumProcessModules");
      if (getModuleFileNameExW == nullptr)
        getModuleFileNameExW = LookupExport<GetModuleFileNameExWFn>(psapi, "GetModuleFileNameExW");
      if (getProcessImageFileNameW == nullptr)
        getProcessImageFileNameW = LookupExport<GetProcessImageFileNameWFn>(psapi, "GetProcessImageFileNameW");
      if (getModuleInformation == nullptr)
        getModuleInformation = LookupExport<GetModuleInformationFn>(psapi, "GetModuleInformation");
    }
  }
};

const ProcessStatusExports& Psapi() {
  static const ProcessStatusExports exports;
  return exports;
}

// Longest path text the process-status functions are asked for.
constexpr DWORD kPathUnits = 32768;

void Fill(const PROCESSENTRY32W& w, ProcessEntry32& e) {
  e.th32ProcessID = w.th32ProcessID;
  e.cntThreads = w.cntThreads;
  e.th32ParentProcessID = w.th32ParentProcessID;
  e.pcPriClassBase = w.pcPriClassBase;
  e.szExeFile = NarrowZ(w.szExeFile, MAX_PATH);
}

void Fill(const MODULEENTRY32W& w, ModuleEntry32& e) {
  e.th32ProcessID = w.th32ProcessID;
  e.modBaseAddr = reinterpret_cast<std::uintptr_t>(w.modBaseAddr);
  e.modBaseSize = w.modBaseSize;
  e.hModule = reinterpret_cast<Handle>(w.hModule);
  e.szModule = NarrowZ(w.szModule, MAX_MODULE_NAME32 + 1);
  e.szExePath = NarrowZ(w.szExePath, MAX_PATH);
}

void Fill(const THREADENTRY32& w, ThreadEntry32& e) {
  e.th32ThreadID = w.th32ThreadID;
  e.th32OwnerProcessID = w.th32OwnerProcessID;
  e.tpBasePri = w.tpBasePri;
}

class Win32Processes final : public ProcessApi {
 public:
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t pid) override {
    return FromHandle(::CreateToolhelp32Snapshot(flags, pid));
  }

  bool Process32First(Handle snap, ProcessEntry32& e) override {
    PROCESSENTRY32W w{};
    w.dwSize = sizeof(w);
    if (!::Process32FirstW(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }
  bool Process32Next(Handle snap, ProcessEntry32& e) override {
    PROCESSENTRY32W w{};
    w.dwSize = sizeof(w);
    if (!::Process32NextW(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }
  bool Module32First(Handle snap, ModuleEntry32& e) override {
    MODULEENTRY32W w{};
    w.dwSize = sizeof(w);
    if (!::Module32FirstW(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }
  bool Module32Next(Handle snap, ModuleEntry32& e) override {
    MODULEENTRY32W w{};
    w.dwSize = sizeof(w);
    if (!::Module32NextW(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }
  bool Thread32First(Handle snap, ThreadEntry32& e) override {
    THREADENTRY32 w{};
    w.dwSize = sizeof(w);
    if (!::Thread32First(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }
  bool Thread32Next(Handle snap, ThreadEntry32& e) override {
    THREADENTRY32 w{};
    w.dwSize = sizeof(w);
    if (!::Thread32Next(ToHandle(snap), &w)) return false;
    Fill(w, e);
    return true;
  }

  Handle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t pid) override {
    return FromHandle(::OpenProcess(access, inherit ? TRUE : FALSE, pid));
  }

  Handle OpenThread(std::uint32_t access, bool inherit, std::uint32_t tid) override {
    // OpenThread is missing on Windows 2000 before its first service packs.
    auto fn = Psapi().openThread;
    if (fn == nullptr) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return 0;
    }
    return FromHandle(fn(access, inherit ? TRUE : FALSE, tid));
  }

  bool TerminateProcess(Handle process, std::uint32_t exitCode) override {
    return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
  }

  bool TerminateThread(Handle thread, std::uint32_t exitCode) override {
    return ::TerminateThread(ToHandle(thread), exitCode) != FALSE;
  }

  bool GetExitCodeProcess(Handle process, std::uint32_t* code) override {
    DWORD c = 0;
    BOOL ok = ::GetExitCodeProcess(ToHandle(process), &c);
    if (ok && code != nullptr) *code = c;
    return ok != FALSE;
  }

  bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t cb, std::uint32_t* needed) override {
    auto fn = Psapi().enumProcessModules;
    if (fn == nullptr) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return false;
    }
    const std::size_t room = modules != nullptr ? cb / sizeof(HMODULE) : 0;
    std::vector<HMODULE> list(room);
    DWORD need = 0;
    BOOL ok = fn(ToHandle(process), list.empty() ? nullptr : list.data(),
                 static_cast<DWORD>(room * sizeof(HMODULE)), &need);
    if (needed != nullptr) *needed = need;
    if (!ok) return false;
    const std::size_t got = need / sizeof(HMODULE) < room ? need / sizeof(HMODULE) : room;
    for (std::size_t i = 0; i < got; ++i) modules[i] = reinterpret_cast<Handle>(list[i]);
    return true;
  }

  std::string GetModuleFileNameExA(Handle process, Handle module, std::uint32_t capacity) override {
    auto fn = Psapi().getModuleFileNameExW;
    if (fn == nullptr || capacity == 0) return {};
    std::vector<wchar_t> buf(kPathUnits, L'\0');
    DWORD n = fn(ToHandle(process), reinterpret_cast<HMODULE>(module), buf.data(), kPathUnits);
    if (n == 0) return {};
    return CutUtf8(Narrow(std::wstring_view(buf.data(), n)), capacity - 1);
  }

  std::string GetProcessImageFileNameA(Handle process, std::uint32_t capacity) override {
    auto fn = Psapi().getProcessImageFileNameW;
    if (fn == nullptr || capacity == 0) return {};
    std::vector<wchar_t> buf(kPathUnits, L'\0');
    DWORD n = fn(ToHandle(process), buf.data(), kPathUnits);
    if (n == 0) return {};
    return CutUtf8(Narrow(std::wstring_view(buf.data(), n)), capacity - 1);
  }

  bool GetModuleInformation(Handle process, Handle module, ModuleInfo& out) override {
    auto fn = Psapi().getModuleInformation;
    if (fn == nullptr) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return false;
    }
    NativeModuleInfo info{};
    if (!fn(ToHandle(process), reinterpret_cast<HMODULE>(module), &info, sizeof(info))) return false;
    out.lpBaseOfDll = reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll);
    out.SizeOfImage = info.SizeOfImage;
    out.EntryPoint = reinterpret_cast<std::uintptr_t>(info.EntryPoint);
    return true;
  }

  bool ReadProcessMemory(Handle process, std::uintptr_t address, void* buffer, std::size_t size,
                         std::size_t* read) override {
    SIZE_T done = 0;
    BOOL ok = ::ReadProcessMemory(ToHandle(process), reinterpret_cast<LPCVOID>(address), buffer, size, &done);
    if (read != nullptr) *read = done;
    return ok != FALSE;
  }

  bool DuplicateHandle(Handle sourceProcess, Handle source, Handle targetProcess, Handle* target,
                       std::uint32_t access, bool inherit, std::uint32_t options) override {
    HANDLE out = nullptr;
    BOOL ok = ::DuplicateHandle(ToHandle(sourceProcess), ToHandle(source), ToHandle(targetProcess),
                                target != nullptr ? &out : nullptr, access, inherit ? TRUE : FALSE, options);
    if (target != nullptr) *target = ok ? FromHandle(out) : 0;
    return ok != FALSE;
  }

  bool SetProcessWorkingSetSize(Handle process, std::uintptr_t minimum, std::uintptr_t maximum) override {
    return ::SetProcessWorkingSetSize(ToHandle(process), minimum, maximum) != FALSE;
  }

  Handle GetCurrentProcess() override { return FromHandle(::GetCurrentProcess()); }
};

// ----------------------------------------------------------------- windows ----
class Win32Windows final : public WindowApi {
 public:
  Handle FindWindowA(const char* className, const char* title) override {
    std::wstring wclass, wtitle;
    return FromHwnd(::FindWindowW(OptionalWide(className, wclass), OptionalWide(title, wtitle)));
  }
  Handle GetParent(Handle hwnd) override { return FromHwnd(::GetParent(ToHwnd(hwnd))); }
  Handle GetWindow(Handle hwnd, std::uint32_t relation) override {
    return FromHwnd(::GetWindow(ToHwnd(hwnd), relation));
  }
  std::uint32_t GetWindowThreadProcessId(Handle hwnd, std::uint32_t* pid) override {
    DWORD p = 0;
    DWORD tid = ::GetWindowThreadProcessId(ToHwnd(hwnd), &p);
    if (pid != nullptr) *pid = p;
    return tid;
  }
  bool PostMessageA(Handle hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    return ::PostMessageW(ToHwnd(hwnd), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
  }
};

}  // namespace

ProcessApi& ProcessBackend() {
  static Win32Processes instance;
  return instance;
}

WindowApi& WindowBackend() {
  static Win32Windows instance;
  return instance;
}

}  // namespace tv::win32::detail
