// The service list and the port table on a busy simulated machine: 1000 service entries in the
// registry, and a port scan through 2000 file handles of 100 processes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/paths.h"
#include "net/ports.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "sysconfig/services.h"
#include "ui/text_tables.h"

namespace {

const std::string kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

void Install(tv::sim::SimMachine& m) {
  tv::platform::Install(m.platform());
  tv::InitFolders();
  tv::LoadEnglishText();
}

void BM_GetServices(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  auto m = std::make_unique<tv::sim::SimMachine>();
  m->AddFile("C:\\WINDOWS\\system32\\svc.exe").versionResource = tv::sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Bench Corp"}, {"FileDescription", "Bench service"}, {"FileVersion", "1.0"}}}});
  for (int i = 0; i < count; ++i) {
    const std::string name = "Svc" + std::to_string(i);
    const std::string key = kServices + "\\" + name;
    m->SetString(key, "ImagePath", "%SystemRoot%\\system32\\svc.exe -k group", tv::reg::ExpandSz);
    m->SetString(key, "DisplayName", name);
    m->SetDword(key, "Type", 0x20);
    m->SetDword(key, "Start", 2);
    tv::sim::Service s;
    s.name = name;
    s.type = 0x20;
    s.state = i % 2 ? 4 : 1;
    m->state.services.push_back(s);
  }
  Install(*m);
  for (auto _ : state) {
    tv::GetServices();
    benchmark::DoNotOptimize(tv::ServiceList().size());
  }
  state.counters["services"] = static_cast<double>(tv::ServiceList().size());
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_GetServices)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_GetPortTableDevicePath(benchmark::State& state) {
  auto m = std::make_unique<tv::sim::SimMachine>();
  auto& s = m->state;
  s.version.major = 5;
  for (std::uint32_t p = 0; p < 100; ++p) {
    const std::uint32_t pid = 3000 + 4 * p;
    m->AddProcess(pid, "C:\\Program Files\\Bench\\p" + std::to_string(p) + ".exe");
    for (std::uint16_t h = 0; h < 20; ++h) {
      tv::sim::ForeignHandle f;
      f.ownerPid = pid;
      f.value = static_cast<std::uint16_t>(4 + 4 * h);
      f.type = s.fileObjectType;
      f.objectName = "\\Device\\HarddiskVolume1\\data\\f" + std::to_string(h);
      s.handles.push_back(f);
    }
    tv::sim::TcpEndpoint t;
    t.localPort = static_cast<std::uint16_t>(2000 + p);
    t.pid = pid;
    s.tcp.push_back(t);
  }
  s.rawOwners.push_back(3000);
  Install(*m);
  for (auto _ : state) {
    tv::GetPortTable();
    benchmark::DoNotOptimize(tv::PortTable().size());
  }
  state.counters["rows"] = static_cast<double>(tv::PortTable().size());
  tv::platform::Install(tv::Platform{});
}
BENCHMARK(BM_GetPortTableDevicePath)->Unit(benchmark::kMillisecond);

}  // namespace
