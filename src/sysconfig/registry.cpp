// Registry access by full textual key paths.
#include "sysconfig/registry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/api.h"

namespace tv {

namespace {

struct RootName {
  const char* name;
  Handle value;
};
constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", reg::ClassesRoot},     {"HKEY_CURRENT_USER", reg::CurrentUser},
    {"HKEY_LOCAL_MACHINE", reg::LocalMachine},   {"HKEY_USERS", reg::Users},
    {"HKEY_PERFORMANCE_DATA", reg::PerformanceData}, {"HKEY_CURRENT_CONFIG", reg::CurrentConfig},
    {"HKEY_DYN_DATA", reg::DynData},
};

constexpr std::int32_t kErrInvalidHandle = static_cast<std::int32_t>(err::InvalidHandle);
constexpr std::int32_t kErrInvalidParameter = static_cast<std::int32_t>(err::InvalidParameter);
constexpr std::uint32_t kReadStringBuffer = 1024;
constexpr std::uint32_t kReadValueBuffer = 256;

// Closes the key when it goes out of scope.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_ != 0) platform::Registry().RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  Handle* out() { return &h_; }
  Handle get() const { return h_; }

 private:
  Handle h_ = 0;
};

std::int32_t OpenForRead(Handle root, const std::string& subKey, Key& key) {
  return platform::Registry().RegOpenKeyExA(root, subKey, 0, reg::KeyRead, key.out());
}

// Bytes [0, size) as text, up to the first NUL.
std::string TextUpToNul(const std::vector<char>& buffer, std::uint32_t size) {
  std::string s(buffer.data(), std::min<std::size_t>(size, buffer.size()));
  auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

std::int32_t SetString(Handle key, const std::string& name, std::uint32_t type, const std::string& text) {
  return platform::Registry().RegSetValueExA(key, name, type, text.data(), static_cast<std::uint32_t>(text.size()));
}

// The number a text stands for, rounded half to even; false when it is no number or does not
// fit into 32 bits (signed or unsigned).
bool TextToDword(const std::string& text, std::uint32_t& out) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  if (*begin == '\0') return false;
  char* end = nullptr;
  double d = std::strtod(begin, &end);
  if (end == begin) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || !std::isfinite(d)) return false;
  double r = std::nearbyint(d);  // default rounding mode: half to even
  if (r < -2147483648.0 || r > 4294967295.0) return false;
  out = r < 0 ? static_cast<std::uint32_t>(static_cast<std::int32_t>(r)) : static_cast<std::uint32_t>(r);
  return true;
}

}  // namespace

RegPath ParseRegPath(const std::string& fullPath) {
  RegPath p;
  std::string rootName;
  auto first = fullPath.find('\\');
  if (first == std::string::npos) {
    rootName = fullPath;
    p.lastComponent = fullPath;
  } else {
    rootName = fullPath.substr(0, first);
    p.subKey = fullPath.substr(first + 1);
    p.lastComponent = fullPath.substr(fullPath.find_last_of('\\') + 1);
  }
  for (char& c : rootName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const RootName& r : kRoots)
    if (rootName == r.name) {
      p.root = r.value;
      break;
    }
  return p;
}

std::string RegReadString(const std::string& keyPath, const std::string& valueName) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return {};
  Key key;
  if (OpenForRead(p.root, p.subKey, key) != 0) return {};
  std::vector<char> buffer(kReadStringBuffer, 0);
  std::uint32_t type = 0, size = kReadStringBuffer;
  if (platform::Registry().RegQueryValueExA(key.get(), valueName, &type, buffer.data(), &size) != 0 || size < 2)
    return {};
  return TextUpToNul(buffer, size);
}

std::int32_t RegWriteDword(Handle root, const std::string& subKey, const std::string& valueName,
                           std::uint32_t value) {
  if (root == 0) return kErrInvalidHandle;
  Key key;
  if (std::int32_t s = platform::Registry().RegCreateKeyA(root, subKey, key.out()); s != 0) return s;
  return platform::Registry().RegSetValueExA(key.get(), valueName, reg::Dword, &value, sizeof value);
}

std::int32_t RegWriteString(Handle root, const std::string& subKey, const std::string& valueName,
                            const std::string& value) {
  if (root == 0) return kErrInvalidHandle;
  Key key;
  if (std::int32_t s = platform::Registry().RegCreateKeyA(root, subKey, key.out()); s != 0) return s;
  return SetString(key.get(), valueName, reg::Sz, value);
}

std::int32_t DeleteRegValueAt(Handle root, const std::string& subKey, const std::string& valueName) {
  if (root == 0) return kErrInvalidHandle;
  Key key;
  if (std::int32_t s = platform::Registry().RegOpenKeyA(root, subKey, key.out()); s != 0) return s;
  return platform::Registry().RegDeleteValueA(key.get(), valueName);
}

