// The offline backend against the simulated machine.
//
// Smart Scan: the machine of 1,000 start-up items and services (500 Run values, each its own
// file, half of them with a company name; 400 services sharing svchost.exe and 100 drivers of
// their own) simulated, and written as a disk (real hive files, PE files with version
// resources) examined with --offline. "open+scan" is one command's work: the disk opened, the
// scan run, the disk closed; "scan" scans a disk opened once. Counters per run: the opens of each
// hive file (SOFTWARE, SYSTEM, NTUSER.DAT, DEFAULT), items, threats.
//
// Folder walk: ScanFolderTree over a real directory tree of 20,000 files (200 folders of 100
// files) through the offline file system, next to a plain walk of the same tree through the
// same file system and a walk with std::filesystem.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "base/paths.h"
#include "bench_machines.h"
#include "offline/make_disk.h"
#include "platform/api.h"
#include "platform/offline/offline_machine.h"
#include "platform/sim/sim_machine.h"
#include "scan/blacklist_scan.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "ui/text_tables.h"

namespace {

namespace fs = std::filesystem;

void Install(const tv::Platform& p) {
  tv::platform::Install(p);
  tv::InitFolders();
  tv::LoadEnglishText();
}

// A folder below /tmp, removed at the end of the program.
class ScratchDir {
 public:
  explicit ScratchDir(const char* what) {
    std::string tmpl = std::string("/tmp/tolvexa-bench-") + what + "-XXXXXX";
    if (const char* made = ::mkdtemp(tmpl.data())) path_ = made;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The disk of StartupMachine, written once.
const std::string& StartupDisk() {
  static ScratchDir scratch("startup");
  static const std::string dir = [] {
    const std::string d = scratch.Path() + "/disk";
    tv::offtest::DiskSummary summary;
    std::string error;
    if (!tv::offtest::MakeOfflineDisk(tv::bench::StartupMachine()->state, d, tv::offtest::DiskLayout::Xp, summary, error))
      return std::string();
    return d;
  }();
  return dir;
}

void BM_SmartScan_Sim(benchmark::State& state) {
  auto m = tv::bench::StartupMachine();
  Install(m->platform());
  for (auto _ : state) {
    tv::RunSmartScan();
    benchmark::DoNotOptimize(tv::ThreatCount());
  }
  state.counters["items"] = static_cast<double>(tv::StartupItemList().size());
  state.counters["threats"] = tv::ThreatCount();
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_SmartScan_Sim)->Unit(benchmark::kMillisecond);

const char* const kHives[] = {"SOFTWARE", "SYSTEM", "NTUSER.DAT", "DEFAULT"};

void BM_SmartScan_Offline(benchmark::State& state, bool openEachRun) {
  const std::string& dir = StartupDisk();
  if (dir.empty()) {
    state.SkipWithError("the disk could not be written");
    return;
  }
  std::string error;
  std::unique_ptr<tv::offline::OfflineMachine> disk;
  std::map<std::string, double> opens;
  auto count = [&] {
    for (const char* h : kHives) opens[h] += static_cast<double>(disk->HiveOpenCount(h));
  };
  if (!openEachRun) {
    disk = tv::offline::OfflineMachine::Open(dir, "", error);
    if (!disk) {
      state.SkipWithError(error.c_str());
      return;
    }
    Install(disk->platform());
  }
  for (auto _ : state) {
    if (openEachRun) {
      disk = tv::offline::OfflineMachine::Open(dir, "", error);
      if (!disk) {
        state.SkipWithError(error.c_str());
        return;
      }
      Install(disk->platform());
    }
    tv::RunSmartScan();
    benchmark::DoNotOptimize(tv::ThreatCount());
    if (openEachRun) {
      count();
      tv::platform::Install(tv::Platform{});
      disk.reset();
    }
  }
  if (!openEachRun) count();
  const double runs = openEachRun ? static_cast<double>(state.iterations()) : 1.0;
  for (const auto& [hive, n] : opens) state.counters["opens_" + hive] = n / runs;
  state.counters["items"] = static_cast<double>(tv::StartupItemList().size());
  state.counters["threats"] = tv::ThreatCount();
  tv::platform::Install(tv::Platform{});
}
BENCHMARK_CAPTURE(BM_SmartScan_Offline, open_scan, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmartScan_Offline, scan, false)->Unit(benchmark::kMillisecond);

// ------------------------------------------------------------------ folder walks ----

// A real tree: 200 folders (20 below the root, 10 below each) of 100 empty files each: .exe,
// .dll, .sys, .com and .txt in turn. 50 of the .exe files are on the black list.
const std::string& HostTree() {
  static ScratchDir scratch("tree");
  static const std::string root = [] {
    const char* ext[] = {".exe", ".dll", ".sys", ".com", ".txt"};
    for (int a = 0; a < 20; ++a)
      for (int b = 0; b < 10; ++b) {
        const fs::path folder = fs::path(scratch.Path()) / "tree" / ("d" + std::to_string(a)) / ("e" + std::to_string(b));
        fs::create_directories(folder);
        for (int f = 0; f < 100; ++f) std::ofstream(folder / ("f" + std::to_string(f) + ext[f % 5]));
      }
    return scratch.Path();
  }();
  return root;
}

tv::ScanTable BlackList() {
  tv::ScanTable black;
  for (int i = 0; i < 50; ++i) {
    tv::ScanItem item;
    item.Object = "c:\\tree\\d" + std::to_string(i % 20) + "\\e" + std::to_string(i % 10) + "\\f" +
                  std::to_string(5 * (i % 20)) + ".exe";
    item.RiskLevel = 4;
    black.push_back(item);
  }
  return black;
}

// The host files in place of the files of an otherwise empty simulated machine.
struct HostPlatform {
  tv::sim::SimMachine base;
  tv::offline::HostFiles files{HostTree(), "C:"};
  tv::Platform platform = files.Over(base.platform());
};

long PlainWalk(tv::FileApi& files, const std::string& folder) {
  const std::string dir = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
  tv::FindData fd;
  tv::Handle h = files.FindFirstFileA(dir + "*.*", fd);
  if (h == tv::kInvalidHandle || h == tv::kNullHandle) return 0;
  long count = 0;
  do {
    if (fd.attributes & tv::fattr::Directory) {
      if (!fd.fileName.empty() && fd.fileName[0] != '.') count += PlainWalk(files, dir + fd.fileName);
    } else {
      ++count;
    }
  } while (files.FindNextFileA(h, fd));
  files.FindClose(h);
  return count;
}

void BM_ScanFolderTree_Host(benchmark::State& state) {
  HostPlatform host;
  Install(host.platform);
  tv::BlackList() = BlackList();
  std::int32_t counter = 0;
  for (auto _ : state) {
    tv::ScanStopped() = false;
    tv::ThreatCount() = 0;
    counter = 0;
    tv::ScanFolderTree("C:\\tree", counter);
  }
  tv::ScanStopped() = true;
  state.counters["files"] = counter;
  state.counters["threats"] = tv::ThreatCount();
  state.counters["open_handles"] = static_cast<double>(host.files.OpenHandleCount());
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_ScanFolderTree_Host)->Unit(benchmark::kMillisecond);

void BM_PlainWalk_Host(benchmark::State& state) {
  HostPlatform host;
  Install(host.platform);
  long count = 0;
  for (auto _ : state) count = PlainWalk(host.files, "C:\\tree");
  state.counters["files"] = static_cast<double>(count);
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_PlainWalk_Host)->Unit(benchmark::kMillisecond);

void BM_FilesystemWalk_Host(benchmark::State& state) {
  const fs::path root = fs::path(HostTree()) / "tree";
  long count = 0;
  for (auto _ : state) {
    count = 0;
    for (const auto& e : fs::recursive_directory_iterator(root)) count += e.is_regular_file() ? 1 : 0;
  }
  state.counters["files"] = static_cast<double>(count);
}
BENCHMARK(BM_FilesystemWalk_Host)->Unit(benchmark::kMillisecond);

}  // namespace
