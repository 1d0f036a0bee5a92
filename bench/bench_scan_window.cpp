// The Smart Scan through the scan window on the recording toolkit, next to the engine alone,
// on the same busy simulated machine: 500 Run values (each its own file, half of them with a
// company name), 400 services sharing the Microsoft svchost.exe and 100 drivers of their own.
// The difference is what the window adds per item: its labels, progress bar, result rows,
// alert calls and event pumping. Counters per scan: threats, rows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/paths.h"
#include "bench_machines.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "scan/frm_scan.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace {

void Install(const tv::Platform& p) {
  tv::platform::Install(p);
  tv::InitFolders();
  tv::LoadEnglishText();
}

void BM_SmartScan_EngineAlone(benchmark::State& state) {
  auto m = tv::bench::StartupMachine();
  Install(m->platform());
  for (auto _ : state) {
    tv::RunSmartScan();
    benchmark::DoNotOptimize(tv::ThreatCount());
  }
  state.counters["threats"] = tv::ThreatCount();
  tv::platform::Install(tv::Platform{});
}

void BM_SmartScan_ScanWindow(benchmark::State& state) {
  auto m = tv::bench::StartupMachine();
  Install(m->platform());
  tv::ui::RecordingToolkit kit;
  tv::ui::InstallToolkit(&kit);
  int rows = 0;
  {
    tv::scan::FrmScan window(kit, {[] {}});
    window.Show(tv::scan::kModeSmart);
    auto& form = *static_cast<tv::ui::RecForm*>(window.form());
    auto& scan = *form.Get<tv::ui::RecButton>("CmdScan(0)");
    auto& list = *form.Get<tv::ui::RecListView>("LVScan");
    for (auto _ : state) {
      kit.sounds.clear();
      scan.Click();
      rows = list.RowCount();
      benchmark::DoNotOptimize(rows);
    }
  }
  state.counters["threats"] = tv::ThreatCount();
  state.counters["rows"] = rows;
  tv::ui::InstallToolkit(nullptr);
  tv::platform::Install(tv::Platform{});
}

BENCHMARK(BM_SmartScan_EngineAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmartScan_ScanWindow)->Unit(benchmark::kMillisecond);

}  // namespace
