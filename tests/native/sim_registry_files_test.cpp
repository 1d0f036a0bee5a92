// The simulated machine's registry and file system answer the way Windows does where the
// logic depends on it: ERROR_MORE_DATA with the needed size, 259 at the end of an enumeration,
// no deletion of a key with subkeys, case-insensitive names, FindFirstFile patterns.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/sim_machine.h"

namespace {
using tv::Handle;
namespace reg = tv::reg;

TEST(SimRegistry, QueryAnswersMoreDataWithTheNeededSizeAndEnumerationsEndWith259) {
  tv::sim::SimMachine m;
  const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  m.SetString(run, "", "default.exe");
  m.SetString(run, "Long", std::string(300, 'x'));
  m.SetDword(run, "Number", 7);
  auto& r = *m.platform().registry;

  Handle key = 0;
  ASSERT_EQ(0, r.RegOpenKeyExA(reg::LocalMachine, "software\\MICROSOFT\\windows\\currentversion\\run", 0,
                               reg::KeyRead, &key));
  std::uint32_t type = 0, size = 0;
  ASSERT_EQ(0, r.RegQueryValueExA(key, "LONG", &type, nullptr, &size));  // size only
  EXPECT_EQ(reg::Sz, type);
  EXPECT_EQ(301u, size);  // text and its NUL
  char buf[256];
  size = sizeof buf;
  EXPECT_EQ(234, r.RegQueryValueExA(key, "Long", &type, buf, &size));
  EXPECT_EQ(301u, size);
  EXPECT_EQ(2, r.RegQueryValueExA(key, "Missing", &type, nullptr, &size));

  // RegEnumValue: insertion order; data that does not fit -> 234; past the end -> 259.
  std::string name;
  size = sizeof buf;
  ASSERT_EQ(0, r.RegEnumValueA(key, 0, &name, 256, &type, buf, &size));
  EXPECT_EQ("", name);
  EXPECT_STREQ("default.exe", buf);
  size = sizeof buf;
  EXPECT_EQ(234, r.RegEnumValueA(key, 1, &name, 256, &type, buf, &size));
  EXPECT_EQ(301u, size);
  EXPECT_EQ(234, r.RegEnumValueA(key, 1, &name, 4, &type, nullptr, nullptr));  // name buffer too small
  size = 4;
  ASSERT_EQ(0, r.RegEnumValueA(key, 2, &name, 256, &type, buf, &size));
  EXPECT_EQ("Number", name);
  EXPECT_EQ(reg::Dword, type);
  EXPECT_EQ(259, r.RegEnumValueA(key, 3, &name, 256, &type, nullptr, nullptr));
  // A handle opened for reading cannot write.
  EXPECT_EQ(5, r.RegSetValueExA(key, "x", reg::Sz, "a", 2));
  EXPECT_EQ(0, r.RegCloseKey(key));
  EXPECT_EQ(6, r.RegCloseKey(key));
  EXPECT_EQ(0u, m.OpenHandleCount());
}

TEST(SimRegistry, DeleteKeyRefusesSubkeysShDeleteKeyRemovesTheTreeCreateKeyMakesThePath) {
  tv::sim::SimMachine m;
  auto& r = *m.platform().registry;
  Handle k = 0;
  ASSERT_EQ(0, r.RegCreateKeyA(reg::CurrentUser, "Software\\Tv\\A\\B", &k));
  ASSERT_EQ(0, r.RegSetValueExA(k, "v", reg::Dword, "\x01\x00\x00\x00", 4));
  r.RegCloseKey(k);
  ASSERT_NE(nullptr, m.FindKey("HKEY_CURRENT_USER\\SOFTWARE\\tv\\a\\b"));

  Handle tv = 0;
  ASSERT_EQ(0, r.RegOpenKeyA(reg::CurrentUser, "Software\\TV", &tv));
  EXPECT_EQ(5, r.RegDeleteKeyA(tv, "a"));  // has a subkey
  EXPECT_NE(nullptr, m.FindKey("HKCU\\Software\\Tv\\A"));
  EXPECT_EQ(2, r.RegDeleteKeyA(tv, "nothing"));
  std::string sub;
  EXPECT_EQ(0, r.RegEnumKeyExA(tv, 0, &sub, 256));
  EXPECT_EQ("A", sub);
  EXPECT_EQ(259, r.RegEnumKeyExA(tv, 1, &sub, 256));
  EXPECT_EQ(0, r.SHDeleteKeyA(tv, "A"));
  EXPECT_EQ(nullptr, m.FindKey("HKCU\\Software\\Tv\\A"));
  EXPECT_EQ(259, r.RegEnumKeyExA(tv, 0, &sub, 256));
  r.RegCloseKey(tv);
  EXPECT_EQ(0u, m.OpenHandleCount());
}

TEST(SimFiles, PathsAreCaseInsensitiveAndFindFirstFileListsTheWayNtfsDoes) {
  tv::sim::SimMachine m;
  m.AddFile("C:\\Data\\b.TXT", tv::fattr::Archive, {'h', 'i'});
  m.AddFile("C:\\Data\\A.exe", tv::fattr::Hidden | tv::fattr::System);
  m.AddFile("C:\\Data\\sub\\deep.dll");  // implies the folder C:\Data\sub
  auto& f = *m.platform().files;

  EXPECT_EQ(tv::fattr::Hidden | tv::fattr::System, f.GetFileAttributesA("c:\\DATA\\a.EXE"));
  EXPECT_EQ(tv::fattr::Directory, f.GetFileAttributesA("C:\\data\\SUB\\"));
  EXPECT_EQ(tv::fattr::Invalid, f.GetFileAttributesA("C:\\Data\\none.txt"));

  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"C:\\Data\\*", {".", "..", "A.exe", "b.TXT", "sub"}},
      {"c:\\data\\*.*", {".", "..", "A.exe", "b.TXT", "sub"}},
      {"C:\\Data\\*.txt", {"b.TXT"}},
      {"C:\\Data\\?.exe", {"A.exe"}},
      {"C:\\DATA\\B.txt", {"b.TXT"}},
      {"C:\\Data\\*.sys", {}},
  };
  for (const auto& c : cases) {
    tv::FindData fd;
    std::vector<std::string> got;
    Handle h = f.FindFirstFileA(c.pattern, fd);
    if (h != tv::kInvalidHandle) {
      do got.push_back(fd.fileName);
      while (f.FindNextFileA(h, fd));
      EXPECT_EQ(18u, m.platform().system->GetLastError()) << c.pattern;
      EXPECT_TRUE(f.FindClose(h));
    } else {
      EXPECT_EQ(2u, m.platform().system->GetLastError()) << c.pattern;
    }
    EXPECT_EQ(c.names, got) << c.pattern;
  }
  tv::FindData fd;
  EXPECT_EQ(tv::kInvalidHandle, f.FindFirstFileA("C:\\Nowhere\\*", fd));
  EXPECT_EQ(3u, m.platform().system->GetLastError());

  // Reading through a handle; a read-only file refuses write access; an open file cannot be deleted.
  Handle h = f.CreateFileA("C:\\DATA\\B.txt", tv::access::GenericRead, 1, 3, 0x80);
  ASSERT_NE(tv::kInvalidHandle, h);
  char buf[8] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(f.ReadFile(h, buf, sizeof buf, &got));
  EXPECT_EQ(2u, got);
  EXPECT_FALSE(f.DeleteFileA("C:\\Data\\b.txt"));
  EXPECT_EQ(32u, m.platform().system->GetLastError());
  m.platform().system->CloseHandle(h);
  EXPECT_TRUE(f.DeleteFileA("C:\\Data\\b.txt"));
  EXPECT_EQ(0u, m.OpenHandleCount());
}

}  // namespace
