// The diagnostic report of a large simulated machine: 300 processes of 60 modules each (their
// own image and 59 system DLLs that every process loads).
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "tools/report.h"
#include "ui/text_tables.h"

namespace {

constexpr int kProcesses = 300;
constexpr int kModulesPerProcess = 60;
constexpr std::uint32_t kFirstPid = 2000;

std::unique_ptr<tv::sim::SimMachine> ReportMachine() {
  auto m = std::make_unique<tv::sim::SimMachine>();
  auto& s = m->state;
  s.processes.clear();
  tv::sim::Process idle;
  idle.pid = 0;
  s.processes.push_back(idle);
  tv::sim::Process system;
  system.pid = 4;
  system.exeName = "System";
  s.processes.push_back(system);
  auto version = [](const std::string& what) {
    return tv::sim::BuildVersionResource({{"040904b0",
                                           {{"CompanyName", "Microsoft Corporation"},
                                            {"FileDescription", what},
                                            {"FileVersion", "5.1.2600.5512 (xpsp.080413-2111)"},
                                            {"LegalCopyright", "(C) Microsoft Corporation. All rights reserved."}}}});
  };
  std::vector<tv::sim::Module> dlls;
  for (int d = 1; d < kModulesPerProcess; ++d) {
    const std::string name = "lib" + std::to_string(d) + ".dll";
    const std::string path = "C:\\WINDOWS\\system32\\" + name;
    m->AddFile(path).versionResource = version("Library " + std::to_string(d));
    dlls.push_back({name, path, 0x70000000u + 0x100000u * static_cast<std::uint32_t>(d), 0x10000});
  }
  for (int i = 0; i < kProcesses; ++i) {
    const std::uint32_t pid = kFirstPid + 4 * static_cast<std::uint32_t>(i);
    const std::string path = "C:\\Program Files\\Bench\\app" + std::to_string(i) + ".exe";
    m->AddFile(path).versionResource = version("Application " + std::to_string(i));
    tv::sim::Process& p = m->AddProcess(pid, path);
    p.modules.clear();
    p.modules.push_back({"app" + std::to_string(i) + ".exe", path, 0x400000, 0x20000});
    p.modules.insert(p.modules.end(), dlls.begin(), dlls.end());
  }
  for (const char* k : {"ntkrnlpa.exe", "hal.dll"}) {
    const std::string path = std::string("C:\\WINDOWS\\system32\\") + k;
    m->AddFile(path).versionResource = version(k);
    s.kernelModules.push_back({k, std::string("\\WINDOWS\\system32\\") + k, 0x804D7000, 0x1000});
  }
  tv::platform::Install(m->platform());
  tv::InitFolders();
  tv::LoadEnglishText();
  return m;
}

// Counts the bytes and drops them.
class CountingBuf : public std::streambuf {
 public:
  std::size_t bytes = 0;

 protected:
  int_type overflow(int_type ch) override {
    ++bytes;
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += static_cast<std::size_t>(n);
    return n;
  }
};

void BM_Report300x60(benchmark::State& state) {
  auto m = ReportMachine();
  CountingBuf buf;
  std::ostream out(&buf);
  const std::uint64_t versionReads = m->CallCount("GetFileVersionInfoSizeA");
  const std::uint64_t opens = m->CallCount("OpenProcess");
  for (auto _ : state) benchmark::DoNotOptimize(tv::WriteReport(out));
  const double reports = static_cast<double>(state.iterations());
  state.counters["versionReads"] = static_cast<double>(m->CallCount("GetFileVersionInfoSizeA") - versionReads) / reports;
  state.counters["processOpens"] = static_cast<double>(m->CallCount("OpenProcess") - opens) / reports;
  state.counters["KB"] = static_cast<double>(buf.bytes) / reports / 1024.0;
}
BENCHMARK(BM_Report300x60)->Unit(benchmark::kMillisecond);

}  // namespace
