// The rating of a start-up item's file, and the per-scan memory of what a rating reads.
#pragma once
#include <cstdint>
#include <string>

#include "fileinfo/version.h"
#include "scan/scan_item.h"

namespace tv {

// Rates the file `path` found in a start-up location of `category`. `path` is replaced by its
// lower-cased form without surrounding blanks. In this order, the first rule that applies:
//  - the program's own executable and SysDir + "drivers\tolvexa.sys": 0;
//  - (category other than 6) not found by a plain directory lookup (missing, a folder, hidden
//    or system): Unknown;
//  - category 6 (path = an Image File Execution Options key path): Dangerous when its
//    "Debugger" value is set, else 0;
//  - company containing "microsoft" or "pellamor", or copyright containing "microsoft",
//    "calduna" or "brenvik" (letter case ignored): 0;
//  - a verified signature: 0;
//  - else by category, with or without version text (company or copyright):
//      0, 2, 5, 9, 16: Normal / Dangerous;  1, 3, 32: Potential / Dangerous;
//      4, 6, 7, 8: Dangerous / Dangerous;   any other code: Normal / Unknown.
RiskLevel GetRiskLevel(std::string& path, std::int32_t category);
// The level a category's rule gives, with (`hasVersionText`) or without version text.
RiskLevel CategoryRiskLevel(std::int32_t category, bool hasVersionText);

// Opens the per-scan memory of version resources and silent signature checks for its
// lifetime: within it each distinct file's resource is read once and its signature verified
// at most once. Scopes nest; the outermost one empties the memory when it opens and closes.
class ScanCacheScope {
 public:
  ScanCacheScope();
  ~ScanCacheScope();
  ScanCacheScope(const ScanCacheScope&) = delete;
  ScanCacheScope& operator=(const ScanCacheScope&) = delete;

 private:
  VersionCacheScope versions_;
};

}  // namespace tv
