// Fake Windows installations for the offline backend's tests: a temporary folder with real hive
// files (an empty hive filled through hivex itself, not through the backend) and small PE
// images written from the format, in the Windows XP and the Windows 10 layout.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

struct hive_h;

namespace tv::offtest {

// A hive file being filled: keys are made on the way, values are set one by one, Commit
// writes the file.
class HiveBuilder {
 public:
  explicit HiveBuilder(const std::string& hostPath);
  ~HiveBuilder();
  HiveBuilder(const HiveBuilder&) = delete;
  HiveBuilder& operator=(const HiveBuilder&) = delete;

  HiveBuilder& Key(const std::string& path);  // "Software\\Microsoft\\..." below the hive's root
  // UTF-16 text with its NUL (type 1, 2) or a list of texts (type 7).
  HiveBuilder& Str(const std::string& key, const std::string& name, const std::string& text, std::uint32_t type = 1);
  HiveBuilder& Multi(const std::string& key, const std::string& name, const std::vector<std::string>& texts);
  HiveBuilder& Dword(const std::string& key, const std::string& name, std::uint32_t value);
  HiveBuilder& Raw(const std::string& key, const std::string& name, std::uint32_t type, const Bytes& data);
  void Commit();

 private:
  std::size_t Node(const std::string& path);
  std::string path_;
  hive_h* h_ = nullptr;
};

// Reads one value straight from a hive file with hivex (type and raw bytes); false when the key
// or value is missing.
bool ReadHiveValue(const std::string& hostPath, const std::string& key, const std::string& name, std::uint32_t& type,
                   Bytes& data);
bool HiveKeyExists(const std::string& hostPath, const std::string& key);
// UTF-16LE bytes of a text, with its NUL.
Bytes Utf16(const std::string& text);

// A PE image (PE32+ or PE32) whose resource section holds the given resources, by type id, each
// with name 1 and language 0x409; with no resources there is no resource section at all.
Bytes TinyPe(const std::vector<std::pair<std::uint32_t, Bytes>>& resources, bool pe32plus = true);
// A version resource with the given strings (one language block).
Bytes VersionResource(const std::vector<std::pair<std::string, std::string>>& strings);

void WriteFile(const std::string& hostPath, const Bytes& bytes);  // folders made on the way
std::vector<std::uint8_t> ReadFileBytes(const std::string& hostPath);

enum class Layout { Xp, Win10 };

// A Windows installation in a temporary folder, removed again at the end.
//   Xp: WINDOWS\system32\config, one user "Admin" with NTUSER.DAT and UsrClass.dat, SYSTEM with
//       two control sets and Select\Current = 2, services only in ControlSet001 and others only
//       in ControlSet002, start-up values, browser helper objects (one class also in the user's
//       classes), files whose case differs from the registry's.
//   Win10: Windows\System32\config, users "Bob" and "Eve" with NTUSER.DAT and "Old" without,
//       version 10.0.19045 kept in CurrentMajorVersionNumber and CurrentMinorVersionNumber.
class FakeWindows {
 public:
  explicit FakeWindows(Layout layout);
  ~FakeWindows();
  FakeWindows(const FakeWindows&) = delete;
  FakeWindows& operator=(const FakeWindows&) = delete;

  const std::string& Root() const { return root_; }
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
  std::string SoftwareHive() const;
  std::string SystemHive() const;
  std::string UserHive() const;  // of the first user (Admin / Bob)
  std::string UserClassesHive() const;

 private:
  Layout layout_;
  std::string root_;
};

}  // namespace tv::offtest
