// Registry repair: puts back the policy values and open commands that malware commonly changes
// to lock the user out of the system's own tools.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace tv {

// One write or deletion of the repair.
struct RepairRow {
  enum Action { WriteDword, WriteText, DeleteValue };
  int step = 0;               // 1..19
  Handle root = 0;            // reg::ClassesRoot, reg::CurrentUser or reg::LocalMachine
  std::string key;            // exactly as written (letter case, trailing backslash)
  std::string value;          // "" is the key's default value
  Action action = WriteDword;
  std::uint32_t number = 0;   // WriteDword
  std::string text;           // WriteText
};

// The repair, in the order it is done: 19 steps, one row per write or deletion.
const std::vector<RepairRow>& RegistryRepairTable();
inline constexpr int kRegistryRepairSteps = 19;

// Runs every row of the table once, in order, with the progress window ("Tolvexa - Fix
// Registry", 19 steps) and the main window disabled meanwhile. Asks nothing and says nothing;
// a row that fails does not stop the run. Gives each row's status (0 done), for callers that
// report them.
std::vector<std::int32_t> FixRegistry();

// A row as text, for messages: "HKCU\Software\...\Policies\System  DisableTaskMgr".
std::string DescribeRepairRow(const RepairRow& row);

}  // namespace tv
