// The diagnostic report: the golden file of a complete machine, the dialog and overwrite steps,
// the cases of its sections, and the one reading of each module file's version resource.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "platform/sim/sim_machine.h"
#include "tools/file_dialog.h"
#include "tools/report.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {
namespace {

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/tests/native/golden/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Text(const sim::File& f) { return std::string(f.contents.begin(), f.contents.end()); }

// The report's lines without their CR LF (which every line must carry).
std::vector<std::string> Lines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t end = report.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF at the end: " << report.substr(start);
      break;
    }
    lines.push_back(report.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The lines of one section: from its banner up to the next banner (or the end).
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& banner) {
  std::vector<std::string> out;
  bool in = false;
  for (const std::string& l : lines) {
    if (l.rfind("=======", 0) == 0) {
      if (in) break;
      in = l == banner;
    }
    if (in) out.push_back(l);
  }
  return out;
}

// A user who takes a few seconds over the save dialog (the machine's clock moves on meanwhile).
class User : public ui::Recorder {
 public:
  explicit User(sim::SimMachine*& machine) : machine_(machine) {}
  std::string GetSaveFileName(const ui::FileDialog& d) override {
    machine_->state.tickCount += 3000;
    ++saveDialogs;
    return Recorder::GetSaveFileName(d);
  }
  std::string GetOpenFileName(const ui::FileDialog& d) override {
    machine_->state.tickCount += 3000;
    ++openDialogs;
    return Recorder::GetOpenFileName(d);
  }
  int saveDialogs = 0, openDialogs = 0;

 private:
  sim::SimMachine*& machine_;
};

class ReportTest : public ::testing::Test {
 protected:
  std::unique_ptr<sim::SimMachine> owner;
  sim::SimMachine* m = nullptr;
  User user{m};

  void SetUp() override {
    owner = sim::LoadScenario(std::string(TV_SOURCE_DIR) + "/tests/native/golden/report_machine.json");
    m = owner.get();
    m->AddFile("C:\\Reports", fattr::Directory);
    Install();
  }
  void Install() {
    platform::Install(m->platform());
    InitFolders();
    LoadEnglishText();
    ui::Install(&user);
  }
  void TearDown() override {
    EXPECT_EQ(m->OpenHandleCount(), 0u) << ::testing::PrintToString(m->OpenHandleKinds());
    ui::Install(nullptr);
    platform::Install(Platform{});
  }
  std::string Report() {
    std::ostringstream out;
    EXPECT_TRUE(WriteReport(out));
    return out.str();
  }
};

TEST_F(ReportTest, MatchesTheGoldenFileByteForByte) {
  const std::string golden = Golden("report_xp.log");
  ASSERT_FALSE(golden.empty());
  const std::string report = Report();
  const std::vector<std::string> want = Lines(golden), got = Lines(report);
  for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
  EXPECT_EQ(got.size(), want.size());
  EXPECT_EQ(report, golden);
  // ANSI of the machine's code page: "é" is one byte, a character the page lacks is "?".
  EXPECT_NE(report.find("Soci\xE9t\xE9 G\xE9n\xE9rale \x80"), std::string::npos);
  EXPECT_NE(report.find("?? Viewer"), std::string::npos);
  EXPECT_EQ(report.find("\xC3"), std::string::npos);  // no UTF-8 left
}

TEST_F(ReportTest, GenerateReportWritesTheChosenFileWithTheProgressWindow) {
  user.dialogAnswers = {"C:\\Reports\\TolvexaReport.log"};
  const std::uint32_t ticks = m->state.tickCount;
  WriteDiagnosticReport();

  ASSERT_EQ(user.dialogs.size(), 1u);  // the user took time: no second dialog
  EXPECT_EQ(user.saveDialogs, 1);
  const ui::FileDialog& d = user.dialogs[0];
  EXPECT_EQ(d.title, "Export Report");
  EXPECT_EQ(d.fileName, "TolvexaReport.log");
  ASSERT_EQ(d.filters.size(), 1u);
  EXPECT_EQ(d.filters[0].second, "*.log");
  EXPECT_EQ(d.flags, 0x2004u);
  EXPECT_EQ(d.maxFile, 260u);
  EXPECT_EQ(d.defaultExt, "");
  EXPECT_EQ(d.initialDir, "");

  const sim::File* f = m->FindFile("C:\\Reports\\TolvexaReport.log");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Text(*f), Golden("report_xp.log"));
  const std::vector<std::string> events = {
      "progress Tolvexa - Generate Report 6", "value 0", "main disabled", "value 1", "value 2", "value 3",
      "value 4",  "value 5", "value 6", "close progress", "main enabled"};
  EXPECT_EQ(user.windowEvents, events);
  EXPECT_TRUE(user.messages.empty());
  // Events run after the first step, after every process written (six of them) and every step.
  EXPECT_GE(user.doEvents, 1 + 6 + 6);
  EXPECT_GE(m->state.tickCount - ticks, 3000u + 500u);  // the dialog, then the closing wait
}