RegValue ReadRegValue(const std::string& keyPath, const std::string& valueName) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return {};
  Key key;
  if (OpenForRead(p.root, p.subKey, key) != 0) return {};
  RegistryApi& r = platform::Registry();
  std::uint32_t type = 0, size = 0;
  if (r.RegQueryValueExA(key.get(), valueName, &type, nullptr, &size) != 0) return {};

  switch (type) {
    case reg::Sz:
    case reg::ExpandSz:
    case reg::Binary:
    case reg::MultiSz: {
      std::vector<char> buffer(kReadValueBuffer, 0);
      size = kReadValueBuffer;
      if (r.RegQueryValueExA(key.get(), valueName, &type, buffer.data(), &size) != 0) return {};
      if (size == 0) return std::string();
      if (type == reg::Sz || type == reg::ExpandSz) return TextUpToNul(buffer, size);
      std::string raw(buffer.data(), std::min<std::size_t>(size, buffer.size()));
      if (type == reg::MultiSz)
        while (!raw.empty() && raw.back() == '\0') raw.pop_back();  // keep the inner separators
      return raw;
    }
    case reg::Dword: {
      std::uint32_t value = 0;
      size = sizeof value;
      if (r.RegQueryValueExA(key.get(), valueName, &type, &value, &size) != 0) return {};
      return value;
    }
    default:
      return {};
  }
}

std::string RegValueText(const RegValue& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* n = std::get_if<std::uint32_t>(&v)) return std::to_string(*n);
  return {};
}

std::uint32_t RegValueNumber(const RegValue& v) {
  if (const auto* n = std::get_if<std::uint32_t>(&v)) return *n;
  if (const auto* s = std::get_if<std::string>(&v)) {
    const char* begin = s->c_str();
    while (*begin == ' ') ++begin;
    char* end = nullptr;
    long long x = std::strtoll(begin, &end, 10);
    if (end == begin) return 0;
    return static_cast<std::uint32_t>(x);
  }
  return 0;
}

std::string ReadClassDefault(const std::string& classesRootPath) {
  Key key;
  RegistryApi& r = platform::Registry();
  if (r.RegOpenKeyA(reg::ClassesRoot, classesRootPath, key.out()) != 0) return {};
  std::uint32_t type = 0, size = 0;
  r.RegQueryValueExA(key.get(), "", &type, nullptr, &size);
  std::vector<char> buffer(kReadValueBuffer, 0);
  size = kReadValueBuffer;
  if (r.RegQueryValueExA(key.get(), "", &type, buffer.data(), &size) != 0 || size < 2) return {};
  return TextUpToNul(buffer, size);
}

std::int32_t DeleteRegKey(const std::string& keyPath, const std::string& subKeyName) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return 0;
  // An empty name would make the call delete the parent itself.
  if (subKeyName.empty()) return kErrInvalidParameter;
  RegistryApi& r = platform::Registry();
  if (p.subKey.empty()) return r.RegDeleteKeyA(p.root, subKeyName);
  Key parent;
  if (std::int32_t s = r.RegOpenKeyA(p.root, p.subKey, parent.out()); s != 0) return s;
  return r.RegDeleteKeyA(parent.get(), subKeyName);
}

std::int32_t DeleteRegTree(const std::string& keyPath, const std::string& subKeyName) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return kErrInvalidHandle;
  // An empty name would remove the whole tree at the parent path.
  if (subKeyName.empty()) return kErrInvalidParameter;
  return platform::Registry().SHDeleteKeyA(p.root, p.subKey.empty() ? subKeyName : p.subKey + "\\" + subKeyName);
}

std::int32_t DeleteRegValue(const std::string& keyPath, const std::string& valueName) {
  RegPath p = ParseRegPath(keyPath);
  return DeleteRegValueAt(p.root, p.subKey, valueName);
}

std::int32_t WriteRegValue(const std::string& keyPath, const std::string& valueName, const std::string& text,
                           std::uint32_t type) {
  RegPath p = ParseRegPath(keyPath);
  if (p.root == 0) return kErrInvalidHandle;
  RegistryApi& r = platform::Registry();
  Key key;
  if (std::int32_t s = r.RegCreateKeyA(p.root, p.subKey, key.out()); s != 0) return s;
  switch (type) {
    case reg::Sz:
    case reg::ExpandSz:
      return SetString(key.get(), valueName, type, text);
    case reg::Dword: {
      std::uint32_t value = 0;
      if (!TextToDword(text, value)) return kErrInvalidParameter;
      return r.RegSetValueExA(key.get(), valueName, reg::Dword, &value, sizeof value);
    }
    case reg::MultiSz: {
      std::string data = text;
      data.push_back('\0');
      data.push_back('\0');
      return SetString(key.get(), valueName, reg::MultiSz, data);
    }
    default:
      return kErrInvalidParameter;
  }
}

}  // namespace tv
