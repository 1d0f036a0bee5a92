// Registry of the simulated machine: seven independent root trees, case-insensitive key and
// value names, enumeration in insertion order, the ANSI functions' sizes and error codes.
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::int32_t kErrKeyDeleted = 1018;
constexpr std::uint32_t kQueryValue = 0x1, kSetValue = 0x2, kCreateSubKey = 0x4, kEnumerateSubKeys = 0x8;
constexpr std::uint32_t kAllKeyAccess = 0xF003F;

bool IsRoot(Handle h) { return h >= reg::ClassesRoot && h <= reg::DynData; }

std::uint32_t MapKeyAccess(std::uint32_t access) {
  if (access & (0x10000000u | 0x02000000u)) return kAllKeyAccess;  // GENERIC_ALL, MAXIMUM_ALLOWED
  std::uint32_t a = access & 0x00FFFFFFu;
  if (access & 0x80000000u) a |= 0x20019;  // GENERIC_READ -> KEY_READ
  if (access & 0x40000000u) a |= 0x20006;  // GENERIC_WRITE -> KEY_WRITE
  return a;
}

RegKey* Child(RegKey& k, const std::string& name) {
  for (auto& c : k.subkeys)
    if (IEquals(c->name, name)) return c.get();
  return nullptr;
}

std::string Join(const std::string& a, const std::string& b) { return a.empty() ? b : a + "\\" + b; }
}  // namespace

RegKey& SimMachine::Impl::RootKey(Handle root) {
  RegKey& k = st.roots[root];
  if (k.name.empty()) k.name = RootLongName(root);
  return k;
}

RegKey* SimMachine::Impl::Resolve(Handle root, const std::string& sub) {
  if (!IsRoot(root)) return nullptr;
  RegKey* k = &RootKey(root);
  for (const auto& part : SplitPath(sub)) {
    k = Child(*k, part);
    if (!k) return nullptr;
  }
  return k;
}

RegKey* SimMachine::Impl::CreatePath(Handle root, const std::string& sub) {
  RegKey* k = &RootKey(root);
  for (const auto& part : SplitPath(sub)) {
    RegKey* c = Child(*k, part);
    if (!c) {
      k->subkeys.push_back(std::make_unique<RegKey>());
      c = k->subkeys.back().get();
      c->name = part;
    }
    k = c;
  }
  return k;
}

bool SimMachine::Impl::KeyOfHandle(Handle key, Handle& root, std::string& sub, std::uint32_t& error) {
  if (IsRoot(key)) {
    root = key;
    sub.clear();
    return true;
  }
  HandleObj* o = Get(key, HKind::Key);
  if (!o) {
    error = err::InvalidHandle;
    return false;
  }
  if (!Resolve(o->root, o->path)) {
    error = kErrKeyDeleted;
    return false;
  }
  root = o->root;
  sub = o->path;
  return true;
}

// The key behind an opened handle (or a root), when the handle grants `needed` access;
// otherwise null with the error the registry answers.
RegKey* SimMachine::Impl::OpenedKey(Handle key, std::uint32_t needed, std::int32_t& status) {
  Handle root = 0;
  std::string sub;
  std::uint32_t error = 0;
  if (!KeyOfHandle(key, root, sub, error)) {
    status = static_cast<std::int32_t>(error);
    return nullptr;
  }
  if (!(KeyAccess(key) & needed)) {
    status = static_cast<std::int32_t>(err::AccessDenied);
    return nullptr;
  }
  return Resolve(root, sub);
}

namespace {
// The access a handle grants: the roots grant everything.
// Checks a relative path: a leading backslash or an empty component is a bad path name.
bool BadSubKey(const std::string& sub) {
  if (sub.empty()) return false;
  if (sub[0] == '\\') return true;
  std::string trimmed = sub;
  if (trimmed.back() == '\\') trimmed.pop_back();
  return trimmed.find("\\\\") != std::string::npos;
}
}  // namespace

