// Scenario files: a simulated machine described in JSON (format in docs/scenarios.md).
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
using Json = nlohmann::ordered_json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("scenario: " + where + ": " + what);
}

void CheckKeys(const Json& j, const std::string& where, std::initializer_list<const char*> allowed) {
  if (!j.is_object()) Fail(where, "expected an object");
  std::set<std::string> ok(allowed.begin(), allowed.end());
  for (auto it = j.begin(); it != j.end(); ++it)
    if (!ok.count(it.key())) Fail(where, "unknown field \"" + it.key() + "\"");
}

// A number given as a JSON number or as a text ("0x7C800000", "1234").
std::uint64_t Num(const Json& j, const std::string& where) {
  if (j.is_number_unsigned()) return j.get<std::uint64_t>();
  if (j.is_number_integer()) return static_cast<std::uint64_t>(j.get<std::int64_t>());
  if (j.is_string()) {
    const std::string s = j.get<std::string>();
    try {
      std::size_t used = 0;
      std::uint64_t v = std::stoull(s, &used, 0);
      if (used == s.size()) return v;
    } catch (const std::exception&) {
    }
  }
  Fail(where, "expected a number, got " + j.dump());
}

std::string Str(const Json& j, const std::string& where) {
  if (!j.is_string()) Fail(where, "expected a text, got " + j.dump());
  return j.get<std::string>();
}

bool Bool(const Json& j, const std::string& where) {
  if (!j.is_boolean()) Fail(where, "expected true or false, got " + j.dump());
  return j.get<bool>();
}

Bytes Hex(const std::string& text, const std::string& where) {
  Bytes out;
  int nibble = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == ':' || c == '-') continue;
    else Fail(where, "bad hex digit '" + std::string(1, c) + "'");
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  if (nibble >= 0) Fail(where, "odd number of hex digits");
  return out;
}

template <typename T>
void Get(const Json& obj, const char* key, T& out, const std::string& where) {
  if (!obj.contains(key)) return;
  const Json& j = obj.at(key);
  const std::string w = where + "." + key;
  if constexpr (std::is_same_v<T, bool>) out = Bool(j, w);
  else if constexpr (std::is_same_v<T, std::string>) out = Str(j, w);
  else out = static_cast<T>(Num(j, w));
}

std::uint32_t Attributes(const Json& j, const std::string& where) {
  if (j.is_number() || (j.is_string() && j.get<std::string>().rfind("0x", 0) == 0)) return static_cast<std::uint32_t>(Num(j, where));
  std::vector<std::string> names;
  if (j.is_string()) {
    std::stringstream ss(j.get<std::string>());
    std::string part;
    while (std::getline(ss, part, '|')) names.push_back(part);
  } else if (j.is_array()) {
    for (const auto& x : j) names.push_back(Str(x, where));
  } else {
    Fail(where, "attributes: a number, \"hidden|system\" or [\"hidden\", \"system\"]");
  }
  std::uint32_t a = 0;
  for (const auto& n : names) {
    std::string l = Lower(n);
    if (l == "readonly") a |= fattr::ReadOnly;
    else if (l == "hidden") a |= fattr::Hidden;
    else if (l == "system") a |= fattr::System;
    else if (l == "directory") a |= fattr::Directory;
    else if (l == "archive") a |= fattr::Archive;
    else if (l == "normal") a |= fattr::Normal;
    else if (!l.empty()) Fail(where, "unknown attribute \"" + n + "\"");
  }
  return a;
}

std::vector<VersionBlock> VersionBlocks(const Json& j, const std::string& where) {
  std::vector<VersionBlock> blocks;
  auto strings = [&](const Json& s, VersionBlock& b, const std::string& w) {
    if (!s.is_object()) Fail(w, "expected an object of key: value texts");
    for (auto it = s.begin(); it != s.end(); ++it) b.strings.emplace_back(it.key(), Str(it.value(), w + "." + it.key()));
  };
  if (j.is_object()) {  // one block, 040904b0
    VersionBlock b;
    strings(j, b, where);
    blocks.push_back(b);
  } else if (j.is_array()) {
    for (std::size_t i = 0; i < j.size(); ++i) {
      const std::string w = where + "[" + std::to_string(i) + "]";
      CheckKeys(j[i], w, {"lang", "strings"});
      VersionBlock b;
      Get(j[i], "lang", b.langCodepage, w);
      if (j[i].contains("strings")) strings(j[i]["strings"], b, w + ".strings");
      blocks.push_back(b);
    }
  } else {
    Fail(where, "expected an object or an array of blocks");
  }
  return blocks;
}

