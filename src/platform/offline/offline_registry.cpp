// The registry of a disk that is not running, over its hive files: the predefined roots mapped
// the way Windows mounts the hives at start-up and logon, the ANSI functions' sizes and error
// codes, and every change committed to its hive file before the call returns.
#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/offline/offline_internal.h"

namespace tv::offline {

namespace {

constexpr std::int32_t kErrKeyDeleted = 1018;
constexpr std::uint32_t kQueryValue = 0x1, kSetValue = 0x2, kCreateSubKey = 0x4, kEnumerateSubKeys = 0x8;
constexpr std::uint32_t kAllKeyAccess = 0xF003F;
constexpr int kVirtualMachine = 0, kVirtualUsers = 1;

bool IsRoot(Handle h) { return h >= reg::ClassesRoot && h <= reg::DynData; }
bool IsStringType(std::uint32_t t) { return t == reg::Sz || t == reg::ExpandSz || t == reg::MultiSz; }

std::uint32_t MapKeyAccess(std::uint32_t access) {
  if (access & (0x10000000u | 0x02000000u)) return kAllKeyAccess;  // GENERIC_ALL, MAXIMUM_ALLOWED
  std::uint32_t a = access & 0x00FFFFFFu;
  if (access & 0x80000000u) a |= 0x20019;  // GENERIC_READ -> KEY_READ
  if (access & 0x40000000u) a |= 0x20006;  // GENERIC_WRITE -> KEY_WRITE
  return a;
}

// A leading backslash or an empty component is a bad path name.
bool BadSubKey(const std::string& sub) {
  if (sub.empty()) return false;
  if (sub[0] == '\\') return true;
  std::string trimmed = sub;
  if (trimmed.back() == '\\') trimmed.pop_back();
  return trimmed.find("\\\\") != std::string::npos;
}

std::vector<std::string> Components(const std::string& sub) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : sub) {
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

std::string NodeName(Hive* hive, std::size_t node) {
  char* n = hivex_node_name(hive->h(), node);
  std::string s = n ? n : "";
  std::free(n);
  return s;
}

std::string ValueName(Hive* hive, hive_value_h v) {
  char* n = hivex_value_key(hive->h(), v);
  std::string s = n ? n : "";
  std::free(n);
  return s;
}

// Hands `payload` to the caller the way RegQueryValueExA does: type always; with no buffer only
// the size; with a buffer too small 234 and the size needed; a string that the hive holds
// without its NUL gets one appended when there is room (the size stays that of the data).
std::int32_t Deliver(std::uint32_t type, const Bytes& payload, std::uint32_t* typeOut, void* data,
                     std::uint32_t* size) {
  if (typeOut) *typeOut = type;
  const auto needed = static_cast<std::uint32_t>(payload.size());
  if (!data) {
    if (size) *size = needed;
    return 0;
  }
  if (needed > *size) {
    *size = needed;
    return static_cast<std::int32_t>(err::MoreData);
  }
  auto* bytes = static_cast<std::uint8_t*>(data);
  if (!payload.empty()) std::memcpy(bytes, payload.data(), payload.size());
  if (IsStringType(type) && needed < *size && (payload.empty() || payload.back() != 0)) bytes[needed] = 0;
  *size = needed;
  return 0;
}

bool ReadRaw(Hive* hive, hive_value_h v, std::uint32_t& type, Bytes& payload) {
  hive_type t = hive_t_REG_NONE;
  std::size_t len = 0;
  char* raw = hivex_value_value(hive->h(), v, &t, &len);
  if (!raw) return false;
  type = static_cast<std::uint32_t>(t);
  payload = ToInterfaceData(type, raw, len);
  std::free(raw);
  return true;
}

std::int32_t WriteError() {
  return errno == EROFS || errno == EACCES ? static_cast<std::int32_t>(err::AccessDenied) : 1016;
}

}  // namespace

// An open key: where it is (root and the path as opened, to find it again after the hive
// changed shape), what it may do, and its subkeys and values as last listed.
struct HiveRegistry::KeyHandle final : HandleObject {
  Handle root = 0;
  std::vector<std::string> path;
  std::uint32_t access = 0;
  KeyPos pos;
  std::uint64_t shape = 0;  // the registry's shape counter when `pos` was found
  std::uint64_t listed = 0; // the change counter when the lists below were made (0: not made)
  std::vector<Child> children;
  struct Value {
    std::size_t layer;
    hive_value_h value;
    std::string name;
  };
  std::vector<Value> values;
  const char* Kind() const override { return "key"; }
};

HiveRegistry::HiveRegistry(HandleTable& handles, Mounts mounts) : handles_(handles), m_(std::move(mounts)) {
  if (m_.system && m_.system->h()) {
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03u", m_.currentControlSet);
    const std::size_t set = hivex_node_get_child(m_.system->h(), m_.system->Root(), name);
    if (set) links_.push_back({m_.system, m_.system->Root(), "CurrentControlSet", KeyPos{-1, {{m_.system, set}}, false}});
  }
  if (m_.user && m_.userClasses && m_.user->h() && m_.userClasses->h()) {
    const std::size_t software = hivex_node_get_child(m_.user->h(), m_.user->Root(), "Software");
    if (software)
      links_.push_back({m_.user, software, "Classes", KeyPos{-1, {{m_.userClasses, m_.userClasses->Root()}}, false}});
  }
}

HiveRegistry::~HiveRegistry() = default;

KeyPos HiveRegistry::RootPos(Handle root) const {
  KeyPos p;
  switch (root) {
    case reg::LocalMachine: p.virtualKey = kVirtualMachine; break;
    case reg::Users: p.virtualKey = kVirtualUsers; break;
    case reg::CurrentUser:
      if (m_.user) p.layers.push_back({m_.user, m_.user->Root()});
      break;
    case reg::ClassesRoot: {
      if (m_.userClasses) p.layers.push_back({m_.userClasses, m_.userClasses->Root()});
      if (m_.software) {
        const std::size_t classes = hivex_node_get_child(m_.software->h(), m_.software->Root(), "Classes");
        if (classes) p.layers.push_back({m_.software, classes});
      }
      p.createInLast = true;  // keys made through HKCR go to the machine's classes
      break;
    }
    case reg::CurrentConfig:
      p = Walk(RootPos(reg::LocalMachine), {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"});
      break;
    default: break;
  }
  return p;
}

std::vector<HiveRegistry::Child> HiveRegistry::VirtualChildren(int key) const {
  std::vector<Child> out;
  auto add = [&](const std::string& name, Hive* hive) {
    if (hive) out.push_back({name, KeyPos{-1, {{hive, hive->Root()}}, false}});
  };
  if (key == kVirtualMachine) {
    add("SOFTWARE", m_.software);
    add("SYSTEM", m_.system);
  } else if (key == kVirtualUsers) {
    add(".DEFAULT", m_.defaultUser);
    if (!m_.userSid.empty()) {
      add(m_.userSid, m_.user);
      add(m_.userSid + "_Classes", m_.userClasses);
    }
  }
  return out;
}

KeyPos HiveRegistry::ChildOf(const KeyPos& parent, const std::string& name) const {
  if (parent.virtualKey >= 0) {
    for (const Child& c : VirtualChildren(parent.virtualKey))
      if (NameEquals(c.name, name)) return c.pos;
    return {};
  }
  for (const Link& l : links_)
    if (l.hive == parent.layers.front().hive && l.node == parent.layers.front().node && NameEquals(l.name, name))
      return l.target;
  KeyPos out;
  for (const KeyLayer& layer : parent.layers) {
    const std::size_t c = FindChild(layer.hive, layer.node, name);
    if (c) out.layers.push_back({layer.hive, c});
  }
  return out;
}

// hivex finds a child by decoding the name of every child in turn; keys with many subkeys
// (Services, CLSID) are looked up again and again by the lists, so their names are indexed once
// per shape of the hives.
std::size_t HiveRegistry::FindChild(Hive* hive, std::size_t node, const std::string& name) const {
  constexpr std::size_t kIndexFrom = 32;
  if (hivex_node_nr_children(hive->h(), node) < kIndexFrom) return hivex_node_get_child(hive->h(), node, name.c_str());
  if (indexShape_ != shape_) {
    index_.clear();
    indexShape_ = shape_;
  }
  auto& names = index_[{hive, node}];
  if (names.empty()) {
    if (hive_node_h* kids = hivex_node_children(hive->h(), node)) {
      for (std::size_t i = 0; kids[i]; ++i) names.emplace(FoldName(NodeName(hive, kids[i])), kids[i]);
      std::free(kids);
    }
  }
  auto it = names.find(FoldName(name));
  return it == names.end() ? 0 : it->second;
}

KeyPos HiveRegistry::Walk(const KeyPos& from, const std::vector<std::string>& parts) const {
  KeyPos cur = from;
  for (const std::string& part : parts) {
    if (!cur.Valid()) return {};
    cur = ChildOf(cur, part);
  }
  return cur;
}

std::vector<HiveRegistry::Child> HiveRegistry::ChildrenOf(const KeyPos& pos) const {
  if (pos.virtualKey >= 0) return VirtualChildren(pos.virtualKey);
  std::vector<Child> out;
  bool merged = pos.layers.size() > 1;
  for (const Link& l : links_)
    if (l.hive == pos.layers.front().hive && l.node == pos.layers.front().node) {
      out.push_back({l.name, l.target});
      merged = true;
    }
  for (const KeyLayer& layer : pos.layers) {
    hive_node_h* kids = hivex_node_children(layer.hive->h(), layer.node);
    if (!kids) continue;
    for (std::size_t i = 0; kids[i]; ++i) {
      std::string name = NodeName(layer.hive, kids[i]);
      auto same = std::find_if(out.begin(), out.end(), [&](const Child& c) { return NameEquals(c.name, name); });
      if (same == out.end()) {
        out.push_back({name, KeyPos{-1, {{layer.hive, kids[i]}}, false}});
      } else if (same->pos.layers.size() < 2 && same->pos.layers.front().hive != layer.hive) {
        same->pos.layers.push_back({layer.hive, kids[i]});  // the same key in a lower layer
      }
    }
    std::free(kids);
  }
  // One hive lists its keys in its own (sorted) order; a view over several is sorted the same way.
  if (merged)
    std::stable_sort(out.begin(), out.end(),
                     [](const Child& a, const Child& b) { return FoldName(a.name) < FoldName(b.name); });
  return out;
}

// The key behind `key` (a root or an open handle), found again when the hives changed shape.
bool HiveRegistry::Resolve(Handle key, KeyHandle*& handle, KeyPos& pos, std::uint32_t& access, std::int32_t& status) {
  handle = nullptr;
  if (IsRoot(key)) {
    pos = RootPos(key);
    access = kAllKeyAccess;
    if (!pos.Valid()) {
      status = static_cast<std::int32_t>(err::FileNotFound);
      return false;
    }
    return true;
  }
  handle = handles_.GetAs<KeyHandle>(key);
  if (!handle) {
    status = static_cast<std::int32_t>(err::InvalidHandle);
    return false;
  }
  if (handle->shape != shape_) {
    handle->pos = Walk(RootPos(handle->root), handle->path);
    handle->shape = shape_;
    handle->listed = 0;
  }
  if (!handle->pos.Valid()) {
    status = kErrKeyDeleted;
    return false;
  }
  pos = handle->pos;
  access = handle->access;
  return true;
}

void HiveRegistry::List(KeyHandle& k) {
  if (k.listed == change_) return;
  k.children = ChildrenOf(k.pos);
  k.values.clear();
  if (k.pos.virtualKey < 0) {
    for (std::size_t l = 0; l < k.pos.layers.size(); ++l) {
      Hive* hive = k.pos.layers[l].hive;
      hive_value_h* vals = hivex_node_values(hive->h(), k.pos.layers[l].node);
      if (!vals) continue;
      for (std::size_t i = 0; vals[i]; ++i) {
        std::string name = ValueName(hive, vals[i]);
        const bool shadowed = l > 0 && std::any_of(k.values.begin(), k.values.end(), [&](const KeyHandle::Value& v) {
                                return NameEquals(v.name, name);
                              });
        if (!shadowed) k.values.push_back({l, vals[i], name});
      }
      std::free(vals);
    }
  }
  k.listed = change_;
}

std::int32_t HiveRegistry::Open(Handle key, const std::string& subKey, std::uint32_t access, bool create,
                                bool sameWhenEmpty, Handle* result) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (result) *result = 0;
  KeyHandle* parent = nullptr;
  KeyPos pos;
  std::uint32_t granted = 0;
  std::int32_t status = 0;
  if (!Resolve(key, parent, pos, granted, status)) return status;
  if (!result) return static_cast<std::int32_t>(err::InvalidParameter);
  if (BadSubKey(subKey)) return static_cast<std::int32_t>(err::BadPathname);
  if (subKey.empty() && sameWhenEmpty) {
    *result = key;
    return 0;
  }
  std::vector<std::string> path = parent ? parent->path : std::vector<std::string>{};
  Hive* changed = nullptr;
  for (const std::string& part : Components(subKey)) {
    KeyPos next = ChildOf(pos, part);
    if (!next.Valid()) {
      if (!create) return static_cast<std::int32_t>(err::FileNotFound);
      if (!(granted & kCreateSubKey) || pos.virtualKey >= 0) return static_cast<std::int32_t>(err::AccessDenied);
      const KeyLayer& where = pos.createInLast ? pos.layers.back() : pos.layers.front();
      if (where.hive->Dirty()) return 1016;
      const std::size_t made = hivex_node_add_child(where.hive->h(), where.node, part.c_str());
      if (!made) {
        const std::int32_t e = WriteError();
        if (changed) {
          changed->Commit();  // what was made so far stays, or the hive goes back to its file
          ++shape_;
          ++change_;
        }
        return e;
      }
      changed = where.hive;
      ++shape_;
      ++change_;
      next = KeyPos{-1, {{where.hive, made}}, false};
    }
    pos = next;
    path.push_back(part);
  }
  if (changed) {
    const std::int32_t e = changed->Commit();
    if (e != 0) {
      ++shape_;
      ++change_;
      return e;
    }
  }
  auto k = std::make_unique<KeyHandle>();
  k->root = IsRoot(key) ? key : parent->root;
  k->path = std::move(path);
  k->access = MapKeyAccess(access);
  k->pos = pos;
  k->shape = shape_;
  *result = handles_.Add(std::move(k));
  return 0;
}

std::int32_t HiveRegistry::RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) {
  return Open(key, subKey, 0x02000000u, false, true, result);
}

std::int32_t HiveRegistry::RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t, std::uint32_t access,
                                         Handle* result) {
  return Open(key, subKey, access, false, false, result);
}

