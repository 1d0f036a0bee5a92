#include "ui/cpu_usage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "base/platform_ops.h"
#include "platform/api.h"
#include "platform/layouts.h"
#include "ui/text_tables.h"

namespace tv {

namespace {

std::uint64_t Read64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Current time (offset 8 of the time-of-day information) and idle time (offset 0 of the
// performance information). False when either query fails.
bool Sample(std::uint64_t& idle, std::uint64_t& time) {
  std::uint8_t timeOfDay[layout::kSystemTimeOfDayInformationSize] = {};
  if (!NtSuccess(QuerySystemInformationFixed(sysinfo::TimeOfDay, timeOfDay, sizeof timeOfDay))) return false;
  std::uint8_t performance[layout::kSystemPerformanceInformationSize] = {};
  if (!NtSuccess(QuerySystemInformationFixed(sysinfo::Performance, performance, sizeof performance))) return false;
  time = Read64(timeOfDay + 8);
  idle = Read64(performance);
  return true;
}

std::unique_ptr<ClsCPU>& Sampler() {
  static std::unique_ptr<ClsCPU> sampler;
  return sampler;
}

}  // namespace

ClsCPU::ClsCPU() {
  std::uint64_t idle = 0, time = 0;
  if (Sample(idle, time)) {
    idleTime_ = idle;
    systemTime_ = time;
  }
}

std::int32_t ClsCPU::GetCpuUsage() {
  std::uint8_t basic[layout::kSystemBasicInformationSize] = {};
  if (!NtSuccess(QuerySystemInformationFixed(sysinfo::Basic, basic, sizeof basic))) return -1;
  const unsigned processors = basic[layout::kSystemBasicNumberOfProcessorsOffset];
  std::uint64_t idle = 0, time = 0;
  if (!Sample(idle, time) || processors == 0) return -1;

  // Differences taken as signed numbers: a clock set back gives a negative span, not a huge one.
  const double idleDiff = static_cast<double>(static_cast<std::int64_t>(idle - idleTime_));
  const double timeDiff = static_cast<double>(static_cast<std::int64_t>(time - systemTime_));
  double r = 0;
  if (timeDiff != 0) {
    r = std::nearbyint(idleDiff / timeDiff * 10000.0) / 10000.0;
  } else {
    r = idleDiff / 10000.0;  // no time passed: the idle span in milliseconds
  }
  double load = std::floor(100.0 - (r * 100.0) / processors + 0.5);
  // Samples that straddle a clock tick can put the idle span a little beyond the elapsed time;
  // a load is a percentage all the same.
  load = std::clamp(load, 0.0, 100.0);

  idleTime_ = idle;
  systemTime_ = time;
  return static_cast<std::int32_t>(load);
}

std::int32_t GetMemoryUsage() {
  MemoryStatus m;
  platform::Sys().GlobalMemoryStatus(m);
  if (m.dwTotalPhys == 0) return -1;
  if (m.dwAvailPhys >= m.dwTotalPhys) return 0;
  const long double used = static_cast<long double>(m.dwTotalPhys - m.dwAvailPhys);
  // Nearest whole number, halves to the even neighbour (the default rounding mode).
  return static_cast<std::int32_t>(std::nearbyint(100.0L * used / static_cast<long double>(m.dwTotalPhys)));
}

ClsCPU& CpuSampler() {
  auto& s = Sampler();
  if (!s) s = std::make_unique<ClsCPU>();
  return *s;
}

void ReleaseCpuSampler() { Sampler().reset(); }

std::string UsageStatusText(std::int32_t cpu, std::int32_t memory) {
  return MainText()[22] + std::to_string(cpu) + "%  ,  " + MainText()[23] + std::to_string(memory) + "%";
}

std::string UsageStatusText() {
  const std::int32_t cpu = CpuSampler().GetCpuUsage();
  return UsageStatusText(cpu, GetMemoryUsage());
}

}  // namespace tv
