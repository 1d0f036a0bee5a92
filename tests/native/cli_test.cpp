// The command line: exit codes, the one-line errors and what --info and --version-of print.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "base/paths.h"
#include "main/front.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.AddFile("C:\\App\\tool.exe").versionResource = sim::BuildVersionResource(
        {{"040904b0",
          {{"CompanyName", "Acme"}, {"FileDescription", "Tool"}, {"FileVersion", "1.2"},
           {"LegalCopyright", "(C) Acme"}}}});
    m.AddFile("C:\\App\\plain.exe");
    platform::Install(m.platform());
    InitFolders();
  }
  void TearDown() override { platform::Install(Platform{}); }
  CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  sim::SimMachine m;
};

TEST_F(CliTest, BadUsageIsOneLineAndExitCodeTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"}, {"info"}, {"--info", "extra"}, {"--help", "x"}, {"--version-of"},
      {"--version-of", "a", "b"}, {"--version-of", ""}, {"--list"}, {"--list", "no-such-list"},
      {"--seek"}, {"--seek", "a", "b"},
      // Each switch once, one command per line, modifiers only where a command uses them.
      {"--info", "--info"}, {"--info", "--list", "kernel"}, {"--filter", "2", "--info"},
      {"--list", "processes", "--filter", "1"}, {"--force"}, {"--list", "kernel", "--force"},
      {"--list", "modules", "1", "2"}, {"/bogus"},
  };
  for (const auto& args : cases) {
    CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2) << args[0] << " (" << args.size() << " arguments)";
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "") << args[0];
  }
}

TEST_F(CliTest, HelpAndInfo) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--help"}, {"-h"}, {"/?"}}) {
    CliRun r = Cli(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("--version-of PATH"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
  CliRun r = Cli({"--info"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Windows: Microsoft Windows XP Service Pack 3 (Build 2600)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("WinDir: C:\\WINDOWS\\\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("SysDir: C:\\WINDOWS\\system32\\\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ProgramFilesDir: C:\\Program Files\\\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("AppDir: C:\\Tools\\Tolvexa\\\n"), std::string::npos) << r.out;
}

TEST_F(CliTest, WindowsStyleSwitchesAndModifiersReachTheirCommand) {
  CliRun slash = Cli({"/info"});
  CliRun dashes = Cli({"--info"});
  EXPECT_EQ(slash.code, 0);
  EXPECT_EQ(slash.out, dashes.out);

  m.AddProcess(2344, "C:\\App\\tool.exe").hiddenFromToolhelp = true;
  CliRun plain = Cli({"--list", "processes"});
  CliRun forced = Cli({"/list", "processes", "/force"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_EQ(plain.out.find("tool.exe"), std::string::npos) << "hidden from the ordinary list";
  EXPECT_NE(forced.out.find("tool.exe\t2344\t"), std::string::npos) << forced.out;
}

TEST_F(CliTest, VersionOf) {
  CliRun r = Cli({"--version-of", "C:\\App\\tool.exe"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Company: Acme\nDescription: Tool\nVersion: 1.2\nCopyright: (C) Acme\n");

  r = Cli({"--version-of", "c:\\app\\PLAIN.exe"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Company: \nDescription: \nVersion: \nCopyright: \n");

  r = Cli({"--version-of", "C:\\App\\missing.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.err), 1);
}

TEST_F(CliTest, ListsGoToTheEngineThatKnowsThem) {
  m.AddProcess(2345, "C:\\App\\tool.exe");
  CliRun r = Cli({"--list", "processes"});  // the process engine's list
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("tool.exe"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2345"), std::string::npos) << r.out;
  r = Cli({"--list", "startup"});  // the configuration lists
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

class FrontEndTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& f : files) std::remove(f.c_str());
    platform::Install(Platform{});
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    files.push_back(path);
    return path;
  }
  CliRun Front(std::vector<std::string> args) {
    std::ostringstream out, err;
    int code = FrontEnd(args, out, err, nullptr);
    return {code, out.str(), err.str()};
  }
  std::vector<std::string> files;
};

TEST_F(FrontEndTest, MachineFileIsTakenOutOfTheArguments) {
  // The default machine answers without a scenario.
  CliRun r = Front({"--info"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("WinDir: "), std::string::npos);

  // A scenario whose Windows folder is elsewhere, wherever --machine stands.
  const std::string scenario = Write("tv_front_scenario.json", R"({"folders": {"windows": "E:\\WINNT", "system": "E:\\WINNT\\system32"}})");
  for (const auto& args : std::vector<std::vector<std::string>>{{"--machine", scenario, "--info"},
                                                                 {"--info", "--machine", scenario}}) {
    r = Front(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("WinDir: E:\\WINNT\\\n"), std::string::npos) << r.out;
  }
}

TEST_F(FrontEndTest, BadMachineFileIsOneLineAndExitCodeTwo) {
  const std::string broken = Write("tv_front_broken.json", "{ this is not json");
  const std::vector<std::vector<std::string>> cases = {
      {"--machine"},
      {"--info", "--machine"},
      {"--machine", ::testing::TempDir() + "tv_front_no_such_file.json", "--info"},
      {"--machine", broken, "--info"},
  };
  for (const auto& args : cases) {
    CliRun r = Front(args);
    EXPECT_EQ(r.code, 2) << args.back();
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace tv
