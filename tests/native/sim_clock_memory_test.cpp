// The simulated machine's clock, date formats, memory status, refused information classes and
// recycle bin, and their scenario fields.
#include <gtest/gtest.h>

#include "platform/api.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

class SimClockTest : public ::testing::Test {
 protected:
  sim::SimMachine m;
  void SetUp() override { platform::Install(m.platform()); }
  void TearDown() override { platform::Install(Platform{}); }
};

TEST_F(SimClockTest, DatesAndTimesInTheUnitedStatesFormats) {
  SystemApi& sys = platform::Sys();
  SystemTime now;
  sys.GetLocalTime(now);
  EXPECT_EQ(now.wYear, 2026);
  EXPECT_EQ(sys.GetDateFormatA(1, now), "12/10/2026");
  EXPECT_EQ(sys.GetDateFormatA(2, now), "Thursday, December 10, 2026");
  EXPECT_EQ(sys.GetTimeFormatA(0, now), "2:30:05 PM");
  const SystemTime midnight{2024, 2, 0, 29, 0, 0, 7, 0};
  EXPECT_EQ(sys.GetDateFormatA(2, midnight), "Thursday, February 29, 2024");  // wDayOfWeek is not trusted
  EXPECT_EQ(sys.GetTimeFormatA(0, midnight), "12:00:07 AM");
  const SystemTime noon{2023, 2, 0, 29, 12, 5, 0, 0};
  EXPECT_EQ(sys.GetDateFormatA(1, noon), "");  // no 29 February in 2023
  EXPECT_EQ(sys.GetLastError(), 87u);
  EXPECT_EQ(sys.GetTimeFormatA(0, noon), "12:05:00 PM");
  EXPECT_EQ(sys.GetTimeFormatA(0, SystemTime{2023, 1, 0, 1, 24, 0, 0, 0}), "");
}

TEST_F(SimClockTest, MemoryStatusAndRefusedInformationClasses) {
  m.state.totalPhys = 1000;
  m.state.availPhys = 250;
  MemoryStatus s;
  platform::Sys().GlobalMemoryStatus(s);
  EXPECT_EQ(s.dwLength, sizeof(MemoryStatus));
  EXPECT_EQ(s.dwTotalPhys, 1000u);
  EXPECT_EQ(s.dwAvailPhys, 250u);
  EXPECT_EQ(s.dwMemoryLoad, 75u);

  m.state.failingInfoClasses = {2};
  std::uint8_t perf[312] = {}, basic[sizeof(void*) == 8 ? 64 : 44] = {};
  std::uint32_t got = 0;
  EXPECT_EQ(platform::Nt().NtQuerySystemInformation(2, perf, sizeof perf, &got), status::Unsuccessful);
  EXPECT_EQ(platform::Nt().NtQuerySystemInformation(0, basic, sizeof basic, &got), status::Success);
}

TEST_F(SimClockTest, EmptyingTheRecycleBinOfOneDriveOrOfAll) {
  m.AddFile("C:\\a.txt");
  m.AddFile("D:\\b.txt");
  ShellApi& shell = platform::Shell();
  ASSERT_EQ(shell.RecycleFile("C:\\a.txt"), 0);
  ASSERT_EQ(shell.RecycleFile("D:\\b.txt"), 0);
  EXPECT_EQ(shell.SHEmptyRecycleBinA(0, "d:\\", 7), 0);
  EXPECT_EQ(m.state.recycled, std::vector<std::string>{"C:\\a.txt"});
  EXPECT_EQ(shell.SHEmptyRecycleBinA(0x40, "", 1), 0);
  EXPECT_TRUE(m.state.recycled.empty());
  ASSERT_EQ(m.state.recycleBinEmptied.size(), 2u);
  EXPECT_EQ(m.state.recycleBinEmptied[1].owner, Handle(0x40));
  EXPECT_EQ(m.state.recycleBinEmptied[1].flags, 1u);
}

TEST(SimClockScenario, LoadsTimeMemoryAndRefusedClasses) {
  auto m = sim::LoadScenarioText(R"({"localTime": "2025-01-02 03:04:05",
      "memory": {"totalPhys": "0x40000000", "availPhys": 1048576}, "failingInfoClasses": [2, 3]})");
  EXPECT_EQ(m->state.localTime.wYear, 2025);
  EXPECT_EQ(m->state.localTime.wMonth, 1);
  EXPECT_EQ(m->state.localTime.wDay, 2);
  EXPECT_EQ(m->state.localTime.wSecond, 5);
  EXPECT_EQ(m->state.totalPhys, 0x40000000u);
  EXPECT_EQ(m->state.availPhys, 1048576u);
  EXPECT_EQ(m->state.failingInfoClasses, (std::vector<std::uint32_t>{2, 3}));
  for (const char* bad : {R"({"localTime": "yesterday"})", R"({"localTime": "2025-01-02 03:04:05 extra"})",
                          R"({"memory": {"free": 1}})", R"({"failingInfoClasses": 2})"}) {
    EXPECT_THROW(sim::LoadScenarioText(bad), std::runtime_error) << bad;
  }
}

}  // namespace
}  // namespace tv
