// The registry of the offline backend over real hive files: the RegistryApi contract, the
// mounts (CurrentControlSet, HKCU, HKU, the merged HKCR) and changes written to the hives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "offline/offline_tree.h"
#include "platform/offline/offline_machine.h"

namespace tv {
namespace {

using offtest::FakeWindows;
using offtest::Layout;

const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class OfflineRegistryTest : public ::testing::Test {
 protected:
  FakeWindows tree{Layout::Xp};
  std::unique_ptr<offline::OfflineMachine> disk;
  RegistryApi* reg = nullptr;

  void SetUp() override { Reopen(); }
  void TearDown() override {
    if (disk) {
      EXPECT_EQ(disk->OpenHandleCount(), 0u);
    }
  }
  void Reopen() {
    disk.reset();
    std::string error;
    disk = offline::OfflineMachine::Open(tree.Root(), "", error);
    ASSERT_TRUE(disk) << error;
    reg = disk->platform().registry;
  }
  Handle Open(Handle root, const std::string& path) {
    Handle k = 0;
    EXPECT_EQ(reg->RegOpenKeyExA(root, path, 0, reg::KeyRead, &k), 0) << path;
    return k;
  }
  // The value as the interface hands it over; `code` the status.
  std::string Query(Handle root, const std::string& path, const std::string& name, std::uint32_t* type = nullptr,
                    std::int32_t* code = nullptr) {
    Handle k = 0;
    std::int32_t r = reg->RegOpenKeyExA(root, path, 0, reg::KeyRead, &k);
    std::string out;
    if (r == 0) {
      std::uint32_t size = 0, t = 0;
      r = reg->RegQueryValueExA(k, name, &t, nullptr, &size);
      if (r == 0) {
        out.assign(size, '\0');
        r = reg->RegQueryValueExA(k, name, &t, out.data(), &size);
        out.resize(size);
      }
      if (type) *type = t;
      reg->RegCloseKey(k);
    }
    if (code) *code = r;
    return out;
  }
  std::vector<std::string> Subkeys(Handle root, const std::string& path) {
    std::vector<std::string> names;
    Handle k = Open(root, path);
    std::string n;
    for (std::uint32_t i = 0; reg->RegEnumKeyExA(k, i, &n, 256) == 0; ++i) names.push_back(n);
    reg->RegCloseKey(k);
    return names;
  }
};

TEST_F(OfflineRegistryTest, ValuesComeAsTheAnsiFunctionsGiveThem) {
  std::uint32_t type = 0;
  // Strings in UTF-8 with their NUL; REG_EXPAND_SZ unexpanded; the default value by "".
  EXPECT_EQ(Query(reg::LocalMachine, kRun, "Tool", &type), std::string("C:\\Program Files\\Tool\\tool.exe /background\0", 43));
  EXPECT_EQ(type, reg::Sz);
  EXPECT_EQ(Query(reg::LocalMachine, kRun, "", &type), std::string("%SystemRoot%\\system32\\dflt.exe\0", 31));
  EXPECT_EQ(type, reg::ExpandSz);
  EXPECT_EQ(Query(reg::LocalMachine, kRun, "Counter", &type), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(type, reg::Dword);
  EXPECT_EQ(Query(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "BootExecute", &type),
            std::string("autocheck autochk *\0\0", 21));
  EXPECT_EQ(type, reg::MultiSz);
  // Names without regard to case, all the way.
  EXPECT_EQ(Query(reg::LocalMachine, "software\\MICROSOFT\\windows\\CurrentVersion\\RUN", "tOOL"),
            Query(reg::LocalMachine, kRun, "Tool"));

  // A buffer too small: 234 and the size needed; errors as the registry gives them.
  Handle k = Open(reg::LocalMachine, kRun);
  char small[4];
  std::uint32_t size = sizeof small;
  EXPECT_EQ(reg->RegQueryValueExA(k, "Tool", &type, small, &size), 234);
  EXPECT_EQ(size, 43u);
  EXPECT_EQ(reg->RegQueryValueExA(k, "Missing", &type, nullptr, &size), 2);
  EXPECT_EQ(reg->RegQueryValueExA(k, "Tool", &type, small, nullptr), 87);
  reg->RegCloseKey(k);
  std::int32_t code = 0;
  Query(reg::LocalMachine, "SOFTWARE\\NoSuchKey", "x", nullptr, &code);
  EXPECT_EQ(code, 2);
  Handle bad = 0;
  EXPECT_EQ(reg->RegOpenKeyExA(reg::LocalMachine, "\\SOFTWARE", 0, reg::KeyRead, &bad), 161);
  EXPECT_EQ(reg->RegQueryValueExA(0x12345678, "x", nullptr, nullptr, nullptr), 6);
}

TEST_F(OfflineRegistryTest, EnumerationFollowsTheHive) {
  // Values in the order they were written, subkeys in the hive's sorted order.
  Handle k = Open(reg::LocalMachine, kRun);
  std::vector<std::string> names;
  std::string n;
  std::uint32_t type = 0, size = 0;
  for (std::uint32_t i = 0; reg->RegEnumValueA(k, i, &n, 256, &type, nullptr, &size) == 0; ++i) names.push_back(n);
  EXPECT_EQ(names, (std::vector<std::string>{"Tool", "Updater", "", "Counter"}));
  char data[8];
  size = sizeof data;
  EXPECT_EQ(reg->RegEnumValueA(k, 0, &n, 256, &type, data, &size), 234);  // data too long for 8 bytes
  EXPECT_EQ(size, 43u);
  EXPECT_EQ(reg->RegEnumValueA(k, 1, &n, 4, &type, nullptr, &size), 234);  // "Updater" needs 8 characters
  EXPECT_EQ(reg->RegEnumValueA(k, 4, &n, 256, &type, nullptr, &size), 259);
  reg->RegCloseKey(k);

  EXPECT_EQ(Subkeys(reg::LocalMachine, ""), (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
  const auto system = Subkeys(reg::LocalMachine, "SYSTEM");
  EXPECT_EQ(system, (std::vector<std::string>{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select"}));
  Handle svc = Open(reg::LocalMachine, "SYSTEM\\ControlSet002\\Services");
  EXPECT_EQ(reg->RegEnumKeyExA(svc, 1, &n, 6), 234);  // "Helper" needs 7 characters
  EXPECT_EQ(reg->RegEnumKeyExA(svc, 3, &n, 256), 259);
  reg->RegCloseKey(svc);
}

TEST_F(OfflineRegistryTest, CurrentControlSetIsTheSetSelectNames) {
  // Select\Current = 2: the services of ControlSet002, not those of ControlSet001.
  EXPECT_EQ(Subkeys(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Services"),
            (std::vector<std::string>{"Beep", "Helper", "NoImage"}));
  EXPECT_EQ(Query(reg::LocalMachine, "SYSTEM\\currentcontrolset\\Control\\Nls\\CodePage", "ACP"),
            std::string("1252\0", 5));
  EXPECT_EQ(disk->platform().system->GetACP(), 1252u);
}

TEST_F(OfflineRegistryTest, UserHivesAndMergedClasses) {
  const std::string sid = disk->User()->sid;
  EXPECT_EQ(disk->User()->name, "Admin");
  const std::string chat = "C:\\Documents and Settings\\Admin\\chat.exe";
  EXPECT_EQ(Query(reg::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Chat"), chat + '\0');
  EXPECT_EQ(Query(reg::Users, sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Chat"), chat + '\0');
  EXPECT_EQ(Subkeys(reg::Users, ""), (std::vector<std::string>{".DEFAULT", sid, sid + "_Classes"}));

  // HKCR: the user's classes over the machine's; keys of both listed once, in order.
  const std::string user = "{66666666-7777-8888-9999-AAAAAAAAAAAA}", machine = "{11111111-2222-3333-4444-555555555555}";
  EXPECT_EQ(Query(reg::ClassesRoot, "CLSID\\" + user + "\\InprocServer32", ""),
            std::string("C:\\Documents and Settings\\Admin\\userbho.dll\0", 44));
  EXPECT_EQ(Query(reg::ClassesRoot, "CLSID\\" + machine + "\\InprocServer32", ""),
            std::string("C:\\WINDOWS\\System32\\HELPER.DLL\0", 31));
  EXPECT_EQ(Query(reg::ClassesRoot, ".txt", ""), std::string("usertxt\0", 8));
  EXPECT_EQ(Query(reg::CurrentUser, "Software\\Classes\\.txt", ""), std::string("usertxt\0", 8));
  EXPECT_EQ(Query(reg::LocalMachine, "SOFTWARE\\Classes\\.txt", ""), std::string("txtfile\0", 8));
  EXPECT_EQ(Subkeys(reg::ClassesRoot, "CLSID"), (std::vector<std::string>{machine, user}));
}

TEST_F(OfflineRegistryTest, ChangesAreCommittedOnceBackedUpAndReadBack) {
  const std::string software = tree.SoftwareHive(), backup = software + offline::kHiveBackupSuffix;
  const auto original = offtest::ReadFileBytes(software);
  Handle k = 0;
  ASSERT_EQ(reg->RegCreateKeyA(reg::LocalMachine, "SOFTWARE\\Tolvexa\\System", &k), 0);
  const std::string path = "C:\\Tools\\tolvexa.exe";
  EXPECT_EQ(reg->RegSetValueExA(k, "APP_PATH", reg::Sz, path.data(), static_cast<std::uint32_t>(path.size())), 0);
  EXPECT_EQ(offtest::ReadFileBytes(backup), original);  // the hive as it was before the first change
  std::uint32_t type = 0;
  Bytes raw;
  ASSERT_TRUE(offtest::ReadHiveValue(software, "Tolvexa\\System", "APP_PATH", type, raw));
  EXPECT_EQ(type, reg::Sz);
  EXPECT_EQ(raw, offtest::Utf16(path));  // stored as Windows stores it: UTF-16 with its NUL

  // Further changes leave the first backup alone.
  EXPECT_EQ(reg->RegDeleteValueA(k, "APP_PATH"), 0);
  reg->RegCloseKey(k);
  ASSERT_EQ(reg->RegOpenKeyExA(reg::LocalMachine, kRun, 0, reg::KeyAllAccess, &k), 0);
  EXPECT_EQ(reg->RegDeleteValueA(k, "Updater"), 0);
  EXPECT_EQ(reg->RegDeleteValueA(k, "Updater"), 2);
  reg->RegCloseKey(k);
  EXPECT_EQ(offtest::ReadFileBytes(backup), original);
  EXPECT_FALSE(std::filesystem::exists(backup + offline::kHiveBackupSuffix));

  // A key with subkeys is deleted only as a tree.
  EXPECT_EQ(reg->RegDeleteKeyA(reg::LocalMachine, "SOFTWARE\\Tolvexa"), 5);
  EXPECT_EQ(reg->SHDeleteKeyA(reg::LocalMachine, "SOFTWARE\\Tolvexa"), 0);
  EXPECT_FALSE(offtest::HiveKeyExists(software, "Tolvexa"));

  // A fresh look at the disk sees what was written, the other values in their order.
  Reopen();
  k = Open(reg::LocalMachine, kRun);
  std::vector<std::string> names;
  std::string n;
  for (std::uint32_t i = 0; reg->RegEnumValueA(k, i, &n, 256, nullptr, nullptr, nullptr) == 0; ++i) names.push_back(n);
  reg->RegCloseKey(k);
  EXPECT_EQ(names, (std::vector<std::string>{"Tool", "", "Counter"}));
  EXPECT_EQ(disk->HiveOpenCount("SOFTWARE"), 1u);
}

TEST_F(OfflineRegistryTest, ChangesThroughLinksAndMergedViewsLandInTheRightHive) {
  Handle k = 0;
  // CurrentControlSet writes into ControlSet002; HKCR writes into the layer that holds the key.
  ASSERT_EQ(reg->RegCreateKeyA(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Beep", &k), 0);
  const std::uint32_t four = 4;
  EXPECT_EQ(reg->RegSetValueExA(k, "Start", reg::Dword, &four, 4), 0);
  reg->RegCloseKey(k);
  std::uint32_t type = 0;
  Bytes raw;
  ASSERT_TRUE(offtest::ReadHiveValue(tree.SystemHive(), "ControlSet002\\Services\\Beep", "Start", type, raw));
  EXPECT_EQ(raw, (Bytes{4, 0, 0, 0}));
  ASSERT_EQ(reg->RegCreateKeyA(reg::ClassesRoot, ".txt", &k), 0);
  EXPECT_EQ(reg->RegSetValueExA(k, "", reg::Sz, "edited", 6), 0);
  reg->RegCloseKey(k);
  ASSERT_TRUE(offtest::ReadHiveValue(tree.UserClassesHive(), ".txt", "", type, raw));
  EXPECT_EQ(raw, offtest::Utf16("edited"));
  ASSERT_EQ(reg->RegCreateKeyA(reg::ClassesRoot, ".new", &k), 0);  // a new class: the machine's classes
  reg->RegCloseKey(k);
  EXPECT_TRUE(offtest::HiveKeyExists(tree.SoftwareHive(), "Classes\\.new"));
  // Mounted hives and links are no keys that can be deleted.
  EXPECT_EQ(reg->SHDeleteKeyA(reg::LocalMachine, "SOFTWARE"), 5);
  EXPECT_EQ(reg->SHDeleteKeyA(reg::LocalMachine, "SYSTEM\\CurrentControlSet"), 5);
  EXPECT_TRUE(offtest::HiveKeyExists(tree.SystemHive(), "ControlSet002\\Services"));
}

TEST_F(OfflineRegistryTest, AHiveThatCannotBeWrittenStaysAsItWas) {
  const std::string software = tree.SoftwareHive();
  ASSERT_EQ(::chmod(software.c_str(), 0444), 0);
  const auto before = offtest::ReadFileBytes(software);
  Handle k = 0;
  ASSERT_EQ(reg->RegOpenKeyExA(reg::LocalMachine, kRun, 0, reg::KeyAllAccess, &k), 0);
  EXPECT_EQ(reg->RegDeleteValueA(k, "Tool"), 5);
  EXPECT_EQ(reg->RegSetValueExA(k, "Tool", reg::Sz, "x", 1), 5);
  Handle sub = 0;
  EXPECT_EQ(reg->RegCreateKeyA(k, "Sub", &sub), 5);
  // The failed changes are gone from memory too: the key reads as the file holds it.
  std::uint32_t size = 0;
  EXPECT_EQ(reg->RegQueryValueExA(k, "Tool", nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 43u);
  EXPECT_EQ(reg->RegOpenKeyExA(k, "Sub", 0, reg::KeyRead, &sub), 2);
  reg->RegCloseKey(k);
  EXPECT_EQ(offtest::ReadFileBytes(software), before);
  EXPECT_FALSE(std::filesystem::exists(software + offline::kHiveBackupSuffix));
  // A handle opened for reading cannot write.
  k = Open(reg::CurrentUser, "Software");
  EXPECT_EQ(reg->RegSetValueExA(k, "x", reg::Sz, "y", 1), 5);
  reg->RegCloseKey(k);
}

TEST(OfflineLargeKeys, SubkeysOfLargeKeysAreFoundAfterEveryChange) {
  // Keys with many subkeys are looked up through an index of their names: it must follow
  // keys that come and go.
  FakeWindows tree(Layout::Xp);
  {
    offtest::HiveBuilder sys(tree.SystemHive() + ".many");
    for (int i = 0; i < 40; ++i)
      sys.Str("ControlSet002\\Services\\Svc" + std::to_string(i), "ImagePath", "x" + std::to_string(i) + ".sys");
    sys.Dword("Select", "Current", 2).Commit();
  }
  std::filesystem::rename(tree.SystemHive() + ".many", tree.SystemHive());
  std::string error;
  auto disk = offline::OfflineMachine::Open(tree.Root(), "", error);
  ASSERT_TRUE(disk) << error;
  RegistryApi& reg = *disk->platform().registry;
  const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
  auto exists = [&](const std::string& name) {
    Handle k = 0;
    const bool found = reg.RegOpenKeyExA(reg::LocalMachine, services + name, 0, reg::KeyRead, &k) == 0;
    if (found) reg.RegCloseKey(k);
    return found;
  };
  EXPECT_TRUE(exists("SVC7"));
  EXPECT_TRUE(exists("svc39"));
  EXPECT_FALSE(exists("Svc40"));
  EXPECT_EQ(reg.SHDeleteKeyA(reg::LocalMachine, services + "svc7"), 0);
  EXPECT_FALSE(exists("Svc7"));
  Handle k = 0;
  ASSERT_EQ(reg.RegCreateKeyA(reg::LocalMachine, services + "Svc40", &k), 0);
  reg.RegCloseKey(k);
  EXPECT_TRUE(exists("SVC40"));
  EXPECT_TRUE(exists("Svc8"));
  EXPECT_FALSE(offtest::HiveKeyExists(tree.SystemHive(), "ControlSet002\\Services\\Svc7"));
  EXPECT_TRUE(offtest::HiveKeyExists(tree.SystemHive(), "ControlSet002\\Services\\Svc40"));
  EXPECT_EQ(disk->OpenHandleCount(), 0u);
}

TEST(OfflineHiveFile, AnEmptyHiveTakesKeysAndValues) {
  const std::string path = "/tmp/tolvexa-empty-hive-test";
  {
    offtest::HiveBuilder b(path);  // WriteEmptyHive, then hivex adds to it
    b.Str("A\\B", "name", "text").Dword("A", "n", 3).Commit();
  }
  std::uint32_t type = 0;
  Bytes raw;
  ASSERT_TRUE(offtest::ReadHiveValue(path, "a\\b", "NAME", type, raw));
  EXPECT_EQ(raw, offtest::Utf16("text"));
  ASSERT_TRUE(offtest::ReadHiveValue(path, "A", "n", type, raw));
  EXPECT_EQ(type, reg::Dword);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tv
