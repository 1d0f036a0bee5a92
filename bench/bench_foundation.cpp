// Version-string search on a large resource and path normalisation over a table of paths.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/sim/sim_machine.h"

namespace {

// A resource with many language blocks and many keys before the ones the lists ask for; the
// wanted keys sit in the last block so that the search walks the whole resource.
tv::Bytes LargeResource(int blocks) {
  std::vector<tv::sim::VersionBlock> all;
  for (int b = 0; b < blocks; ++b) {
    tv::sim::VersionBlock block;
    block.langCodepage = "04" + std::to_string(10 + b % 80) + "04b0";
    for (int k = 0; k < 20; ++k)
      block.strings.push_back({"Custom" + std::to_string(b) + "_" + std::to_string(k),
                               "Some reasonably long value text number " + std::to_string(k)});
    all.push_back(block);
  }
  all.push_back({"040904b0",
                 {{"CompanyName", "Acme Corporation"},
                  {"FileDescription", "Acme widget host"},
                  {"FileVersion", "6.00.8105"},
                  {"LegalCopyright", "Copyright (C) 2026"}}});
  return tv::sim::BuildVersionResource(all);
}

void BM_GetFileVersionString(benchmark::State& state) {
  tv::sim::SimMachine m;
  m.AddFile("C:\\App\\big.exe").versionResource = LargeResource(static_cast<int>(state.range(0)));
  tv::platform::Install(m.platform());
  const auto size = m.FindFile("C:\\App\\big.exe")->versionResource.size();
  for (auto _ : state) benchmark::DoNotOptimize(tv::GetFileVersionString("C:\\App\\big.exe", tv::FileVersion));
  state.counters["resource_bytes"] = static_cast<double>(size);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_GetFileVersionString)->Arg(1)->Arg(16)->Arg(64);

void BM_ReadVersionStrings(benchmark::State& state) {
  tv::sim::SimMachine m;
  m.AddFile("C:\\App\\big.exe").versionResource = LargeResource(16);
  tv::platform::Install(m.platform());
  for (auto _ : state) benchmark::DoNotOptimize(tv::ReadVersionStrings("C:\\App\\big.exe"));
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_ReadVersionStrings);

void BM_ConvertDevicePath(benchmark::State& state) {
  tv::sim::SimMachine m;
  m.AddFile("C:\\WINDOWS\\system32\\drivers\\beep.sys");
  m.AddFile("C:\\WINDOWS\\system32\\ntdll.dll");
  tv::platform::Install(m.platform());
  tv::InitFolders();
  const bool driverSearch = state.range(0) != 0;
  const std::vector<std::string> paths = {
      "\\SystemRoot\\System32\\drivers\\tcpip.sys",
      "\\??\\C:\\WINDOWS\\system32\\drivers\\fltmgr.sys",
      "System32\\DRIVERS\\ACPI.sys",
      "%SystemRoot%\\system32\\svchost.exe",
      "%ProgramFiles%\\Common Files\\x.exe",
      "\\Device\\HarddiskVolume1\\WINDOWS\\explorer.exe",
      "\\Device\\HarddiskVolume17\\Tools\\x.exe",
      "\\Device\\HarddiskVolume25\\nowhere.exe",
      "\"C:\\Program Files\\App\\app.exe\"",
      "C:\\WINDOWS\\system32\\kernel32.dll",
      "beep.sys",
      "ntdll.dll",
  };
  for (auto _ : state)
    for (const std::string& p : paths) benchmark::DoNotOptimize(tv::ConvertDevicePath(p, driverSearch));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * paths.size()));
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_ConvertDevicePath)->Arg(0)->Arg(1);

}  // namespace
