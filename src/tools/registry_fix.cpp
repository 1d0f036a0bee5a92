#include "tools/registry_fix.h"

#include "sysconfig/registry.h"
#include "tools/tool_progress.h"

namespace tv {

namespace {

constexpr Handle HKCR = reg::ClassesRoot, HKCU = reg::CurrentUser, HKLM = reg::LocalMachine;

// What a row does, written the way the table reads: Dword(0), Text("cmd.exe"), Delete().
struct Act {
  RepairRow::Action action;
  std::uint32_t number = 0;
  const char* text = "";
};
constexpr Act Dword(std::uint32_t n) { return {RepairRow::WriteDword, n, ""}; }
constexpr Act Text(const char* t) { return {RepairRow::WriteText, 0, t}; }
constexpr Act Delete() { return {RepairRow::DeleteValue, 0, ""}; }

struct Row {
  int step;
  Handle root;
  const char* key;
  const char* value;
  Act act;
};

constexpr const char* kDefault = "";  // the key's unnamed value
// The usual open command of an executable: "%1" %* (seven characters).
constexpr const char* kOpenCommand = "\"%1\" %*";

constexpr const char* kSystemPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kExplorerPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kAdvanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

// clang-format off
constexpr Row kTable[] = {
  { 1, HKCU, kSystemPolicies,                                                        "DisableRegistryTools", Dword(0)},
  { 1, HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",        "DisableRegistryTools", Dword(0)},
  { 2, HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",      "DisableTaskMgr",       Dword(0)},
  { 2, HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",      "DisableTaskMgr",       Dword(0)},
  { 3, HKCU, "Software\\Policies\\Microsoft\\Windows\\System",                        "DisableCMD",           Dword(0)},
  { 4, HKCU, kExplorerPolicies,                                                      "NoFolderOptions",      Dword(0)},
  { 4, HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",      "NoFolderOptions",      Dword(0)},
  { 5, HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",             "Shell",                Text("Explorer.exe")},
  { 6, HKCR, "exefile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "lnkfile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "piffile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "batfile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "comfile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "cmdfile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "scrfile\\shell\\open\\command",                                         kDefault,               Text(kOpenCommand)},
  { 6, HKCR, "regfile\\shell\\open\\command",                                         kDefault,               Text("regedit.exe %1")},
  { 7, HKLM, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\",                        "AlternateShell",       Text("cmd.exe")},
  { 7, HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",              "Auto",                 Text("0")},
  { 8, HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp\\",   "Disabled",             Dword(0)},
  { 8, HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp\\",   "Disabled",             Dword(0)},
  { 9, HKCR, "exefile",                                                               kDefault,               Text("Application")},
  {10, HKLM, "SOFTWARE\\Policies\\Microsoft\\Windows NT\\SystemRestore",              "DisableConfig",        Dword(0)},
  {10, HKLM, "SOFTWARE\\Policies\\Microsoft\\Windows NT\\SystemRestore",              "DisableSR",            Dword(0)},
  {10, HKLM, "SOFTWARE\\Policies\\Microsoft\\Windows\\Installer",                     "LimitSystemRestoreCheckpointing", Dword(0)},
  {10, HKLM, "SOFTWARE\\Policies\\Microsoft\\Windows\\Installer",                     "DisableMSI",           Dword(0)},
  {11, HKCU, kExplorerPolicies,                                                      "NoClose",              Dword(0)},
  {11, HKCU, kExplorerPolicies,                                                      "NoDesktop",            Dword(0)},
  {11, HKCU, kExplorerPolicies,                                                      "NoDriveTypeAutoRun",   Dword(1)},
  {11, HKCU, kExplorerPolicies,                                                      "NoRun",                Dword(0)},
  {11, HKCU, kExplorerPolicies,                                                      "NoLogoff",             Dword(0)},
  {11, HKCU, kExplorerPolicies,                                                      "NoFind",               Dword(0)},
  {12, HKCU, kExplorerPolicies,                                                      "NoTrayContextMenu",    Dword(0)},
  {12, HKCU, kExplorerPolicies,                                                      "NoViewContextMenu",    Dword(0)},
  {13, HKCU, kSystemPolicies,                                                        "NoDispSettingsPage",   Dword(0)},
  {13, HKCU, kSystemPolicies,                                                        "NoDispBackgroundPage", Dword(0)},
  {14, HKCU, kSystemPolicies,                                                        "NoScrSavPage",         Dword(0)},
  {14, HKCU, kSystemPolicies,                                                        "NoDispApprearancePage", Dword(0)},
  {14, HKCU, kSystemPolicies,                                                        "NoDispCpl",            Dword(0)},
  {14, HKCU, "Control Panel\\Desktop\\",                                              "SCRNSAVE.EXE",         Text("")},
  {15, HKCU, kAdvanced,                                                              "HideFileExt",          Dword(0)},
  {15, HKCU, kAdvanced,                                                              "Hidden",               Dword(1)},
  {15, HKCU, kAdvanced,                                                              "ShowSuperHidden",      Dword(1)},
  {16, HKCU, kExplorerPolicies,                                                      "NoDrive",              Delete()},
  {16, HKLM, kExplorerPolicies,                                                      "NoDrive",              Delete()},
  {17, HKCU, kExplorerPolicies,                                                      "DisableRegistryTools", Delete()},
  {17, HKLM, kExplorerPolicies,                                                      "DisableRegistryTools", Delete()},
  {17, HKLM, kExplorerPolicies,                                                      "shutdownwithoutlogon", Delete()},
  {17, HKLM, kExplorerPolicies,                                                      "undockwithoutlogon",   Delete()},
  {18, HKCU, kAdvanced,                                                              "Hidden",               Dword(1)},
  {18, HKCU, kAdvanced,                                                              "ShowSuperHidden",      Dword(1)},
  {19, HKLM, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",              "LoadAppInit_DLLs",     Dword(0)},
};
// clang-format on

std::int32_t Run(const RepairRow& row) {
  switch (row.action) {
    case RepairRow::WriteDword: return RegWriteDword(row.root, row.key, row.value, row.number);
    case RepairRow::WriteText: return RegWriteString(row.root, row.key, row.value, row.text);
    case RepairRow::DeleteValue: return DeleteRegValueAt(row.root, row.key, row.value);
  }
  return 0;
}

}  // namespace

const std::vector<RepairRow>& RegistryRepairTable() {
  static const std::vector<RepairRow> table = [] {
    std::vector<RepairRow> rows;
    for (const Row& r : kTable) rows.push_back({r.step, r.root, r.key, r.value, r.act.action, r.act.number, r.act.text});
    return rows;
  }();
  return table;
}

std::vector<std::int32_t> FixRegistry() {
  const std::vector<RepairRow>& table = RegistryRepairTable();
  std::vector<std::int32_t> results;
  results.reserve(table.size());
  BeginToolRun("Tolvexa - Fix Registry", kRegistryRepairSteps);
  std::size_t next = 0;
  for (int step = 1; step <= kRegistryRepairSteps; ++step) {
    for (; next < table.size() && table[next].step == step; ++next) results.push_back(Run(table[next]));
    ToolStep(step);
  }
  EndToolRun();
  return results;
}

std::string DescribeRepairRow(const RepairRow& row) {
  const char* root = row.root == HKCR ? "HKCR" : row.root == HKCU ? "HKCU" : "HKLM";
  return std::string(root) + "\\" + row.key + "  " + (row.value.empty() ? "(default)" : row.value);
}

}  // namespace tv
