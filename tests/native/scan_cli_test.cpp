// The threat scan's command line (--scan, --clean, --trust, --verify) on a scenario machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "cli/cli.h"
#include "platform/sim/sim_machine.h"
#include "scan_fixture.h"
#include "ui/text_tables.h"

namespace tv::test {
namespace {

constexpr const char* kScenario = R"({
  "files": [
    {"path": "C:\\Tools\\Tolvexa\\tolvexa.exe"},
    {"path": "C:\\evil\\dropper.exe"},
    {"path": "C:\\apps\\vendor.exe", "version": {"CompanyName": "Vendor"}},
    {"path": "C:\\apps\\signed.exe"},
    {"path": "C:\\WINDOWS\\system32\\userinit.exe", "version": {"CompanyName": "Microsoft Corporation"}},
    {"path": "C:\\evil\\second.dll", "version": {"CompanyName": "Evil"}},
    {"path": "C:\\scan\\a.exe"},
    {"path": "C:\\scan\\sub\\DROPPER.EXE"}
  ],
  "registry": [
    {"key": "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
     "values": {"dropper": "C:\\evil\\dropper.exe", "vendor": "C:\\apps\\vendor.exe",
                "signed": "C:\\apps\\signed.exe", "ghost": "C:\\gone\\ghost.exe",
                "scanned": "C:\\scan\\sub\\DROPPER.EXE"}},
    {"key": "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
     "values": {"Userinit": "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil\\second.dll"}}
  ],
  "signatures": {"C:\\apps\\signed.exe": 0},
  "processes": [
    {"pid": 0}, {"pid": 4},
    {"pid": 1500, "imagePath": "C:\\apps\\vendor.exe",
     "modules": [{"path": "C:\\apps\\vendor.exe"}, {"path": "C:\\evil\\dropper.exe"}]}
  ]
})";

const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWinlogon = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kDropper = "Dangerous\tc:\\evil\\dropper.exe\t" + kRun + " {dropper}";
const std::string kGhost = "Unknown\tc:\\gone\\ghost.exe\t" + kRun + " {ghost}";
const std::string kScanned = "Dangerous\tc:\\scan\\sub\\dropper.exe\t" + kRun + " {scanned}";
const std::string kSecond = "Potential\tc:\\evil\\second.dll\t" + kWinlogon + " {Userinit}";

class ScanCliTest : public ::testing::Test {
 protected:
  std::unique_ptr<sim::SimMachine> m = sim::LoadScenarioText(kScenario);
  void SetUp() override {
    platform::Install(m->platform());
    InitFolders();
    LoadEnglishText();
    ScanTest::ClearScanState();
  }
  void TearDown() override {
    EXPECT_EQ(m->OpenHandleCount(), 0u) << ::testing::PrintToString(m->OpenHandleKinds());
    ScanTest::ClearScanState();
    platform::Install(Platform{});
  }
  int code = -1;
  std::string errText;
  std::vector<std::string> Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    code = RunCli(args, out, err);
    errText = err.str();
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool HasValue(const std::string& key, const std::string& name) {
    sim::RegKey* k = m->FindKey(key);
    if (!k) return false;
    for (const auto& v : k->values)
      if (v.name == name) return true;
    return false;
  }
  std::size_t TrustFileSize() {
    sim::File* f = m->FindFile("C:\\Tools\\Tolvexa\\trust.lst");
    return f ? f->contents.size() : std::string::npos;
  }
};

TEST_F(ScanCliTest, SmartScanPrintsEachThreatThenTheCount) {
  EXPECT_EQ(Run({"--scan"}), (std::vector<std::string>{kDropper, kGhost, kScanned, kSecond, "Smart Scan completed",
                                                        "Found Threat: 4"}));
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(m->state.soundsPlayed.empty());  // no alert sound on the command line
  Run({"/scan"});
  EXPECT_EQ(code, 1);
}

