// The secure wipe of a 100 MB file next to a plain three-pass write of the same size. Both run
// over whatever platform the fixture names: the simulated machine here; the real backend and a
// real folder give the figures for a disk (register them the same way with its Platform).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "tools/file_delete.h"

namespace {

constexpr std::uint64_t kWipeSize = 100000000;  // 100 MB

struct WipeBench {
  tv::Platform platform;
  std::string folder;  // ends with a backslash
};

WipeBench& SimulatedFolder() {
  static auto machine = std::make_unique<tv::sim::SimMachine>();
  static WipeBench bench{machine->platform(), "C:\\bench\\"};
  static bool once = [] {
    machine->AddFile("C:\\bench", tv::fattr::Directory);
    return true;
  }();
  (void)once;
  return bench;
}

// A file of `size` bytes at `path`, written through the platform in force.
bool MakeFile(const std::string& path, std::uint64_t size) {
  tv::FileApi& files = tv::platform::Files();
  tv::Handle h = files.CreateFileA(path, tv::access::GenericWrite, 0, 2, 0);
  if (h == tv::kInvalidHandle) return false;
  std::vector<std::uint8_t> block(tv::kWipeBlockSize, 0xAB);
  bool ok = true;
  for (std::uint64_t done = 0; ok && done < size;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, block.size()));
    std::uint32_t written = 0;
    ok = files.WriteFile(h, block.data(), n, &written) && written == n;
    done += n;
  }
  tv::platform::Sys().CloseHandle(h);
  return ok;
}

// What the wipe does at its core, written plainly: three passes over the file in blocks of
// kWipeBlockSize, without flushes, attribute changes, rename or delete.
bool PlainThreePasses(const std::string& path, std::uint64_t size) {
  tv::FileApi& files = tv::platform::Files();
  tv::Handle h = files.CreateFileA(path, tv::access::GenericWrite, 0, 3, 0);
  if (h == tv::kInvalidHandle) return false;
  std::vector<std::uint8_t> block(tv::kWipeBlockSize);
  bool ok = true;
  for (std::uint8_t pattern : {std::uint8_t(0x00), std::uint8_t(0x7F), std::uint8_t(0x00)}) {
    std::fill(block.begin(), block.end(), pattern);
    files.SetFilePointer(h, 0, 0);
    for (std::uint64_t done = 0; ok && done < size;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, block.size()));
      std::uint32_t written = 0;
      ok = files.WriteFile(h, block.data(), n, &written) && written == n;
      done += n;
    }
  }
  tv::platform::Sys().CloseHandle(h);
  return ok;
}

void BM_WipeFile(benchmark::State& state, WipeBench& (*bench)()) {
  WipeBench& b = bench();
  tv::platform::Install(b.platform);
  const std::string path = b.folder + "wipe.bin";
  for (auto _ : state) {
    state.PauseTiming();
    if (!MakeFile(path, kWipeSize)) state.SkipWithError("cannot create the file");
    state.ResumeTiming();
    if (tv::WipeFile(path) == 0) state.SkipWithError("the wipe failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 3 * kWipeSize));
  tv::platform::Install(tv::Platform{});
}

void BM_PlainThreePassWrite(benchmark::State& state, WipeBench& (*bench)()) {
  WipeBench& b = bench();
  tv::platform::Install(b.platform);
  const std::string path = b.folder + "plain.bin";
  for (auto _ : state) {
    state.PauseTiming();
    if (!MakeFile(path, kWipeSize)) state.SkipWithError("cannot create the file");
    state.ResumeTiming();
    if (!PlainThreePasses(path, kWipeSize)) state.SkipWithError("the write failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 3 * kWipeSize));
  tv::platform::Files().DeleteFileA(path);
  tv::platform::Install(tv::Platform{});
}

BENCHMARK_CAPTURE(BM_WipeFile, simulated, &SimulatedFolder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainThreePassWrite, simulated, &SimulatedFolder)->Unit(benchmark::kMillisecond);

}  // namespace
