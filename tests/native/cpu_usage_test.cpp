// Processor load from the idle time between two samples, memory load, and the status text.
#include <gtest/gtest.h>

#include "common/sim_test.h"
#include "ui/cpu_usage.h"

namespace tv {
namespace {

class CpuUsageTest : public SimTest {
 protected:
  void TearDown() override {
    ReleaseCpuSampler();
    SimTest::TearDown();
  }
  // The load over one second of the machine's clock.
  std::int32_t LoadOverASecond() {
    ClsCPU cpu;
    platform::Sys().Sleep(1000);
    return cpu.GetCpuUsage();
  }
};

TEST_F(CpuUsageTest, LoadFromTheIdleTimeOfEveryProcessor) {
  struct Case {
    std::uint8_t processors;
    std::uint32_t busy;  // percent of all processors
    std::int32_t load;
  };
  const Case cases[] = {{2, 50, 50}, {2, 0, 0}, {2, 100, 100}, {1, 30, 30}, {4, 25, 25}, {1, 0, 0}};
  for (const Case& c : cases) {
    m.state.processorCount = c.processors;
    m.state.cpuLoad = c.busy;
    EXPECT_NEAR(LoadOverASecond(), c.load, 1) << int(c.processors) << " processors, " << c.busy << "% busy";
  }
}

TEST_F(CpuUsageTest, FirstReadingRightAfterConstructionIsAHundred) {
  m.state.cpuLoad = 10;
  ClsCPU cpu;
  EXPECT_EQ(cpu.GetCpuUsage(), 100);  // no time has passed
  platform::Sys().Sleep(1000);
  EXPECT_NEAR(cpu.GetCpuUsage(), 10, 1);  // the next one measures the past second
}

TEST_F(CpuUsageTest, AFailingQueryGivesMinusOneAndKeepsThePreviousSample) {
  m.state.processorCount = 2;
  m.state.cpuLoad = 50;
  ClsCPU cpu;
  for (std::uint32_t refused : {0u, 2u, 3u}) {
    m.state.failingInfoClasses = {refused};
    platform::Sys().Sleep(1000);
    EXPECT_EQ(cpu.GetCpuUsage(), -1) << "class " << refused;
  }
  m.state.failingInfoClasses.clear();
  platform::Sys().Sleep(1000);
  EXPECT_NEAR(cpu.GetCpuUsage(), 50, 1);  // measured over all four seconds
}

TEST_F(CpuUsageTest, MemoryLoadRoundsHalvesToEven) {
  struct Case {
    std::uint64_t total, avail;
    std::int32_t load;
  };
  const Case cases[] = {
      {200, 101, 50},  // 49.5
      {200, 103, 48},  // 48.5
      {200, 100, 50},  {1000, 333, 67}, {1000, 1000, 0}, {1000, 0, 100},
      // 62.5 with 8 GB; a 32-bit process sees at most 4 GB of it (SIZE_T), of which 3 GB are free.
      {8ull << 30, 3ull << 30, sizeof(void*) == 8 ? 62 : 25},
      {0, 0, -1},                     // a system that reports no memory
  };
  for (const Case& c : cases) {
    m.state.totalPhys = c.total;
    m.state.availPhys = c.avail;
    EXPECT_EQ(GetMemoryUsage(), c.load) << c.avail << " of " << c.total;
  }
}

TEST_F(CpuUsageTest, StatusTextOfTheTimer) {
  EXPECT_EQ(UsageStatusText(12, 40), "CPU Usage: 12%  ,  Memory Usage: 40%");
  EXPECT_EQ(UsageStatusText(-1, 7), "CPU Usage: -1%  ,  Memory Usage: 7%");
  m.state.cpuLoad = 20;
  // The sampler is made on the first tick, just before its first reading.
  EXPECT_EQ(UsageStatusText(), "CPU Usage: 100%  ,  Memory Usage: 50%");
  platform::Sys().Sleep(1000);
  EXPECT_EQ(UsageStatusText(), "CPU Usage: 20%  ,  Memory Usage: 50%");
  ReleaseCpuSampler();
  EXPECT_EQ(UsageStatusText(), "CPU Usage: 100%  ,  Memory Usage: 50%");
}

}  // namespace
}  // namespace tv