TEST_F(ScanCliTest, CleanSelectsByRiskLevel) {
  struct Case {
    std::string choice;
    std::vector<std::string> cleaned;  // value names whose entries are gone
  };
  const Case cases[] = {
      {"dangerous", {"dropper", "scanned"}},
      {"potential", {"Userinit"}},
      {"risky", {"dropper", "ghost", "scanned", "Userinit"}},
      {"all", {"dropper", "ghost", "scanned", "Userinit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    m = sim::LoadScenarioText(kScenario);
    platform::Install(m->platform());
    const std::vector<std::string> lines = Run({"--scan", "--clean", c.choice});
    EXPECT_EQ(code, 1);
    std::vector<std::string> cleanLines(lines.begin() + 6, lines.end());
    ASSERT_EQ(cleanLines.size(), c.cleaned.size());
    for (const std::string& l : cleanLines) EXPECT_EQ(l.rfind("Clean\t", 0), 0u) << l;
    auto cleaned = [&](const std::string& name) {
      return std::find(c.cleaned.begin(), c.cleaned.end(), name) != c.cleaned.end();
    };
    EXPECT_EQ(HasValue(kRun, "dropper"), !cleaned("dropper"));
    EXPECT_EQ(m->FindFile("C:\\evil\\dropper.exe") != nullptr, !cleaned("dropper"));
    EXPECT_EQ(HasValue(kRun, "ghost"), !cleaned("ghost"));
    EXPECT_EQ(m->FindFile("C:\\evil\\second.dll") != nullptr, !cleaned("Userinit"));
    EXPECT_TRUE(HasValue(kRun, "vendor"));
    EXPECT_TRUE(m->FindFile("C:\\apps\\vendor.exe"));
  }
  // The cleaned Userinit value is the system's own again.
  sim::RegKey* k = m->FindKey(kWinlogon);
  ASSERT_TRUE(k);
  EXPECT_EQ(std::string(k->values[0].data.begin(), k->values[0].data.end()),
            std::string("C:\\WINDOWS\\system32\\userinit.exe\0", 33));

  // What was cleaned is gone from the next scan.
  m = sim::LoadScenarioText(kScenario);
  platform::Install(m->platform());
  Run({"--scan", "--clean", "dangerous"});
  EXPECT_EQ(Run({"--scan"}), (std::vector<std::string>{kGhost, kSecond, "Smart Scan completed", "Found Threat: 2"}));
}

TEST_F(ScanCliTest, BlackListScans) {
  EXPECT_EQ(Run({"--scan", "memory"}),
            (std::vector<std::string>{"Dangerous\tC:\\evil\\dropper.exe\t" + kRun + " {dropper}",
                                      "Scan Memory completed", "Found Threat: 1"}));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Run({"--scan", "system", "C:\\scan"}),
            (std::vector<std::string>{"Dangerous\tC:\\scan\\sub\\DROPPER.EXE\t" + kRun + " {scanned}",
                                      "Scan spyware completed", "Found Threat: 1"}));
  EXPECT_EQ(code, 1);
  // The whole drive by default; a file with a company name is never reported.
  EXPECT_EQ(Run({"--scan", "system"}),
            (std::vector<std::string>{"Dangerous\tC:\\evil\\dropper.exe\t" + kRun + " {dropper}",
                                      "Dangerous\tC:\\scan\\sub\\DROPPER.EXE\t" + kRun + " {scanned}",
                                      "Scan spyware completed", "Found Threat: 2"}));
  EXPECT_EQ(Run({"--scan", "system", "C:\\scan\\sub", "--clean", "all"}).back(),
            "Clean\tc:\\scan\\sub\\dropper.exe\t" + kRun + " {scanned}");
  EXPECT_FALSE(m->FindFile("C:\\scan\\sub\\DROPPER.EXE"));
  EXPECT_FALSE(HasValue(kRun, "scanned"));
}

TEST_F(ScanCliTest, BadInputIsOneLineAndChangesNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {"--scan", "--clean", "everything"}, {"--scan", "bogus"},          {"--scan", "memory", "x"},
      {"--scan", "system", "C:\\missing"}, {"--scan", "system", "C:\\evil\\dropper.exe"},
      {"--clean", "all"},                  {"--trust", "list", "--clean", "all"},
      {"--trust"},                         {"--trust", "bogus"},          {"--trust", "add"},
      {"--trust", "add", "evil\\dropper.exe"},  {"--trust", "add", "C:\\evil\\dropper.exe", "C:\\gone\\x.exe"},
      {"--trust", "add", "C:\\evil"},      {"--trust", "remove"},         {"--trust", "remove", "1"},
      {"--trust", "remove", "x"},          {"--trust", "list", "x"},      {"--verify"},
      {"--verify", "C:\\gone\\x.exe"},     {"--verify", "C:\\evil"},      {"--scan", "--trust", "list"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_TRUE(Run(args).empty());
    EXPECT_EQ(code, 2);
    EXPECT_EQ(std::count(errText.begin(), errText.end(), '\n'), 1) << errText;
  }
  EXPECT_TRUE(m->FindFile("C:\\evil\\dropper.exe"));
  EXPECT_TRUE(HasValue(kRun, "dropper"));
  EXPECT_EQ(TrustFileSize(), std::string::npos);  // no trust list was written
}

TEST_F(ScanCliTest, TrustListCommands) {
  EXPECT_EQ(Run({"--trust", "list"}), (std::vector<std::string>{"0 Item(s)"}));
  EXPECT_EQ(Run({"--trust", "add", "C:\\evil\\Dropper.exe", "C:\\apps\\vendor.exe"}),
            (std::vector<std::string>{"1\tC:\\evil\\Dropper.exe\tUnknown\t {}\t\t",
                                      "2\tC:\\apps\\vendor.exe\tNormal\t {}\tVendor\t", "2 Item(s)"}));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(TrustFileSize(), 2 * kListRecordSize);

  // Trusted in any letter case: the next scan does not report it.
  EXPECT_EQ(Run({"--scan"}),
            (std::vector<std::string>{kGhost, kScanned, kSecond, "Smart Scan completed", "Found Threat: 3"}));

  EXPECT_EQ(Run({"--trust", "remove", "1"}), (std::vector<std::string>{"Removed\tC:\\evil\\Dropper.exe", "1 Item(s)"}));
  EXPECT_EQ(TrustFileSize(), kListRecordSize);
  EXPECT_EQ(Run({"--trust", "list"}),
            (std::vector<std::string>{"1\tC:\\apps\\vendor.exe\tNormal\t {}\tVendor\t", "1 Item(s)"}));
  Run({"--trust", "remove", "2"});
  EXPECT_EQ(code, 2);
  EXPECT_EQ(Run({"--scan"}).front(), kDropper);
}

TEST_F(ScanCliTest, VerifyPrintsTheSignatureMessage) {
  EXPECT_EQ(Run({"--verify", "C:\\apps\\signed.exe"}),
            (std::vector<std::string>{"The file \"C:\\apps\\signed.exe\" is signed and the signature was verified."}));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Run({"--verify", "C:\\evil\\dropper.exe"}),
            (std::vector<std::string>{"The file \"C:\\evil\\dropper.exe\" is not signed."}));
  EXPECT_EQ(code, 1);
}

TEST_F(ScanCliTest, HelpNamesTheScanCommands) {
  const std::vector<std::string> help = Run({"--help"});
  std::string all;
  for (const std::string& l : help) all += l + "\n";
  for (const char* s : {"--scan", "--clean", "--trust", "--verify"}) EXPECT_NE(all.find(s), std::string::npos) << s;
}

}  // namespace
}  // namespace tv::test