std::uint32_t RegType(const Json& j, const std::string& where) {
  if (j.is_number()) return static_cast<std::uint32_t>(Num(j, where));
  std::string t = Upper(Str(j, where));
  if (t.rfind("REG_", 0) != 0) t = "REG_" + t;
  if (t == "REG_NONE") return 0;
  if (t == "REG_SZ") return 1;
  if (t == "REG_EXPAND_SZ") return 2;
  if (t == "REG_BINARY") return 3;
  if (t == "REG_DWORD") return 4;
  if (t == "REG_MULTI_SZ") return 7;
  if (t == "REG_QWORD") return 11;
  Fail(where, "unknown registry type " + j.dump());
}

RegValue Value(const std::string& name, const Json& j, const std::string& where) {
  RegValue v;
  v.name = name;
  if (j.is_string()) {
    v.type = reg::Sz;
    std::string s = j.get<std::string>();
    v.data.assign(s.begin(), s.end());
    v.data.push_back(0);
    return v;
  }
  if (j.is_number()) {
    v.type = reg::Dword;
    v.data.resize(4);
    Put32(v.data.data(), static_cast<std::uint32_t>(Num(j, where)));
    return v;
  }
  if (j.is_array()) {
    v.type = reg::MultiSz;
    for (const auto& s : j) {
      std::string t = Str(s, where);
      v.data.insert(v.data.end(), t.begin(), t.end());
      v.data.push_back(0);
    }
    v.data.push_back(0);
    return v;
  }
  CheckKeys(j, where, {"name", "type", "data", "hex"});
  v.type = j.contains("type") ? RegType(j["type"], where + ".type") : reg::Sz;
  if (j.contains("hex")) {
    v.data = Hex(Str(j["hex"], where + ".hex"), where + ".hex");
    return v;
  }
  if (!j.contains("data")) return v;
  const Json& d = j["data"];
  switch (v.type) {
    case reg::Sz:
    case reg::ExpandSz: {
      std::string s = Str(d, where + ".data");
      v.data.assign(s.begin(), s.end());
      v.data.push_back(0);
      break;
    }
    case reg::MultiSz: {
      if (!d.is_array()) Fail(where, "REG_MULTI_SZ data is an array of texts");
      for (const auto& s : d) {
        std::string t = Str(s, where + ".data");
        v.data.insert(v.data.end(), t.begin(), t.end());
        v.data.push_back(0);
      }
      v.data.push_back(0);
      break;
    }
    case reg::Dword:
      v.data.resize(4);
      Put32(v.data.data(), static_cast<std::uint32_t>(Num(d, where + ".data")));
      break;
    case 11:
      v.data.resize(8);
      Put64(v.data.data(), Num(d, where + ".data"));
      break;
    default:
      v.data = Hex(Str(d, where + ".data"), where + ".data");
  }
  return v;
}

void LoadRegistry(SimMachine& m, const Json& j) {
  if (!j.is_array()) Fail("registry", "expected an array of keys");
  for (std::size_t i = 0; i < j.size(); ++i) {
    const std::string w = "registry[" + std::to_string(i) + "]";
    CheckKeys(j[i], w, {"key", "values"});
    std::string path = Str(j[i].value("key", Json()), w + ".key");
    RegKey* k = nullptr;
    try {
      k = &m.Key(path);
    } catch (const std::exception& e) {
      Fail(w, e.what());
    }
    if (!j[i].contains("values")) continue;
    const Json& vals = j[i]["values"];
    std::vector<RegValue> list;
    if (vals.is_object()) {
      for (auto it = vals.begin(); it != vals.end(); ++it)
        list.push_back(Value(it.key(), it.value(), w + ".values." + it.key()));
    } else if (vals.is_array()) {
      for (std::size_t n = 0; n < vals.size(); ++n) {
        const std::string vw = w + ".values[" + std::to_string(n) + "]";
        if (!vals[n].is_object() || !vals[n].contains("name")) Fail(vw, "a value needs a \"name\"");
        list.push_back(Value(Str(vals[n]["name"], vw + ".name"), vals[n], vw));
      }
    } else {
      Fail(w + ".values", "expected an object or an array");
    }
    for (auto& v : list) {
      bool replaced = false;
      for (auto& x : k->values)
        if (IEquals(x.name, v.name)) {
          x = v;
          replaced = true;
        }
      if (!replaced) k->values.push_back(v);
    }
  }
}

