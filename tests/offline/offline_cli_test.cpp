// tolvexa --offline DIR [--user NAME] COMMAND over fake installations: what the commands print,
// the choice of the user, the refusals and the disks that cannot be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "main/front.h"
#include "offline/offline_tree.h"

namespace tv {
namespace {

using offtest::FakeWindows;
using offtest::Layout;
namespace fs = std::filesystem;

struct CliResult {
  int code;
  std::vector<std::string> lines;
  std::string err;
};

CliResult Tolvexa(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  CliResult r;
  r.code = FrontEnd(args, out, err, nullptr);
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) r.lines.push_back(line);
  r.err = err.str();
  return r;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Every file of the tree with its bytes: to show that nothing was touched.
std::map<std::string, Bytes> Snapshot(const std::string& root) {
  std::map<std::string, Bytes> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[e.path().string()] = offtest::ReadFileBytes(e.path().string());
  return files;
}

TEST(OfflineCli, InfoAndListsOfAnXpDisk) {
  FakeWindows tree(Layout::Xp);
  CliResult r = Tolvexa({"--offline", tree.Root(), "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r.lines, "Windows: Microsoft Windows XP Service Pack 3 (Build 2600)")) << ::testing::PrintToString(r.lines);
  EXPECT_TRUE(Has(r.lines, "Version: 5.1.2600 platform 2"));
  EXPECT_TRUE(Has(r.lines, "WinDir: C:\\WINDOWS\\"));
  EXPECT_TRUE(Has(r.lines, "SysDir: C:\\WINDOWS\\system32\\"));
  EXPECT_TRUE(Has(r.lines, "UserProfileDir: C:\\Documents and Settings\\Admin\\"));
  EXPECT_TRUE(Has(r.lines, "StartupDir: C:\\Documents and Settings\\Admin\\Start Menu\\Programs\\Startup\\"));

  r = Tolvexa({"--offline", tree.Root(), "--list", "startup"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.lines, (std::vector<std::string>{
                         "Group\tName\tValue",
                         "Run\tTool\tC:\\Program Files\\Tool\\tool.exe /background",
                         "Run\tUpdater\t\"C:\\Program Files\\Updater\\upd.exe\"",
                         "Run\t(Default)\t%SystemRoot%\\system32\\dflt.exe",
                         "Run\tCounter\t7",
                         "Run\tChat\tC:\\Documents and Settings\\Admin\\chat.exe",
                         "Winlogon\tShell\tExplorer.exe",
                         "Winlogon\tUserinit\tC:\\WINDOWS\\system32\\userinit.exe,",
                         "Session Manager\tBootExecute\tautocheck autochk *",
                         "8 Item(s)"}));

  // The user's class wins over the machine's; the machine's library is found on the disk
  // although its letter case differs, and its company is read from it.
  r = Tolvexa({"--offline", tree.Root(), "--list", "bho"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.lines, (std::vector<std::string>{
                         "Nmae\tValue\tPublisher",
                         "{11111111-2222-3333-4444-555555555555}\tC:\\WINDOWS\\System32\\HELPER.DLL\tHelper Corp",
                         "{66666666-7777-8888-9999-AAAAAAAAAAAA}\tC:\\Documents and Settings\\Admin\\userbho.dll\t",
                         "2 Item(s)"}));

  // The services of ControlSet002 (Select\Current = 2), status empty: no service manager runs.
  r = Tolvexa({"--offline", tree.Root(), "--list", "services", "--filter", "0"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(r.lines.size(), 4u) << ::testing::PrintToString(r.lines);
  EXPECT_EQ(r.lines[1],
            "Beep\t\t\tKernel\tAutomatic\tC:\\WINDOWS\\System32\\DRIVERS\\beep.sys\t\tBase\tMicrosoft Corporation\t\t5.1.2600");
  EXPECT_EQ(r.lines[2],
            "Helper\tHelper Service\t\tShared\tAutomatic\tC:\\WINDOWS\\System32\\svchost.exe -k netsvcs\tHelps\t\t\t\t");
  EXPECT_EQ(r.lines[3], "2 Item(s)");
}

TEST(OfflineCli, WhatNeedsARunningSystemIsRefused) {
  FakeWindows tree(Layout::Xp);
  const auto before = Snapshot(tree.Root());
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"--list", "processes"}, {"--list", "processes", "--force"},
                                             {"--list", "modules", "4"}, {"--list", "threads", "4"},
                                             {"--list", "kernel"}, {"--list", "ports"}, {"--seek", "x.dll"}}) {
    std::vector<std::string> args = {"--offline", tree.Root()};
    args.insert(args.end(), command.begin(), command.end());
    CliResult r = Tolvexa(args);
    EXPECT_EQ(r.code, 2) << command[1];
    EXPECT_TRUE(r.lines.empty()) << command[1];
    const std::string what = command[0] == "--seek" ? "--seek" : "--list " + command[1];
    EXPECT_EQ(r.err, "tolvexa: " + what + " is not available on an offline disk\n");
  }
  // The same commands still run on a simulated machine afterwards.
  EXPECT_EQ(Tolvexa({"--list", "kernel"}).code, 0);
  EXPECT_EQ(Snapshot(tree.Root()), before);
}

// No trust service offline: each scan says so once and rates on without signatures; --verify
// says so instead of an answer.
TEST(OfflineCli, ScansSayOnceThatSignaturesAreNotChecked) {
  FakeWindows tree(Layout::Xp);
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"--scan"}, {"--scan", "system", "C:\\WINDOWS"}}) {
    std::vector<std::string> args = {"--offline", tree.Root()};
    args.insert(args.end(), command.begin(), command.end());
    CliResult r = Tolvexa(args);
    EXPECT_NE(r.code, 2) << r.err;
    EXPECT_EQ(r.err, "tolvexa: signatures not checked offline\n") << command.size();
  }
  CliResult v = Tolvexa({"--offline", tree.Root(), "--verify", "C:\\WINDOWS\\system32\\userinit.exe"});
  EXPECT_EQ(v.code, 1);
  EXPECT_TRUE(v.lines.empty());
  EXPECT_EQ(v.err, "tolvexa: signatures not checked offline\n");
  // A simulated machine has its trust service: nothing is said.
  EXPECT_EQ(Tolvexa({"--scan"}).err, "");
}

TEST(OfflineCli, TheUserIsTheOnlyProfileWithAHiveOrTheOneNamed) {
  FakeWindows tree(Layout::Win10);
  CliResult r = Tolvexa({"--offline", tree.Root(), "--info"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "tolvexa: several user profiles on this disk (Bob, Eve): choose one with --user NAME\n");
  r = Tolvexa({"--offline", tree.Root(), "--user", "EVE", "--list", "startup"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r.lines, "Run\tChat\tC:\\Users\\Eve\\chat.exe")) << ::testing::PrintToString(r.lines);
  r = Tolvexa({"--offline", tree.Root(), "--user", "S-1-5-21-9-9-9-1001", "--info"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r.lines, "UserProfileDir: C:\\Users\\Bob\\"));
  EXPECT_TRUE(Has(r.lines, "Version: 10.0.19045 platform 2"));

  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--user", "Mallory"}, "tolvexa: no user profile Mallory on this disk (profiles: Bob, Eve, Old)\n"},
      {{"--user", "old"}, "tolvexa: user profile old has no NTUSER.DAT\n"},
      {{"--user"}, "tolvexa: --user needs a NAME\n"},
      {{"--user", "Bob", "--user", "Eve"}, "tolvexa: --user given twice\n"},
  };
  for (const auto& [extra, message] : refused) {
    std::vector<std::string> args = {"--offline", tree.Root()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("--info");
    if (extra.size() == 1) args = {"--offline", tree.Root(), "--info", "--user"};
    r = Tolvexa(args);
    EXPECT_EQ(r.code, 2) << message;
    EXPECT_EQ(r.err, message);
    EXPECT_TRUE(r.lines.empty());
  }
  EXPECT_EQ(Tolvexa({"--user", "Bob", "--info"}).err, "tolvexa: --user is used only with --offline DIR\n");
}

TEST(OfflineCli, DisksThatCannotBeOpenedGiveOneLineAndTouchNothing) {
  FakeWindows tree(Layout::Xp);
  const std::string software = tree.SoftwareHive();
  struct Case {
    const char* what;
    std::function<std::string()> prepare;  // returns the folder to open
    std::string message;                   // the start of the error line
  };
  const std::string empty = tree.Host("empty");
  fs::create_directories(empty + "/WINDOWS/system32/config");
  const Bytes whole = offtest::ReadFileBytes(software);
  std::vector<Case> cases = {
      {"no folder", [&] { return tree.Host("missing"); }, "tolvexa: not a folder: "},
      {"no hives", [&] { return empty; }, "tolvexa: no Windows installation in "},
      {"truncated hive",
       [&] {
         offtest::WriteFile(software, Bytes(whole.begin(), whole.begin() + 0x1800));
         return tree.Root();
       },
       "tolvexa: registry hive is truncated: "},
      {"not a hive",
       [&] {
         offtest::WriteFile(software, Bytes(0x3000, 'x'));
         return tree.Root();
       },
       "tolvexa: not a registry hive: "},
      {"damaged hive",
       [&] {
         Bytes b = whole;
         b[0x1000] = 'X';  // the first bin loses its signature
         offtest::WriteFile(software, b);
         return tree.Root();
       },
       "tolvexa: cannot read registry hive "},
  };
  for (const Case& c : cases) {
    const std::string dir = c.prepare();
    const auto before = Snapshot(tree.Root());
    CliResult r = Tolvexa({"--offline", dir, "--list", "startup"});
    EXPECT_EQ(r.code, 2) << c.what;
    EXPECT_TRUE(r.lines.empty()) << c.what;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << c.what << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what;
    EXPECT_EQ(Snapshot(tree.Root()), before) << c.what;
  }
  EXPECT_EQ(Tolvexa({"--offline", tree.Root(), "--machine", "x.json", "--info"}).err,
            "tolvexa: --offline and --machine cannot be given together\n");
}

}  // namespace
}  // namespace tv

namespace tv {
namespace {

// A report of the disk goes where the administrator names it: a "/" path on this Linux machine
// (the disk stays as it was), a Windows path on the disk. An existing host file is kept unless
// --force is given.
TEST(OfflineCli, ReportToAHostFileOrToTheDisk) {
  FakeWindows tree(Layout::Xp);
  const std::string host = fs::temp_directory_path().string() + "/tolvexa-offline-report-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt";
  fs::remove(host);
  const auto before = Snapshot(tree.Root());

  std::ostringstream out, err;
  ASSERT_EQ(FrontEnd({"--offline", tree.Root(), "--report", "-"}, out, err, nullptr), 0) << err.str();
  const std::string expected = out.str();
  ASSERT_NE(expected.find("=======Startup Informaion======="), std::string::npos);

  CliResult r = Tolvexa({"--offline", tree.Root(), "--report", host});
  ASSERT_EQ(r.code, 0) << r.err;
  const Bytes written = offtest::ReadFileBytes(host);
  // The date line may move on by a second between the two runs: compare past it.
  const auto body = [](const std::string& text) { return text.substr(text.find("=======")); };
  EXPECT_EQ(body(std::string(written.begin(), written.end())), body(expected));
  EXPECT_EQ(Snapshot(tree.Root()), before);

  {
    std::ofstream(host, std::ios::binary | std::ios::trunc) << "keep";
  }
  r = Tolvexa({"--offline", tree.Root(), "--report", host});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.rfind("tolvexa: " + host + " exists already; --force replaces it", 0), 0u) << r.err;
  const Bytes kept = offtest::ReadFileBytes(host);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep");
  r = Tolvexa({"--offline", tree.Root(), "--report", host, "--force"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_GT(fs::file_size(host), 4u);
  fs::remove(host);

  r = Tolvexa({"--offline", tree.Root(), "--report", "C:\\report.txt"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(tree.Host("report.txt")));
}

}  // namespace
}  // namespace tv
