// Version strings by a raw search of a file's version resource.
#include "fileinfo/version.h"

#include <cstddef>
#include <unordered_map>

#include "platform/api.h"

namespace tv {

namespace {

constexpr const char* kKeyNames[12] = {"Comments",       "InternalName",    "ProductName",     "CompanyName",
                                       "LegalCopyright", "ProductVersion",  "FileDescription", "LegalTrademarks",
                                       "PrivateBuild",   "FileVersion",     "OriginalFilename", "SpecialBuild"};
constexpr const char* kReady = "Ready";

// Code unit k of the resource: bytes 2k and 2k + 1, little-endian.
inline std::uint16_t Unit(const std::vector<std::uint8_t>& b, std::size_t k) {
  return static_cast<std::uint16_t>(b[2 * k] | (b[2 * k + 1] << 8));
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Code units [from, to) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string UnitsToUtf8(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t to) {
  std::string out;
  out.reserve(to - from);
  for (std::size_t k = from; k < to; ++k) {
    std::uint32_t u = Unit(b, k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < to) {
      std::uint32_t lo = Unit(b, k + 1);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++k;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

struct VersionCache {
  int depth = 0;
  std::unordered_map<std::string, std::vector<std::uint8_t>> resources;  // lower-cased path -> resource
};
VersionCache& Cache() {
  static VersionCache cache;
  return cache;
}

std::string LowerAscii(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::uint8_t> ReadResourceFromFile(const std::string& path);

// Reads the whole version resource of a file; empty when it has none.
std::vector<std::uint8_t> ReadResource(const std::string& path) {
  VersionCache& cache = Cache();
  if (cache.depth == 0) return ReadResourceFromFile(path);
  const std::string key = LowerAscii(path);
  auto it = cache.resources.find(key);
  if (it == cache.resources.end()) it = cache.resources.emplace(key, ReadResourceFromFile(path)).first;
  return it->second;
}

std::vector<std::uint8_t> ReadResourceFromFile(const std::string& path) {
  FileApi& files = platform::Files();
  std::uint32_t handle = 0;
  const std::uint32_t size = files.GetFileVersionInfoSizeA(path, &handle);
  if (static_cast<std::int32_t>(size) <= 0) return {};
  InitVersionKeys();
  std::vector<std::uint8_t> buffer(size, 0);
  files.GetFileVersionInfoA(path, 0, size, buffer.data());
  return buffer;
}

}  // namespace

std::array<std::string, 13>& VersionKeyNames() {
  static std::array<std::string, 13> names;
  return names;
}

void InitVersionKeys() {
  auto& names = VersionKeyNames();
  if (names[12] == kReady) return;
  for (int i = 0; i < 12; ++i) names[i] = kKeyNames[i];
  names[12] = kReady;
}

std::string FindVersionString(const std::vector<std::uint8_t>& resource, int key) {
  if (key < 0 || key > 11) return {};
  const std::string& name = VersionKeyNames()[12] == kReady ? VersionKeyNames()[key] : std::string(kKeyNames[key]);

  // Needle: the type field of a text entry (1) followed by the key name.
  std::vector<std::uint16_t> needle;
  needle.push_back(0x0001);
  for (unsigned char c : name) needle.push_back(c);

  const std::size_t units = resource.size() / 2;
  if (units < needle.size()) return {};
  std::size_t at = units;
  for (std::size_t k = 0; k + needle.size() <= units; ++k) {
    std::size_t j = 0;
    while (j < needle.size() && Unit(resource, k + j) == needle[j]) ++j;
    if (j == needle.size()) {
      at = k;
      break;
    }
  }
  if (at == units) return {};

  // The key's NUL follows the needle; the value starts at the next 32-bit aligned unit.
  std::size_t value = at + needle.size() + 1;
  while ((value * 2) % 4 != 0) ++value;
  if (value >= units) return {};
  std::size_t end = value;
  while (end < units && Unit(resource, end) != 0) ++end;
  if (end == units) return {};  // no terminating NUL before the end of the resource
  return UnitsToUtf8(resource, value, end);
}

std::string GetFileVersionString(const std::string& path, int key) {
  std::vector<std::uint8_t> resource = ReadResource(path);
  if (resource.empty()) return {};
  return FindVersionString(resource, key);
}

VersionStrings ReadVersionStrings(const std::string& path) {
  VersionStrings v;
  std::vector<std::uint8_t> resource = ReadResource(path);
  if (resource.empty()) return v;
  v.Company = FindVersionString(resource, CompanyName);
  v.Description = FindVersionString(resource, FileDescription);
  v.Version = FindVersionString(resource, FileVersion);
  return v;
}

void BeginVersionCache() {
  VersionCache& cache = Cache();
  if (cache.depth++ == 0) cache.resources.clear();
}

void EndVersionCache() {
  VersionCache& cache = Cache();
  if (cache.depth == 0) return;
  if (--cache.depth == 0) cache.resources.clear();
}

}  // namespace tv