Module LoadModule(const Json& j, const std::string& w) {
  CheckKeys(j, w, {"name", "path", "base", "size"});
  Module mod;
  Get(j, "path", mod.path, w);
  mod.name = FileNameOf(mod.path);
  Get(j, "name", mod.name, w);
  Get(j, "base", mod.base, w);
  Get(j, "size", mod.size, w);
  return mod;
}

void LoadProcess(SimMachine& m, const Json& j, const std::string& w) {
  CheckKeys(j, w, {"pid", "parentPid", "exeName", "imagePath", "nativeImagePath", "hiddenFromToolhelp",
                   "protection", "modulesUnreadable", "moduleSnapshotFails", "imagePathUnreadable",
                   "memoryUnreadable", "resistTerminateProcess", "resistNtTerminate", "resistJob", "modules",
                   "threads", "alive", "exitCode"});
  if (!j.contains("pid")) Fail(w, "a process needs a \"pid\"");
  std::uint32_t pid = static_cast<std::uint32_t>(Num(j["pid"], w + ".pid"));
  std::string image;
  Get(j, "imagePath", image, w);
  Process& p = m.AddProcess(pid, image);
  Get(j, "parentPid", p.parentPid, w);
  Get(j, "exeName", p.exeName, w);
  Get(j, "nativeImagePath", p.nativeImagePath, w);
  Get(j, "hiddenFromToolhelp", p.hiddenFromToolhelp, w);
  Get(j, "modulesUnreadable", p.modulesUnreadable, w);
  Get(j, "moduleSnapshotFails", p.moduleSnapshotFails, w);
  Get(j, "imagePathUnreadable", p.imagePathUnreadable, w);
  Get(j, "memoryUnreadable", p.memoryUnreadable, w);
  Get(j, "resistTerminateProcess", p.resistTerminateProcess, w);
  Get(j, "resistNtTerminate", p.resistNtTerminate, w);
  Get(j, "resistJob", p.resistJob, w);
  Get(j, "alive", p.alive, w);
  Get(j, "exitCode", p.exitCode, w);
  if (j.contains("protection")) {
    std::string pr = Lower(Str(j["protection"], w + ".protection"));
    if (pr == "none") p.protection = Protection::None;
    else if (pr == "denydocumented") p.protection = Protection::DenyDocumented;
    else if (pr == "denyall") p.protection = Protection::DenyAll;
    else Fail(w + ".protection", "one of \"none\", \"denyDocumented\", \"denyAll\"");
  }
  if (j.contains("modules")) {
    if (!j["modules"].is_array()) Fail(w + ".modules", "expected an array");
    p.modules.clear();
    for (std::size_t i = 0; i < j["modules"].size(); ++i)
      p.modules.push_back(LoadModule(j["modules"][i], w + ".modules[" + std::to_string(i) + "]"));
  }
  if (j.contains("threads")) {
    if (!j["threads"].is_array()) Fail(w + ".threads", "expected an array");
    p.threads.clear();
    for (std::size_t i = 0; i < j["threads"].size(); ++i) {
      const Json& t = j["threads"][i];
      const std::string tw = w + ".threads[" + std::to_string(i) + "]";
      CheckKeys(t, tw, {"tid", "priority", "basePriority", "affinity", "exitStatus", "teb", "startAddress", "alive",
                        "resistTerminate"});
      Thread th;
      Get(t, "tid", th.tid, tw);
      Get(t, "priority", th.priority, tw);
      Get(t, "basePriority", th.basePriority, tw);
      Get(t, "affinity", th.affinity, tw);
      Get(t, "exitStatus", th.exitStatus, tw);
      Get(t, "teb", th.teb, tw);
      Get(t, "startAddress", th.startAddress, tw);
      Get(t, "alive", th.alive, tw);
      Get(t, "resistTerminate", th.resistTerminate, tw);
      p.threads.push_back(th);
    }
  }
}

