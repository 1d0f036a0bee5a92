// Reads text values out of a file's version resource by a raw search of its bytes.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tv {

enum VersionKey : int {
  Comments = 0, InternalName = 1, ProductName = 2, CompanyName = 3, LegalCopyright = 4,
  ProductVersion = 5, FileDescription = 6, LegalTrademarks = 7, PrivateBuild = 8, FileVersion = 9,
  OriginalFilename = 10, SpecialBuild = 11
};

// Entries 0..11 hold the key names, entry 12 "Ready" once filled.
std::array<std::string, 13>& VersionKeyNames();
void InitVersionKeys();

std::string GetFileVersionString(const std::string& path, int key);

// The raw search over a version resource already in memory (used by GetFileVersionString and
// by ReadVersionStrings). Never reads past the buffer.
std::string FindVersionString(const std::vector<std::uint8_t>& resource, int key);

// Company, description and version of one file from a single read of its resource.
struct VersionStrings {
  std::string Company, Description, Version;
};
VersionStrings ReadVersionStrings(const std::string& path);

// While a VersionCacheScope lives, each distinct file (its path, letter case ignored) has its
// version resource read once: GetFileVersionString and ReadVersionStrings answer later asks for
// the same path from that read. A long run that meets the same files many times (the report
// reads the system DLLs once per process that loads them) opens one scope for the run; nothing
// is kept once the outermost scope ends. Scopes nest.
class VersionCacheScope {
 public:
  VersionCacheScope();
  ~VersionCacheScope();
  VersionCacheScope(const VersionCacheScope&) = delete;
  VersionCacheScope& operator=(const VersionCacheScope&) = delete;
};

}  // namespace tv
