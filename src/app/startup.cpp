// The start-up sequence, the event loop and the end of the windowed program.
#include "app/startup.h"

#include <algorithm>

#include "base/os_version.h"
#include "base/paths.h"
#include "base/platform_ops.h"
#include "platform/api.h"
#include "scan/scan_engine.h"
#include "scan/scan_lists.h"
#include "sysconfig/registry.h"
#include "ui/text_tables.h"

namespace tv::app {

namespace {

FrmMain* g_main = nullptr;

constexpr const char* kInstallKey = "SOFTWARE\\Tolvexa\\System";
constexpr std::uint32_t kDebugPrivilege = 20;

// Puts `kit` in force for the message boxes of the engines while StartUp runs.
class ToolkitScope {
 public:
  explicit ToolkitScope(ui::Toolkit& kit) : previous_(ui::CurrentToolkit()), kit_(kit) {
    if (previous_ != &kit_) ui::InstallToolkit(&kit_);
  }
  ~ToolkitScope() {
    if (previous_ != &kit_) ui::InstallToolkit(previous_);
  }

 private:
  ui::Toolkit* previous_;
  ui::Toolkit& kit_;
};

// The executable's name without its folder and without ".exe".
std::string ExeName() {
  std::string name = GetFileName(platform::Sys().GetModuleFileNameA(0));
  if (name.size() > 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".exe") name.resize(name.size() - 4);
  }
  return name;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  Handle h = platform::Files().CreateFileA(path, 0x40000000u, 0, 2, 0x80);
  if (h == kInvalidHandle) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    std::uint32_t chunk = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    std::uint32_t written = 0;
    ok = platform::Files().WriteFile(h, bytes.data() + done, chunk, &written) && written == chunk;
    done += chunk;
  }
  platform::Sys().CloseHandle(h);
  if (!ok) platform::Files().DeleteFileA(path);  // no half-written sound is left behind
  return ok;
}

}  // namespace

StartupState& State() {
  static StartupState s;
  return s;
}

FrmMain* MainWindow() { return g_main; }

std::function<std::string()>& AlertSoundBytes() {
  static std::function<std::string()> hook;
  return hook;
}

bool CheckWindowsVersion() {
  OsVersionInfo v;
  // A failed query leaves an empty record: no known platform, start-up goes on.
  if (!platform::Sys().GetVersionExA(v)) v = OsVersionInfo{0, 0, 0, 0, ""};
  State().osVersionText = OsVersionText(v);
  bool refused = false;
  if (v.platformId == 1) {
    refused = true;
  } else if (v.platformId == 2) {
    State().osMajorVersion = v.major;
    refused = v.major < 5;
  }
  if (refused)
    ui::MessageBox("Sorry! Tolvexa can't support " + State().osVersionText, "Warning !",
                   ui::mb::Ok | ui::mb::IconExclamation);
  return !refused;
}

bool InstallControlLibrary() { return true; }

bool ExtractSoundFile() {
  const std::string& path = Folders().SoundFile;
  if (path.empty() || DirListingFinds(path)) return false;
  if (!AlertSoundBytes()) return false;
  std::string bytes = AlertSoundBytes()();
  if (bytes.empty()) return false;
  return WriteWholeFile(path, bytes);
}

std::int32_t WriteInstallInfo() {
  const std::string version =
      std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "." + std::to_string(kAppRevision);
  const std::pair<const char*, std::string> values[] = {
      {"APP_PATH", Folders().AppDir + ExeName() + ".exe"},
      {"APP_VER", version},
      {"APP_BUILD", std::to_string(kAppRevision)},
  };
  std::int32_t status = 0;
  for (const auto& [name, data] : values) {
    status = RegWriteString(reg::CurrentUser, kInstallKey, name, data);
    if (status != 0) break;
  }
  return status;
}

int StartUp(ui::Toolkit& kit) { return StartUp(kit, DefaultParts()); }

int StartUp(ui::Toolkit& kit, MainWindowParts parts) {
  ToolkitScope scope(kit);

  // Process-wide values, the text tables and the trust list.
  InitFolders();
  ScanStopped() = true;
  Language() = "Default";
  LoadTextTables();
  UpdateList(1, kListLoad);

  // One instance: a window with the main caption belongs to an instance already running, which
  // is restored and activated; this one ends.
  if (kit.ActivateWindowByCaption(MainText()[0])) return 0;

  // The common controls register themselves with the toolkit; nothing to initialise here.

  if (!CheckWindowsVersion()) return 1;
  RefreshSysDir();

  StartupState& state = State();
  state.result.privilegeOk = AdjustPrivilege(kDebugPrivilege, true);
  if (!state.result.privilegeOk)
    ui::MessageBox("Adjust privilege failed.", "Error", ui::mb::Ok | ui::mb::IconExclamation);

  state.result.resourceOk = InstallControlLibrary();
  if (!state.result.resourceOk) {
    ui::MessageBox("Load resource failed,Tolvexa is quitted.", "Error", ui::mb::Ok | ui::mb::IconExclamation);
    return 1;
  }

  ExtractSoundFile();
  // The system would ask this process last at shutdown and without retries; the platform layer
  // has no such call and the default order does no harm, so the step does nothing.
  WriteInstallInfo();

  // The scan window outlives a Run() that ends without the Quit command (the Quit command
  // unloads it itself): it goes with the main window.
  const auto unloadScanWindow = parts.unloadScanWindow;
  FrmMain main(kit, std::move(parts), state.result);
  g_main = &main;
  main.Load();
  TrimWorkingSet();

  kit.Run();

  main.Terminate();
  if (unloadScanWindow) unloadScanWindow();
  g_main = nullptr;
  return 0;
}

}  // namespace tv::app
