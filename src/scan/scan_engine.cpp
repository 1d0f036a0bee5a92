// Start-up item collection, the Smart Scan and the cleaning of a threat.
#include "scan/scan_engine.h"

#include <unordered_set>
#include <vector>

#include "base/paths.h"
#include "base/platform_ops.h"
#include "base/record_text.h"
#include "platform/api.h"
#include "scan/risk.h"
#include "sysconfig/registry.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "tools/file_delete.h"
#include "ui/text_tables.h"

namespace tv {

namespace {

constexpr const char* kShellExecuteHooksKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
constexpr const char* kSharedTaskSchedulerKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
constexpr const char* kWinlogonKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kNtWindowsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoadKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kIfeoKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr const char* kSessionManagerKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
// The locations whose "load", "run", "Run" or unnamed value starts a program (category 32); their
// other values yield no item.
constexpr const char* kPolicyRunKeys[] = {
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
};
constexpr const char* kBhoGroup = "BHOGroup";
constexpr const char* kServiceGroup = "ServiceGroup";

bool SameKey(const std::string& a, const char* b) { return LowerText(a) == LowerText(b); }

std::string CutAndTrim(const std::string& s) { return TrimBlanks(CutAtFirstNul(s)); }

// The library of a COM class: the default value of its InprocServer32 key, in its drive-letter
// form when it cannot be opened as written.
std::string ClassServer(const std::string& clsid) {
  std::string path = CutAndTrim(ReadClassDefault("CLSID\\" + clsid + "\\InprocServer32"));
  if (!FileCanBeOpened(path)) path = ConvertDevicePath(path, false);
  return path;
}

// The image of a command line: the text itself when it names a file, else the path in it.
std::string CommandImage(const std::string& data) {
  return FileCanBeOpened(data) ? data : GetImagePathFromCommand(data, true);
}

// The items one registry start-up entry yields: their objects and category (none: no object).
struct EntryItems {
  std::vector<std::string> objects;
  std::int32_t category = kCatStartupValue;
};

EntryItems DecideEntry(const std::string& key, const std::string& name, const std::string& data) {
  EntryItems e;
  if (SameKey(key, kShellExecuteHooksKey) || SameKey(key, kSharedTaskSchedulerKey)) {
    e.category = SameKey(key, kShellExecuteHooksKey) ? kCatShellExecuteHooks : kCatSharedTaskScheduler;
    e.objects.push_back(ClassServer(name));
    return e;
  }
  if (SameKey(key, kWinlogonKey) || SameKey(key, kNtWindowsKey)) {
    if (name == "Userinit" || name == "Appinit_Dlls") {
      e.category = name == "Userinit" ? kCatUserinit : kCatAppInitDlls;
      e.objects = SplitPathList(data);
    } else {
      e.category = (name == "UIHost" || name == "Shell") ? kCatWinlogonShell : kCatStartupValue;
      e.objects.push_back(CommandImage(data));
    }
    return e;
  }
  if (SameKey(key, kDelayLoadKey)) {
    e.category = kCatShellServiceObjectDelayLoad;
    e.objects.push_back(ClassServer(data));
    return e;
  }
  if (SameKey(key, kIfeoKey)) {
    e.category = kCatImageFileExecutionOptions;
    e.objects.push_back(name);
    return e;
  }
  if (SameKey(key, kSessionManagerKey)) {
    e.category = kCatBootExecute;
    std::string object = LowerText(data).rfind("autocheck autochk", 0) == 0 ? Folders().SysDir + "autochk.exe" : data;
    if (!FileCanBeOpened(object)) object = GetImagePathFromCommand(data, true);
    e.objects.push_back(object);
    return e;
  }
  for (const char* policyKey : kPolicyRunKeys) {
    if (!SameKey(key, policyKey)) continue;
    if (name == "load" || name == "run" || name == "Run" || name.empty()) {
      e.category = kCatPolicyRun;
      e.objects.push_back(CommandImage(data));
    }
    return e;
  }
  e.category = kCatStartupValue;
  e.objects.push_back(CommandImage(data));
  return e;
}

ScanItem NewItem(const std::string& object, const std::string& keyPath, const std::string& valueName,
                 const std::string& group, std::int32_t entryKind, std::int32_t category) {
  ScanItem item;
  item.Object = object;
  item.KeyPath = keyPath;
  item.ValueName = valueName;
  item.Group = group;
  item.EntryKind = entryKind;
  item.Category = category;
  return item;
}

bool IsFullPath(const std::string& path) {
  const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.rfind("\\\\", 0) == 0;
}

void Warn(const std::string& text) { ui::MessageBox(text, "Warning", ui::mb::Ok | ui::mb::IconExclamation); }

}  // namespace

void ScanProgress::Alert() { PlayAlertSound(); }

ScanProgress& DefaultScanProgress() {
  static ScanProgress progress;
  return progress;
}

bool& ScanStopped() {
  static bool stopped = true;
  return stopped;
}

std::int32_t& ThreatCount() {
  static std::int32_t count = 0;
  return count;
}

ScanItem& RecordThreat(const ScanItem& item) {
  ScanTable& threats = ThreatList();
  const std::size_t slot = static_cast<std::size_t>(++ThreatCount() - 1);
  if (slot < threats.size()) {
    threats[slot] = item;
  } else {
    threats.resize(slot);
    threats.push_back(item);
  }
  return threats[slot];
}

void CollectStartupItems(ScanProgress& progress) {
  ScanTable& items = StartupItemList();
  items.clear();

  GetStartupItems();
  for (const StartupRecord& r : StartupList()) {
    const std::string key = CutAndTrim(r.KeyPath), name = CutAndTrim(r.Name), data = CutAndTrim(r.Value);
    const EntryItems e = DecideEntry(key, name, data);
    for (const std::string& object : e.objects)
      items.push_back(NewItem(object, key, name, r.KeyName, r.ItemKind, e.category));
  }

  progress.DoEvents();
  GetBrowserHelperObjects();
  for (const StartupRecord& r : BhoList()) {
    std::string path = CutAndTrim(r.Value);
    if (!FileCanBeOpened(path)) path = ConvertDevicePath(path, false);
    items.push_back(NewItem(path, r.KeyPath, r.Name, kBhoGroup, 1, kCatBrowserHelperObject));
  }

  progress.DoEvents();
  GetServices();
  for (const ServiceRecord& s : ServiceList()) {
    if (!(s.Start < 3 || s.Status == 4)) continue;
    const std::string image = FileCanBeOpened(s.ImagePath) ? s.ImagePath : GetImagePathFromCommand(s.ImagePath, false);
    items.push_back(NewItem(image, kServicesKeyPath, s.Name, kServiceGroup, 1, kCatService));
  }

  progress.DoEvents();
  std::unordered_set<std::string> trusted;  // exact texts
  for (const ScanItem& t : TrustList()) trusted.insert(t.Object.str());
  ScanTable& black = BlackList();
  black.clear();
  for (ScanItem& item : items) {
    std::string path = item.Object.str();
    item.RiskLevel = GetRiskLevel(path, item.Category);
    item.Object = path;
    if (item.RiskLevel == kRiskNone || trusted.count(item.Object.str())) continue;
    black.push_back(item);
  }
}

void SmartScan(ScanProgress& progress) {
  ScanTable& items = StartupItemList();
  progress.SetProgressMax(static_cast<std::int32_t>(items.size()));
  progress.SetStatus(ScanText()[8]);
  progress.SetPhase(ScanText()[0]);
  ThreatCount() = 0;

  std::unordered_set<std::string> trusted;  // letter case ignored
  for (const ScanItem& t : TrustList()) trusted.insert(LowerText(t.Object.str()));

  ScanTable found;
  for (std::size_t i = 0; i < items.size(); ++i) {
    ScanItem& item = items[i];
    if (item.Category != kCatImageFileExecutionOptions) {
      std::string path = item.Object.str();
      item.RiskLevel = GetRiskLevel(path, item.Category);
      item.Object = path;
    } else {
      item.KeyPath = item.KeyPath.str();
      item.ValueName = item.ValueName.str();
      std::string keyPath = item.KeyPath.str() + "\\" + item.ValueName.str();
      item.RiskLevel = GetRiskLevel(keyPath, kCatImageFileExecutionOptions);
    }

    if (item.RiskLevel >= kRiskUnknown) {
      if (trusted.count(LowerText(item.Object.str()))) {
        // A trusted file is passed over without a display update.
        if (ScanStopped()) break;
        continue;
      }
      found.push_back(item);
      const ScanItem& threat = RecordThreat(item);
      progress.SetFoundCount(ThreatCount());
      ui::ListRow row;
      row.text = threat.Object.str();
      row.icon = threat.RiskLevel + 1;
      row.subItems = {RiskText(threat.RiskLevel), ScanText()[15], LocationText(threat)};
      progress.AddResultRow(threat, row);
      progress.Alert();
    }

    progress.SetCurrentObject(LocationText(item));
    progress.SetScannedCount(static_cast<std::int32_t>(i + 1));
    progress.SetProgressValue(static_cast<std::int32_t>(i + 1));
    progress.DoEvents();
    if (ScanStopped()) break;
  }
  BlackList() = std::move(found);
}

std::int32_t CleanThreat(const std::string& objectText, const std::string& keyPathText,
                         const std::string& valueNameText, const std::string& groupText, std::int32_t entryKind,
                         bool quiet) {
  std::string object = TrimBlanks(objectText);
  const std::string keyPath = TrimBlanks(keyPathText), valueName = TrimBlanks(valueNameText),
                    group = TrimBlanks(groupText);

  // The file: only a full path names one. An Image File Execution Options item names a program
  // by its bare name, which must not delete a file of that name in the current folder.
  bool fileFailed = false;
  if (IsFullPath(object) && FileExists(object)) {
    std::string path = object;
    if (DeleteFileByMode(path, kNormalDelete, false) != 1) {
      path = object;
      if (DeleteFileByMode(path, kForceDelete, false) != 1) {
        fileFailed = true;
        if (!quiet) Warn("Clean threat file failed:{" + object + "}");
      }
    }
  }

  std::int32_t status = 0;
  if (entryKind == 0) {
    if (group == "Winlogon") {
      if (valueName == "Userinit")
        status = WriteRegValue(keyPath, "Userinit", Folders().SysDir + "userinit.exe", reg::Sz);
      else if (valueName == "Shell")
        status = WriteRegValue(keyPath, "Shell", "Explorer.exe", reg::Sz);
      else if (valueName == "UIHost")
        status = WriteRegValue(keyPath, "UIHost", "logonui.exe", reg::ExpandSz);
    } else if (group == "Session Manager") {
      status = WriteRegValue(keyPath, "BootExecute", "autocheck autochk *", reg::MultiSz);
    } else {
      status = DeleteRegValue(keyPath, valueName);
      // The start-up list names the unnamed value "(Default)".
      if (status != 0 && valueName == "(Default)") status = DeleteRegValue(keyPath, "");
    }
  } else {
    status = DeleteRegKey(keyPath, valueName);
    if (status != 0) status = DeleteRegTree(keyPath, valueName);
  }
  if (status != 0 && !quiet)
    Warn("Clean registry failed:{" + keyPath + (entryKind == 0 ? " : " : "\\") + valueName + "}");

  return !fileFailed && status == 0 ? kResultDone : kResultCleanFailed;
}

std::int32_t CleanThreat(const ScanItem& item, bool quiet) {
  return CleanThreat(item.Object.str(), item.KeyPath.str(), item.ValueName.str(), item.Group.str(), item.EntryKind,
                     quiet);
}

void ResetThreatList(std::int32_t mode) {
  ScanTable& threats = ThreatList();
  switch (mode) {
    case 0:
    case 3:
      threats.clear();
      break;
    case 1:
      threats.resize(static_cast<std::size_t>(ThreatCount() > 0 ? ThreatCount() : 0));
      break;
    default:
      return;
  }
  TrimWorkingSet();
}

void PlayAlertSound() { (void)platform::Sys().sndPlaySoundA(Folders().SoundFile, 1); }

void RunSmartScan(ScanProgress& progress) {
  ScanCacheScope cache;
  ScanStopped() = false;
  progress.SetStatus(ScanText()[5]);
  progress.SetPhase(ScanText()[5]);
  ThreatCount() = 0;
  progress.SetProgressValue(0);
  progress.SetScannedCount(0);
  progress.SetFoundCount(0);
  ResetThreatList(0);
  CollectStartupItems(progress);
  progress.DoEvents();
  SmartScan(progress);
  ResetThreatList(1);
  progress.SetPhase(ScanText()[7]);
  progress.SetCurrentObject("");
  progress.SetStatus(ScanText()[7]);
  ScanStopped() = true;
}

}  // namespace tv
