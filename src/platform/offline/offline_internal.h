// Inside of the offline backend: the handle table, text helpers, the hive files and the
// registry over them.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/api.h"
#include "platform/offline/offline_machine.h"

struct hive_h;

namespace tv::offline {

// ---------------------------------------------------------------- text ----
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);
// Windows' comparison of names: both upper-cased (ASCII, Latin-1, Greek and Cyrillic letters).
std::u16string FoldName(const std::string& utf8);
bool NameEquals(const std::string& a, const std::string& b);
// "*" and "?" matching the way FindFirstFile matches long names, without regard to case.
bool WildcardMatch(const std::string& pattern, const std::string& name);
std::vector<std::string> SplitBackslash(const std::string& path);  // empty parts dropped
std::string LowerAscii(std::string s);

// ------------------------------------------------------------- handles ----
// Every object a handle stands for derives from this.
struct HandleObject {
  virtual ~HandleObject() = default;
  virtual const char* Kind() const = 0;
};

class HandleTable {
 public:
  Handle Add(std::unique_ptr<HandleObject> object);
  HandleObject* Get(Handle h) const;
  template <typename T>
  T* GetAs(Handle h) const {
    return dynamic_cast<T*>(Get(h));
  }
  bool Close(Handle h);
  std::size_t Count() const;
  template <typename F>
  void ForEach(F f) const {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    for (const auto& [h, o] : objects_) f(h, *o);
  }

 private:
  mutable std::recursive_mutex mu_;
  std::map<Handle, std::unique_ptr<HandleObject>> objects_;
  Handle next_ = 0x4000;  // away from the pseudo-handles and the predefined registry roots
};

// The last error of the calling thread, shared by every interface of the backend.
void SetLastErrorValue(std::uint32_t e);
std::uint32_t LastErrorValue();

// ------------------------------------------------------------------ hives ----
// One hive file, opened once with hivex and kept in memory. Changes are committed to the file
// at once (Commit); a failed commit leaves the file as it was and reloads it.
class Hive {
 public:
  Hive(std::string name, std::string hostPath);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // Opens the file; false with the reason.
  bool Load(std::string& error);
  hive_h* h() const { return h_; }
  std::size_t Root() const;
  const std::string& Name() const { return name_; }
  const std::string& HostPath() const { return path_; }
  std::size_t OpenCount() const { return opens_; }
  // Windows left changes of the hive in its log files: it is read as it is, never written.
  bool Dirty() const { return dirty_; }
  // Bumped whenever nodes may have moved or gone (a delete, a reload): cached node numbers of
  // key handles are looked up again from their paths then.
  std::uint64_t Generation() const { return generation_; }
  void Touch() { ++generation_; }
  // Writes the changes made since the last commit: backup first (once), then a temporary file
  // in the hive's folder renamed over the hive. Returns 0 or the Win32 error; on an error the
  // hive is reloaded from the unchanged file.
  std::int32_t Commit();

 private:
  std::string name_, path_;
  hive_h* h_ = nullptr;
  std::size_t opens_ = 0;
  std::uint64_t generation_ = 1;
  bool dirty_ = false;
};

// Where a key of the offline registry lives: a virtual key (the roots of HKLM and HKU, which
// hold mounted hives), or one node in each of one or more hives; the first layer wins (the
// user's classes over the machine's in HKCR).
struct KeyLayer {
  Hive* hive = nullptr;
  std::size_t node = 0;
};
struct KeyPos {
  int virtualKey = -1;  // >= 0: a virtual key (index into the registry's table)
  std::vector<KeyLayer> layers;
  bool createInLast = false;  // new subkeys go to the last layer (the HKCR root: the machine's classes)
  bool Valid() const { return virtualKey >= 0 || !layers.empty(); }
};

