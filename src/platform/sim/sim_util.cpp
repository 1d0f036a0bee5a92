// Text helpers of the simulated machine.
#include <cctype>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

std::string Lower(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string Upper(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool IEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool IStartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t extra = 0;
    if (c < 0x80) { cp = c; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    ++i;
    bool ok = true;
    for (std::size_t k = 0; k < extra; ++k, ++i) {
      if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    }
    if (!ok) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  std::string p = Lower(pattern), n = Lower(name);
  if (p == "*.*") p = "*";  // matches names without a dot too
  std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::string FileNameOf(const std::string& path) {
  auto pos = path.find_last_of('\\');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

namespace {
struct RootName {
  Handle root;
  const char* longName;
  const char* shortName;
};
constexpr RootName kRoots[] = {
    {reg::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},     {reg::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {reg::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},   {reg::Users, "HKEY_USERS", "HKU"},
    {reg::PerformanceData, "HKEY_PERFORMANCE_DATA", "HKPD"}, {reg::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
    {reg::DynData, "HKEY_DYN_DATA", "HKDD"},
};
}  // namespace

Handle RootFromName(const std::string& name) {
  for (const auto& r : kRoots)
    if (IEquals(name, r.longName) || IEquals(name, r.shortName)) return r.root;
  return 0;
}

std::string RootShortName(Handle root) {
  for (const auto& r : kRoots)
    if (r.root == root) return r.shortName;
  return "?";
}

std::string RootLongName(Handle root) {
  for (const auto& r : kRoots)
    if (r.root == root) return r.longName;
  return "?";
}

std::uint32_t ParseIpv4(const std::string& text) {
  std::uint32_t parts[4] = {0, 0, 0, 0};
  int idx = 0;
  for (char c : text) {
    if (c == '.') {
      if (++idx > 3) break;
    } else if (c >= '0' && c <= '9') {
      parts[idx] = parts[idx] * 10 + static_cast<std::uint32_t>(c - '0');
    }
  }
  return (parts[0] & 0xFF) | ((parts[1] & 0xFF) << 8) | ((parts[2] & 0xFF) << 16) | ((parts[3] & 0xFF) << 24);
}

std::uint16_t Htons(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::uint32_t DosErrorOf(NTSTATUS s) {
  switch (static_cast<std::uint32_t>(s)) {
    case 0: return 0;
    case 0xC0000022: return err::AccessDenied;
    case 0xC0000008: return err::InvalidHandle;
    case 0xC000000B: return err::InvalidParameter;
    case 0xC000000D: return err::InvalidParameter;
    case 0xC0000024: return err::InvalidHandle;
    case 0xC0000034: return err::FileNotFound;
    case 0xC000003A: return err::PathNotFound;
    case 0xC000010A: return err::AccessDenied;
    case 0xC000004B: return err::AccessDenied;
    case 0xC0000004: return 24;  // ERROR_BAD_LENGTH
    case 0xC0000023: return err::InsufficientBuffer;
    case 0xC0000017: return 8;   // ERROR_NOT_ENOUGH_MEMORY
    case 0xC0000019: return 487;  // ERROR_INVALID_ADDRESS
    default: return 317;          // ERROR_MR_MID_NOT_FOUND
  }
}

}  // namespace tv::sim
