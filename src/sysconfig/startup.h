// Start-up entries of the registry and browser helper objects: the walks that build the two
// process-wide lists, their rows for the main window, and the repair of start-up values.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace tv {

// One start-up entry or browser helper object.
struct StartupRecord {
  std::int32_t ItemKind = 0;   // 0: a registry value; 1: a subkey (IFEO entry, BHO class id)
  std::string KeyName;         // 256: last component of KeyPath ("Run", "Winlogon")
  std::string Name;            // 256: value name, "(Default)", or the subkey name
  std::uint32_t ValueType = 0; // registry type (0 for subkey entries)
  std::string Value;           // 256: data as text, "(value not set)", or a BHO's library path
  std::string KeyPath;         // 1024: full path of the key holding the entry
  std::string Publisher;       // 128: company of a BHO's library
};

inline constexpr std::size_t kStartupKeyNameWidth = 256, kStartupNameWidth = 256,
                             kStartupValueWidth = 256, kStartupKeyPathWidth = 1024,
                             kStartupPublisherWidth = 128;

// The process-wide lists, items in walk order. Row i of the main list stands for element i.
std::vector<StartupRecord>& StartupList();
std::vector<StartupRecord>& BhoList();

// The start-up locations, in walk order.
struct StartupLocation {
  enum Operation { AllValues, OneValue, AllSubkeys } operation;
  const char* keyPath;
  const char* valueName;  // OneValue only
  std::int32_t itemKind;
};
const std::vector<StartupLocation>& StartupLocations();

inline constexpr const char* kBhoKeyPath =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

void GetStartupItems();
void GetBrowserHelperObjects();
void EnumStartupValues(const std::string& keyPath, std::int32_t itemKind);
void EnumStartupSubkeys(const std::string& keyPath, std::int32_t itemKind);
void ReadStartupValue(const std::string& keyPath, const std::string& valueName);
void EnumBrowserHelperObjects(const std::string& keyPath, std::int32_t itemKind);

// Rows and status text of the start-up tab ("&Group", "&Name", "&Value") and of the browser
// helper object tab ("&Name", "&Value", "&Publisher"); icon 9.
ui::ListContent ShowStartupList();
ui::ListContent ShowBhoList();

// Removes or repairs one start-up entry (the essential logon values are rewritten with the
// values Windows ships with instead of being deleted).
void FixStartupItem(const StartupRecord& record);

// "&Delete/Fix Value" on the start-up tab, for the selected rows (indices into StartupList, in
// list order). Asks first; on No nothing changes and nullopt comes back. Otherwise every
// selected entry is fixed, the locations are walked again and the new rows are returned.
std::optional<ui::ListContent> DeleteOrFixReg(const std::vector<int>& selectedRows);
// "&Delete Value" on the browser helper object tab (indices into BhoList).
std::optional<ui::ListContent> DeleteReg(const std::vector<int>& selectedRows);

}  // namespace tv