TEST_F(ReportTest, CancellingTheDialogWritesNothing) {
  user.dialogAnswers = {""};
  const std::size_t files = m->state.files.size();
  WriteDiagnosticReport();
  EXPECT_EQ(user.dialogs.size(), 1u);
  EXPECT_EQ(m->state.files.size(), files);
  EXPECT_TRUE(user.windowEvents.empty());
  EXPECT_TRUE(user.messages.empty());
  EXPECT_EQ(m->CallCount("CreateToolhelp32Snapshot"), 0u);
}

TEST_F(ReportTest, OverwriteQuestionNoLeavesTheFileYesReplacesIt) {
  m->AddFile("C:\\Reports\\old.log", fattr::Archive, Bytes{'o', 'l', 'd'});
  user.dialogAnswers = {"C:\\Reports\\old.log"};
  user.answers = {ui::mb::IdNo};
  WriteDiagnosticReport();
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text, "File has been existed. Are you sure to overwrite?");
  EXPECT_EQ(user.messages[0].title, "Tolvexa");
  EXPECT_EQ(user.messages[0].flags, ui::mb::YesNo | ui::mb::DefButton2 | ui::mb::IconExclamation);
  EXPECT_EQ(Text(*m->FindFile("C:\\Reports\\old.log")), "old");
  EXPECT_TRUE(user.windowEvents.empty());

  // Yes: the old file (read-only here) goes, the report takes its name.
  m->FindFile("C:\\Reports\\old.log")->attributes = fattr::ReadOnly;
  user.dialogAnswers = {"C:\\Reports\\old.log"};
  user.answers = {ui::mb::IdYes};
  user.messages.clear();
  WriteDiagnosticReport();
  EXPECT_EQ(user.messages.size(), 1u) << user.messages.back().text;  // the question only: the deletion worked
  ASSERT_NE(m->FindFile("C:\\Reports\\old.log"), nullptr);
  EXPECT_EQ(Text(*m->FindFile("C:\\Reports\\old.log")), Golden("report_xp.log"));
}

TEST_F(ReportTest, AFileThatCannotBeCreatedIsReportedNotPassedOver) {
  m->AddFile("C:\\Reports\\locked.log", fattr::Archive, Bytes{'x'}).denyOpen = true;
  user.dialogAnswers = {"C:\\Reports\\locked.log"};
  user.answers = {ui::mb::IdYes};
  WriteDiagnosticReport();
  ASSERT_EQ(user.messages.size(), 3u);
  EXPECT_EQ(user.messages[1].text, "Delete file :C:\\Reports\\locked.log error!");
  EXPECT_EQ(user.messages[2].text, "Write report file :C:\\Reports\\locked.log error!");
  EXPECT_EQ(user.messages[2].flags, ui::mb::IconExclamation);
  EXPECT_EQ(user.windowEvents.back(), "main enabled");
  EXPECT_EQ(m->CallCount("CreateToolhelp32Snapshot"), 0u);  // nothing gathered for nothing
}

TEST_F(ReportTest, SingleKernelModuleHasNoFurtherLines) {
  m->state.kernelModules.resize(1);
  const std::vector<std::string> kernel = Section(Lines(Report()), "=======Kernel Informaion=======");
  const std::vector<std::string> want = {
      "=======Kernel Informaion=======", "Image Path  ,  Company  ,  Description  ,  Version", "",
      "C:\\WINDOWS\\system32\\ntkrnlpa.exe  ,  Microsoft Corporation  ,  NT Kernel & System  ,  5.1.2600.5512 "
      "(xpsp.080413-2111)",
      "", ""};
  EXPECT_EQ(kernel, want);
}

TEST_F(ReportTest, PausedServiceAfterARunningOneHasNoStatusInEveryLanguage) {
  LoadChineseText();  // the service words stay English
  const std::vector<std::string> services = Section(Lines(Report()), "=======Service Informaion=======");
  auto row = [&](const std::string& name) {
    for (const std::string& l : services)
      if (l.rfind(name + "  ,  ", 0) == 0) return l;
    return std::string();
  };
  auto starts = [&](const std::string& name, const std::string& prefix) {
    EXPECT_EQ(row(name).substr(0, prefix.size()), prefix);
  };
  starts("RpcSs", "RpcSs  ,  Remote Procedure Call (RPC)  ,  Started  ,  Shared  ,  Automatic  ,  ");
  starts("Spooler", "Spooler  ,  Print Spooler  ,    ,  Independent,Interactive  ,  Automatic  ,  ");
  starts("Fastfat", "Fastfat  ,  Fastfat  ,  Stopped  ,  Kernel  ,  Disabled  ,  ");
  EXPECT_EQ(row("NoImage"), "");  // no image path: not a service entry
}

