#include "offline/make_disk.h"

#include <hivex.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "offline/offline_tree.h"
#include "platform/offline/offline_machine.h"

namespace tv::offtest {

namespace {

namespace fs = std::filesystem;

const char* const kNt = "Microsoft\\Windows NT\\CurrentVersion";
const char* const kCv = "Microsoft\\Windows\\CurrentVersion";
const char* const kShellFolders = "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool AsciiEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// UTF-8 bytes (the simulated machine's form of registry texts, NULs included) as UTF-16LE, the
// form a hive keeps them in. A byte that starts no valid sequence stands for itself (Latin-1).
Bytes Utf8ToUtf16Le(const Bytes& in) {
  Bytes out;
  auto put = [&](std::uint32_t u) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  for (std::size_t i = 0; i < in.size();) {
    const std::uint8_t c = in[i];
    std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    std::uint32_t cp = n == 0 ? c : n == 1 ? (c & 0x1Fu) : n == 2 ? (c & 0x0Fu) : (c & 0x07u);
    bool ok = n <= 3 && i + n < in.size();
    for (std::size_t k = 1; ok && k <= n; ++k) {
      if ((in[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (in[i + k] & 0x3Fu);
    }
    if (!ok) {
      put(c);
      ++i;
      continue;
    }
    i += n + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

Bytes Text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}
Bytes DwordBytes(std::uint32_t v) {
  return Bytes{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// One hive being written: an empty hive made by the backend's writer, filled through hivex.
class HiveWriter {
 public:
  HiveWriter() = default;
  ~HiveWriter() {
    if (h_) hivex_close(h_);
  }
  HiveWriter(const HiveWriter&) = delete;
  HiveWriter& operator=(const HiveWriter&) = delete;

  bool Create(const std::string& host, std::string& error) {
    path_ = host;
    std::error_code ec;
    fs::create_directories(fs::path(host).parent_path(), ec);
    if (ec) {
      error = "cannot make the folder of " + host + ": " + ec.message();
      return false;
    }
    if (!offline::WriteEmptyHive(host, error)) return false;
    h_ = hivex_open(host.c_str(), HIVEX_OPEN_WRITE);
    if (!h_) {
      error = "hivex cannot open " + host + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  hive_node_h Root() const { return hivex_root(h_); }

  // The key below `from` (made on the way); 0 when hivex refuses.
  hive_node_h Key(hive_node_h from, const std::string& path) {
    hive_node_h node = from;
    for (const std::string& part : Split(path)) {
      hive_node_h child = hivex_node_get_child(h_, node, part.c_str());
      if (!child) {
        child = hivex_node_add_child(h_, node, part.c_str());
        if (child) ++keys_;
      }
      if (!child) return Fail("hivex cannot add the key " + part), 0;
      node = child;
    }
    return node;
  }

  // `data` as the simulated machine keeps it (texts in UTF-8).
  bool Set(hive_node_h node, const std::string& name, std::uint32_t type, const Bytes& data) {
    Bytes stored = (type == reg::Sz || type == reg::ExpandSz || type == reg::MultiSz || type == 6)
                       ? Utf8ToUtf16Le(data)
                       : data;
    std::string n = name;
    hive_set_value v{};
    v.key = n.data();
    v.t = static_cast<hive_type>(type);
    v.len = stored.size();
    v.value = reinterpret_cast<char*>(stored.data());
    if (hivex_node_set_value(h_, node, &v, 0) != 0) return Fail("hivex cannot set the value " + name);
    return true;
  }
  // Sets the value unless the key has one of that name already.
  bool Default(hive_node_h node, const std::string& name, std::uint32_t type, const Bytes& data) {
    if (!node) return false;
    if (hivex_node_get_value(h_, node, name.c_str())) return true;
    return Set(node, name, type, data);
  }
  bool Default(const std::string& key, const std::string& name, const std::string& text, std::uint32_t type = reg::Sz) {
    return Default(Key(Root(), key), name, type, Text(text));
  }
  bool DefaultDword(const std::string& key, const std::string& name, std::uint32_t v) {
    return Default(Key(Root(), key), name, reg::Dword, DwordBytes(v));
  }

  // The key's values and subkeys, merged into `node`.
  bool Tree(hive_node_h node, const sim::RegKey& key) {
    if (!node) return false;
    for (const sim::RegValue& v : key.values)
      if (!Set(node, v.name, v.type, v.data)) return false;
    for (const auto& sub : key.subkeys)
      if (!Tree(Key(node, sub->name), *sub)) return false;
    return true;
  }

  bool Commit(std::string& error) {
    if (!error_.empty()) {
      error = error_ + " in " + path_;
      return false;
    }
    if (hivex_commit(h_, nullptr, 0) != 0) {
      error = "hivex cannot write " + path_ + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }
  std::size_t Keys() const { return keys_; }

 private:
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  std::string path_, error_;
  hive_h* h_ = nullptr;
  std::size_t keys_ = 0;
};

const sim::RegKey* Child(const sim::RegKey& k, const std::string& name) {
  for (const auto& c : k.subkeys)
    if (AsciiEquals(c->name, name)) return c.get();
  return nullptr;
}
const sim::RegKey* Find(const sim::MachineState& st, Handle root, const std::string& path) {
  auto it = st.roots.find(root);
  if (it == st.roots.end()) return nullptr;
  const sim::RegKey* k = &it->second;
  for (const std::string& part : Split(path))
    if (!(k = Child(*k, part))) return nullptr;
  return k;
}

// The existing entry of `dir` named `name` in any letter case, else `name` itself.
fs::path Component(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return dir / name;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (AsciiEquals(it->path().filename().string(), name)) return it->path();
  return dir / name;
}

// The host path of a Windows path of the system drive, folders made on the way; nullopt for
// other drives and for a path that cannot be made.
std::optional<fs::path> Place(const fs::path& root, const std::string& drive, const std::string& windowsPath,
                              bool lastIsFolder, std::string& error) {
  if (windowsPath.size() < 2 || !AsciiEquals(windowsPath.substr(0, 2), drive)) return std::nullopt;
  const std::vector<std::string> parts = Split(windowsPath.substr(2));
  fs::path at = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "." || parts[i] == "..") {
      error = "a path with . or .. has no place on the disk: " + windowsPath;
      return std::nullopt;
    }
    at = Component(at, parts[i]);
    if (i + 1 < parts.size() || lastIsFolder) {
      std::error_code ec;
      fs::create_directories(at, ec);
      if (ec) {
        error = "cannot make the folder " + at.string() + ": " + ec.message();
        return std::nullopt;
      }
    }
  }
  return at;
}

std::string LastComponent(const std::string& path) {
  const std::vector<std::string> parts = Split(path);
  return parts.empty() ? std::string() : parts.back();
}

}  // namespace

bool MakeOfflineDisk(const sim::MachineState& st, const std::string& dir, DiskLayout layout, DiskSummary& summary,
                     std::string& error) {
  summary = DiskSummary{};
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec) || !fs::is_empty(dir, ec)) {
      error = "not an empty folder: " + dir + " (the disk is made only in a new or empty folder)";
      return false;
    }
  } else {
    fs::create_directories(dir, ec);
    if (ec) {
      error = "cannot make the folder " + dir + ": " + ec.message();
      return false;
    }
  }
  const fs::path root = fs::path(dir);
  const bool xp = layout == DiskLayout::Xp;

  // Where Windows lives: the machine's own Windows folder, in the layout's letter case when it
  // is the usual "Windows".
  std::string windowsDir = st.windowsDir;
  while (windowsDir.size() > 3 && windowsDir.back() == '\\') windowsDir.pop_back();
  if (windowsDir.size() < 4 || windowsDir[1] != ':' || Split(windowsDir.substr(2)).size() != 1) {
    error = "the machine's Windows folder is not a folder at the root of a drive: " + st.windowsDir;
    return false;
  }
  const std::string drive = windowsDir.substr(0, 2);
  std::string winName = LastComponent(windowsDir);
  if (AsciiEquals(winName, "Windows")) winName = xp ? "WINDOWS" : "Windows";
  const fs::path config = root / winName / (xp ? "system32" : "System32") / "config";

  // The user: the profile folder's name as the machine knows it.
  std::string profileSeen = st.specialFolders.count(40) ? st.specialFolders.at(40) : std::string();
  if (profileSeen.empty())
    for (const auto& [k, v] : st.environment)
      if (AsciiEquals(k, "USERPROFILE")) profileSeen = v;
  summary.user = LastComponent(profileSeen);
  if (summary.user.empty()) summary.user = "Admin";
  const std::string profilesDir = drive + (xp ? "\\Documents and Settings" : "\\Users");
  const std::string profile = profilesDir + "\\" + summary.user;
  const fs::path profileHost = root / (xp ? "Documents and Settings" : "Users") / summary.user;

  summary.softwareHive = (config / (xp ? "software" : "SOFTWARE")).string();
  summary.systemHive = (config / (xp ? "system" : "SYSTEM")).string();
  summary.defaultHive = (config / (xp ? "default" : "DEFAULT")).string();
  summary.userHive = (profileHost / "NTUSER.DAT").string();

  HiveWriter software, system, defaultUser, user;
  if (!software.Create(summary.softwareHive, error) || !system.Create(summary.systemHive, error) ||
      !defaultUser.Create(summary.defaultHive, error) || !user.Create(summary.userHive, error))
    return false;

  // The machine's own registry first, so that its values keep their order.
  std::uint32_t currentSet = 1;
  if (const sim::RegKey* select = Find(st, reg::LocalMachine, "SYSTEM\\Select"))
    for (const sim::RegValue& v : select->values)
      if (AsciiEquals(v.name, "Current") && v.type == reg::Dword && v.data.size() == 4 && v.data[0] > 0 &&
          v.data[1] == 0 && v.data[2] == 0 && v.data[3] == 0)
        currentSet = v.data[0];
  char setName[32];
  std::snprintf(setName, sizeof setName, "ControlSet%03u", static_cast<unsigned>(currentSet));

  for (const auto& [rootHandle, rootKey] : st.roots) {
    for (const auto& sub : rootKey.subkeys) {
      bool ok = true;
      if (rootHandle == reg::LocalMachine && AsciiEquals(sub->name, "SOFTWARE")) {
        ok = software.Tree(software.Root(), *sub);
      } else if (rootHandle == reg::LocalMachine && AsciiEquals(sub->name, "SYSTEM")) {
        for (const auto& s : sub->subkeys) {
          const std::string name = AsciiEquals(s->name, "CurrentControlSet") ? setName : s->name;
          ok = ok && system.Tree(system.Key(system.Root(), name), *s);
        }
        for (const sim::RegValue& v : sub->values) ok = ok && system.Set(system.Root(), v.name, v.type, v.data);
      } else if (rootHandle == reg::ClassesRoot) {
        ok = software.Tree(software.Key(software.Root(), "Classes\\" + sub->name), *sub);
      } else if (rootHandle == reg::CurrentUser) {
        ok = user.Tree(user.Key(user.Root(), sub->name), *sub);
      } else if (rootHandle == reg::Users && AsciiEquals(sub->name, ".DEFAULT")) {
        ok = defaultUser.Tree(defaultUser.Root(), *sub);
      } else if (rootHandle == reg::Users && AsciiEquals(sub->name, kDiskUserSid)) {
        ok = user.Tree(user.Root(), *sub);
      } else {
        ++summary.skipped;
        continue;
      }
      if (!ok) break;
    }
    if (rootHandle == reg::CurrentUser)
      for (const sim::RegValue& v : rootKey.values) user.Set(user.Root(), v.name, v.type, v.data);
  }

  // What the machine keeps as system values, where its registry does not say it itself.
  const OsVersionInfo& ver = st.version;
  const bool modern = ver.major >= 10;
  software.Default(kNt, "CurrentVersion", modern ? std::string("6.3") : std::to_string(ver.major) + "." + std::to_string(ver.minor));
  software.Default(kNt, "CurrentBuildNumber", std::to_string(ver.build));
  if (modern) {
    software.DefaultDword(kNt, "CurrentMajorVersionNumber", ver.major);
    software.DefaultDword(kNt, "CurrentMinorVersionNumber", ver.minor);
  }
  if (!ver.csdVersion.empty()) software.Default(kNt, "CSDVersion", ver.csdVersion);
  software.Default(kNt, "SystemRoot", windowsDir);
  const std::string profileList = std::string(kNt) + "\\ProfileList";
  software.Default(profileList, "ProfilesDirectory", "%SystemDrive%" + profilesDir.substr(2), reg::ExpandSz);
  if (xp) software.Default(profileList, "AllUsersProfile", "All Users");
  else software.Default(profileList, "ProgramData", "%SystemDrive%\\ProgramData", reg::ExpandSz);
  software.Default(profileList + "\\S-1-5-18", "ProfileImagePath", "%systemroot%\\system32\\config\\systemprofile",
                   reg::ExpandSz);
  software.Default(profileList + "\\" + kDiskUserSid, "ProfileImagePath", profile, reg::ExpandSz);
  std::string programFiles;
  if (st.specialFolders.count(38)) programFiles = st.specialFolders.at(38);
  for (const auto& [k, v] : st.environment)
    if (programFiles.empty() && AsciiEquals(k, "ProgramFiles")) programFiles = v;
  software.Default(kCv, "ProgramFilesDir", programFiles.empty() ? drive + "\\Program Files" : programFiles);
  if (st.specialFolders.count(43)) software.Default(kCv, "CommonFilesDir", st.specialFolders.at(43));

  // Shell folders: the user's in NTUSER.DAT, those of all users in SOFTWARE.
  static const std::map<int, const char*> kUserFolders = {
      {2, "Programs"},  {5, "Personal"},   {6, "Favorites"},   {7, "Startup"},     {8, "Recent"},
      {9, "SendTo"},    {11, "Start Menu"}, {13, "My Music"},  {14, "My Video"},   {16, "Desktop"},
      {19, "NetHood"},  {20, "Fonts"},     {21, "Templates"},  {26, "AppData"},    {27, "PrintHood"},
      {28, "Local AppData"}, {32, "Cache"}, {33, "Cookies"},   {34, "History"},    {39, "My Pictures"}};
  static const std::map<int, const char*> kCommonFolders = {
      {22, "Common Start Menu"}, {23, "Common Programs"}, {24, "Common Startup"}, {25, "Common Desktop"},
      {35, "Common AppData"},    {45, "Common Templates"}, {46, "Common Documents"}};
  for (const auto& [csidl, path] : st.specialFolders) {
    if (auto it = kUserFolders.find(csidl); it != kUserFolders.end())
      user.Default(std::string("Software\\") + kShellFolders, it->second, path);
    else if (auto c = kCommonFolders.find(csidl); c != kCommonFolders.end())
      software.Default(kShellFolders, c->second, path);
  }

  // The environment: the temporary folder is the user's, the rest the system's; what Windows
  // derives itself (the profile, the Windows folder) is not stored.
  std::string temp = st.tempDir;
  while (temp.size() > 3 && temp.back() == '\\') temp.pop_back();
  const std::string envKey = std::string(setName) + "\\Control\\Session Manager\\Environment";
  if (!temp.empty()) {
    user.Default("Environment", "TEMP", temp);
    user.Default("Environment", "TMP", temp);
  }
  for (const auto& [name, value] : st.environment) {
    static const char* const kDerived[] = {"USERPROFILE", "USERNAME", "HOMEDRIVE", "HOMEPATH", "APPDATA",
                                           "LOCALAPPDATA", "SystemRoot", "windir", "SystemDrive", "TEMP",
                                           "TMP", "ALLUSERSPROFILE"};
    bool derived = false;
    for (const char* d : kDerived) derived = derived || AsciiEquals(name, d);
    if (!derived) system.Default(envKey, name, value);
  }
  system.Default(std::string(setName) + "\\Control\\Nls\\CodePage", "ACP", std::to_string(st.codePage));
  system.DefaultDword("Select", "Current", currentSet);
  system.DefaultDword("Select", "Default", currentSet);
  system.DefaultDword("Select", "LastKnownGood", currentSet);
  defaultUser.Key(defaultUser.Root(), "Software");

  if (!software.Commit(error) || !system.Commit(error) || !defaultUser.Commit(error) || !user.Commit(error))
    return false;
  summary.keys = software.Keys() + system.Keys() + defaultUser.Keys() + user.Keys();

  // The files of the system drive.
  for (const sim::File& f : st.files) {
    const bool folder = (f.attributes & fattr::Directory) != 0;
    std::optional<fs::path> host = Place(root, drive, f.path, folder, error);
    if (!error.empty()) return false;
    if (!host) {
      ++summary.skipped;
      continue;
    }
    ++summary.files;
    if (folder) continue;
    Bytes bytes;
    if (!f.versionResource.empty()) {
      bytes = TinyPe({{16, f.versionResource}}, false);
      bytes.insert(bytes.end(), f.contents.begin(), f.contents.end());  // behind the image, as an overlay
    } else {
      bytes = f.contents;
    }
    {
      std::ofstream out(*host, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      if (!out) {
        error = "cannot write " + host->string();
        return false;
      }
    }
    const std::uint32_t marks = f.attributes & (fattr::ReadOnly | fattr::Hidden | fattr::System);
    if (marks & (fattr::Hidden | fattr::System))
      (void)offline::NtfsAttributeSource().Write(host->string(), f.attributes);  // kept by ntfs-3g mounts only
    if (marks & fattr::ReadOnly) ::chmod(host->c_str(), 0444);
  }
  return true;
}

}  // namespace tv::offtest
