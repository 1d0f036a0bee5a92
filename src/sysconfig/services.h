// Services and drivers: the list built from the service entries of the registry (with each
// entry's state from the service control manager), its filters, rows and commands.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace tv {

struct ServiceRecord {
  std::string Name;             // 64: name of the service's registry key
  std::string RawImagePath;     // 260: "ImagePath" as stored
  std::string ImagePath;        // 260: RawImagePath as a drive-letter path (may carry arguments)
  std::uint32_t Start = 0;
  std::uint32_t Type = 0;
  std::string DisplayName;      // 128
  std::string Description;      // 256
  std::string Group;            // 128
  std::uint32_t Status = 0;     // 1 stopped .. 7 paused; 0 when the manager cannot report one
  std::uint32_t Spare = 0;
  std::string Company;          // 128
  std::string FileDescription;  // 256
  std::string Version;          // 64
};

inline constexpr const char* kServicesKeyPath = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

// The process-wide list, in the order of the registry's subkeys.
std::vector<ServiceRecord>& ServiceList();

// The filters of the "Service" menu.
enum ServiceFilterValue : int {
  kShowAll = 0,          // "Show &All" (RefreshService)
  kManageService = 1,    // "Manage &Service": Type 16 or more
  kStartedService = 2,   // "Show S&tarted Service": services whose Status is not 1
  kManageDriver = 3,     // "&Manage Driver": Type 8 or less
  kStartedDriver = 4,    // "Show Started &Driver": drivers whose Status is not 1
};
// The filter the service tab shows and its commands refresh with.
int& ServiceFilter();
bool PassesServiceFilter(const ServiceRecord& r, int filter);

void GetServices();

// Texts of one row.
std::string ServiceStatusText(std::uint32_t status);  // "Started", "Stopped" or ""
std::string ServiceTypeText(std::uint32_t type);
std::string ServiceStartText(std::uint32_t start);

// Rows of the records that pass `filter` and the status text ("N Item(s)").
ui::ListContent ShowServiceList(int filter);

// Opening the tab and F5: rebuild and show with filter 1, which is stored.
ui::ListContent RefreshServiceTab();
// One of the five filter items of the "Service" menu: rebuild, store the filter, show.
ui::ListContent ChooseServiceFilter(int filter);

// "&Run Service", "Sto&p Service", "&Delete Service" on the selected rows of the list as
// ShowServiceList(ServiceFilter()) built it. With no row selected nothing is done (nullopt);
// otherwise the command acts on the first selected row and the rebuilt rows are returned.
std::optional<ui::ListContent> RunService(const std::vector<int>& selectedRows);
std::optional<ui::ListContent> StopService(const std::vector<int>& selectedRows);
std::optional<ui::ListContent> DeleteService(const std::vector<int>& selectedRows);

}  // namespace tv
