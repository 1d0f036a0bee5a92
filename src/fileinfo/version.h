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

// Within one scan each distinct file's resource is read once: while a cache is open (between
// BeginVersionCache and EndVersionCache; nested pairs share the outermost one) the resource of
// a path is kept after its first read, keyed by the path's lower-cased text. Opening the
// outermost cache and closing it empty it, so nothing is reused from one scan to the next.
void BeginVersionCache();
void EndVersionCache();

}  // namespace tv