std::uint32_t SimMachine::Impl::KeyAccess(Handle key) {
  if (IsRoot(key)) return kAllKeyAccess;
  HandleObj* o = Get(key, HKind::Key);
  return o ? o->access : 0;
}

// Resolves (key, subKey) to a new open handle. `create`: make missing keys.
std::int32_t SimMachine::Impl::OpenKey(Handle key, const std::string& subKey, std::uint32_t access,
                             bool create, bool sameHandleWhenEmpty, Handle* result) {
  if (result) *result = 0;
  Handle root = 0;
  std::string sub;
  std::uint32_t error = 0;
  if (!KeyOfHandle(key, root, sub, error)) return static_cast<std::int32_t>(error);
  if (!result) return err::InvalidParameter;
  if (BadSubKey(subKey)) return err::BadPathname;
  if (subKey.empty() && sameHandleWhenEmpty) {
    *result = key;
    return 0;
  }
  RegKey* k = Resolve(root, sub);
  std::string path = sub;
  for (const auto& part : SplitPath(subKey)) {
    RegKey* c = Child(*k, part);
    if (!c) {
      if (!create) return err::FileNotFound;
      if (!(KeyAccess(key) & kCreateSubKey)) return err::AccessDenied;
      k->subkeys.push_back(std::make_unique<RegKey>());
      c = k->subkeys.back().get();
      c->name = part;
    }
    k = c;
    path = Join(path, c->name);
  }
  HandleObj o;
  o.kind = HKind::Key;
  o.root = root;
  o.path = path;
  o.access = MapKeyAccess(access);
  *result = NewHandle(o);
  return 0;
}

std::int32_t SimMachine::Impl::RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) {
  auto g = Enter("RegOpenKeyA");
  return OpenKey(key, subKey, 0x02000000u, false, true, result);
}

std::int32_t SimMachine::Impl::RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t,
                                             std::uint32_t access, Handle* result) {
  auto g = Enter("RegOpenKeyExA");
  return OpenKey(key, subKey, access, false, false, result);
}

std::int32_t SimMachine::Impl::RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) {
  auto g = Enter("RegCreateKeyA");
  return OpenKey(key, subKey, 0x02000000u, true, true, result);
}

std::int32_t SimMachine::Impl::RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type,
                                                void* data, std::uint32_t* size) {
  auto g = Enter("RegQueryValueExA");
  std::int32_t status = 0;
  RegKey* k = OpenedKey(key, kQueryValue, status);
  if (!k) return status;
  const RegValue* v = nullptr;
  for (const auto& x : k->values)
    if (IEquals(x.name, valueName)) v = &x;
  if (!v) return err::FileNotFound;
  if (data && !size) return err::InvalidParameter;
  if (type) *type = v->type;
  const auto needed = static_cast<std::uint32_t>(v->data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return err::MoreData;
    }
    if (needed) std::memcpy(data, v->data.data(), needed);
  }
  if (size) *size = needed;
  return 0;
}

std::int32_t SimMachine::Impl::RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type,
                                              const void* data, std::uint32_t size) {
  auto g = Enter("RegSetValueExA");
  std::int32_t status = 0;
  RegKey* k = OpenedKey(key, kSetValue, status);
  if (!k) return status;
  if (!data && size) return 998;  // ERROR_NOACCESS
  Bytes b;
  if (size) b.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
  // Text handed over without its terminating NUL is stored with one, as the ANSI function does.
  const bool stringType = type == reg::Sz || type == reg::ExpandSz || type == reg::MultiSz;
  if (stringType && !b.empty() && b.back() != 0) b.push_back(0);
  for (auto& x : k->values)
    if (IEquals(x.name, valueName)) {  // keeps its place in the enumeration
      x.type = type;
      x.data = std::move(b);
      return 0;
    }
  k->values.push_back({valueName, type, std::move(b)});
  return 0;
}

