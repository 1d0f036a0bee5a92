// The process snapshot and the thread probe on a large simulated machine: 500 processes,
// 200,000 handles, a few hidden processes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "process/modules.h"
#include "process/process_list.h"

namespace {

constexpr int kProcesses = 500;
constexpr int kHandles = 200000;
constexpr std::uint32_t kFirstPid = 2000;  // clear of the tool's own identifier

std::unique_ptr<tv::sim::SimMachine> BigMachine() {
  auto m = std::make_unique<tv::sim::SimMachine>();
  auto& s = m->state;
  s.processes.clear();
  tv::sim::Process idle;
  idle.pid = 0;
  idle.exeName = "[System Process]";
  s.processes.push_back(idle);
  tv::sim::Process system;
  system.pid = 4;
  system.exeName = "System";
  s.processes.push_back(system);
  m->AddFile("C:\\WINDOWS", tv::fattr::Directory);
  m->AddFile("C:\\WINDOWS\\system32", tv::fattr::Directory);
  const tv::Bytes version = tv::sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Bench Corp"}, {"FileDescription", "Bench process"}, {"FileVersion", "1.0"}}}});
  for (int i = 0; i < kProcesses; ++i) {
    const std::uint32_t pid = kFirstPid + 4 * static_cast<std::uint32_t>(i);
    const std::string path = "C:\\Program Files\\Bench\\p" + std::to_string(i) + ".exe";
    m->AddFile(path).versionResource = version;
    tv::sim::Process& p = m->AddProcess(pid, path);
    if (p.modules.empty()) {
      std::string name = "p";
      name += std::to_string(i);
      name += ".exe";
      p.modules.push_back({name, path, 0x400000, 0x10000});
    }
    p.hiddenFromToolhelp = i % 100 == 7;  // five hidden processes
    tv::sim::Thread t;
    t.tid = pid + 2;
    p.threads.push_back(t);
  }
  s.handles.reserve(kHandles);
  for (int i = 0; i < kHandles; ++i) {
    tv::sim::ForeignHandle h;
    h.ownerPid = kFirstPid + 4 * static_cast<std::uint32_t>(i % kProcesses);
    h.value = static_cast<std::uint16_t>(4 + 4 * (i / kProcesses));
    h.type = s.fileObjectType;
    s.handles.push_back(h);
  }
  tv::platform::Install(m->platform());
  tv::InitFolders();
  tv::InitVersionKeys();
  return m;
}

void BM_RefreshProcessList(benchmark::State& state) {
  auto m = BigMachine();
  for (auto _ : state) {
    tv::RefreshProcessList();
    benchmark::DoNotOptimize(tv::GetProcessList().size());
  }
  state.counters["records"] = static_cast<double>(tv::GetProcessList().size());
  state.counters["hidden"] = static_cast<double>(tv::GetProcessList().HiddenCount());
}
BENCHMARK(BM_RefreshProcessList)->Unit(benchmark::kMillisecond);

void BM_RefreshProcessListByForce(benchmark::State& state) {
  auto m = BigMachine();
  for (auto _ : state) {
    tv::RefreshProcessListByForce();
    benchmark::DoNotOptimize(tv::GetProcessList().size());
  }
  state.counters["records"] = static_cast<double>(tv::GetProcessList().size());
}
BENCHMARK(BM_RefreshProcessListByForce)->Unit(benchmark::kMillisecond);

// The two halves of the normal refresh.
void BM_EnumProcesses(benchmark::State& state) {
  auto m = BigMachine();
  for (auto _ : state) {
    tv::EnumProcesses(false);
    benchmark::DoNotOptimize(tv::GetProcessList().size());
  }
}
BENCHMARK(BM_EnumProcesses)->Unit(benchmark::kMillisecond);

void BM_EnumHandleOwnerPids(benchmark::State& state) {
  auto m = BigMachine();
  for (auto _ : state) benchmark::DoNotOptimize(tv::EnumHandleOwnerPids().size());
}
BENCHMARK(BM_EnumHandleOwnerPids)->Unit(benchmark::kMillisecond);

void BM_EnumThreads(benchmark::State& state) {
  auto m = BigMachine();
  for (auto _ : state) {
    tv::EnumThreads(kFirstPid);
    benchmark::DoNotOptimize(tv::ThreadList().size());
  }
  state.counters["threads"] = static_cast<double>(tv::ThreadList().size());
}
BENCHMARK(BM_EnumThreads)->Unit(benchmark::kMillisecond);

}  // namespace
