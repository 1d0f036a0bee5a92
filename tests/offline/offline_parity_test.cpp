// The disk that make-offline-disk writes from a machine, examined with --offline, against the
// same machine simulated: the lists and the scan agree; cleaning and the registry repair change
// the hive files the way they change the simulated registry, with one backup per hive.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "main/front.h"
#include "offline/make_disk.h"
#include "offline/offline_tree.h"
#include "platform/offline/offline_machine.h"
#include "platform/sim/sim_machine.h"
#include "tools/registry_fix.h"

namespace tv {
namespace {

namespace fs = std::filesystem;
using offtest::DiskLayout;
using offtest::DiskSummary;

struct CliResult {
  int code = -1;
  std::vector<std::string> lines;
  std::string err;
};

// Through the front end: `machine` stands in for the platform of the build (a simulated
// machine), or nullptr when the arguments choose the machine themselves (--offline DIR).
CliResult Tolvexa(const std::vector<std::string>& args, sim::SimMachine* machine = nullptr) {
  std::ostringstream out, err;
  CliResult r;
  Platform p;
  if (machine) p = machine->platform();
  r.code = FrontEnd(args, out, err, machine ? &p : nullptr);
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) r.lines.push_back(line);
  r.err = err.str();
  return r;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/tolvexa-disk-XXXXXX";
    if (const char* made = ::mkdtemp(tmpl)) path_ = made;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> cols;
  std::string c;
  std::istringstream in(line);
  while (std::getline(in, c, '\t')) cols.push_back(c);
  if (!line.empty() && line.back() == '\t') cols.push_back("");
  return cols;
}
std::string Join(const std::vector<std::string>& cols) {
  std::string s;
  for (std::size_t i = 0; i < cols.size(); ++i) s += (i ? "\t" : "") + cols[i];
  return s;
}

// The machines of the project that have registry entries and files: the built-in default and
// every scenario file.
struct NamedMachine {
  std::string name;
  std::function<std::unique_ptr<sim::SimMachine>()> make;
};
std::vector<NamedMachine> ProjectMachines() {
  std::vector<NamedMachine> all = {{"default", [] { return sim::DefaultMachine(); }}};
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(std::string(TV_SOURCE_DIR) + "/scenarios"))
    if (e.path().extension() == ".json") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  for (const std::string& f : files) all.push_back({fs::path(f).filename().string(), [f] { return sim::LoadScenario(f); }});
  std::vector<NamedMachine> withBoth;
  for (NamedMachine& m : all) {
    auto probe = m.make();
    bool registry = false;
    for (const auto& [root, key] : probe->state.roots) registry = registry || !key.subkeys.empty();
    if (registry && !probe->state.files.empty()) withBoth.push_back(std::move(m));
  }
  return withBoth;
}

// The lines of a listing or a scan: the fixed lines (header, count, summary) in place and the
// item rows sorted. Windows keeps subkeys in name order and enumerates them so, while the
// simulated machine enumerates them in the order they were made: rows that come from subkeys
// (services, browser helper objects, image options) may come in another order.
std::vector<std::string> Rows(std::vector<std::string> lines, std::size_t head, std::size_t tail) {
  if (lines.size() >= head + tail) std::sort(lines.begin() + head, lines.end() - tail);
  return lines;
}

// What a folder on a plain Linux file system cannot keep, taken from a simulated machine:
// signatures (no trust service offline) and the hidden and system attributes (kept only by
// ntfs-3g mounts).
void AsAPlainDiskHasIt(sim::SimMachine& m) {
  m.state.trustServiceAvailable = false;
  m.state.signatures.clear();
  m.state.signatureLastErrors.clear();
  for (sim::File& f : m.state.files) f.attributes &= ~(fattr::Hidden | fattr::System);
}

