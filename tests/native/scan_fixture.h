// A simulated machine for the threat scan's tests: the XP folders, the tool's own file, the
// idle and system processes, empty scan tables, and helpers for files and start-up entries.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/sim_test.h"
#include "fileinfo/version.h"
#include "platform/sim/sim_machine.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "scan/blacklist_scan.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "scan/scan_lists.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"

namespace tv::test {

inline const std::string kHklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::string kHkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::string kTrustFile = "C:\\Tools\\Tolvexa\\trust.lst";

class ScanTest : public SimTest {
 protected:
  void SetUp() override {
    m.state.processes.clear();
    sim::Process idle;
    idle.pid = 0;
    idle.exeName = "[System Process]";
    m.state.processes.push_back(idle);
    sim::Process system;
    system.pid = 4;
    system.exeName = "System";
    m.state.processes.push_back(system);
    m.AddFile("C:\\WINDOWS", fattr::Directory);
    m.AddFile("C:\\WINDOWS\\system32", fattr::Directory);
    m.AddFile("C:\\WINDOWS\\system32\\drivers", fattr::Directory);
    m.AddFile(m.state.appPath);
    SimTest::SetUp();
    ClearScanState();
  }
  void TearDown() override {
    ClearScanState();
    SimTest::TearDown();
  }

 public:
  static void ClearScanState() {
    for (std::int32_t kind = kTrustList; kind <= kThreatList; ++kind) TableOf(kind)->clear();
    StartupList().clear();
    BhoList().clear();
    ServiceList().clear();
    ScanStopped() = true;
    ThreatCount() = 0;
    ScanCounter() = 0;
  }

 protected:

  // A file with the given company and copyright texts ("" for none; both "": no resource).
  sim::File& AddFile(const std::string& path, const std::string& company = "", const std::string& legal = "",
                     std::uint32_t attributes = fattr::Archive) {
    sim::File& f = m.AddFile(path, attributes);
    std::vector<std::pair<std::string, std::string>> strings;
    if (!company.empty()) strings.push_back({"CompanyName", company});
    if (!legal.empty()) strings.push_back({"LegalCopyright", legal});
    if (!strings.empty()) f.versionResource = sim::BuildVersionResource({{"040904b0", strings}});
    return f;
  }
  // A service in the registry and in the service control manager.
  void AddService(const std::string& name, const std::string& imagePath, std::uint32_t start, std::uint32_t state,
                  std::uint32_t type = 0x10) {
    const std::string key = std::string(kServicesKeyPath) + "\\" + name;
    m.SetString(key, "ImagePath", imagePath, reg::ExpandSz);
    m.SetDword(key, "Type", type);
    m.SetDword(key, "Start", start);
    sim::Service s;
    s.name = name;
    s.type = type;
    s.state = state;
    s.startType = start;
    m.state.services.push_back(s);
  }
  // A COM class whose in-process server is `server`.
  void AddClass(const std::string& clsid, const std::string& server) {
    m.SetString("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32", "", server);
  }
  static ScanItem Item(const std::string& object, std::int32_t level = kRiskDangerous,
                       const std::string& keyPath = kHklmRun, const std::string& valueName = "x",
                       const std::string& group = "Run", std::int32_t entryKind = 0, std::int32_t category = 0) {
    ScanItem i;
    i.Object = object;
    i.KeyPath = keyPath;
    i.ValueName = valueName;
    i.Group = group;
    i.EntryKind = entryKind;
    i.Category = category;
    i.RiskLevel = level;
    return i;
  }
  static std::vector<std::string> Objects(const ScanTable& t) {
    std::vector<std::string> out;
    for (const ScanItem& i : t) out.push_back(i.Object.str());
    return out;
  }
  // The bytes of a simulated file ("" when missing).
  std::string Contents(const std::string& path) {
    sim::File* f = m.FindFile(path);
    return f ? std::string(f->contents.begin(), f->contents.end()) : std::string();
  }
};

// Records what a scan shows; `onEvents` runs at every "let pending events run".
struct RecordingProgress : ScanProgress {
  std::vector<std::string> phases, objects, statuses;
  std::vector<std::int32_t> scanned, found, values;
  std::int32_t maximum = -1;
  std::vector<ScanItem> items;
  std::vector<ui::ListRow> rows;
  int events = 0, alerts = 0;
  std::function<void(RecordingProgress&)> onEvents;

