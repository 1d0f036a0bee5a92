// The Smart Scan through the scan window on the recording toolkit, next to the engine alone,
// on the same busy simulated machine: 500 Run values (each its own file, half of them with a
// company name), 400 services sharing the Microsoft svchost.exe and 100 drivers of their own.
// The difference is what the window adds per item: its labels, progress bar, result rows,
// alert calls and event pumping. Counters per scan: threats, rows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/paths.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "scan/frm_scan.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace {

const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

std::unique_ptr<tv::sim::SimMachine> BusyMachine() {
  auto m = std::make_unique<tv::sim::SimMachine>();
  const tv::Bytes vendor = tv::sim::BuildVersionResource({{"040904b0", {{"CompanyName", "Vendor Inc."}}}});
  const tv::Bytes microsoft = tv::sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Microsoft Corporation"}, {"LegalCopyright", "(c) Microsoft"}}}});
  for (int i = 0; i < 500; ++i) {
    const std::string path = "C:\\Program Files\\App" + std::to_string(i) + "\\app.exe";
    tv::sim::File& f = m->AddFile(path);
    if (i % 2 == 0) f.versionResource = vendor;
    m->SetString(kRun, "app" + std::to_string(i), "\"" + path + "\" /background");
  }
  m->AddFile("C:\\WINDOWS\\system32\\svchost.exe").versionResource = microsoft;
  for (int i = 0; i < 500; ++i) {
    const std::string name = "Svc" + std::to_string(i);
    const bool shared = i < 400;
    const std::string image = shared ? "%SystemRoot%\\system32\\svchost.exe -k netsvcs"
                                     : "system32\\drivers\\drv" + std::to_string(i) + ".sys";
    if (!shared) m->AddFile("C:\\WINDOWS\\system32\\drivers\\drv" + std::to_string(i) + ".sys");
    m->SetString(kServices + "\\" + name, "ImagePath", image, tv::reg::ExpandSz);
    m->SetDword(kServices + "\\" + name, "Type", shared ? 0x20 : 1);
    m->SetDword(kServices + "\\" + name, "Start", 2);
    tv::sim::Service s;
    s.name = name;
    s.type = shared ? 0x20 : 1;
    s.state = 4;
    s.startType = 2;
    m->state.services.push_back(s);
  }
  return m;
}

void Install(const tv::Platform& p) {
  tv::platform::Install(p);
  tv::InitFolders();
  tv::LoadEnglishText();
}

void BM_SmartScan_EngineAlone(benchmark::State& state) {
  auto m = BusyMachine();
  Install(m->platform());
  for (auto _ : state) {
    tv::RunSmartScan();
    benchmark::DoNotOptimize(tv::ThreatCount());
  }
  state.counters["threats"] = tv::ThreatCount();
  tv::platform::Install(tv::Platform{});
}

void BM_SmartScan_ScanWindow(benchmark::State& state) {
  auto m = BusyMachine();
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
