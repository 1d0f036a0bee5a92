// The threat scan on busy simulated machines.
//
// Smart Scan: 1,000 start-up items and services (500 Run values, each its own file, half of
// them with a company name; 400 services sharing the Microsoft svchost.exe and 100 drivers of
// their own). "cached" is the scan as the scan window runs it (each distinct file's version
// resource read once, its signature checked at most once); "uncached" runs the same steps
// without that memory: two resource reads per rating and every item rated twice. Counters per
// scan: reads (GetFileVersionInfoSizeA), sigchecks (WinVerifyTrust), threats.
//
// Folder walk: ScanFolderTree next to a plain directory walk of the same tree. Both take a
// Platform and a folder, so they can be pointed at a real tree too: RegisterFolderWalk(name,
// platform, root, black list) registers the pair (the simulated tree has 20,000 files in 200 folders).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/paths.h"
#include "bench_machines.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "scan/blacklist_scan.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "ui/text_tables.h"

namespace {

void Install(const tv::Platform& p) {
  tv::platform::Install(p);
  tv::InitFolders();
  tv::LoadEnglishText();
}

void SmartScanBench(benchmark::State& state, bool cached) {
  auto m = tv::bench::StartupMachine();
  Install(m->platform());
  const std::uint64_t reads0 = m->CallCount("GetFileVersionInfoSizeA"), checks0 = m->CallCount("WinVerifyTrust");
  for (auto _ : state) {
    if (cached) {
      tv::RunSmartScan();
    } else {
      tv::ScanStopped() = false;
      tv::ThreatCount() = 0;
      tv::ResetThreatList(0);
      tv::CollectStartupItems();
      tv::SmartScan();
      tv::ResetThreatList(1);
      tv::ScanStopped() = true;
    }
    benchmark::DoNotOptimize(tv::ThreatCount());
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["items"] = static_cast<double>(tv::StartupItemList().size());
  state.counters["threats"] = tv::ThreatCount();
  state.counters["reads"] = static_cast<double>(m->CallCount("GetFileVersionInfoSizeA") - reads0) / runs;
  state.counters["sigchecks"] = static_cast<double>(m->CallCount("WinVerifyTrust") - checks0) / runs;
  tv::platform::Install(tv::Platform{});
}
void BM_SmartScan_Cached(benchmark::State& state) { SmartScanBench(state, true); }
void BM_SmartScan_Uncached(benchmark::State& state) { SmartScanBench(state, false); }
BENCHMARK(BM_SmartScan_Cached)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmartScan_Uncached)->Unit(benchmark::kMillisecond);

// ------------------------------------------------------------------ folder walks ----

// Files below `folder` by a plain recursive listing (every entry, no masks, no lookups).
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

// `black` is the black list the walk matches against.
void RegisterFolderWalk(const std::string& name, const tv::Platform& platform, const std::string& root,
                        const tv::ScanTable& black) {
  benchmark::RegisterBenchmark(("BM_ScanFolderTree/" + name).c_str(), [platform, root, black](benchmark::State& state) {
    Install(platform);
    tv::BlackList() = black;
    std::int32_t counter = 0;
    for (auto _ : state) {
      tv::ScanStopped() = false;
      tv::ThreatCount() = 0;
      counter = 0;
      tv::ScanFolderTree(root, counter);
    }
    tv::ScanStopped() = true;
    state.counters["files"] = counter;
    state.counters["threats"] = tv::ThreatCount();
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("BM_PlainWalk/" + name).c_str(), [platform, root](benchmark::State& state) {
    Install(platform);
    long count = 0;
    for (auto _ : state) count = PlainWalk(*tv::platform::Current().files, root);
    state.counters["files"] = static_cast<double>(count);
  })->Unit(benchmark::kMillisecond);
}

// 200 folders (20 below the root, 10 below each) of 100 files each: .exe, .dll, .sys, .com and
// .txt in turn; 50 of the .exe files are on the black list.
tv::sim::SimMachine& TreeMachine() {
  static auto m = [] {
    auto machine = std::make_unique<tv::sim::SimMachine>();
    const char* ext[] = {".exe", ".dll", ".sys", ".com", ".txt"};
    for (int a = 0; a < 20; ++a)
      for (int b = 0; b < 10; ++b) {
        const std::string folder = "C:\\tree\\d" + std::to_string(a) + "\\e" + std::to_string(b) + "\\";
        for (int f = 0; f < 100; ++f) machine->AddFile(folder + "f" + std::to_string(f) + ext[f % 5]);
      }
    return machine;
  }();
  return *m;
}

const bool kTreeRegistered = [] {
  tv::sim::SimMachine& m = TreeMachine();
  tv::ScanTable black;
  for (int i = 0; i < 50; ++i) {
    tv::ScanItem item;
    item.Object = "c:\\tree\\d" + std::to_string(i % 20) + "\\e" + std::to_string(i % 10) + "\\f" +
                  std::to_string(5 * (i % 20)) + ".exe";
    item.RiskLevel = 4;
    black.push_back(item);
  }
  RegisterFolderWalk("sim20000", m.platform(), "C:\\tree", black);
  return true;
}();

}  // namespace