TEST(OfflineParity, TheDiskOfEachProjectMachineListsAndScansAsTheMachine) {
  const std::vector<NamedMachine> machines = ProjectMachines();
  ASSERT_GE(machines.size(), 2u);  // the default machine and the sample scenario at least
  for (const NamedMachine& nm : machines) {
    for (DiskLayout layout : {DiskLayout::Xp, DiskLayout::Win7}) {
      SCOPED_TRACE(nm.name + (layout == DiskLayout::Xp ? " xp" : " win7"));
      TempDir tmp;
      const std::string dir = tmp.Sub("disk");
      DiskSummary summary;
      std::string error;
      ASSERT_TRUE(offtest::MakeOfflineDisk(nm.make()->state, dir, layout, summary, error)) << error;

      for (const std::vector<std::string>& cmd : std::vector<std::vector<std::string>>{
               {"--list", "startup"}, {"--list", "bho"}, {"--list", "services"}, {"--list", "services", "--filter", "0"}}) {
        SCOPED_TRACE(Join(cmd));
        auto machine = nm.make();
        CliResult sim = Tolvexa(cmd, machine.get());
        ASSERT_EQ(sim.code, 0) << sim.err;
        std::vector<std::string> want = sim.lines;
        if (cmd[1] == "services")  // no service control manager offline: the status column stays empty
          for (std::size_t i = 1; i + 1 < want.size(); ++i) {
            std::vector<std::string> cols = Columns(want[i]);
            if (cols.size() > 2) cols[2].clear();
            want[i] = Join(cols);
          }
        std::vector<std::string> args = {"--offline", dir};
        args.insert(args.end(), cmd.begin(), cmd.end());
        CliResult disk = Tolvexa(args);
        EXPECT_EQ(disk.code, 0) << disk.err;
        EXPECT_EQ(Rows(disk.lines, 1, 1), Rows(want, 1, 1));
        EXPECT_GT(want.size(), 2u);  // something was listed
      }

      // The scan: the simulated machine without what the folder cannot keep gives exactly the
      // disk's threats; the machine as it is differs only in lines of files it has signatures or
      // hidden or system attributes for.
      auto plain = nm.make();
      AsAPlainDiskHasIt(*plain);
      CliResult want = Tolvexa({"--scan"}, plain.get());
      CliResult disk = Tolvexa({"--offline", dir, "--scan"});
      EXPECT_EQ(disk.code, want.code) << disk.err;
      EXPECT_EQ(Rows(disk.lines, 0, 2), Rows(want.lines, 0, 2));
      auto machine = nm.make();
      std::vector<std::string> explained;
      for (const auto& [path, result] : machine->state.signatures) explained.push_back(Lower(path));
      for (const sim::File& f : machine->state.files)
        if (f.attributes & (fattr::Hidden | fattr::System)) explained.push_back(Lower(f.path));
      CliResult sim = Tolvexa({"--scan"}, machine.get());
      ASSERT_GE(sim.lines.size(), 2u);
      ASSERT_GE(disk.lines.size(), 2u);
      EXPECT_EQ(sim.lines.back(), disk.lines.back());  // as many threats
      const std::vector<std::string> simThreats = Rows({sim.lines.begin(), sim.lines.end() - 2}, 0, 0);
      const std::vector<std::string> diskThreats = Rows({disk.lines.begin(), disk.lines.end() - 2}, 0, 0);
      std::vector<std::string> onlySim, onlyDisk;
      std::set_difference(simThreats.begin(), simThreats.end(), diskThreats.begin(), diskThreats.end(),
                          std::back_inserter(onlySim));
      std::set_difference(diskThreats.begin(), diskThreats.end(), simThreats.begin(), simThreats.end(),
                          std::back_inserter(onlyDisk));
      for (const std::vector<std::string>* diff : {&onlySim, &onlyDisk})
        for (const std::string& line : *diff) {
          const std::vector<std::string> cols = Columns(line);
          ASSERT_GE(cols.size(), 2u) << line;
          EXPECT_NE(std::find(explained.begin(), explained.end(), Lower(cols[1])), explained.end())
              << "differs with nothing behind it: " << line;
        }
    }
  }
}

// A machine with a dropper in Run and a hijacked Userinit, and policy values malware sets.
constexpr const char* kInfected = R"({
  "files": [
    {"path": "C:\\evil\\dropper.exe"},
    {"path": "C:\\evil\\second.dll", "version": {"CompanyName": "Evil"}},
    {"path": "C:\\WINDOWS\\system32\\userinit.exe", "version": {"CompanyName": "Microsoft Corporation"}}
  ],
  "registry": [
    {"key": "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
     "values": {"dropper": "C:\\evil\\dropper.exe", "keep": "C:\\WINDOWS\\system32\\userinit.exe"}},
    {"key": "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
     "values": {"Userinit": "C:\\WINDOWS\\system32\\userinit.exe,C:\\evil\\second.dll", "Shell": "evil.exe"}},
    {"key": "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
     "values": {"DisableTaskMgr": 1, "DisableRegistryTools": 1}},
    {"key": "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
     "values": {"NoRun": 1, "NoDrive": 4}},
    {"key": "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
     "values": {"NoDrive": 4, "DisableRegistryTools": 1}},
    {"key": "HKCR\\exefile\\shell\\open\\command", "values": {"": "evil.exe \"%1\" %*"}}
  ]
})";
const std::string kRun = "Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kWinlogon = "Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::vector<std::string> Backups(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.path().string().find(offline::kHiveBackupSuffix) != std::string::npos) found.push_back(e.path().string());
  std::sort(found.begin(), found.end());
  return found;
}