std::int32_t HiveRegistry::RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) {
  return Open(key, subKey, 0x02000000u, true, true, result);
}

std::int32_t HiveRegistry::RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type,
                                            void* data, std::uint32_t* size) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (!(access & kQueryValue)) return static_cast<std::int32_t>(err::AccessDenied);
  if (data && !size) return static_cast<std::int32_t>(err::InvalidParameter);
  for (const KeyLayer& layer : pos.layers) {
    const hive_value_h v = hivex_node_get_value(layer.hive->h(), layer.node, valueName.c_str());
    if (!v) continue;
    std::uint32_t t = 0;
    Bytes payload;
    if (!ReadRaw(layer.hive, v, t, payload)) return 1016;
    return Deliver(t, payload, type, data, size);
  }
  return static_cast<std::int32_t>(err::FileNotFound);
}

std::int32_t HiveRegistry::RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type,
                                          const void* data, std::uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (!(access & kSetValue)) return static_cast<std::int32_t>(err::AccessDenied);
  if (!data && size) return 998;  // ERROR_NOACCESS
  if (pos.virtualKey >= 0) return static_cast<std::int32_t>(err::AccessDenied);
  const KeyLayer& layer = pos.layers.front();
  if (layer.hive->Dirty()) return 1016;
  Bytes bytes = FromInterfaceData(type, data, size);
  // A value that exists keeps its name as stored; only its type and data change.
  std::string name = valueName;
  if (const hive_value_h old = hivex_node_get_value(layer.hive->h(), layer.node, valueName.c_str()))
    name = ValueName(layer.hive, old);
  hive_set_value v{};
  v.key = name.data();
  v.t = static_cast<hive_type>(type);
  v.len = bytes.size();
  v.value = reinterpret_cast<char*>(bytes.data());
  ++change_;
  if (hivex_node_set_value(layer.hive->h(), layer.node, &v, 0) != 0) {
    const std::int32_t e = WriteError();
    std::string why;
    layer.hive->Load(why);  // back to what the file holds
    ++shape_;
    return e;
  }
  const std::int32_t e = layer.hive->Commit();
  if (e != 0) ++shape_;
  return e;
}