// The offline registry: the predefined roots mapped onto the hives.
class HiveRegistry final : public RegistryApi {
 public:
  struct Mounts {
    Hive* software = nullptr;
    Hive* system = nullptr;
    Hive* defaultUser = nullptr;  // config\DEFAULT, as HKU\.DEFAULT
    Hive* user = nullptr;         // NTUSER.DAT
    Hive* userClasses = nullptr;  // UsrClass.dat
    std::string userSid;
    std::uint32_t currentControlSet = 1;
  };
  HiveRegistry(HandleTable& handles, Mounts mounts);
  ~HiveRegistry() override;

  std::int32_t RegOpenKeyA(Handle key, const std::string& subKey, Handle* result) override;
  std::int32_t RegOpenKeyExA(Handle key, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                             Handle* result) override;
  std::int32_t RegCreateKeyA(Handle key, const std::string& subKey, Handle* result) override;
  std::int32_t RegQueryValueExA(Handle key, const std::string& valueName, std::uint32_t* type, void* data,
                                std::uint32_t* size) override;
  std::int32_t RegSetValueExA(Handle key, const std::string& valueName, std::uint32_t type, const void* data,
                              std::uint32_t size) override;
  std::int32_t RegDeleteValueA(Handle key, const std::string& valueName) override;
  std::int32_t RegDeleteKeyA(Handle key, const std::string& subKey) override;
  std::int32_t RegEnumValueA(Handle key, std::uint32_t index, std::string* name, std::uint32_t nameCapacity,
                             std::uint32_t* type, void* data, std::uint32_t* size) override;
  std::int32_t RegEnumKeyExA(Handle key, std::uint32_t index, std::string* name, std::uint32_t nameCapacity) override;
  std::int32_t RegCloseKey(Handle key) override;
  std::int32_t SHDeleteKeyA(Handle key, const std::string& subKey) override;

  // Convenience for the backend's own reads: the data of a value as the interface hands it
  // over, or false; the names of a key's subkeys.
  bool ReadValue(Handle root, const std::string& subKey, const std::string& name, std::uint32_t& type, Bytes& data);
  std::vector<std::string> SubkeyNames(Handle root, const std::string& subKey);

 private:
  struct KeyHandle;
  struct Child {
    std::string name;
    KeyPos pos;
  };
  // A key that Windows links in where the hive has none (CurrentControlSet, the user's Classes).
  struct Link {
    Hive* hive;
    std::size_t node;
    std::string name;
    KeyPos target;
  };
  KeyPos RootPos(Handle root) const;
  std::vector<Child> VirtualChildren(int key) const;
  KeyPos ChildOf(const KeyPos& parent, const std::string& name) const;
  std::size_t FindChild(Hive* hive, std::size_t node, const std::string& name) const;
  std::vector<Child> ChildrenOf(const KeyPos& pos) const;
  KeyPos Walk(const KeyPos& from, const std::vector<std::string>& parts) const;
  bool Resolve(Handle key, KeyHandle*& handle, KeyPos& pos, std::uint32_t& access, std::int32_t& status);
  void List(KeyHandle& k);
  std::int32_t Open(Handle key, const std::string& subKey, std::uint32_t access, bool create, bool sameWhenEmpty,
                    Handle* result);
  std::int32_t DeleteKey(Handle key, const std::string& subKey, bool tree);

  HandleTable& handles_;
  Mounts m_;
  std::vector<Link> links_;
  std::uint64_t shape_ = 1;   // bumped when keys come or go (open handles find their key again)
  std::uint64_t change_ = 1;  // bumped on every change (open handles list their key again)
  std::recursive_mutex mu_;
  // Subkey names of large keys, by folded name (FindChild); valid while the shape is `indexShape_`.
  mutable std::map<std::pair<Hive*, std::size_t>, std::unordered_map<std::u16string, std::size_t>> index_;
  mutable std::uint64_t indexShape_ = 0;
};

// Value data as it crosses the interface: string types in UTF-8 with their NULs.
Bytes ToInterfaceData(std::uint32_t type, const char* raw, std::size_t len);
Bytes FromInterfaceData(std::uint32_t type, const void* data, std::uint32_t size);

}  // namespace tv::offline
