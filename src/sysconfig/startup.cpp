#include "sysconfig/startup.h"

#include <cstring>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "base/record_text.h"
#include "sysconfig/registry.h"

namespace tv {
namespace {

constexpr const char* kTitle = "Tolvexa";
constexpr std::uint32_t kNameCapacity = 256;     // characters of a value or subkey name
constexpr std::uint32_t kEnumDataSize = 256;     // data buffer of the value enumeration
constexpr std::uint32_t kSingleDataSize = 1024;  // data buffer of a single value read
constexpr std::uint32_t kEventsEvery = 300;

bool IsTextType(std::uint32_t type) {
  return type == reg::Sz || type == reg::ExpandSz || type == reg::Binary || type == reg::MultiSz;
}

// Data converted to text up to the reported length; a string's terminating NUL ends the text.
std::string DataText(const std::uint8_t* data, std::uint32_t size) {
  return CutAtFirstNul(std::string(reinterpret_cast<const char*>(data), size));
}

StartupRecord MakeRecord(const std::string& keyPath, std::int32_t kind, const std::string& name) {
  StartupRecord r;
  r.ItemKind = kind;
  r.KeyPath = FitText(keyPath, kStartupKeyPathWidth);
  r.KeyName = FitText(ParseRegPath(keyPath).lastComponent, kStartupKeyNameWidth);
  r.Name = FitText(name, kStartupNameWidth);
  return r;
}

// Opens the key of a full path for reading; 0 when it cannot be opened.
Handle OpenForRead(const std::string& keyPath) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return 0;
  Handle key = 0;
  if (platform::Registry().RegOpenKeyExA(p.root, p.subKey, 0, reg::KeyRead, &key) != 0) return 0;
  return key;
}

}  // namespace

std::vector<StartupRecord>& StartupList() {
  static std::vector<StartupRecord> list;
  return list;
}
std::vector<StartupRecord>& BhoList() {
  static std::vector<StartupRecord> list;
  return list;
}