std::int32_t HiveRegistry::RegDeleteValueA(Handle key, const std::string& valueName) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (!(access & kSetValue)) return static_cast<std::int32_t>(err::AccessDenied);
  for (const KeyLayer& layer : pos.layers) {
    hive_h* h = layer.hive->h();
    if (!hivex_node_get_value(h, layer.node, valueName.c_str())) continue;
    if (layer.hive->Dirty()) return 1016;
    // hivex sets a key's values as a whole: the others are written again, in their order.
    hive_value_h* vals = hivex_node_values(h, layer.node);
    if (!vals) return 1016;
    std::vector<std::string> names;
    std::vector<Bytes> raws;
    std::vector<hive_type> types;
    for (std::size_t i = 0; vals[i]; ++i) {
      std::string name = ValueName(layer.hive, vals[i]);
      if (NameEquals(name, valueName)) continue;
      hive_type t = hive_t_REG_NONE;
      std::size_t len = 0;
      char* raw = hivex_value_value(h, vals[i], &t, &len);
      if (!raw) {
        std::free(vals);
        return 1016;
      }
      names.push_back(std::move(name));
      raws.emplace_back(reinterpret_cast<std::uint8_t*>(raw), reinterpret_cast<std::uint8_t*>(raw) + len);
      types.push_back(t);
      std::free(raw);
    }
    std::free(vals);
    std::vector<hive_set_value> set(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
      set[i].key = names[i].data();
      set[i].t = types[i];
      set[i].len = raws[i].size();
      set[i].value = reinterpret_cast<char*>(raws[i].data());
    }
    ++change_;
    if (hivex_node_set_values(h, layer.node, set.size(), set.data(), 0) != 0) {
      const std::int32_t e = WriteError();
      std::string why;
      layer.hive->Load(why);
      ++shape_;
      return e;
    }
    const std::int32_t e = layer.hive->Commit();
    if (e != 0) ++shape_;
    return e;
  }
  return static_cast<std::int32_t>(err::FileNotFound);
}

