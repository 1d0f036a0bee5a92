// The memory scan and the system scan.
#include "scan/blacklist_scan.h"

#include <vector>

#include "base/record_text.h"
#include "fileinfo/version.h"
#include "base/paths.h"
#include "platform/api.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "scan/risk.h"
#include "ui/text_tables.h"

namespace tv {

namespace {

std::string CutAndTrim(const std::string& s) { return TrimBlanks(CutAtFirstNul(s)); }

bool IsFolder(const FindData& fd) { return (fd.attributes & fattr::Directory) != 0; }

std::string WithBackslash(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

bool Valid(Handle h) { return h != kInvalidHandle && h != kNullHandle; }

// The system scan's fixed texts.
constexpr const char* kSystemInitializing = "Initializing...";
constexpr const char* kSystemScanning = "Scanning...";
constexpr const char* kSystemPhase = "Scanning:";
constexpr const char* kSystemCompleted = "Scan spyware completed";

}  // namespace

std::int32_t& ScanCounter() {
  static std::int32_t counter = 0;
  return counter;
}

void MatchBlackList(const std::string& path, ScanProgress& progress) {
  // The black list decides first: a path it does not name is never reported, whatever the file.
  const std::string low = LowerText(path);
  std::vector<std::size_t> hits;
  const ScanTable& black = BlackList();
  for (std::size_t i = 0; i < black.size(); ++i) {
    const std::string& object = black[i].Object.str();
    // Lower-casing keeps the length of a text, so a length that differs cannot match.
    if (object.size() == low.size() && LowerText(object) == low) hits.push_back(i);
  }
  if (hits.empty()) return;

  if (!DirListingFinds(path)) return;
  if (!GetFileVersionString(path, CompanyName).empty() || !GetFileVersionString(path, LegalCopyright).empty()) return;

  const std::vector<ScanItem> matched = [&] {
    std::vector<ScanItem> copies;
    for (std::size_t i : hits) copies.push_back(black[i]);
    return copies;
  }();
  for (const ScanItem& item : matched) {
    const ScanItem& threat = RecordThreat(item);
    progress.SetFoundCount(ThreatCount());
    ui::ListRow row;
    row.text = path;
    row.icon = threat.RiskLevel + 1;
    row.subItems = {ScanText()[16]};
    progress.AddResultRow(threat, row);
    progress.Alert();
  }
  progress.DoEvents();
}

void ScanMemory(ScanProgress& progress) {
  EnumProcesses(true);
  for (std::uint32_t pid : EnumHandleOwnerPids()) AddHiddenProcess(pid);
  // A copy: the module enumerations below must not be able to change the list walked.
  const std::vector<ProcessRecord> processes = GetProcessList().records();

  progress.SetProgressMax(static_cast<std::int32_t>(processes.size()));
  progress.SetStatus(ScanText()[8]);
  progress.SetPhase(ScanText()[0]);
  ScanCounter() = 0;

  for (std::size_t p = 0; p < processes.size(); ++p) {
    std::vector<std::string> paths;
    if (p == 0) {  // the first record of the snapshot stands for the kernel
      EnumKernelModules();
      for (const ModuleRecord& m : KernelModuleList()) paths.push_back(m.PathName);
    } else {
      EnumModules(static_cast<std::uint32_t>(processes[p].PID));
      for (const ModuleRecord& m : ModuleList()) paths.push_back(m.PathName);
    }
    std::string processPath;
    for (std::size_t k = 0; k < paths.size(); ++k) {
      if (ScanStopped()) return;
      ++ScanCounter();
      const std::string path = CutAndTrim(paths[k]);
      if (k == 0) {
        processPath = path;
        progress.SetCurrentObject(path);
      } else {
        progress.SetCurrentObject(processPath + "  >>  " + path);
      }
      progress.SetScannedCount(ScanCounter());
      MatchBlackList(path, progress);
    }
    progress.SetProgressValue(static_cast<std::int32_t>(p + 1));
  }
}

namespace {

// One walk of the tree: counting only, or matching and showing each file.
void Walk(const std::string& folder, std::int32_t& counter, ScanProgress& progress, bool match) {
  FileApi& files = platform::Files();
  const std::string dir = WithBackslash(folder);
  FindData entry;
  Handle listing = files.FindFirstFileA(dir + "*.*", entry);
  if (!Valid(listing)) return;

  for (const char* mask : kScanMasks) {
    FindData fd;
    Handle h = files.FindFirstFileA(dir + mask, fd);
    if (Valid(h)) {
      bool more = true;
      for (; more; more = files.FindNextFileA(h, fd)) {
        if (IsFolder(fd)) continue;
        ++counter;
        if (!match) continue;
        if (ScanStopped()) {
          files.FindClose(h);
          files.FindClose(listing);
          return;
        }
        const std::string path = dir + CutAndTrim(fd.fileName);
        progress.SetCurrentObject(path);
        progress.SetScannedCount(counter);
        progress.SetProgressValue(counter);
        MatchBlackList(path, progress);
        progress.DoEvents();
      }
      files.FindClose(h);
    }
    if (!match && ScanStopped()) {
      files.FindClose(listing);
      return;
    }
  }

  do {
    const std::string name = CutAtFirstNul(entry.fileName);
    if (IsFolder(entry) && !name.empty() && name[0] != '.') Walk(dir + name, counter, progress, match);
    if (ScanStopped()) break;
  } while (files.FindNextFileA(listing, entry));
  files.FindClose(listing);
}

}  // namespace

void CountFiles(const std::string& folder, std::int32_t& counter, ScanProgress& progress) {
  Walk(folder, counter, progress, false);
}

void ScanFolderTree(const std::string& folder, std::int32_t& counter, ScanProgress& progress) {
  Walk(folder, counter, progress, true);
}

void RunMemoryScan(ScanProgress& progress) {
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
  ScanMemory(progress);
  ResetThreatList(1);
  progress.SetPhase(ScanText()[6]);
  progress.SetCurrentObject("");
  progress.SetStatus(ScanText()[6]);
  ScanStopped() = true;
}

void RunSystemScan(const std::string& folder, ScanProgress& progress) {
  ScanCacheScope cache;
  ScanStopped() = false;
  progress.SetStatus(kSystemInitializing);
  progress.SetPhase(kSystemInitializing);
  ThreatCount() = 0;
  progress.SetProgressValue(0);
  progress.SetScannedCount(0);
  progress.SetFoundCount(0);
  progress.SetPhase(kSystemPhase);
  std::int32_t total = 0;
  CountFiles(folder, total, progress);
  progress.SetProgressMax(total);
  progress.SetStatus(kSystemScanning);
  ScanCounter() = 0;
  ScanFolderTree(folder, ScanCounter(), progress);
  progress.SetPhase(kSystemCompleted);
  progress.SetCurrentObject("");
  progress.SetStatus(kSystemCompleted);
  ScanStopped() = true;
}

}  // namespace tv
