// The tools on the command line: --report, --fix-registry, --clean-junk and --usage.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli.h"
#include "common/sim_test.h"
#include "main/front.h"
#include "tools/junk_cleaner.h"

namespace tv {
namespace {

struct CliResult {
  int code;
  std::string out, err;
};

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

class ToolsCliTest : public SimTest {
 protected:
  CliResult Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  std::string Contents(const std::string& path) {
    const sim::File* f = m.FindFile(path);
    return f ? std::string(f->contents.begin(), f->contents.end()) : std::string();
  }
};

TEST_F(ToolsCliTest, ReportToAFileAndToStandardOutputAreTheSameBytes) {
  m.AddFile("C:\\Reports", fattr::Directory);
  CliResult toFile = Cli({"--report", "C:\\Reports\\r.log"});
  EXPECT_EQ(toFile.code, 0) << toFile.err;
  EXPECT_EQ(toFile.out, "");
  const std::string written = Contents("C:\\Reports\\r.log");
  EXPECT_EQ(written.rfind("Tolvexa Diagnostic Report   Ver:1.0.0\r\n", 0), 0u);
  CliResult toOut = Cli({"--report", "-"});
  EXPECT_EQ(toOut.code, 0);
  EXPECT_EQ(toOut.out, written);
  EXPECT_TRUE(recorder.dialogs.empty());
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ToolsCliTest, AnExistingReportIsReplacedOnlyWithForce) {
  m.AddFile("C:\\r.log", fattr::ReadOnly, Bytes{'o', 'l', 'd'});
  CliResult r = Cli({"--report", "C:\\r.log"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_EQ(Contents("C:\\r.log"), "old");
  r = Cli({"/report", "C:\\r.log", "/force"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Contents("C:\\r.log").rfind("Tolvexa Diagnostic Report", 0), 0u);
}

TEST_F(ToolsCliTest, ReportFailuresAndBadUsage) {
  CliResult r = Cli({"--report", "Q:\\nowhere\\r.log"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--report"}, {"--report", ""}, {"--report", "a", "b"}, {"--fix-registry", "x"}, {"--usage", "--force"},
           {"--clean-junk", "--report", "-"}, {"--fix-registry", "--filter", "1"}}) {
    r = Cli(args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(ToolsCliTest, FixRegistryCleanJunkAndUsage) {
  m.SetDword("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr", 1);
  CliResult r = Cli({"--fix-registry"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Registry repaired: 51 of 51 entries done\n");
  const sim::RegKey* k = m.FindKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->values[0].data, (Bytes{0, 0, 0, 0}));

  m.AddFile("C:\\WINDOWS\\Temp\\a.tmp");
  m.AddFile("C:\\WINDOWS\\Temp\\b.tmp").denyOpen = true;
  m.AddFile("C:\\WINDOWS\\Temp\\sub\\c.tmp");
  r = Cli({"--clean-junk"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Not deleted: C:\\WINDOWS\\Temp\\b.tmp\nJunk files deleted: 1\n");
  EXPECT_EQ(m.FindFile("C:\\WINDOWS\\Temp\\a.tmp"), nullptr);
  EXPECT_NE(m.FindFile("C:\\WINDOWS\\Temp\\sub\\c.tmp"), nullptr);
  EXPECT_EQ(m.state.recycleBinEmptied.size(), 1u);

  m.state.processorCount = 2;
  m.state.cpuLoad = 50;
  m.state.totalPhys = 400;
  m.state.availPhys = 100;
  const std::uint32_t ticks = m.state.tickCount;
  r = Cli({"--usage"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "CPU Usage: 50%  ,  Memory Usage: 75%\n");
  EXPECT_GE(m.state.tickCount - ticks, 1000u);  // the two samples are a second apart
  m.state.failingInfoClasses = {2};
  r = Cli({"--usage"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "CPU Usage: -1%  ,  Memory Usage: 75%\n");
}

TEST(ToolsFrontEnd, ReportOfAScenarioFileMatchesTheGoldenFile) {
  std::ostringstream out, err;
  const std::string dir = std::string(TV_SOURCE_DIR) + "/tests/native/golden/";
  EXPECT_EQ(FrontEnd({"--machine", dir + "report_machine.json", "--report", "-"}, out, err, nullptr), 0) << err.str();
  std::ifstream golden(dir + "report_xp.log", std::ios::binary);
  EXPECT_EQ(out.str(), std::string(std::istreambuf_iterator<char>(golden), std::istreambuf_iterator<char>()));
}

}  // namespace
}  // namespace tv