std::int32_t HiveRegistry::DeleteKey(Handle key, const std::string& subKey, bool tree) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (BadSubKey(subKey)) return static_cast<std::int32_t>(err::BadPathname);
  const std::vector<std::string> parts = Components(subKey);
  if (parts.empty()) return static_cast<std::int32_t>(err::AccessDenied);  // a key cannot delete itself this way
  KeyPos parent = Walk(pos, std::vector<std::string>(parts.begin(), parts.end() - 1));
  if (!parent.Valid()) return static_cast<std::int32_t>(err::FileNotFound);
  if (parent.virtualKey >= 0) {
    // A mounted hive: it can be unloaded from a running system, never deleted.
    return ChildOf(parent, parts.back()).Valid() ? static_cast<std::int32_t>(err::AccessDenied)
                                                 : static_cast<std::int32_t>(err::FileNotFound);
  }
  for (const Link& l : links_)
    if (l.hive == parent.layers.front().hive && l.node == parent.layers.front().node && NameEquals(l.name, parts.back()))
      return static_cast<std::int32_t>(err::AccessDenied);  // the link itself is not a key of the hive
  for (const KeyLayer& layer : parent.layers) {
    hive_h* h = layer.hive->h();
    const std::size_t target = FindChild(layer.hive, layer.node, parts.back());
    if (!target) continue;
    if (!tree && hivex_node_nr_children(h, target) > 0) return static_cast<std::int32_t>(err::AccessDenied);
    if (layer.hive->Dirty()) return 1016;
    ++shape_;
    ++change_;
    if (hivex_node_delete_child(h, target) != 0) {
      const std::int32_t e = WriteError();
      std::string why;
      layer.hive->Load(why);
      return e;
    }
    return layer.hive->Commit();
  }
  return static_cast<std::int32_t>(err::FileNotFound);
}