std::uint8_t ObjectType(const Json& j, const MachineState& st, const std::string& w) {
  if (j.is_string() && !j.get<std::string>().empty() && !std::isdigit(static_cast<unsigned char>(j.get<std::string>()[0]))) {
    std::string t = Lower(j.get<std::string>());
    if (t == "process") return st.processObjectType;
    if (t == "thread") return st.threadObjectType;
    if (t == "file") return st.fileObjectType;
    if (t == "job") return st.jobObjectType;
    if (t == "event") return st.eventObjectType;
    if (t == "section") return st.sectionObjectType;
    if (t == "key") return st.keyObjectType;
    Fail(w, "unknown object type " + j.dump());
  }
  return static_cast<std::uint8_t>(Num(j, w));
}

void LoadService(SimMachine& m, const Json& j, const std::string& w) {
  CheckKeys(j, w, {"name", "type", "state", "startType", "binaryPath", "displayName", "description", "group",
                   "errorControl", "refuseOpen", "refuseStart", "refuseStop", "markedForDelete", "registry", "scm"});
  Service s;
  Get(j, "name", s.name, w);
  if (s.name.empty()) Fail(w, "a service needs a \"name\"");
  Get(j, "type", s.type, w);
  Get(j, "state", s.state, w);
  Get(j, "startType", s.startType, w);
  Get(j, "binaryPath", s.binaryPath, w);
  Get(j, "displayName", s.displayName, w);
  Get(j, "description", s.description, w);
  Get(j, "group", s.group, w);
  Get(j, "errorControl", s.errorControl, w);
  Get(j, "refuseOpen", s.refuseOpen, w);
  Get(j, "refuseStart", s.refuseStart, w);
  Get(j, "refuseStop", s.refuseStop, w);
  Get(j, "markedForDelete", s.markedForDelete, w);
  bool inRegistry = true, inScm = true;
  Get(j, "registry", inRegistry, w);
  Get(j, "scm", inScm, w);
  const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + s.name;
  if (inRegistry) {
    if (!s.binaryPath.empty()) m.SetString(key, "ImagePath", s.binaryPath, reg::ExpandSz);
    if (!s.displayName.empty()) m.SetString(key, "DisplayName", s.displayName);
    if (!s.description.empty()) m.SetString(key, "Description", s.description);
    if (!s.group.empty()) m.SetString(key, "Group", s.group);
    m.SetDword(key, "Type", s.type);
    m.SetDword(key, "Start", s.startType);
    m.SetDword(key, "ErrorControl", s.errorControl);
  }
  if (inScm) m.state.services.push_back(s);
}

