// A simulated machine installed for one test, with folder values, the English text tables and a
// recording UI. At the end every handle the code under test opened must be closed again.
#pragma once
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {

class SimTest : public ::testing::Test {
 protected:
  sim::SimMachine m;
  ui::Recorder recorder;
  void SetUp() override {
    platform::Install(m.platform());
    InitFolders();
    LoadEnglishText();
    ui::Install(&recorder);
  }
  void TearDown() override {
    EXPECT_EQ(m.OpenHandleCount(), 0u) << ::testing::PrintToString(m.OpenHandleKinds());
    ui::Install(nullptr);
    platform::Install(Platform{});
  }
};

// Runs one list of the configuration and port tabs on the command line; the lines it printed.
inline std::vector<std::string> CliLines(const std::string& what, const std::vector<std::string>& rest, int& code) {
  std::ostringstream out, err;
  code = ConfigCliList(what, rest, out, err);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tv