TEST_F(ReportTest, IpHelperRowsEndInTheSeparatorOfTheUnknownOwner) {
  m->state.version = OsVersionInfo{6, 1, 7601, 2, "Service Pack 1"};
  const std::vector<std::string> ports = Section(Lines(Report()), "=======Port Informaion=======");
  const std::vector<std::string> want = {
      "=======Port Informaion=======",
      "Protocol  ,  Local IP  ,  Local Port  ,  Remote IP  ,  Remote Port  ,  Status  ,  ImageFile",
      "",
      "TCP  ,  0.0.0.0  ,  135  ,  0.0.0.0  ,  4660  ,  LISTENING  ,  ",
      "TCP  ,  192.168.1.10  ,  1042  ,  203.0.113.7  ,  6667  ,  ESTABLISHED  ,  ",
      "TCP  ,  192.168.1.10  ,  1043  ,  198.51.100.2  ,  80  ,  TIME WAIT  ,  ",
      "UDP  ,  0.0.0.0  ,  500  ,  ---  ,  0  ,    ,  ",
      "UDP  ,  127.0.0.1  ,  1900  ,  ---  ,  0  ,    ,  ",
      ""};
  EXPECT_EQ(ports, want);
}

TEST_F(ReportTest, ListsThatCannotBeGatheredLeaveBannerAndHeader) {
  m->state.failingInfoClasses = {11};
  m->state.transportDevicesPresent = false;
  const std::vector<std::string> lines = Lines(Report());
  const std::vector<std::string> kernel = {"=======Kernel Informaion=======",
                                           "Image Path  ,  Company  ,  Description  ,  Version", "", ""};
  EXPECT_EQ(Section(lines, "=======Kernel Informaion======="), kernel);
  const std::vector<std::string> ports = {
      "=======Port Informaion=======",
      "Protocol  ,  Local IP  ,  Local Port  ,  Remote IP  ,  Remote Port  ,  Status  ,  ImageFile", "", ""};
  EXPECT_EQ(Section(lines, "=======Port Informaion======="), ports);
}

TEST_F(ReportTest, SnapshotWithoutIdleAndSystemEntriesLosesNoProcess) {
  // Wine's snapshot starts with an ordinary process: it is reported like every other, and the
  // kernel section is written all the same.
  auto& procs = m->state.processes;
  procs.erase(procs.begin(), procs.begin() + 2);
  const std::vector<std::string> lines = Lines(Report());
  EXPECT_EQ(Section(lines, "=======Kernel Informaion=======").size(), 9u);
  const std::vector<std::string> processes = Section(lines, "=======Process and Module Informaion=======");
  ASSERT_GE(processes.size(), 4u);
  EXPECT_EQ(processes[3].substr(0, 31), "C:\\WINDOWS\\system32\\smss.exe  ,");
}

TEST_F(ReportTest, ALineBreakInsideAValueStaysOnItsLine) {
  m->SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Forged",
               "C:\\a.exe\r\n    >>C:\\WINDOWS\\system32\\ntdll.dll");
  const std::vector<std::string> startup = Section(Lines(Report()), "=======Startup Informaion=======");
  EXPECT_NE(std::find(startup.begin(), startup.end(),
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run  ,  Forged  ,  "
                      "C:\\a.exe      >>C:\\WINDOWS\\system32\\ntdll.dll"),
            startup.end());
  for (const std::string& l : startup) EXPECT_NE(l.rfind("    >>", 0), 0u) << l;
}

// Each module file's version resource is read once per report, however many processes load it.
TEST(ReportVersionReads, EachDistinctFileOncePerReport) {
  sim::SimMachine m;
  m.state.processes.clear();
  sim::Process idle;
  idle.pid = 0;
  m.state.processes.push_back(idle);
  const Bytes version = sim::BuildVersionResource({{"040904b0", {{"CompanyName", "Acme"}}}});
  for (const char* dll : {"C:\\WINDOWS\\system32\\ntdll.dll", "C:\\WINDOWS\\system32\\kernel32.dll"})
    m.AddFile(dll).versionResource = version;
  for (int i = 0; i < 3; ++i) {
    const std::string exe = "C:\\Apps\\app" + std::to_string(i) + ".exe";
    m.AddFile(exe).versionResource = version;
    sim::Process& p = m.AddProcess(2000 + 4 * static_cast<std::uint32_t>(i), exe);
    p.modules = {{GetFileName(exe), exe, 0x400000, 0x1000},
                 {"ntdll.dll", "C:\\WINDOWS\\SYSTEM32\\NTDLL.DLL", 0x7C900000, 0x1000},
                 {"kernel32.dll", "C:\\WINDOWS\\system32\\kernel32.dll", 0x7C800000, 0x1000}};
  }
  m.AddFile(m.state.appPath).versionResource = version;
  platform::Install(m.platform());
  InitFolders();
  // The tool's own image (copyright and its process), three images, two DLLs.
  for (int report = 1; report <= 2; ++report) {
    std::ostringstream out;
    EXPECT_TRUE(WriteReport(out));
    EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 6u * report) << "report " << report;
  }
  EXPECT_EQ(m.OpenHandleCount(), 0u);
  platform::Install(Platform{});
}

