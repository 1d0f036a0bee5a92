#include "offline/offline_tree.h"

#include <hivex.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/offline/offline_machine.h"
#include "platform/sim/sim_machine.h"

namespace tv::offtest {

namespace fs = std::filesystem;

Bytes Utf16(const std::string& text) {
  Bytes out;
  for (char16_t c : std::u16string(text.begin(), text.end())) {  // the fixtures use ASCII and Latin-1 only
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

namespace {
Bytes Latin1Utf16(const std::string& utf8) {
  // Decodes two-byte UTF-8 sequences (Latin-1) too, for names such as "Büro".
  Bytes out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = c;
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) cp = ((c & 0x1Fu) << 6) | (utf8[++i] & 0x3F);
    out.push_back(static_cast<std::uint8_t>(cp & 0xFF));
    out.push_back(static_cast<std::uint8_t>(cp >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}
}  // namespace

HiveBuilder::HiveBuilder(const std::string& hostPath) : path_(hostPath) {
  fs::create_directories(fs::path(hostPath).parent_path());
  std::string error;
  if (!offline::WriteEmptyHive(hostPath, error)) throw std::runtime_error(error);
  h_ = hivex_open(hostPath.c_str(), HIVEX_OPEN_WRITE);
  if (!h_) throw std::runtime_error("hivex cannot open the empty hive " + hostPath);
}

HiveBuilder::~HiveBuilder() {
  if (h_) hivex_close(h_);
}

std::size_t HiveBuilder::Node(const std::string& path) {
  std::size_t node = hivex_root(h_);
  std::string part;
  auto step = [&] {
    if (part.empty()) return;
    std::size_t child = hivex_node_get_child(h_, node, part.c_str());
    if (!child) child = hivex_node_add_child(h_, node, part.c_str());
    if (!child) throw std::runtime_error("hivex cannot add " + part);
    node = child;
    part.clear();
  };
  for (char c : path) {
    if (c == '\\') step();
    else part.push_back(c);
  }
  step();
  return node;
}

HiveBuilder& HiveBuilder::Key(const std::string& path) {
  Node(path);
  return *this;
}

HiveBuilder& HiveBuilder::Raw(const std::string& key, const std::string& name, std::uint32_t type, const Bytes& data) {
  const std::size_t node = Node(key);
  Bytes copy = data;
  std::string n = name;
  hive_set_value v{};
  v.key = n.data();
  v.t = static_cast<hive_type>(type);
  v.len = copy.size();
  v.value = reinterpret_cast<char*>(copy.data());
  if (hivex_node_set_value(h_, node, &v, 0) != 0) throw std::runtime_error("hivex cannot set " + name);
  return *this;
}

HiveBuilder& HiveBuilder::Str(const std::string& key, const std::string& name, const std::string& text,
                              std::uint32_t type) {
  return Raw(key, name, type, Latin1Utf16(text));
}

HiveBuilder& HiveBuilder::Multi(const std::string& key, const std::string& name, const std::vector<std::string>& texts) {
  Bytes b;
  for (const std::string& t : texts) {
    Bytes u = Latin1Utf16(t);
    b.insert(b.end(), u.begin(), u.end());
  }
  b.push_back(0);
  b.push_back(0);
  return Raw(key, name, 7, b);
}

HiveBuilder& HiveBuilder::Dword(const std::string& key, const std::string& name, std::uint32_t value) {
  return Raw(key, name, 4, Bytes{std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                                 std::uint8_t(value >> 24)});
}

void HiveBuilder::Commit() {
  if (hivex_commit(h_, nullptr, 0) != 0) throw std::runtime_error("hivex cannot commit " + path_);
}

namespace {
std::size_t FindNode(hive_h* h, const std::string& key) {
  std::size_t node = hivex_root(h);
  std::string part;
  for (std::size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '\\') {
      if (!part.empty()) {
        node = hivex_node_get_child(h, node, part.c_str());
        if (!node) return 0;
      }
      part.clear();
    } else {
      part.push_back(key[i]);
    }
  }
  return node;
}
}  // namespace

bool ReadHiveValue(const std::string& hostPath, const std::string& key, const std::string& name, std::uint32_t& type,
                   Bytes& data) {
  hive_h* h = hivex_open(hostPath.c_str(), 0);
  if (!h) return false;
  bool ok = false;
  if (std::size_t node = FindNode(h, key)) {
    if (hive_value_h v = hivex_node_get_value(h, node, name.c_str())) {
      hive_type t;
      std::size_t len = 0;
      if (char* raw = hivex_value_value(h, v, &t, &len)) {
        type = static_cast<std::uint32_t>(t);
        data.assign(raw, raw + len);
        std::free(raw);
        ok = true;
      }
    }
  }
  hivex_close(h);
  return ok;
}

bool HiveKeyExists(const std::string& hostPath, const std::string& key) {
  hive_h* h = hivex_open(hostPath.c_str(), 0);
  if (!h) return false;
  const bool ok = FindNode(h, key) != 0;
  hivex_close(h);
  return ok;
}

// ------------------------------------------------------------------- PE ----
namespace {
void P16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void P32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
}  // namespace

Bytes TinyPe(const std::vector<std::pair<std::uint32_t, Bytes>>& resources, bool pe32plus) {
  const std::uint32_t optionalSize = pe32plus ? 240 : 224;
  const std::uint32_t sectionRva = 0x1000, sectionFile = 0x400;
  // The resource section: root, then per type a name directory and a language directory, then
  // the data entries, then the data.
  const std::size_t n = resources.size();
  const std::uint32_t rootSize = 16 + 8 * static_cast<std::uint32_t>(n);
  const std::uint32_t perType = 2 * (16 + 8);
  const std::uint32_t entriesAt = rootSize + perType * static_cast<std::uint32_t>(n);
  std::uint32_t dataAt = entriesAt + 16 * static_cast<std::uint32_t>(n);
  Bytes rsrc(dataAt, 0);
  P16(rsrc, 14, static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t nameDir = rootSize + perType * static_cast<std::uint32_t>(i);
    const std::uint32_t langDir = nameDir + 24;
    const std::uint32_t entry = entriesAt + 16 * static_cast<std::uint32_t>(i);
    P32(rsrc, 16 + 8 * i, resources[i].first);
    P32(rsrc, 20 + 8 * i, 0x80000000u | nameDir);
    P16(rsrc, nameDir + 14, 1);
    P32(rsrc, nameDir + 16, 1);
    P32(rsrc, nameDir + 20, 0x80000000u | langDir);
    P16(rsrc, langDir + 14, 1);
    P32(rsrc, langDir + 16, 0x409);
    P32(rsrc, langDir + 20, entry);
    while (rsrc.size() % 4) rsrc.push_back(0);
    P32(rsrc, entry, sectionRva + static_cast<std::uint32_t>(rsrc.size()));
    P32(rsrc, entry + 4, static_cast<std::uint32_t>(resources[i].second.size()));
    rsrc.insert(rsrc.end(), resources[i].second.begin(), resources[i].second.end());
  }
  const std::uint32_t rawSize = static_cast<std::uint32_t>((rsrc.size() + 0x1FF) & ~std::size_t(0x1FF));
  Bytes pe(n ? sectionFile + rawSize : 0x200, 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  P32(pe, 0x3C, 0x40);
  std::memcpy(&pe[0x40], "PE\0\0", 4);
  const std::size_t coff = 0x44, opt = coff + 20;
  P16(pe, coff, pe32plus ? 0x8664 : 0x14C);
  P16(pe, coff + 2, n ? 1 : 0);
  P16(pe, coff + 16, optionalSize);
  P16(pe, coff + 18, 0x2102);  // executable, DLL
  P16(pe, opt, pe32plus ? 0x20B : 0x10B);
  P32(pe, opt + (pe32plus ? 108 : 92), 16);
  if (n) {
    const std::size_t dirs = opt + (pe32plus ? 112 : 96);
    P32(pe, dirs + 16, sectionRva);
    P32(pe, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
    const std::size_t sec = opt + optionalSize;
    std::memcpy(&pe[sec], ".rsrc", 5);
    P32(pe, sec + 8, static_cast<std::uint32_t>(rsrc.size()));
    P32(pe, sec + 12, sectionRva);
    P32(pe, sec + 16, rawSize);
    P32(pe, sec + 20, sectionFile);
    std::memcpy(&pe[sectionFile], rsrc.data(), rsrc.size());
  }
  return pe;
}

Bytes VersionResource(const std::vector<std::pair<std::string, std::string>>& strings) {
  sim::VersionBlock block;
  block.strings = strings;
  return sim::BuildVersionResource({block});
}

void WriteFile(const std::string& hostPath, const Bytes& bytes) {
  fs::create_directories(fs::path(hostPath).parent_path());
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ------------------------------------------------------------ the trees ----
namespace {
const char* const kNt = "Microsoft\\Windows NT\\CurrentVersion";
const char* const kCv = "Microsoft\\Windows\\CurrentVersion";
const char* const kBhoClass = "{11111111-2222-3333-4444-555555555555}";
const char* const kBhoUser = "{66666666-7777-8888-9999-AAAAAAAAAAAA}";
const char* const kAdminSid = "S-1-5-21-1004336348-1177238915-682003330-1003";
}  // namespace

FakeWindows::FakeWindows(Layout layout) : layout_(layout) {
  char tmpl[] = "/tmp/tolvexa-offline-XXXXXX";
  const char* made = ::mkdtemp(tmpl);
  if (!made) throw std::runtime_error("mkdtemp failed");
  root_ = made;
  const bool xp = layout == Layout::Xp;
  const std::string win = xp ? "WINDOWS" : "Windows";
  const std::string sys32 = xp ? "system32" : "System32";
  const std::string winDir = xp ? "C:\\WINDOWS" : "C:\\Windows";

  {
    HiveBuilder sw(SoftwareHive());
    sw.Str(kNt, "CurrentVersion", xp ? "5.1" : "6.3")
        .Str(kNt, "CurrentBuildNumber", xp ? "2600" : "19045")
        .Str(kNt, "SystemRoot", winDir);
    if (xp) sw.Str(kNt, "CSDVersion", "Service Pack 3");
    else sw.Dword(kNt, "CurrentMajorVersionNumber", 10).Dword(kNt, "CurrentMinorVersionNumber", 0);
    const std::string pl = std::string(kNt) + "\\ProfileList";
    sw.Str(pl + "\\S-1-5-18", "ProfileImagePath", "%systemroot%\\system32\\config\\systemprofile", 2);
    if (xp) {
      sw.Str(pl, "ProfilesDirectory", "%SystemDrive%\\Documents and Settings", 2)
          .Str(pl, "AllUsersProfile", "All Users")
          .Str(pl + "\\" + kAdminSid, "ProfileImagePath", "%SystemDrive%\\Documents and Settings\\Admin", 2);
    } else {
      sw.Str(pl, "ProfilesDirectory", "%SystemDrive%\\Users", 2)
          .Str(pl, "ProgramData", "%SystemDrive%\\ProgramData", 2)
          .Str(pl + "\\S-1-5-21-9-9-9-1001", "ProfileImagePath", "C:\\Users\\Bob", 2)
          .Str(pl + "\\S-1-5-21-9-9-9-1002", "ProfileImagePath", "C:\\Users\\Eve", 2)
          .Str(pl + "\\S-1-5-21-9-9-9-1003", "ProfileImagePath", "C:\\Users\\Old", 2);
    }
    sw.Str(kCv, "ProgramFilesDir", "C:\\Program Files");
    const std::string run = std::string(kCv) + "\\Run";
    sw.Str(run, "Tool", "C:\\Program Files\\Tool\\tool.exe /background")
        .Str(run, "Updater", "\"C:\\Program Files\\Updater\\upd.exe\"")
        .Str(run, "", "%SystemRoot%\\system32\\dflt.exe", 2)
        .Dword(run, "Counter", 7);
    sw.Str(std::string(kNt) + "\\Winlogon", "Userinit", winDir + "\\system32\\userinit.exe,")
        .Str(std::string(kNt) + "\\Winlogon", "Shell", "Explorer.exe");
    const std::string bho = std::string(kCv) + "\\Explorer\\Browser Helper Objects\\";
    sw.Key(bho + kBhoClass).Key(bho + kBhoUser);
    sw.Str(std::string("Classes\\CLSID\\") + kBhoClass + "\\InprocServer32", "",
           winDir + "\\System32\\HELPER.DLL");
    sw.Str(std::string("Classes\\CLSID\\") + kBhoUser + "\\InprocServer32", "", "C:\\machine\\wrong.dll");
    sw.Str("Classes\\.txt", "", "txtfile");
    sw.Commit();
  }
  {
    HiveBuilder sy(SystemHive());
    sy.Dword("Select", "Current", 2).Dword("Select", "Default", 2).Dword("Select", "LastKnownGood", 1);
    sy.Str("ControlSet001\\Services\\OldOnly", "ImagePath", "system32\\drivers\\old.sys", 2)
        .Dword("ControlSet001\\Services\\OldOnly", "Type", 1)
        .Dword("ControlSet001\\Services\\OldOnly", "Start", 3);
    const std::string svc = "ControlSet002\\Services\\";
    sy.Str(svc + "Beep", "ImagePath", "System32\\DRIVERS\\beep.sys", 2)
        .Dword(svc + "Beep", "Type", 1)
        .Dword(svc + "Beep", "Start", 1)
        .Str(svc + "Beep", "Group", "Base");
    sy.Str(svc + "Helper", "ImagePath", "%SystemRoot%\\System32\\svchost.exe -k netsvcs", 2)
        .Dword(svc + "Helper", "Type", 32)
        .Dword(svc + "Helper", "Start", 2)
        .Str(svc + "Helper", "DisplayName", "Helper Service")
        .Str(svc + "Helper", "Description", "Helps");
    sy.Key(svc + "NoImage");
    sy.Str("ControlSet002\\Control\\Nls\\CodePage", "ACP", "1252");
    sy.Str("ControlSet002\\Control\\ComputerName\\ComputerName", "ComputerName", "OFFLINEPC");
    sy.Multi("ControlSet002\\Control\\Session Manager", "BootExecute", {"autocheck autochk *"});
    sy.Str("ControlSet002\\Control\\Session Manager\\Environment", "TEMP", "%SystemRoot%\\TEMP", 2)
        .Str("ControlSet002\\Control\\Session Manager\\Environment", "windir", "%SystemRoot%", 2);
    sy.Commit();
  }
  {
    HiveBuilder df(Host(win + "/" + sys32 + "/config/DEFAULT"));
    df.Key("Software\\Microsoft");
    df.Commit();
  }
  const std::vector<std::string> users = xp ? std::vector<std::string>{"Admin"} : std::vector<std::string>{"Bob", "Eve"};
  for (const std::string& u : users) {
    const std::string profile = xp ? "C:\\Documents and Settings\\" + u : "C:\\Users\\" + u;
    const std::string folder = (xp ? "Documents and Settings/" : "Users/") + u;
    HiveBuilder nt(Host(folder + "/NTUSER.DAT"));
    nt.Str(std::string("Software\\") + kCv + "\\Run", "Chat", profile + "\\chat.exe");
    const std::string sf = std::string("Software\\") + kCv + "\\Explorer\\Shell Folders";
    nt.Str(sf, "Desktop", profile + "\\Desktop")
        .Str(sf, "AppData", profile + (xp ? "\\Application Data" : "\\AppData\\Roaming"))
        .Str(sf, "Local AppData", profile + (xp ? "\\Local Settings\\Application Data" : "\\AppData\\Local"))
        .Str(sf, "Startup", profile + "\\Start Menu\\Programs\\Startup");
    nt.Str("Environment", "TEMP", xp ? "%USERPROFILE%\\Local Settings\\Temp" : "%USERPROFILE%\\AppData\\Local\\Temp", 2);
    nt.Key("Software\\Classes");  // Windows links the user's classes here
    nt.Commit();
    HiveBuilder uc(Host(folder + (xp ? "/Local Settings/Application Data/Microsoft/Windows/UsrClass.dat"
                                     : "/AppData/Local/Microsoft/Windows/UsrClass.dat")));
    uc.Str(std::string("CLSID\\") + kBhoUser + "\\InprocServer32", "", profile + "\\userbho.dll");
    uc.Str(".txt", "", "usertxt");
    uc.Commit();
  }
  if (!xp) fs::create_directories(Host("Users/Old"));

  // Files, in the disk's own letter case where it differs from the registry's.
  const Bytes versioned = TinyPe({{3, Bytes(40, 0xAB)},
                                  {16, VersionResource({{"CompanyName", "Helper Corp"},
                                                        {"FileDescription", "Helper Object"},
                                                        {"FileVersion", "1.2.3"}})}});
  WriteFile(Host(win + "/" + sys32 + "/helper.dll"), versioned);
  WriteFile(Host(win + "/" + sys32 + "/drivers/BEEP.SYS"),
            TinyPe({{16, VersionResource({{"CompanyName", "Microsoft Corporation"}, {"FileVersion", "5.1.2600"}})}},
                   false));
  WriteFile(Host(win + "/" + sys32 + "/SVCHOST.EXE"), TinyPe({}));
  WriteFile(Host(win + "/" + sys32 + "/userinit.exe"), TinyPe({}));
  WriteFile(Host("Program Files/tool/TOOL.EXE"), TinyPe({}));
}

FakeWindows::~FakeWindows() {
  std::error_code ec;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
}

std::string FakeWindows::SoftwareHive() const {
  return layout_ == Layout::Xp ? Host("WINDOWS/system32/config/software") : Host("Windows/System32/config/SOFTWARE");
}
std::string FakeWindows::SystemHive() const {
  return layout_ == Layout::Xp ? Host("WINDOWS/system32/config/system") : Host("Windows/System32/config/SYSTEM");
}
std::string FakeWindows::UserHive() const {
  return layout_ == Layout::Xp ? Host("Documents and Settings/Admin/NTUSER.DAT") : Host("Users/Bob/NTUSER.DAT");
}
std::string FakeWindows::UserClassesHive() const {
  return layout_ == Layout::Xp
             ? Host("Documents and Settings/Admin/Local Settings/Application Data/Microsoft/Windows/UsrClass.dat")
             : Host("Users/Bob/AppData/Local/Microsoft/Windows/UsrClass.dat");
}

}  // namespace tv::offtest
