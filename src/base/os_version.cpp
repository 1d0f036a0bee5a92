#include "base/os_version.h"

namespace tv {

namespace {
const char* VersionName(const OsVersionInfo& v) {
  if (v.platformId == 1) {
    switch (v.minor) {
      case 0: return "Microsoft Windows 95 ";
      case 10: return "Microsoft Windows 98 ";
      case 90: return "Microsoft Windows Mellinnium ";
      default: return nullptr;
    }
  }
  if (v.platformId == 2) {
    if (v.major == 3) return "Microsoft Windows NT 3.51 ";
    if (v.major == 4) return "Microsoft Windows NT 4.0 ";
    if (v.major == 5 && v.minor == 0) return "Microsoft Windows 2000 ";
    if (v.major == 5 && v.minor == 1) return "Microsoft Windows XP ";
    if (v.major == 5 && v.minor == 2) return "Microsoft Windows 2003 ";
    if (v.major == 6 && v.minor == 0) return "Microsoft Windows Vista ";
    if (v.major == 6 && v.minor == 1) return "Microsoft Windows 7 ";
  }
  return nullptr;
}
}  // namespace

std::string OsVersionText(const OsVersionInfo& v) {
  const char* name = VersionName(v);
  if (!name) return {};
  std::string csd = v.csdVersion;
  if (auto nul = csd.find('\0'); nul != std::string::npos) csd.resize(nul);
  auto first = csd.find_first_not_of(' ');
  csd = first == std::string::npos ? std::string() : csd.substr(first, csd.find_last_not_of(' ') - first + 1);
  return name + csd + " (Build " + std::to_string(v.build) + ")";
}

std::string WindowsVersionText() {
  OsVersionInfo v;
  if (!platform::Sys().GetVersionExA(v)) return {};
  return OsVersionText(v);
}

}  // namespace tv
