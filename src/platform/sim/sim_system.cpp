// System values, shell and trust verification of the simulated machine.
#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kErrEnvVarNotFound = 203, kErrModNotFound = 126;
}

bool SimMachine::Impl::GetVersionExA(OsVersionInfo& out) {
  auto g = Enter("GetVersionExA");
  out = st.version;
  SetError(0);
  return true;
}

std::string SimMachine::Impl::GetWindowsDirectoryA() {
  auto g = Enter("GetWindowsDirectoryA");
  return st.windowsDir;
}

std::string SimMachine::Impl::GetSystemDirectoryA() {
  auto g = Enter("GetSystemDirectoryA");
  return st.systemDir;
}

std::string SimMachine::Impl::GetTempPathA() {
  auto g = Enter("GetTempPathA");
  std::string t = st.tempDir;
  if (!t.empty() && t.back() != '\\') t += '\\';
  return t;
}

std::string SimMachine::Impl::GetModuleFileNameA(Handle module) {
  auto g = Enter("GetModuleFileNameA");
  if (module == 0) {
    SetError(0);
    return st.appPath;
  }
  if (Process* self = Self())
    for (const auto& mod : self->modules)
      if (mod.base == module) {
        SetError(0);
        return mod.path;
      }
  SetError(kErrModNotFound);
  return "";
}

std::string SimMachine::Impl::GetEnvironmentVariableA(const std::string& name) {
  auto g = Enter("GetEnvironmentVariableA");
  for (const auto& [k, v] : st.environment)
    if (IEquals(k, name)) {
      SetError(0);
      return v;
    }
  SetError(kErrEnvVarNotFound);
  return "";
}

std::uint32_t SimMachine::Impl::GetTickCount() {
  auto g = Enter("GetTickCount");
  return st.tickCount++;
}

void SimMachine::Impl::Sleep(std::uint32_t ms) {
  auto g = Enter("Sleep");
  st.tickCount += ms;
}

std::uint32_t SimMachine::Impl::GetCurrentProcessId() {
  auto g = Enter("GetCurrentProcessId");
  return st.selfPid;
}

std::uint32_t SimMachine::Impl::GetCurrentThreadId() {
  auto g = Enter("GetCurrentThreadId");
  Process* self = Self();
  return (self && !self->threads.empty()) ? self->threads.front().tid : 0;
}

std::vector<std::string> SimMachine::Impl::GetLogicalDriveStringsA() {
  auto g = Enter("GetLogicalDriveStringsA");
  std::map<std::string, int> drives;  // sorted by letter
  for (const auto& [d, dev] : st.dosDevices) drives[Upper(d)] = 0;
  std::vector<std::string> out;
  for (const auto& [d, unused] : drives) out.push_back(d + "\\");
  return out;
}

std::string SimMachine::Impl::QueryDosDeviceA(const std::string& drive) {
  auto g = Enter("QueryDosDeviceA");
  for (const auto& [d, dev] : st.dosDevices)
    if (IEquals(d, drive)) {
      SetError(0);
      return dev;
    }
  SetError(err::FileNotFound);
  return "";
}

bool SimMachine::Impl::CloseHandle(Handle h) {
  auto g = Enter("CloseHandle");
  if (h == kCurrentProcess || h == kCurrentThread) {
    SetError(0);
    return true;
  }
  HandleObj* o = Get(h);
  if (!o || !InHandleTable(*o)) {  // find and service handles have their own close calls
    SetError(err::InvalidHandle);
    return false;
  }
  Close(h);
  SetError(0);
  return true;
}

Handle SimMachine::Impl::CreateEventA(bool, bool) {
  auto g = Enter("CreateEventA");
  HandleObj o;
  o.kind = HKind::Event;
  o.access = 0x1F0003;
  SetError(0);
  return NewHandle(o);
}

// ------------------------------------------------------------------ shell ----
std::string SimMachine::Impl::GetSpecialFolderPath(int csidl) {
  auto g = Enter("GetSpecialFolderPath");
  auto it = st.specialFolders.find(csidl);
  return it == st.specialFolders.end() ? "" : it->second;
}

std::intptr_t SimMachine::Impl::ShellExecuteA(const std::string& verb, const std::string& file,
                                              const std::string& parameters, const std::string& directory,
                                              int show) {
  auto g = Enter("ShellExecuteA");
  st.shellExecuted.push_back({verb, file, parameters, directory, show});
  std::string c = CanonicalPath(file);
  bool exists = !c.empty() && AttributesOf(c) != fattr::Invalid;
  // A bare program name ("notepad", "regedit") is found on the search path; a path must exist.
  bool looksLikePath = file.find('\\') != std::string::npos || file.find(':') != std::string::npos;
  if (looksLikePath && !exists) return 2;  // SE_ERR_FNF
  return 42;
}

int SimMachine::Impl::RecycleFile(const std::string& path) {
  auto g = Enter("RecycleFile");
  std::string c = CanonicalPath(path);
  if (c.empty() || c.size() <= 3 || AttributesOf(c) == fattr::Invalid) return 2;
  const std::string key = Lower(c);
  std::vector<File> kept;
  for (auto& f : st.files) {
    std::string k = Lower(CanonicalPath(f.path));
    if (k == key || k.rfind(key + "\\", 0) == 0) continue;
    kept.push_back(std::move(f));
  }
  st.files = std::move(kept);
  st.recycled.push_back(c);
  return 0;
}

// ------------------------------------------------------------------ trust ----
std::int32_t SimMachine::Impl::WinVerifyTrust(const std::string& path, bool) {
  auto g = Enter("WinVerifyTrust");
  std::string c = Lower(CanonicalPath(path));
  for (const auto& [p, result] : st.signatures)
    if (Lower(CanonicalPath(p)) == c || IEquals(p, path)) return result;
  return static_cast<std::int32_t>(0x800B0100u);  // TRUST_E_NOSIGNATURE
}

}  // namespace tv::sim
