#include "sysconfig/services.h"

#include "base/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "sysconfig/driver.h"
#include "base/record_text.h"
#include "sysconfig/registry.h"
#include "ui/text_tables.h"

namespace tv {
namespace {

constexpr std::uint32_t kNameCapacity = 256;
constexpr std::uint32_t kEventsEvery = 300;

std::string Text(const RegValue& v, std::size_t width) { return FitText(CutAtFirstNul(RegValueText(v)), width); }

// The record behind row `row` of the list shown with the stored filter; nullptr when none.
const ServiceRecord* RecordOfRow(int row) {
  if (row < 0) return nullptr;
  int shown = 0;
  for (const ServiceRecord& r : ServiceList()) {
    if (!PassesServiceFilter(r, ServiceFilter())) continue;
    if (shown++ == row) return &r;
  }
  return nullptr;
}

std::optional<std::string> FirstSelectedName(const std::vector<int>& selectedRows) {
  if (selectedRows.empty()) return std::nullopt;
  const ServiceRecord* r = RecordOfRow(selectedRows.front());
  if (r == nullptr) return std::nullopt;
  return TrimBlanks(r->Name);
}

}  // namespace

std::vector<ServiceRecord>& ServiceList() {
  static std::vector<ServiceRecord> list;
  return list;
}

int& ServiceFilter() {
  static int filter = kManageService;
  return filter;
}

bool PassesServiceFilter(const ServiceRecord& r, int filter) {
  switch (filter) {
    case kManageService: return r.Type >= 16;
    case kStartedService: return r.Type >= 16 && r.Status != 1;
    case kManageDriver: return r.Type <= 8;
    case kStartedDriver: return r.Type <= 8 && r.Status != 1;
    default: return true;
  }
}

void GetServices() {
  RegPath p = ParseRegPath(kServicesKeyPath);
  auto& reg = platform::Registry();
  Handle key = 0;
  if (p.root == 0 || reg.RegOpenKeyA(p.root, p.subKey, &key) != 0) return;
  std::vector<ServiceRecord> list;
  list.reserve(1000);
  ClsDriver& scm = ServiceTabDriver();
  for (std::uint32_t index = 0;; ++index) {
    if (index > 0 && index % kEventsEvery == 0) ui::DoEvents();
    std::string name;
    if (reg.RegEnumKeyExA(key, index, &name, kNameCapacity) != 0) break;
    const std::string path = std::string(kServicesKeyPath) + "\\" + name;
    ServiceRecord r;
    r.RawImagePath = Text(ReadRegValue(path, "ImagePath"), 260);
    if (r.RawImagePath.empty()) continue;  // an entry without an image path is not listed
    r.Name = FitText(name, 64);
    r.ImagePath = FitText(ConvertDevicePath(r.RawImagePath, false), 260);
    r.DisplayName = Text(ReadRegValue(path, "DisplayName"), 128);
    r.Description = Text(ReadRegValue(path, "Description"), 256);
    r.Group = Text(ReadRegValue(path, "Group"), 128);
    r.Type = RegValueNumber(ReadRegValue(path, "Type"));
    r.Start = RegValueNumber(ReadRegValue(path, "Start"));
    VersionStrings v = ReadVersionStrings(GetImagePathFromCommand(TrimBlanks(r.ImagePath), false));
    r.Company = FitText(v.Company, 128);
    r.FileDescription = FitText(v.Description, 256);
    r.Version = FitText(v.Version, 64);
    scm.szDrvSvcName = name;
    r.Status = scm.GetServiceStatus();
    list.push_back(std::move(r));
  }
  reg.RegCloseKey(key);
  ServiceList() = std::move(list);
}

std::string ServiceStatusText(std::uint32_t status) {
  if (status == 1) return MainText()[19];
  if (status == 4) return MainText()[18];
  return {};
}

std::string ServiceTypeText(std::uint32_t type) {
  if (type < 16) return "Kernel";
  switch (type) {
    case 16: return "Independent";
    case 32: return "Shared";
    case 272: return "Independent,Interactive";
    case 288: return "Shared,Interactive";
    default: return {};
  }
}

std::string ServiceStartText(std::uint32_t start) {
  if (start <= 2) return MainText()[15];
  if (start == 3) return MainText()[16];
  if (start == 4) return MainText()[17];
  return {};
}

ui::ListContent ShowServiceList(int filter) {
  ui::ListContent content;
  for (const ServiceRecord& r : ServiceList()) {
    if (!PassesServiceFilter(r, filter)) continue;
    ui::ListRow row;
    row.text = r.Name;
    row.subItems = {r.DisplayName, ServiceStatusText(r.Status), ServiceTypeText(r.Type), ServiceStartText(r.Start),
                    r.ImagePath,   r.Description,               r.Group,               r.Company,
                    r.FileDescription, r.Version};
    row.icon = r.Status == 1 ? 2 : r.Status == 4 ? 1 : -1;
    content.rows.push_back(std::move(row));
  }
  content.status = std::to_string(content.rows.size()) + " Item(s)";
  return content;
}

ui::ListContent RefreshServiceTab() { return ChooseServiceFilter(kManageService); }

ui::ListContent ChooseServiceFilter(int filter) {
  GetServices();
  ServiceFilter() = filter;
  return ShowServiceList(filter);
}

std::optional<ui::ListContent> RunService(const std::vector<int>& selectedRows) {
  std::optional<std::string> name = FirstSelectedName(selectedRows);
  if (!name) return std::nullopt;
  ClsDriver& d = ServiceTabDriver();
  d.szDrvSvcName = *name;
  d.SetServiceStatus(0);
  GetServices();
  return ShowServiceList(ServiceFilter());
}

std::optional<ui::ListContent> StopService(const std::vector<int>& selectedRows) {
  std::optional<std::string> name = FirstSelectedName(selectedRows);
  if (!name) return std::nullopt;
  ClsDriver& d = ServiceTabDriver();
  d.szDrvSvcName = *name;
  d.SetServiceStatus(1);
  GetServices();
  return ShowServiceList(ServiceFilter());
}

std::optional<ui::ListContent> DeleteService(const std::vector<int>& selectedRows) {
  std::optional<std::string> name = FirstSelectedName(selectedRows);
  if (!name) return std::nullopt;
  ClsDriver& d = ServiceTabDriver();
  d.szDrvSvcName = *name;
  const int filter = ServiceFilter();
  const bool serviceView = filter == kManageService || filter == kStartedService;
  const bool driverView = filter == kManageDriver || filter == kStartedDriver;
  if (!driverView) d.SetServiceStatus(2);
  // The registry entry goes in the "Show &All" view and in the driver views; the name is never
  // empty here, so the tree below is always the entry's own key, never the services key.
  if (!serviceView && !name->empty()) DeleteRegTree(kServicesKeyPath, *name);
  GetServices();
  return ShowServiceList(ServiceFilter());
}

}  // namespace tv
