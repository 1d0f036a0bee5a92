// The registry repair: every row of its table once, in order, on an empty registry and on one
// that holds what malware sets.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "common/sim_test.h"
#include "tools/registry_fix.h"

namespace tv {
namespace {

std::string RootName(Handle root) {
  return root == reg::ClassesRoot ? "HKEY_CLASSES_ROOT" : root == reg::CurrentUser ? "HKEY_CURRENT_USER"
                                                                                   : "HKEY_LOCAL_MACHINE";
}

// The key of a row as one path (a trailing backslash names the same key).
std::string KeyPath(const RepairRow& row) {
  std::string key = row.key;
  if (!key.empty() && key.back() == '\\') key.pop_back();
  return RootName(row.root) + "\\" + key;
}

Bytes DwordBytes(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// A text value as written: the registry keeps one terminating NUL after the characters.
std::string Stored(const sim::RegValue& v) {
  std::string s(v.data.begin(), v.data.end());
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::size_t CountValues(const sim::RegKey& k) {
  std::size_t n = k.values.size();
  for (const auto& sub : k.subkeys) n += CountValues(*sub);
  return n;
}

class RegistryFixTest : public SimTest {
 protected:
  const sim::RegValue* Find(const std::string& keyPath, const std::string& name) {
    sim::RegKey* k = m.FindKey(keyPath);
    if (!k) return nullptr;
    for (const auto& v : k->values)
      if (v.name.size() == name.size() && std::equal(v.name.begin(), v.name.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
          }))
        return &v;
    return nullptr;
  }
  // The value each written (key, value) ends up with: the last write row that names it.
  std::map<std::pair<std::string, std::string>, const RepairRow*> FinalWrites() {
    std::map<std::pair<std::string, std::string>, const RepairRow*> last;
    for (const RepairRow& r : RegistryRepairTable())
      if (r.action != RepairRow::DeleteValue) last[{KeyPath(r), r.value}] = &r;
    return last;
  }
  void ExpectRepaired() {
    for (const auto& [where, row] : FinalWrites()) {
      const sim::RegValue* v = Find(where.first, where.second);
      ASSERT_NE(v, nullptr) << where.first << " " << where.second;
      if (row->action == RepairRow::WriteDword) {
        EXPECT_EQ(v->type, reg::Dword) << where.second;
        EXPECT_EQ(v->data, DwordBytes(row->number)) << where.second;
      } else {
        EXPECT_EQ(v->type, reg::Sz) << where.second;
        EXPECT_EQ(Stored(*v), row->text) << where.first;
      }
    }
    for (const RepairRow& r : RegistryRepairTable()) {
      if (r.action == RepairRow::DeleteValue) {
        EXPECT_EQ(Find(KeyPath(r), r.value), nullptr) << r.value;
      }
    }
  }
};

TEST_F(RegistryFixTest, TheTableHasNineteenStepsInOrder) {
  const auto& table = RegistryRepairTable();
  EXPECT_EQ(table.size(), 51u);
  int step = 1;
  std::set<int> seen;
  for (const RepairRow& r : table) {
    EXPECT_GE(r.step, step);
    step = r.step;
    seen.insert(r.step);
  }
  EXPECT_EQ(seen.size(), 19u);
  EXPECT_EQ(*seen.rbegin(), 19);
}

TEST_F(RegistryFixTest, OnAnEmptyRegistryEveryWriteRowExistsAndDeleteRowsChangeNothing) {
  FixRegistry();
  ExpectRepaired();

  // Step 6: the usual seven-character open command, as the default value.
  const sim::RegValue* open = Find("HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command", "");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(Stored(*open), "\"%1\" %*");
  EXPECT_EQ(Stored(*open).size(), 7u);
  const auto* regfile = Find("HKEY_CLASSES_ROOT\\regfile\\shell\\open\\command", "");
  ASSERT_NE(regfile, nullptr);
  EXPECT_EQ(Stored(*regfile), "regedit.exe %1");
  const std::string explorer = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  ASSERT_NE(Find(explorer, "NoDriveTypeAutoRun"), nullptr);
  EXPECT_EQ(Find(explorer, "NoDriveTypeAutoRun")->data, DwordBytes(1));
  const std::string advanced = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  EXPECT_EQ(Find(advanced, "Hidden")->data, DwordBytes(1));
  EXPECT_EQ(Find(advanced, "ShowSuperHidden")->data, DwordBytes(1));
  EXPECT_EQ(Find("HKEY_CURRENT_USER\\Control Panel\\Desktop", "SCRNSAVE.EXE")->data.size(), 0u);
  // The command-prompt policy only for the current user; the trailing backslash of step 2 names
  // the same key as step 1.
  EXPECT_NE(m.FindKey("HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows\\System"), nullptr);
  EXPECT_EQ(m.FindKey("HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Windows\\System"), nullptr);
  const std::string system = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  EXPECT_NE(Find(system, "DisableTaskMgr"), nullptr);
  EXPECT_NE(Find(system, "DisableRegistryTools"), nullptr);

  // Nothing but the written values exists: 45 write rows, of which two write a value twice.
  std::size_t values = 0;
  for (const auto& [root, key] : m.state.roots) values += CountValues(key);
  EXPECT_EQ(values, FinalWrites().size());
  EXPECT_EQ(FinalWrites().size(), 43u);
  EXPECT_EQ(m.CallCount("RegSetValueExA"), 45u);
}

TEST_F(RegistryFixTest, RepairsWhatMalwareSetAndLeavesTheRest) {
  const std::string cuSystem = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const std::string lmSystem = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const std::string cuExplorer = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const std::string lmExplorer = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  m.SetDword(cuSystem, "DisableTaskMgr", 1);
  m.SetDword(lmSystem, "DisableTaskMgr", 1);
  m.SetString(cuSystem, "DisableRegistryTools", "1");  // a text where a number belongs
  m.SetDword("HKCU\\Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD", 2);
  m.SetDword(cuExplorer, "NoRun", 1);
  m.SetDword(cuExplorer, "NoFolderOptions", 1);
  m.SetDword(cuExplorer, "NoDrive", 0x03FFFFFF);
  m.SetDword(lmExplorer, "NoDrive", 0x03FFFFFF);
  m.SetDword(cuExplorer, "DisableRegistryTools", 1);
  m.SetDword(lmExplorer, "DisableRegistryTools", 1);
  m.SetDword(lmExplorer, "shutdownwithoutlogon", 0);
  m.SetDword(lmExplorer, "undockwithoutlogon", 0);
  m.SetDword(lmExplorer, "NoCDBurning", 1);  // not the repair's business
  m.SetString("HKCR\\exefile\\shell\\open\\command", "", "C:\\WINDOWS\\evil.exe \"%1\" %*");
  m.SetString("HKCR\\exefile", "", "Infected");
  m.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell", "Explorer.exe evil.exe");
  m.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit", "userinit.exe,");
  m.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell", "evil.exe");
  m.SetString("HKCU\\Control Panel\\Desktop", "SCRNSAVE.EXE", "C:\\WINDOWS\\evil.scr");
  m.SetDword("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden", 2);
  m.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "LoadAppInit_DLLs", 1);

  FixRegistry();
  ExpectRepaired();
  EXPECT_EQ(m.CallCount("RegDeleteValueA"), 6u);
  EXPECT_NE(Find("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoCDBurning"),
            nullptr);
  const sim::RegValue* userinit =
      Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit");
  ASSERT_NE(userinit, nullptr);
  EXPECT_EQ(std::string(userinit->data.begin(), userinit->data.end()), std::string("userinit.exe,\0", 14));

  // A second run writes the same and finds nothing left to delete.
  FixRegistry();
  ExpectRepaired();
}

TEST_F(RegistryFixTest, ProgressWindowOfNineteenStepsAndTheMainWindowDisabled) {
  const std::uint32_t ticks = m.state.tickCount;
  const std::vector<std::int32_t> results = FixRegistry();
  std::vector<std::string> events = {"progress Tolvexa - Fix Registry 19", "value 0", "main disabled"};
  for (int k = 1; k <= 19; ++k) events.push_back("value " + std::to_string(k));
  events.push_back("close progress");
  events.push_back("main enabled");
  EXPECT_EQ(recorder.windowEvents, events);
  EXPECT_EQ(recorder.doEvents, 19);
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_GE(m.state.tickCount - ticks, 500u);
  // One status per row: writes succeed, deletions of values that are not there answer 2.
  ASSERT_EQ(results.size(), RegistryRepairTable().size());
  for (std::size_t i = 0; i < results.size(); ++i)
    EXPECT_EQ(results[i], RegistryRepairTable()[i].action == RepairRow::DeleteValue ? 2 : 0) << i;
}

}  // namespace
}  // namespace tv