void Load(SimMachine& m, const Json& root) {
  MachineState& st = m.state;
  CheckKeys(root, "top level",
            {"description", "version", "folders", "environment", "dosDevices", "selfPid", "files", "registry",
             "processes", "handles", "windows", "kernelModules", "services", "tcp", "udp", "rawOwners",
             "transportDevicesPresent", "tcpTableFails", "udpTableFails", "devices", "objectTypes",
             "debugPrivilegeAvailable", "threadHasToken", "signatures", "tickCount", "processorCount", "cpuLoad", "codePage",
             "localTime", "memory", "failingInfoClasses",
             "trustService"});
  if (root.contains("version")) {
    const Json& v = root["version"];
    CheckKeys(v, "version", {"major", "minor", "build", "platformId", "csdVersion"});
    Get(v, "major", st.version.major, "version");
    Get(v, "minor", st.version.minor, "version");
    Get(v, "build", st.version.build, "version");
    Get(v, "platformId", st.version.platformId, "version");
    Get(v, "csdVersion", st.version.csdVersion, "version");
  }
  if (root.contains("folders")) {
    const Json& f = root["folders"];
    CheckKeys(f, "folders", {"windows", "system", "temp", "app", "special"});
    Get(f, "windows", st.windowsDir, "folders");
    Get(f, "system", st.systemDir, "folders");
    Get(f, "temp", st.tempDir, "folders");
    Get(f, "app", st.appPath, "folders");
    if (f.contains("special")) {
      const Json& s = f["special"];
      if (!s.is_object()) Fail("folders.special", "expected an object of CSIDL: path");
      for (auto it = s.begin(); it != s.end(); ++it)
        st.specialFolders[static_cast<int>(Num(Json(it.key()), "folders.special"))] =
            Str(it.value(), "folders.special." + it.key());
    }
    st.environment["SystemRoot"] = st.windowsDir;
    st.environment["windir"] = st.windowsDir;
  }
  if (root.contains("environment")) {
    const Json& e = root["environment"];
    if (!e.is_object()) Fail("environment", "expected an object of name: value");
    for (auto it = e.begin(); it != e.end(); ++it) st.environment[it.key()] = Str(it.value(), "environment." + it.key());
  }
  if (root.contains("dosDevices")) {
    const Json& d = root["dosDevices"];
    if (!d.is_object()) Fail("dosDevices", "expected an object of drive: device");
    st.dosDevices.clear();
    for (auto it = d.begin(); it != d.end(); ++it) st.dosDevices[it.key()] = Str(it.value(), "dosDevices." + it.key());
  }
  if (root.contains("objectTypes")) {
    const Json& o = root["objectTypes"];
    const std::string w = "objectTypes";
    CheckKeys(o, w, {"process", "thread", "file", "job", "event", "section", "key"});
    Get(o, "process", st.processObjectType, w);
    Get(o, "thread", st.threadObjectType, w);
    Get(o, "file", st.fileObjectType, w);
    Get(o, "job", st.jobObjectType, w);
    Get(o, "event", st.eventObjectType, w);
    Get(o, "section", st.sectionObjectType, w);
    Get(o, "key", st.keyObjectType, w);
  }
  Get(root, "selfPid", st.selfPid, "top level");
  Get(root, "transportDevicesPresent", st.transportDevicesPresent, "top level");
  Get(root, "tcpTableFails", st.tcpTableFails, "top level");
  Get(root, "udpTableFails", st.udpTableFails, "top level");
  Get(root, "debugPrivilegeAvailable", st.debugPrivilegeAvailable, "top level");
  Get(root, "threadHasToken", st.threadHasToken, "top level");
  Get(root, "tickCount", st.tickCount, "top level");
  Get(root, "processorCount", st.processorCount, "top level");
  Get(root, "cpuLoad", st.cpuLoad, "top level");
  Get(root, "codePage", st.codePage, "top level");
  if (st.codePage != 1252 && st.codePage != 65001) Fail("codePage", "the simulated machine knows 1252 and 65001");
  if (root.contains("localTime")) {
    // "YYYY-MM-DD hh:mm:ss"
    const std::string t = Str(root["localTime"], "localTime");
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    char tail = 0;
    if (std::sscanf(t.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6)
      Fail("localTime", "expected \"YYYY-MM-DD hh:mm:ss\", got \"" + t + "\"");
    st.localTime = SystemTime{static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(mo), 0,
                              static_cast<std::uint16_t>(d), static_cast<std::uint16_t>(h),
                              static_cast<std::uint16_t>(mi), static_cast<std::uint16_t>(sec), 0};
  }
  if (root.contains("memory")) {
    const Json& mem = root["memory"];
    CheckKeys(mem, "memory", {"totalPhys", "availPhys"});
    Get(mem, "totalPhys", st.totalPhys, "memory");
    Get(mem, "availPhys", st.availPhys, "memory");
  }
  if (root.contains("failingInfoClasses")) {
    if (!root["failingInfoClasses"].is_array()) Fail("failingInfoClasses", "expected an array of class numbers");
    for (const auto& c : root["failingInfoClasses"])
      st.failingInfoClasses.push_back(static_cast<std::uint32_t>(Num(c, "failingInfoClasses")));
  }

  if (root.contains("files")) {
    const Json& files = root["files"];
    if (!files.is_array()) Fail("files", "expected an array");
    for (std::size_t i = 0; i < files.size(); ++i) {
      const Json& f = files[i];
      const std::string w = "files[" + std::to_string(i) + "]";
      CheckKeys(f, w, {"path", "attributes", "contents", "contentsHex", "version", "versionHex", "denyOpen"});
      File file;
      Get(f, "path", file.path, w);
      if (file.path.empty()) Fail(w, "a file needs a \"path\"");
      if (f.contains("attributes")) file.attributes = Attributes(f["attributes"], w + ".attributes");
      if (f.contains("contents")) {
        std::string c = Str(f["contents"], w + ".contents");
        file.contents.assign(c.begin(), c.end());
      }
      if (f.contains("contentsHex")) file.contents = Hex(Str(f["contentsHex"], w + ".contentsHex"), w);
      if (f.contains("version")) file.versionResource = BuildVersionResource(VersionBlocks(f["version"], w + ".version"));
      if (f.contains("versionHex")) file.versionResource = Hex(Str(f["versionHex"], w + ".versionHex"), w);
      Get(f, "denyOpen", file.denyOpen, w);
      if (File* existing = m.FindFile(file.path)) *existing = file;
      else st.files.push_back(file);
    }
  }
  if (root.contains("registry")) LoadRegistry(m, root["registry"]);

  if (root.contains("processes")) {
    const Json& ps = root["processes"];
    if (!ps.is_array()) Fail("processes", "expected an array");
    // The machine's own process is re-made from the scenario's folders and selfPid.
    st.processes.clear();
    for (std::size_t i = 0; i < ps.size(); ++i) LoadProcess(m, ps[i], "processes[" + std::to_string(i) + "]");
  } else {
    st.processes.clear();
  }
  m.SelfProcess();

  if (root.contains("handles")) {
    const Json& hs = root["handles"];
    if (!hs.is_array()) Fail("handles", "expected an array");
    for (std::size_t i = 0; i < hs.size(); ++i) {
      const Json& h = hs[i];
      const std::string w = "handles[" + std::to_string(i) + "]";
      CheckKeys(h, w, {"ownerPid", "value", "type", "targetPid", "targetTid", "objectName", "nameQueryBlocks",
                       "grantedAccess", "shareMode"});
      ForeignHandle fh;
      Get(h, "ownerPid", fh.ownerPid, w);
      Get(h, "value", fh.value, w);
      if (h.contains("type")) fh.type = ObjectType(h["type"], st, w + ".type");
      Get(h, "targetPid", fh.targetPid, w);
      Get(h, "targetTid", fh.targetTid, w);
      Get(h, "objectName", fh.objectName, w);
      Get(h, "nameQueryBlocks", fh.nameQueryBlocks, w);
      Get(h, "grantedAccess", fh.grantedAccess, w);
      Get(h, "shareMode", fh.shareMode, w);
      st.handles.push_back(fh);
    }
  }
  if (root.contains("windows")) {
    const Json& ws = root["windows"];
    if (!ws.is_array()) Fail("windows", "expected an array");
    for (std::size_t i = 0; i < ws.size(); ++i) {
      const Json& x = ws[i];
      const std::string w = "windows[" + std::to_string(i) + "]";
      CheckKeys(x, w, {"hwnd", "parent", "ownerPid", "ownerTid", "closeEndsProcess", "className", "title"});
      Window win;
      Get(x, "hwnd", win.hwnd, w);
      Get(x, "parent", win.parent, w);
      Get(x, "ownerPid", win.ownerPid, w);
      Get(x, "ownerTid", win.ownerTid, w);
      Get(x, "closeEndsProcess", win.closeEndsProcess, w);
      Get(x, "className", win.className, w);
      Get(x, "title", win.title, w);
      if (win.hwnd == 0) Fail(w, "a window needs a non-zero \"hwnd\"");
      if (win.ownerTid == 0)
        if (Process* p = m.FindProcess(win.ownerPid))
          if (!p->threads.empty()) win.ownerTid = p->threads.front().tid;
      st.windows.push_back(win);
    }
  }
  if (root.contains("kernelModules")) {
    const Json& ks = root["kernelModules"];
    if (!ks.is_array()) Fail("kernelModules", "expected an array");
    for (std::size_t i = 0; i < ks.size(); ++i)
      st.kernelModules.push_back(LoadModule(ks[i], "kernelModules[" + std::to_string(i) + "]"));
  }
  if (root.contains("services")) {
    const Json& ss = root["services"];
    if (!ss.is_array()) Fail("services", "expected an array");
    for (std::size_t i = 0; i < ss.size(); ++i) LoadService(m, ss[i], "services[" + std::to_string(i) + "]");
  }
  if (root.contains("tcp")) {
    const Json& ts = root["tcp"];
    if (!ts.is_array()) Fail("tcp", "expected an array");
    for (std::size_t i = 0; i < ts.size(); ++i) {
      const std::string w = "tcp[" + std::to_string(i) + "]";
      CheckKeys(ts[i], w, {"state", "localAddr", "localPort", "remoteAddr", "remotePort", "pid"});
      TcpEndpoint e;
      Get(ts[i], "state", e.state, w);
      Get(ts[i], "localAddr", e.localAddr, w);
      Get(ts[i], "localPort", e.localPort, w);
      Get(ts[i], "remoteAddr", e.remoteAddr, w);
      Get(ts[i], "remotePort", e.remotePort, w);
      Get(ts[i], "pid", e.pid, w);
      st.tcp.push_back(e);
    }
  }
  if (root.contains("udp")) {
    const Json& us = root["udp"];
    if (!us.is_array()) Fail("udp", "expected an array");
    for (std::size_t i = 0; i < us.size(); ++i) {
      const std::string w = "udp[" + std::to_string(i) + "]";
      CheckKeys(us[i], w, {"localAddr", "localPort", "pid"});
      UdpEndpoint e;
      Get(us[i], "localAddr", e.localAddr, w);
      Get(us[i], "localPort", e.localPort, w);
      Get(us[i], "pid", e.pid, w);
      st.udp.push_back(e);
    }
  }
  if (root.contains("rawOwners")) {
    if (!root["rawOwners"].is_array()) Fail("rawOwners", "expected an array of process identifiers");
    for (const auto& p : root["rawOwners"]) st.rawOwners.push_back(static_cast<std::uint32_t>(Num(p, "rawOwners")));
  }
  if (root.contains("devices")) {
    const Json& ds = root["devices"];
    if (!ds.is_array()) Fail("devices", "expected an array");
    for (std::size_t i = 0; i < ds.size(); ++i) {
      const std::string w = "devices[" + std::to_string(i) + "]";
      CheckKeys(ds[i], w, {"link", "replyHex", "failWith"});
      std::string link;
      Get(ds[i], "link", link, w);
      if (link.empty()) Fail(w, "a device needs a \"link\"");
      Device& d = m.AddDevice(link);
      if (ds[i].contains("replyHex")) d.reply = Hex(Str(ds[i]["replyHex"], w + ".replyHex"), w);
      Get(ds[i], "failWith", d.failWith, w);
    }
  }
  if (root.contains("signatures")) {
    const Json& s = root["signatures"];
    if (!s.is_object()) Fail("signatures", "expected an object of path: result");
    for (auto it = s.begin(); it != s.end(); ++it) {
      const std::string w = "signatures." + it.key(), key = Lower(it.key());
      if (!it.value().is_object()) {
        st.signatures[key] = static_cast<std::int32_t>(Num(it.value(), w));
        continue;
      }
      // {"result": 0x800B0100, "lastError": 0x800B0003}
      CheckKeys(it.value(), w, {"result", "lastError"});
      if (!it.value().contains("result")) Fail(w, "a signature entry needs a \"result\"");
      st.signatures[key] = static_cast<std::int32_t>(Num(it.value()["result"], w + ".result"));
      if (it.value().contains("lastError"))
        st.signatureLastErrors[key] = static_cast<std::uint32_t>(Num(it.value()["lastError"], w + ".lastError"));
    }
  }
  Get(root, "trustService", st.trustServiceAvailable, "top level");
}
}  // namespace

std::unique_ptr<SimMachine> LoadScenarioText(const std::string& json) {
  Json root;
  try {
    root = Json::parse(json);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("scenario: not valid JSON: ") + e.what());
  }
  auto m = std::make_unique<SimMachine>();
  Load(*m, root);
  return m;
}

std::unique_ptr<SimMachine> LoadScenario(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("scenario: cannot read \"" + path + "\"");
  std::stringstream ss;
  ss << in.rdbuf();
  try {
    return LoadScenarioText(ss.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

}  // namespace tv::sim