TEST(VersionCache, AnswersFromOneReadOnlyWhileAScopeLives) {
  sim::SimMachine m;
  sim::File& f = m.AddFile("C:\\a.dll");
  f.versionResource = sim::BuildVersionResource({{"040904b0", {{"CompanyName", "Old"}, {"FileVersion", "1"}}}});
  platform::Install(m.platform());
  {
    VersionCacheScope outer;
    EXPECT_EQ(ReadVersionStrings("C:\\a.dll").Company, "Old");
    {
      VersionCacheScope inner;
      m.FindFile("C:\\a.dll")->versionResource =
          sim::BuildVersionResource({{"040904b0", {{"CompanyName", "New"}}}});
      EXPECT_EQ(ReadVersionStrings("c:\\A.DLL").Company, "Old");  // same file, other spelling
      EXPECT_EQ(GetFileVersionString("C:\\a.dll", FileVersion), "1");
    }
    EXPECT_EQ(ReadVersionStrings("C:\\a.dll").Company, "Old");  // the outer scope still holds it
    EXPECT_EQ(m.CallCount("GetFileVersionInfoSizeA"), 1u);
  }
  EXPECT_EQ(ReadVersionStrings("C:\\a.dll").Company, "New");  // nothing kept after the scope
  platform::Install(Platform{});
}

// ------------------------------------------------------------ file dialog ----

class FileDialogTest : public ::testing::Test {
 protected:
  sim::SimMachine machine;
  sim::SimMachine* m = &machine;
  User user{m};
  void SetUp() override {
    platform::Install(machine.platform());
    ui::Install(&user);
  }
  void TearDown() override {
    ui::Install(nullptr);
    platform::Install(Platform{});
  }
};

TEST_F(FileDialogTest, FiltersNamesAndTheSaveFlag) {
  user.dialogAnswers = {std::string("C:\\x\\chosen.log\0junk", 20), "C:\\in.txt"};
  EXPECT_EQ(FileDialog(true, "Save it", "Log files|*.log|All files|*.*", "a.log", "log", "C:\\x"), "C:\\x\\chosen.log");
  EXPECT_EQ(FileDialog(false, "Open it", "*.txt", "", "", ""), "C:\\in.txt");
  EXPECT_EQ(user.saveDialogs, 1);
  EXPECT_EQ(user.openDialogs, 1);
  ASSERT_EQ(user.dialogs.size(), 2u);
  using Filters = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(user.dialogs[0].filters, (Filters{{"Log files", "*.log"}, {"All files", "*.*"}}));
  EXPECT_EQ(user.dialogs[0].defaultExt, "log");
  EXPECT_EQ(user.dialogs[0].initialDir, "C:\\x");
  EXPECT_EQ(user.dialogs[0].fileName, "a.log");
  EXPECT_EQ(user.dialogs[1].filters, (Filters{{"*.txt", "*.txt"}}));
}

TEST_F(FileDialogTest, ADialogBackAtOnceIsShownAgainWithAnEmptyName) {
  ui::Recorder fast;  // answers without the clock moving on
  ui::Install(&fast);
  fast.dialogAnswers = {"", "C:\\second.log"};
  EXPECT_EQ(FileDialog(true, "Export Report", "*.log", "TolvexaReport.log", "", ""), "C:\\second.log");
  ASSERT_EQ(fast.dialogs.size(), 2u);
  EXPECT_EQ(fast.dialogs[0].fileName, "TolvexaReport.log");
  EXPECT_EQ(fast.dialogs[1].fileName, "");
}

TEST_F(FileDialogTest, ANameLongerThan260CharactersIsRefused) {
  EXPECT_EQ(FileDialog(true, "t", "*.log", std::string(261, 'a'), "", ""), "");
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text, "Filename Length Overflow");
  EXPECT_EQ(user.messages[0].title, "Tolvexa - FileDialog Function");
  EXPECT_EQ(user.messages[0].flags, ui::mb::IconExclamation);
  EXPECT_TRUE(user.dialogs.empty());
  user.dialogAnswers = {"C:\\ok"};
  EXPECT_EQ(FileDialog(true, "t", "*.log", std::string(260, 'a'), "", ""), "C:\\ok");
}

}  // namespace
}  // namespace tv