std::int32_t HiveRegistry::RegDeleteKeyA(Handle key, const std::string& subKey) { return DeleteKey(key, subKey, false); }

std::int32_t HiveRegistry::SHDeleteKeyA(Handle key, const std::string& subKey) { return DeleteKey(key, subKey, true); }

std::int32_t HiveRegistry::RegEnumValueA(Handle key, std::uint32_t index, std::string* name,
                                         std::uint32_t nameCapacity, std::uint32_t* type, void* data,
                                         std::uint32_t* size) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (!(access & kQueryValue)) return static_cast<std::int32_t>(err::AccessDenied);
  if (data && !size) return static_cast<std::int32_t>(err::InvalidParameter);
  KeyHandle rootView;
  if (!k) {
    rootView.pos = pos;
    k = &rootView;
  }
  List(*k);
  if (index >= k->values.size()) return static_cast<std::int32_t>(err::NoMoreItems);
  const KeyHandle::Value v = k->values[index];
  std::uint32_t t = 0;
  Bytes payload;
  if (!ReadRaw(pos.layers[v.layer].hive, v.value, t, payload)) return 1016;
  if (v.name.size() + 1 > nameCapacity) {
    if (name) *name = v.name.substr(0, nameCapacity ? nameCapacity - 1 : 0);
    if (type) *type = t;
    if (size) *size = static_cast<std::uint32_t>(payload.size());
    return static_cast<std::int32_t>(err::MoreData);
  }
  if (name) *name = v.name;
  return Deliver(t, payload, type, data, size);
}