// The text of a REG_SZ value of a hive, UTF-16 read back as ASCII; "<none>" when missing.
std::string HiveText(const std::string& hive, const std::string& key, const std::string& name) {
  std::uint32_t type = 0;
  Bytes raw;
  if (!offtest::ReadHiveValue(hive, key, name, type, raw)) return "<none>";
  std::string s;
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
    if (raw[i] || raw[i + 1]) s.push_back(static_cast<char>(raw[i]));
  return s;
}

class OfflineCleanTest : public ::testing::Test {
 protected:
  TempDir tmp;
  std::string dir = tmp.Sub("disk");
  DiskSummary disk;
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(offtest::MakeOfflineDisk(sim::LoadScenarioText(kInfected)->state, dir, DiskLayout::Xp, disk, error))
        << error;
  }
};

TEST_F(OfflineCleanTest, CleaningChangesTheHiveAsOnTheMachineWithOneBackup) {
  const Bytes original = offtest::ReadFileBytes(disk.softwareHive);
  // The same lines as the simulated machine gives, in two runs: dangerous first, then the rest.
  for (const char* choice : {"dangerous", "all"}) {
    SCOPED_TRACE(choice);
    auto machine = sim::LoadScenarioText(kInfected);
    if (std::string(choice) == "all") Tolvexa({"--scan", "--clean", "dangerous"}, machine.get());
    CliResult sim = Tolvexa({"--scan", "--clean", choice}, machine.get());
    CliResult off = Tolvexa({"--offline", dir, "--scan", "--clean", choice});
    EXPECT_EQ(off.lines, sim.lines);
    EXPECT_EQ(off.code, sim.code) << off.err;
    const std::size_t cleaned = std::count_if(off.lines.begin(), off.lines.end(),
                                              [](const std::string& l) { return l.rfind("Clean\t", 0) == 0; });
    EXPECT_GE(cleaned, 1u);
    // One backup of SOFTWARE, holding the hive as it was before the first change.
    EXPECT_EQ(Backups(dir), (std::vector<std::string>{disk.softwareHive + offline::kHiveBackupSuffix}));
    EXPECT_EQ(offtest::ReadFileBytes(disk.softwareHive + offline::kHiveBackupSuffix), original);
  }
  // Read back through hivex: the dropper's value is gone, the other stays, Userinit is the
  // system's own again, as the simulated machine has them after the same cleaning.
  EXPECT_EQ(HiveText(disk.softwareHive, kRun, "dropper"), "<none>");
  EXPECT_EQ(HiveText(disk.softwareHive, kRun, "keep"), "C:\\WINDOWS\\system32\\userinit.exe");
  auto machine = sim::LoadScenarioText(kInfected);
  Tolvexa({"--scan", "--clean", "all"}, machine.get());
  sim::RegKey* winlogon = machine->FindKey("HKLM\\SOFTWARE\\" + kWinlogon);
  ASSERT_TRUE(winlogon);
  for (const sim::RegValue& v : winlogon->values) {
    if (v.name == "Userinit") {
      EXPECT_EQ(HiveText(disk.softwareHive, kWinlogon, "Userinit"), std::string(v.data.begin(), v.data.end() - 1));
    }
  }
  EXPECT_EQ(HiveText(disk.softwareHive, kWinlogon, "Userinit").find("second.dll"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/evil/dropper.exe"));
  // The next look at the disk finds what the machine still has after the same cleaning.
  CliResult next = Tolvexa({"--offline", dir, "--scan"});
  EXPECT_EQ(next.lines, Tolvexa({"--scan"}, machine.get()).lines);
  EXPECT_EQ(Backups(dir).size(), 1u);
}

TEST_F(OfflineCleanTest, AReadOnlyHiveFailsTheCleanAndStaysAsItWas) {
  ASSERT_EQ(::chmod(disk.softwareHive.c_str(), 0444), 0);
  const Bytes before = offtest::ReadFileBytes(disk.softwareHive);
  CliResult off = Tolvexa({"--offline", dir, "--scan", "--clean", "all"});
  std::vector<std::string> failed;
  for (const std::string& l : off.lines)
    if (l.rfind("Clean Failed\t", 0) == 0 && l.find("\\SOFTWARE\\") != std::string::npos) failed.push_back(l);
  // Every entry of the hive fails: the dropper's Run value, the Shell and the Userinit hijack.
  ASSERT_EQ(failed.size(), 3u) << ::testing::PrintToString(off.lines);
  EXPECT_NE(failed[0].find("{dropper}"), std::string::npos) << failed[0];
  EXPECT_NE(failed[2].find("{Userinit}"), std::string::npos) << failed[2];
  EXPECT_EQ(std::count_if(off.lines.begin(), off.lines.end(),
                          [](const std::string& l) { return l.rfind("Clean\t", 0) == 0 && l.find("\\SOFTWARE\\") != std::string::npos; }),
            0);
  EXPECT_EQ(offtest::ReadFileBytes(disk.softwareHive), before);
  EXPECT_FALSE(fs::exists(disk.softwareHive + offline::kHiveBackupSuffix));
  EXPECT_EQ(HiveText(disk.softwareHive, kRun, "dropper"), "C:\\evil\\dropper.exe");
}

TEST_F(OfflineCleanTest, FixRegistryWritesEveryRepairRowIntoTheHives) {
  CliResult off = Tolvexa({"--offline", dir, "--fix-registry"});
  ASSERT_EQ(off.code, 0) << off.err;
  const std::size_t rows = RegistryRepairTable().size();
  EXPECT_EQ(off.lines, (std::vector<std::string>{"Registry repaired: " + std::to_string(rows) + " of " +
                                                 std::to_string(rows) + " entries done"}));
  // Each row's value as the simulated machine holds it after the same repair (texts there in
  // UTF-8, in the hive in UTF-16).
  auto machine = sim::LoadScenarioText(kInfected);
  ASSERT_EQ(Tolvexa({"--fix-registry"}, machine.get()).lines, off.lines);
  for (const RepairRow& row : RegistryRepairTable()) {
    SCOPED_TRACE(DescribeRepairRow(row));
    std::string hive, key = row.key;
    const std::string rootName = row.root == reg::CurrentUser ? "HKEY_CURRENT_USER\\"
                                 : row.root == reg::ClassesRoot ? "HKEY_CLASSES_ROOT\\"
                                                                : "HKEY_LOCAL_MACHINE\\";
    const sim::RegKey* simKey = machine->FindKey(rootName + row.key);
    const sim::RegValue* simValue = nullptr;
    for (std::size_t i = 0; simKey && i < simKey->values.size(); ++i)
      if (Lower(simKey->values[i].name) == Lower(row.value)) simValue = &simKey->values[i];
    if (row.root == reg::CurrentUser) {
      hive = disk.userHive;
    } else if (row.root == reg::ClassesRoot) {
      hive = disk.softwareHive;
      key = "Classes\\" + key;
    } else if (Lower(key).rfind("software\\", 0) == 0) {
      hive = disk.softwareHive;
      key = key.substr(9);
    } else {
      ASSERT_EQ(Lower(key).rfind("system\\currentcontrolset\\", 0), 0u);
      hive = disk.systemHive;
      key = "ControlSet001\\" + key.substr(25);
    }
    std::uint32_t type = 0;
    Bytes raw;
    const bool present = offtest::ReadHiveValue(hive, key, row.value, type, raw);
    ASSERT_EQ(present, simValue != nullptr);
    EXPECT_EQ(present, row.action != RepairRow::DeleteValue);
    if (!present) continue;
    EXPECT_EQ(type, simValue->type);
    Bytes want = simValue->data;
    if (type == reg::Sz) {
      want.clear();
      for (std::uint8_t c : simValue->data) want.insert(want.end(), {c, 0});
    }
    EXPECT_EQ(raw, want);
  }
  // Each changed hive was copied once before its first change.
  EXPECT_EQ(Backups(dir), (std::vector<std::string>{disk.userHive + offline::kHiveBackupSuffix,
                                                    disk.softwareHive + offline::kHiveBackupSuffix,
                                                    disk.systemHive + offline::kHiveBackupSuffix}));
}

TEST(MakeOfflineDisk, RefusesAFolderThatHoldsSomethingAndLeavesItAlone) {
  TempDir tmp;
  const std::string dir = tmp.Sub("used");
  offtest::WriteFile(dir + "/keep.txt", Bytes{'x'});
  DiskSummary summary;
  std::string error;
  EXPECT_FALSE(offtest::MakeOfflineDisk(sim::DefaultMachine()->state, dir, DiskLayout::Xp, summary, error));
  EXPECT_EQ(error.rfind("not an empty folder: ", 0), 0u) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tv