std::int32_t SimMachine::Impl::RegDeleteValueA(Handle key, const std::string& valueName) {
  auto g = Enter("RegDeleteValueA");
  std::int32_t status = 0;
  RegKey* k = OpenedKey(key, kSetValue, status);
  if (!k) return status;
  for (auto it = k->values.begin(); it != k->values.end(); ++it)
    if (IEquals(it->name, valueName)) {
      k->values.erase(it);
      return 0;
    }
  return err::FileNotFound;
}

// Deletes `target` (a path below root) from its parent. Returns the Win32 result.
std::int32_t SimMachine::Impl::RemoveKey(Handle root, const std::string& target, bool tree) {
  auto parts = SplitPath(target);
  if (parts.empty()) return err::AccessDenied;  // a root cannot be deleted
  std::string parentPath;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath = Join(parentPath, parts[i]);
  RegKey* parent = Resolve(root, parentPath);
  if (!parent) return err::FileNotFound;
  for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it)
    if (IEquals((*it)->name, parts.back())) {
      if (!tree && !(*it)->subkeys.empty()) return err::AccessDenied;  // NT refuses a key with subkeys
      parent->subkeys.erase(it);
      return 0;
    }
  return err::FileNotFound;
}

// RegDeleteKeyA (a key without subkeys) and SHDeleteKeyA (the whole tree) of `subKey` below `key`.
std::int32_t SimMachine::Impl::DeleteKeyBelow(Handle key, const std::string& subKey, bool tree) {
  Handle root = 0;
  std::string sub;
  std::uint32_t error = 0;
  if (!KeyOfHandle(key, root, sub, error)) return static_cast<std::int32_t>(error);
  if (BadSubKey(subKey)) return err::BadPathname;
  std::string target = sub;
  for (const auto& part : SplitPath(subKey)) target = Join(target, part);
  if (!Resolve(root, target)) return err::FileNotFound;
  return RemoveKey(root, target, tree);
}

std::int32_t SimMachine::Impl::RegDeleteKeyA(Handle key, const std::string& subKey) {
  auto g = Enter("RegDeleteKeyA");
  return DeleteKeyBelow(key, subKey, false);
}

std::int32_t SimMachine::Impl::SHDeleteKeyA(Handle key, const std::string& subKey) {
  auto g = Enter("SHDeleteKeyA");
  return DeleteKeyBelow(key, subKey, true);
}

std::int32_t SimMachine::Impl::RegEnumValueA(Handle key, std::uint32_t index, std::string* name,
                                             std::uint32_t nameCapacity, std::uint32_t* type, void* data,
                                             std::uint32_t* size) {
  auto g = Enter("RegEnumValueA");
  std::int32_t status = 0;
  RegKey* k = OpenedKey(key, kQueryValue, status);
  if (!k) return status;
  if (index >= k->values.size()) return err::NoMoreItems;
  const RegValue& v = k->values[index];
  if (data && !size) return err::InvalidParameter;
  if (name && v.name.size() + 1 > nameCapacity) return err::MoreData;
  if (name) *name = v.name;
  if (type) *type = v.type;
  const auto needed = static_cast<std::uint32_t>(v.data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return err::MoreData;
    }
    if (needed) std::memcpy(data, v.data.data(), needed);
  }
  if (size) *size = needed;
  return 0;
}

std::int32_t SimMachine::Impl::RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name,
                                             std::uint32_t nameCapacity) {
  auto g = Enter("RegEnumKeyExA");
  std::int32_t status = 0;
  RegKey* k = OpenedKey(key, kEnumerateSubKeys, status);
  if (!k) return status;
  if (index >= k->subkeys.size()) return err::NoMoreItems;
  const std::string& n = k->subkeys[index]->name;
  if (n.size() + 1 > nameCapacity) return err::MoreData;
  if (name) *name = n;
  return 0;
}

std::int32_t SimMachine::Impl::RegCloseKey(Handle key) {
  auto g = Enter("RegCloseKey");
  if (IsRoot(key)) return 0;
  if (!Get(key, HKind::Key)) return err::InvalidHandle;
  Close(key);
  return 0;
}

}  // namespace tv::sim