std::int32_t HiveRegistry::RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name,
                                         std::uint32_t nameCapacity) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  KeyHandle* k = nullptr;
  KeyPos pos;
  std::uint32_t access = 0;
  std::int32_t status = 0;
  if (!Resolve(key, k, pos, access, status)) return status;
  if (!(access & kEnumerateSubKeys)) return static_cast<std::int32_t>(err::AccessDenied);
  KeyHandle rootView;
  if (!k) {
    rootView.pos = pos;
    k = &rootView;
  }
  List(*k);
  if (index >= k->children.size()) return static_cast<std::int32_t>(err::NoMoreItems);
  const std::string& n = k->children[index].name;
  if (n.size() + 1 > nameCapacity) {
    if (name) *name = n.substr(0, nameCapacity ? nameCapacity - 1 : 0);
    return static_cast<std::int32_t>(err::MoreData);
  }
  if (name) *name = n;
  return 0;
}

std::int32_t HiveRegistry::RegCloseKey(Handle key) {
  if (IsRoot(key)) return 0;
  if (!handles_.GetAs<KeyHandle>(key)) return static_cast<std::int32_t>(err::InvalidHandle);
  handles_.Close(key);
  return 0;
}

bool HiveRegistry::ReadValue(Handle root, const std::string& subKey, const std::string& name, std::uint32_t& type,
                             Bytes& data) {
  Handle k = 0;
  if (RegOpenKeyExA(root, subKey, 0, reg::KeyRead, &k) != 0) return false;
  std::uint32_t size = 0;
  bool ok = RegQueryValueExA(k, name, &type, nullptr, &size) == 0;
  if (ok) {
    data.assign(size, 0);
    ok = RegQueryValueExA(k, name, &type, data.empty() ? nullptr : data.data(), &size) == 0;
    data.resize(size);
  }
  RegCloseKey(k);
  return ok;
}

std::vector<std::string> HiveRegistry::SubkeyNames(Handle root, const std::string& subKey) {
  std::vector<std::string> names;
  Handle k = 0;
  if (RegOpenKeyExA(root, subKey, 0, reg::KeyRead, &k) != 0) return names;
  std::string n;
  for (std::uint32_t i = 0; RegEnumKeyExA(k, i, &n, 256) == 0; ++i) names.push_back(n);
  RegCloseKey(k);
  return names;
}

}  // namespace tv::offline
