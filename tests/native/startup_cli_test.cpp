// The command-line lists of the configuration and port tabs.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

class ConfigCliTest : public ::testing::Test {
 protected:
  sim::SimMachine m;
  void SetUp() override {
    platform::Install(m.platform());
    InitFolders();
    LoadEnglishText();
  }
  void TearDown() override {
    EXPECT_EQ(m.OpenHandleCount(), 0u);
    platform::Install(Platform{});
  }
  struct Result {
    int code;
    std::vector<std::string> lines;
    std::string err;
  };
  Result Run(const std::string& what, const std::vector<std::string>& rest) {
    std::ostringstream out, err;
    Result r;
    r.code = ConfigCliList(what, rest, out, err);
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    r.err = err.str();
    return r;
  }
};

TEST_F(ConfigCliTest, StartupAndBhoLists) {
  m.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", "C:\\tool.exe");
  Result r = Run("startup", {});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Group\tName\tValue", "Run\tTool\tC:\\tool.exe", "1 Item(s)"}));

  r = Run("bho", {});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Nmae\tValue\tPublisher", "0 Item(s)"}));
}

TEST_F(ConfigCliTest, BadArgumentsGiveOneLineAndExitTwo) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"startup", {"x"}},           {"bho", {"--filter", "1"}},     {"ports", {"--all"}},
      {"services", {"--filter"}},   {"services", {"--filter", "5"}}, {"services", {"--filter", "-1"}},
      {"services", {"--filter", "12"}}, {"services", {"--filter", "1", "x"}}, {"services", {"1"}}};
  for (const auto& [what, rest] : cases) {
    Result r = Run(what, rest);
    EXPECT_EQ(r.code, 2) << what;
    EXPECT_TRUE(r.lines.empty()) << what;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
  EXPECT_EQ(Run("processes-of-mars", {}).code, -1);
}

}  // namespace
}  // namespace tv
