// Folder values and path normalisation.
#include "base/paths.h"

#include <cctype>
#include <string_view>

#include "platform/api.h"

namespace tv {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string WithBackslash(std::string s) {
  if (!s.empty() && s.back() != '\\') s += '\\';
  return s;
}

std::string CutAtNul(std::string s) {
  auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

// Cut at the first NUL, then drop leading and trailing blanks.
std::string CutAndTrim(const std::string& path) {
  std::string s = CutAtNul(path);
  auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

// The text of `path` after its first `skip` characters; nullopt-like flag when the path is
// shorter than that (a bare "%windir%" leaves nothing after its prefix and separator).
bool Tail(const std::string& path, std::size_t skip, std::string& out) {
  if (path.size() < skip) return false;
  out = path.substr(skip);
  return true;
}

constexpr std::string_view kVolumePrefix = "\\device\\harddiskvolume";
constexpr int kMaxVolume = 24;

}  // namespace

FolderValues& Folders() {
  static FolderValues values;
  return values;
}

void RefreshSysDir() { Folders().SysDir = WithBackslash(CutAtNul(platform::Sys().GetSystemDirectoryA())); }

void InitFolders() {
  FolderValues& f = Folders();
  SystemApi& sys = platform::Sys();
  f.WinDir = WithBackslash(CutAtNul(sys.GetWindowsDirectoryA()));
  f.SysDir = WithBackslash(CutAtNul(sys.GetSystemDirectoryA()));
  f.TempDir = WithBackslash(CutAtNul(sys.GetTempPathA()));
  f.ProgramFilesDir = f.WinDir.size() >= 3 ? f.WinDir.substr(0, 3) + "Program Files\\" : std::string();

  ShellApi* shell = platform::Current().shell;
  auto special = [shell](int csidl) {
    return shell ? WithBackslash(CutAtNul(shell->GetSpecialFolderPath(csidl))) : std::string();
  };
  f.UserProfileDir = special(kCsidlProfile);
  f.StartupDir = special(kCsidlStartup);
  f.DesktopDir = special(kCsidlDesktop);
  f.LocalAppDataDir = special(kCsidlLocalAppData);
  f.AppDataDir = special(kCsidlAppData);
  f.SoundFile = f.TempDir + "shazhu.wav";

  std::string exe = CutAtNul(sys.GetModuleFileNameA(0));
  auto slash = exe.find_last_of('\\');
  f.AppDir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  std::string p = CutAndTrim(path);
  if (p.empty()) return false;
  // Attributes read as a signed number: the invalid value (-1) does not count.
  return static_cast<std::int32_t>(platform::Files().GetFileAttributesA(p)) > 0;
}

bool FileCanBeOpened(const std::string& path) {
  std::string p = CutAndTrim(path);
  if (p.empty()) return false;
  Handle h = platform::Files().CreateFileA(p, access::GenericRead, 1 /*share read*/, 3 /*open existing*/, 0);
  if (h == kInvalidHandle || h == kNullHandle) return false;
  platform::Sys().CloseHandle(h);
  return true;
}

bool DirListingFinds(const std::string& path) {
  if (path.empty()) return false;
  FileApi& files = platform::Files();
  FindData fd;
  Handle find = files.FindFirstFileA(path, fd);
  if (find == kInvalidHandle || find == kNullHandle) return false;
  constexpr std::uint32_t kExcluded = fattr::Directory | fattr::Hidden | fattr::System;
  bool found = false;
  do {
    if ((fd.attributes & kExcluded) == 0) {
      found = true;
      break;
    }
  } while (files.FindNextFileA(find, fd));
  files.FindClose(find);
  return found;
}

std::string GetFileName(const std::string& path) {
  auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ConvertDevicePath(const std::string& input, bool driverSearch) {
  std::string path = input;
  if (!path.empty() && path.front() == '"') path.erase(0, 1);
  if (!path.empty() && path.back() == '"') path.pop_back();

  const std::string low = Lower(path);
  const FolderValues& f = Folders();

  struct Rule {
    std::string_view prefix;
    const std::string FolderValues::*folder;  // nullptr: no folder in front
    std::size_t skip;                         // characters of `path` replaced
  };
  static const Rule kRules[] = {
      {"\\systemroot\\", &FolderValues::WinDir, 12},
      {"\\??\\", nullptr, 4},
      {"\\windows\\", &FolderValues::WinDir, 9},
      {"\\winnt\\", &FolderValues::WinDir, 7},
      {"system32", &FolderValues::WinDir, 0},
      // Percent forms: the prefix and the one character after it (the separator).
      {"%systemroot%", &FolderValues::WinDir, 13},
      {"%system%", &FolderValues::SysDir, 9},
      {"%windows%", &FolderValues::WinDir, 10},
      {"%windir%", &FolderValues::WinDir, 9},
      {"%programfiles%", &FolderValues::ProgramFilesDir, 15},
      {"%userprofile%", &FolderValues::UserProfileDir, 14},
  };
  for (const Rule& r : kRules) {
    if (!StartsWith(low, r.prefix)) continue;
    std::string tail;
    if (!Tail(path, r.skip, tail)) return {};
    return (r.folder ? f.*(r.folder) : std::string()) + tail;
  }

  if (driverSearch) {
    const std::string candidates[] = {f.SysDir + "Drivers\\" + path, f.WinDir + "SysWOW64\\" + path,
                                      f.WinDir + path, f.SysDir + path};
    for (const std::string& c : candidates)
      if (FileCanBeOpened(c)) return c;
  }

  if (StartsWith(low, kVolumePrefix)) {
    for (int n = 1; n <= kMaxVolume; ++n) {
      std::string prefix = std::string(kVolumePrefix) + std::to_string(n) + "\\";
      if (StartsWith(low, prefix)) {
        std::string root = {static_cast<char>('C' + n - 1), ':', '\\'};
        return root + path.substr(prefix.size());
      }
    }
  }
  return path;
}

std::string GetImagePathFromCommand(const std::string& input, bool normalise) {
  if (FileCanBeOpened(input)) return input;

  std::string cmd = input;
  if (!cmd.empty() && cmd.front() == '"') cmd.erase(0, 1);
  auto quote = cmd.find('"');
  if (quote != std::string::npos) cmd.resize(quote);

  const std::string low = Lower(cmd);
  auto upTo = [&](std::size_t pos, std::size_t len) { return cmd.substr(0, pos + len); };
  auto before = [&](std::size_t pos) { return cmd.substr(0, pos) + ".exe"; };
  const std::size_t exe = low.rfind(".exe"), dll = low.rfind(".dll"), sys = low.rfind(".sys");
  const std::size_t dashK = low.rfind(" -k"), slash = low.find(" /");
  constexpr std::size_t npos = std::string::npos;

  if (normalise) {
    std::string result;
    if (exe != npos)
      result = upTo(exe, 4);
    else if (dll != npos)
      result = upTo(dll, 4);
    else if (sys != npos)
      result = upTo(sys, 4);
    else if (dashK != npos)
      result = before(dashK);
    else if (slash != npos)
      result = before(slash);
    if (!result.empty() && !FileCanBeOpened(result)) result = ConvertDevicePath(result, true);
    return result;
  }

  std::vector<std::string> candidates;
  if (exe != npos) candidates.push_back(upTo(exe, 4));
  if (sys != npos) candidates.push_back(upTo(sys, 4));
  if (dll != npos) candidates.push_back(upTo(dll, 4));
  if (dashK != npos) candidates.push_back(before(dashK));
  if (slash != npos) candidates.push_back(before(slash));
  for (const std::string& c : candidates)
    if (FileCanBeOpened(c)) return c;
  return cmd;
}

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    auto comma = list.find(',', start);
    if (comma == std::string::npos) break;
    pieces.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  std::string last = list.substr(start);
  if (pieces.empty() || last.size() > 1) pieces.push_back(last);

  for (std::string& piece : pieces)
    if (!DirListingFinds(piece)) piece = GetImagePathFromCommand(piece, true);
  return pieces;
}

}  // namespace tv