  void SetPhase(const std::string& t) override { phases.push_back(t); }
  void SetCurrentObject(const std::string& t) override { objects.push_back(t); }
  void SetScannedCount(std::int32_t n) override { scanned.push_back(n); }
  void SetFoundCount(std::int32_t n) override { found.push_back(n); }
  void SetProgressMax(std::int32_t n) override { maximum = n; }
  void SetProgressValue(std::int32_t n) override { values.push_back(n); }
  void SetStatus(const std::string& t) override { statuses.push_back(t); }
  void AddResultRow(const ScanItem& item, const ui::ListRow& row) override {
    items.push_back(item);
    rows.push_back(row);
  }
  void DoEvents() override {
    ++events;
    if (onEvents) onEvents(*this);
  }
  void Alert() override {
    ++alerts;
    ScanProgress::Alert();
  }
};

// The simulated machine's file interface with failures a test chooses: every call goes to the
// machine unless the hook for it says it fails.
class FaultyFiles final : public FileApi {
 public:
  explicit FaultyFiles(FileApi& inner) : in_(inner) {}
  std::function<bool(const std::string& from, const std::string& to)> failMove;
  std::function<bool(const std::string& path)> failSetAttributes;

  std::uint32_t GetFileAttributesA(const std::string& p) override { return in_.GetFileAttributesA(p); }
  bool SetFileAttributesA(const std::string& p, std::uint32_t a) override {
    if (failSetAttributes && failSetAttributes(p)) return false;
    return in_.SetFileAttributesA(p, a);
  }
  Handle CreateFileA(const std::string& p, std::uint32_t a, std::uint32_t s, std::uint32_t d,
                     std::uint32_t f) override {
    return in_.CreateFileA(p, a, s, d, f);
  }
  bool ReadFile(Handle h, void* b, std::uint32_t n, std::uint32_t* r) override { return in_.ReadFile(h, b, n, r); }
  bool WriteFile(Handle h, const void* b, std::uint32_t n, std::uint32_t* w) override {
    return in_.WriteFile(h, b, n, w);
  }
  std::uint64_t GetFileSize(Handle h) override { return in_.GetFileSize(h); }
  std::uint64_t SetFilePointer(Handle h, std::int64_t d, std::uint32_t m) override {
    return in_.SetFilePointer(h, d, m);
  }
  bool FlushFileBuffers(Handle h) override { return in_.FlushFileBuffers(h); }
  bool DeleteFileA(const std::string& p) override { return in_.DeleteFileA(p); }
  bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override {
    if (failMove && failMove(from, to)) return false;
    return in_.MoveFileExA(from, to, flags);
  }
  bool CreateDirectoryA(const std::string& p) override { return in_.CreateDirectoryA(p); }
  bool RemoveDirectoryA(const std::string& p) override { return in_.RemoveDirectoryA(p); }
  Handle FindFirstFileA(const std::string& p, FindData& o) override { return in_.FindFirstFileA(p, o); }
  bool FindNextFileA(Handle h, FindData& o) override { return in_.FindNextFileA(h, o); }
  bool FindClose(Handle h) override { return in_.FindClose(h); }
  std::uint32_t GetFileVersionInfoSizeA(const std::string& p, std::uint32_t* h) override {
    return in_.GetFileVersionInfoSizeA(p, h);
  }
  bool GetFileVersionInfoA(const std::string& p, std::uint32_t h, std::uint32_t s, void* b) override {
    return in_.GetFileVersionInfoA(p, h, s, b);
  }
  bool DeviceIoControl(Handle d, std::uint32_t c, const void* i, std::uint32_t is, void* o, std::uint32_t os,
                       std::uint32_t* r) override {
    return in_.DeviceIoControl(d, c, i, is, o, os, r);
  }

 private:
  FileApi& in_;
};

}  // namespace tv::test