const std::vector<StartupLocation>& StartupLocations() {
  using L = StartupLocation;
  static const std::vector<StartupLocation> locations = {
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "Run", 0},
      {L::OneValue, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "Run", 0},
      {L::OneValue, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "run", 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", nullptr, 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", nullptr, 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", nullptr, 0},
      {L::AllValues, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", nullptr, 0},
      {L::OneValue, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "load", 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell", 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Userinit", 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "UIHost", 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "BootExecute", 0},
      {L::AllSubkeys, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options", nullptr, 1},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", nullptr, 0},
      {L::OneValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Appinit_Dlls", 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", nullptr, 0},
      {L::AllValues, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", nullptr, 0},
  };
  return locations;
}

void GetStartupItems() {
  StartupList().clear();
  for (const StartupLocation& loc : StartupLocations()) {
    switch (loc.operation) {
      case StartupLocation::AllValues: EnumStartupValues(loc.keyPath, loc.itemKind); break;
      case StartupLocation::OneValue: ReadStartupValue(loc.keyPath, loc.valueName); break;
      case StartupLocation::AllSubkeys: EnumStartupSubkeys(loc.keyPath, loc.itemKind); break;
    }
  }
}

void GetBrowserHelperObjects() {
  BhoList().clear();
  EnumBrowserHelperObjects(kBhoKeyPath, 1);
}

void EnumStartupValues(const std::string& keyPath, std::int32_t itemKind) {
  Handle key = OpenForRead(keyPath);
  if (key == 0) return;
  auto& reg = platform::Registry();
  std::vector<StartupRecord>& list = StartupList();
  for (std::uint32_t index = 0;; ++index) {
    if (index > 0 && index % kEventsEvery == 0) ui::DoEvents();
    std::string name;
    std::uint32_t type = 0, size = 0;
    if (reg.RegEnumValueA(key, index, &name, kNameCapacity, &type, nullptr, &size) != 0) break;
    if (IsTextType(type)) {
      std::uint8_t data[kEnumDataSize] = {};
      size = kEnumDataSize;
      name.clear();
      // A value whose data does not fit ends the listing of this key.
      if (reg.RegEnumValueA(key, index, &name, kNameCapacity, &type, data, &size) != 0) break;
      StartupRecord r = MakeRecord(keyPath, itemKind, name.empty() ? "(Default)" : name);
      r.ValueType = type;
      std::uint32_t used = size < kEnumDataSize ? size : kEnumDataSize;
      r.Value = used >= 2 ? FitText(DataText(data, used), kStartupValueWidth) : "(value not set)";
      list.push_back(std::move(r));
    } else if (type == reg::Dword) {
      std::uint32_t number = 0;
      size = sizeof(number);
      name.clear();
      if (reg.RegEnumValueA(key, index, &name, kNameCapacity, &type, &number, &size) != 0) break;
      StartupRecord r = MakeRecord(keyPath, itemKind, name.empty() ? "(Default)" : name);
      r.ValueType = type;
      r.Value = std::to_string(number);
      list.push_back(std::move(r));
    }
  }
  reg.RegCloseKey(key);
}

void EnumStartupSubkeys(const std::string& keyPath, std::int32_t itemKind) {
  Handle key = OpenForRead(keyPath);
  if (key == 0) return;
  auto& reg = platform::Registry();
  for (std::uint32_t index = 0;; ++index) {
    if (index > 0 && index % kEventsEvery == 0) ui::DoEvents();
    std::string name;
    if (reg.RegEnumKeyExA(key, index, &name, kNameCapacity) != 0) break;
    StartupList().push_back(MakeRecord(keyPath, itemKind, name));
  }
  reg.RegCloseKey(key);
}

void ReadStartupValue(const std::string& keyPath, const std::string& valueName) {
  Handle key = OpenForRead(keyPath);
  if (key == 0) return;
  auto& reg = platform::Registry();
  std::uint32_t type = 0, size = 0;
  if (reg.RegQueryValueExA(key, valueName, &type, nullptr, &size) == 0) {
    const std::string shownName = valueName.empty() ? "(Default)" : valueName;
    if (IsTextType(type)) {
      std::vector<std::uint8_t> data(kSingleDataSize, 0);
      size = kSingleDataSize;
      if (reg.RegQueryValueExA(key, valueName, &type, data.data(), &size) == 0 && size >= 2) {
        StartupRecord r = MakeRecord(keyPath, 0, shownName);
        r.ValueType = type;
        r.Value = FitText(DataText(data.data(), size < kSingleDataSize ? size : kSingleDataSize),
                          kStartupValueWidth);
        StartupList().push_back(std::move(r));
      }
    } else if (type == reg::Dword) {
      std::uint32_t number = 0;
      size = sizeof(number);
      if (reg.RegQueryValueExA(key, valueName, &type, &number, &size) == 0) {
        StartupRecord r = MakeRecord(keyPath, 0, shownName);
        r.ValueType = type;
        r.Value = std::to_string(number);
        StartupList().push_back(std::move(r));
      }
    }
  }
  reg.RegCloseKey(key);
}

void EnumBrowserHelperObjects(const std::string& keyPath, std::int32_t itemKind) {
  Handle key = OpenForRead(keyPath);
  if (key == 0) return;
  auto& reg = platform::Registry();
  for (std::uint32_t index = 0;; ++index) {
    std::string name;
    if (reg.RegEnumKeyExA(key, index, &name, kNameCapacity) != 0) break;
    StartupRecord r = MakeRecord(keyPath, itemKind, name);
    r.Value = FitText(CutAtFirstNul(ReadClassDefault("CLSID\\" + name + "\\InprocServer32")), kStartupValueWidth);
    if (!r.Value.empty()) r.Publisher = FitText(GetFileVersionString(r.Value, CompanyName), kStartupPublisherWidth);
    BhoList().push_back(std::move(r));
    if (index >= kEventsEvery) ui::DoEvents();
  }
  reg.RegCloseKey(key);
}

ui::ListContent ShowStartupList() {
  ui::ListContent content;
  for (const StartupRecord& r : StartupList()) {
    ui::ListRow row;
    row.text = r.KeyName;
    row.subItems = {r.Name, r.ItemKind == 0 ? r.Value : std::string()};
    row.icon = 9;
    content.rows.push_back(std::move(row));
  }
  content.status = std::to_string(content.rows.size()) + " Item(s)";
  return content;
}

ui::ListContent ShowBhoList() {
  ui::ListContent content;
  for (const StartupRecord& r : BhoList()) {
    ui::ListRow row;
    row.text = r.Name;
    row.subItems = {r.Value, r.Publisher};
    row.icon = 9;
    content.rows.push_back(std::move(row));
  }
  content.status = std::to_string(content.rows.size()) + " Item(s)";
  return content;
}

void FixStartupItem(const StartupRecord& record) {
  if (record.ItemKind == 1) {
    if (record.Name.empty()) return;  // an empty name would address the location's key itself
    if (DeleteRegKey(record.KeyPath, record.Name) != 0) DeleteRegTree(record.KeyPath, record.Name);
    return;
  }
  if (record.KeyName == "Winlogon") {
    if (record.Name == "Userinit")
      WriteRegValue(record.KeyPath, "Userinit", Folders().SysDir + "userinit.exe", reg::Sz);
    else if (record.Name == "Shell")
      WriteRegValue(record.KeyPath, "Shell", "Explorer.exe", reg::Sz);
    else if (record.Name == "UIHost")
      WriteRegValue(record.KeyPath, "UIHost", "logonui.exe", reg::ExpandSz);
    return;
  }
  if (record.KeyName == "Session Manager") {
    WriteRegValue(record.KeyPath, "BootExecute", "autocheck autochk *", reg::MultiSz);
    return;
  }
  // "(Default)" stands for the unnamed value, unless a value of that very name exists.
  if (DeleteRegValue(record.KeyPath, record.Name) != 0 && record.Name == "(Default)")
    DeleteRegValue(record.KeyPath, "");
}

std::optional<ui::ListContent> DeleteOrFixReg(const std::vector<int>& selectedRows) {
  if (ui::MessageBox("Are you sure to delete and fix the selected value?", kTitle,
                     ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2) != ui::mb::IdYes)
    return std::nullopt;
  // Copy the selected records first: the list is only rebuilt afterwards, but a copy keeps the
  // rows independent of anything a fix might do to the list.
  std::vector<StartupRecord> chosen;
  for (int row : selectedRows)
    if (row >= 0 && static_cast<std::size_t>(row) < StartupList().size()) chosen.push_back(StartupList()[row]);
  for (const StartupRecord& r : chosen) FixStartupItem(r);
  GetStartupItems();
  return ShowStartupList();
}

std::optional<ui::ListContent> DeleteReg(const std::vector<int>& selectedRows) {
  if (ui::MessageBox("Are you sure to delete the selected value?", kTitle,
                     ui::mb::YesNo | ui::mb::IconExclamation | ui::mb::DefButton2) != ui::mb::IdYes)
    return std::nullopt;
  std::vector<StartupRecord> chosen;
  for (int row : selectedRows)
    if (row >= 0 && static_cast<std::size_t>(row) < BhoList().size()) chosen.push_back(BhoList()[row]);
  for (const StartupRecord& r : chosen)
    if (!r.Name.empty()) DeleteRegKey(r.KeyPath, r.Name);
  GetBrowserHelperObjects();
  return ShowBhoList();
}

}  // namespace tv
