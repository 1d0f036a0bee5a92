// Processor and physical memory load for the status bar of the process tab.
#pragma once
#include <cstdint>
#include <string>

namespace tv {

// The processor load from the system's idle time between two samples. Construction takes the
// first sample (both values stay 0 when the system information cannot be read).
class ClsCPU {
 public:
  ClsCPU();
  // Load in percent since the previous sample, which this reading replaces; -1 when the system
  // information cannot be read (the previous sample is kept then).
  std::int32_t GetCpuUsage();

 private:
  std::uint64_t idleTime_ = 0;    // 100 ns units, first field of the performance information
  std::uint64_t systemTime_ = 0;  // 100 ns units, current time of the time-of-day information
};

// Physical memory in use, in percent of the total, rounded to the nearest whole number (halves
// to the even neighbour); -1 when the system reports no physical memory at all.
std::int32_t GetMemoryUsage();

// The process-wide sampler, created on first use, and its release when the program ends.
ClsCPU& CpuSampler();
void ReleaseCpuSampler();

// "CPU Usage: 12%  ,  Memory Usage: 40%" from the main text table's entries 22 and 23.
std::string UsageStatusText(std::int32_t cpu, std::int32_t memory);
// One tick of the status-bar timer: a reading of the process-wide sampler and of the memory load.
std::string UsageStatusText();

}  // namespace tv
