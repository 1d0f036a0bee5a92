// The command-line lists of the process engine.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "process_fixture.h"
#include "ui/text_tables.h"

namespace tv::test {
namespace {

class ProcessCliTest : public ProcessMachine {
 protected:
  std::ostringstream out, err;
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  void SetUp() override {
    ProcessMachine::SetUp();
    LoadEnglishText();
  }
  void TearDown() override { ClearTextTables(); }
};

TEST_F(ProcessCliTest, ProcessListHasCaptionsRowsAndStatus) {
  AddProc(200, "C:\\Apps\\acme.exe", "Acme", "Agent", "1.0");
  AddProc(516, "C:\\Apps\\hid.exe").hiddenFromToolhelp = true;
  AddHandles(516, 3);
  ASSERT_EQ(ProcessCliList("processes", {}, out, err), 0);
  auto lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "ImageName\tPID\tRootkit\tPathName\tCompany\tDescription\tVersion");
  EXPECT_EQ(lines[1], "System Idle Process\t0\tNo\tNT OS Kernel\t\t\t");
  EXPECT_NE(out.str().find("acme.exe\t200\tNo\tC:\\Apps\\acme.exe\tAcme\tAgent\t1.0\n"), std::string::npos);
  EXPECT_NE(out.str().find("hid.exe\t516\tYes\tC:\\Apps\\hid.exe\t\t\t\n"), std::string::npos);
  EXPECT_EQ(lines.back(), "Process: " + std::to_string(lines.size() - 2) + " , Hidden Process: 1");
  EXPECT_TRUE(err.str().empty());
}

TEST_F(ProcessCliTest, ForcedListFindsProbedProcesses) {
  AddProc(1204, "C:\\Apps\\quiet.exe").hiddenFromToolhelp = true;
  ASSERT_EQ(ProcessCliList("processes", {"--force"}, out, err), 0);
  EXPECT_NE(out.str().find("quiet.exe\t1204\tYes\t"), std::string::npos);
}

TEST_F(ProcessCliTest, ModuleThreadAndKernelLists) {
  AddProc(300, "C:\\Apps\\a.exe");
  P(300).threads = {sim::Thread{}};
  P(300).threads[0].tid = 304;
  sim::Module k;
  k.name = "ntoskrnl.exe";
  k.path = "\\SystemRoot\\system32\\ntoskrnl.exe";
  k.base = 0x804D7000;
  k.size = 16;
  m.state.kernelModules = {k};
  struct Case {
    std::string what;
    std::vector<std::string> rest;
    std::string captions, status;
  };
  const Case cases[] = {
      {"modules", {"300"}, "ModuleName\tBaseAddress\tPathName\tBaseSize\tCompany\tDescription\tVersion", "1 Module(s)"},
      {"threads", {"300"}, "TID\tBasePriority\tStartAddress\tTebBaseAddress\tStatus", "1 Thread(s)"},
      {"kernel", {}, "ModuleName\tBaseAddress\tPathName\tBaseSize\tCompany\tDescription\tVersion", "1 Module(s)"},
      {"modules", {"99999"}, "ModuleName\tBaseAddress\tPathName\tBaseSize\tCompany\tDescription\tVersion",
       "0 Module(s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    out.str("");
    ASSERT_EQ(ProcessCliList(c.what, c.rest, out, err), 0);
    auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), c.captions);
    EXPECT_EQ(lines.back(), c.status);
  }
  out.str("");
  ProcessCliList("kernel", {}, out, err);
  EXPECT_EQ(Lines()[1], "ntoskrnl.exe\t0x804D7000\tC:\\WINDOWS\\system32\\ntoskrnl.exe\t16\t\t\t");
}

TEST_F(ProcessCliTest, BadArgumentsGiveOneLineAndExitTwo) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"modules", {}},       {"modules", {"abc"}},         {"threads", {"-4"}},
      {"threads", {"4294967296"}}, {"modules", {"12", "13"}}, {"processes", {"--fast"}},
      {"kernel", {"1"}},
  };
  for (const auto& [what, rest] : cases) {
    std::ostringstream o, e;
    EXPECT_EQ(ProcessCliList(what, rest, o, e), 2) << what;
    const std::string text = e.str();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_TRUE(o.str().empty());
  }
  std::ostringstream o, e;
  EXPECT_EQ(ProcessCliList("ports", {}, o, e), -1);  // not a list of this engine
}

TEST_F(ProcessCliTest, SeekPrintsOneRowPerOwningProcess) {
  AddProc(300, "C:\\Apps\\a.exe");
  AddProc(304, "C:\\Apps\\b.exe");
  ASSERT_EQ(SeekCli("A.EXE", out, err), 0);
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "OwnerPID\tPathName\tOwnerProcess\tBaseAddress\tBaseSize");
  EXPECT_EQ(lines[1], "300\tC:\\Apps\\a.exe\ta.exe\t0x00400000\t65536");
  EXPECT_EQ(lines[2], "1 Module(s)");
}

}  // namespace
}  // namespace tv::test
