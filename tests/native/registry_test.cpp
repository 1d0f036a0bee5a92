// The registry layer over the simulated registry.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_machine.h"
#include "sysconfig/registry.h"

namespace tv {
namespace {

TEST(ParseRegPath, RootsAndParts) {
  struct Case {
    const char* path;
    Handle root;
    const char* subKey;
    const char* last;
  };
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE", reg::LocalMachine, "", "HKEY_LOCAL_MACHINE"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", reg::LocalMachine,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Run"},
      {"hkey_local_machine\\Software", reg::LocalMachine, "Software", "Software"},
      {"Hkey_Current_User\\A\\B", reg::CurrentUser, "A\\B", "B"},
      {"HKEY_CLASSES_ROOT\\CLSID", reg::ClassesRoot, "CLSID", "CLSID"},
      {"HKEY_USERS\\.DEFAULT", reg::Users, ".DEFAULT", ".DEFAULT"},
      {"HKEY_PERFORMANCE_DATA\\x", reg::PerformanceData, "x", "x"},
      {"HKEY_CURRENT_CONFIG\\System", reg::CurrentConfig, "System", "System"},
      {"HKEY_DYN_DATA\\PerfStats", reg::DynData, "PerfStats", "PerfStats"},
      {"HKEY_LOCAL_MACHINE\\", reg::LocalMachine, "", ""},
      {"HKLM\\SOFTWARE\\X", 0, "SOFTWARE\\X", "X"},
      {"HKEY_LOCAL_MACHINEX\\a", 0, "a", "a"},
      {"", 0, "", ""},
  };
  for (const Case& c : cases) {
    RegPath p = ParseRegPath(c.path);
    EXPECT_EQ(p.root, c.root) << c.path;
    EXPECT_EQ(p.subKey, c.subKey) << c.path;
    EXPECT_EQ(p.lastComponent, c.last) << c.path;
  }
}

class RegistryLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Install(m.platform()); }
  void TearDown() override {
    EXPECT_EQ(m.OpenHandleCount(), 0u) << "a key was left open";
    platform::Install(Platform{});
  }
  const sim::RegValue* Stored(const std::string& key, const std::string& name) {
    sim::RegKey* k = m.FindKey(key);
    if (!k) return nullptr;
    for (const sim::RegValue& v : k->values)
      if (v.name == name) return &v;
    return nullptr;
  }
  static Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

  sim::SimMachine m;
  const std::string kKey = "HKEY_CURRENT_USER\\Software\\TolvexaTest";
};

TEST_F(RegistryLayerTest, WritesCreateTheKeyAndStoreTheDataAsDocumented) {
  EXPECT_EQ(RegWriteString(reg::CurrentUser, "Software\\TolvexaTest\\New", "S", "text"), 0);
  EXPECT_EQ(RegWriteDword(reg::CurrentUser, "Software\\TolvexaTest\\New", "D", 0xDEADBEEF), 0);
  const sim::RegValue* s = Stored(kKey + "\\New", "S");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->type, reg::Sz);
  // The layer hands the text over without its NUL; the registry stores it with one.
  EXPECT_EQ(s->data, B(std::string("text\0", 5)));
  const sim::RegValue* d = Stored(kKey + "\\New", "D");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->type, reg::Dword);
  EXPECT_EQ(d->data, (Bytes{0xEF, 0xBE, 0xAD, 0xDE}));

  EXPECT_EQ(RegReadString(kKey + "\\New", "S"), "text");
  EXPECT_EQ(RegValueNumber(ReadRegValue(kKey + "\\New", "D")), 0xDEADBEEFu);
  EXPECT_EQ(RegValueText(ReadRegValue(kKey + "\\New", "D")), "3735928559");

  EXPECT_EQ(DeleteRegValueAt(reg::CurrentUser, "Software\\TolvexaTest\\New", "S"), 0);
  EXPECT_EQ(Stored(kKey + "\\New", "S"), nullptr);
  EXPECT_NE(DeleteRegValueAt(reg::CurrentUser, "Software\\TolvexaTest\\New", "S"), 0);
  EXPECT_NE(DeleteRegValueAt(reg::CurrentUser, "Software\\TolvexaTest\\Nowhere", "D"), 0);
}

TEST_F(RegistryLayerTest, WriteRegValueByType) {
  struct Case {
    const char* text;
    std::uint32_t type;
    bool written;
    std::uint32_t storedType;
    Bytes data;
  };
  const Case cases[] = {
      {"C:\\x.exe", reg::Sz, true, reg::Sz, B(std::string("C:\\x.exe\0", 9))},
      {"%SystemRoot%\\x.exe", reg::ExpandSz, true, reg::ExpandSz, B(std::string("%SystemRoot%\\x.exe\0", 19))},
      {"autocheck autochk *", reg::MultiSz, true, reg::MultiSz, B(std::string("autocheck autochk *\0\0", 21))},
      {"12", reg::Dword, true, reg::Dword, {12, 0, 0, 0}},
      {" 7 ", reg::Dword, true, reg::Dword, {7, 0, 0, 0}},
      {"2.5", reg::Dword, true, reg::Dword, {2, 0, 0, 0}},  // rounded half to even
      {"3.5", reg::Dword, true, reg::Dword, {4, 0, 0, 0}},
      {"-1", reg::Dword, true, reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"4294967295", reg::Dword, true, reg::Dword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"4294967296", reg::Dword, false, 0, {}},
      {"abc", reg::Dword, false, 0, {}},
      {"", reg::Dword, false, 0, {}},
      {"bytes", reg::Binary, false, 0, {}},
      {"x", 11, false, 0, {}},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string name = "V" + std::to_string(i++);
    std::int32_t status = WriteRegValue(kKey + "\\Typed", name, c.text, c.type);
    // the key is created in every case
    ASSERT_NE(m.FindKey(kKey + "\\Typed"), nullptr);
    const sim::RegValue* v = Stored(kKey + "\\Typed", name);
    if (!c.written) {
      EXPECT_NE(status, 0) << c.text;
      EXPECT_EQ(v, nullptr) << c.text;
      continue;
    }
    EXPECT_EQ(status, 0) << c.text;
    ASSERT_NE(v, nullptr) << c.text;
    EXPECT_EQ(v->type, c.storedType) << c.text;
    EXPECT_EQ(v->data, c.data) << c.text;
  }
}

TEST_F(RegistryLayerTest, ReadRegValueByType) {
  m.SetString(kKey, "Sz", "C:\\a.exe");
  m.SetString(kKey, "Expand", "%windir%\\b.exe", reg::ExpandSz);
  m.SetValue(kKey, "Multi", reg::MultiSz, B(std::string("one\0two\0\0", 9)));
  m.SetValue(kKey, "Bin", reg::Binary, B("AB"));
  m.SetDword(kKey, "Num", 4);
  m.SetValue(kKey, "Empty", reg::Sz, {});
  m.SetValue(kKey, "Qword", 11, Bytes(8, 1));
  m.SetString(kKey, "Fits", std::string(255, 'f'));       // 256 bytes with its NUL
  m.SetString(kKey, "TooLong", std::string(256, 'g'));    // 257 bytes

  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Sz")), "C:\\a.exe");
  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Expand")), "%windir%\\b.exe");
  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Multi")), std::string("one\0two", 7));
  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Bin")), "AB");
  EXPECT_EQ(std::get<std::uint32_t>(ReadRegValue(kKey, "Num")), 4u);
  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Empty")), "");
  EXPECT_EQ(std::get<std::string>(ReadRegValue(kKey, "Fits")), std::string(255, 'f'));

  for (const char* name : {"TooLong", "Qword", "Missing"}) {
    RegValue v = ReadRegValue(kKey, name);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(v)) << name;
    EXPECT_EQ(RegValueText(v), "") << name;
    EXPECT_EQ(RegValueNumber(v), 0u) << name;
  }
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue(kKey + "\\NoSuchKey", "Sz")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegValue("HKCU\\Software\\TolvexaTest", "Sz")));
  // Root names in any letter case.
  EXPECT_EQ(RegValueText(ReadRegValue("hkey_current_user\\software\\tolvexatest", "sz")), "C:\\a.exe");
}

TEST_F(RegistryLayerTest, ReadStringAndClassDefault) {
  m.SetString(kKey, "Path", "C:\\Program Files\\App\\app.exe");
  m.SetString(kKey, "Long", std::string(1023, 'x'));    // 1024 bytes with its NUL
  m.SetString(kKey, "TooLong", std::string(1024, 'y'));
  m.SetDword(kKey, "Num", 0x31);
  m.SetString("HKEY_CLASSES_ROOT\\CLSID\\{1111}\\InprocServer32", "", "C:\\WINDOWS\\system32\\bho.dll");
  m.SetString("HKEY_CLASSES_ROOT\\CLSID\\{2222}\\InprocServer32", "", "");

  EXPECT_EQ(RegReadString(kKey, "Path"), "C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(RegReadString(kKey, "Long"), std::string(1023, 'x'));
  EXPECT_EQ(RegReadString(kKey, "TooLong"), "");
  EXPECT_EQ(RegReadString(kKey, "Missing"), "");
  EXPECT_EQ(RegReadString(kKey + "\\Nope", "Path"), "");
  EXPECT_EQ(RegReadString("HKLM\\Software", "Path"), "");

  EXPECT_EQ(ReadClassDefault("CLSID\\{1111}\\InprocServer32"), "C:\\WINDOWS\\system32\\bho.dll");
  EXPECT_EQ(ReadClassDefault("clsid\\{1111}\\inprocserver32"), "C:\\WINDOWS\\system32\\bho.dll");
  EXPECT_EQ(ReadClassDefault("CLSID\\{2222}\\InprocServer32"), "");
  EXPECT_EQ(ReadClassDefault("CLSID\\{3333}\\InprocServer32"), "");
}

TEST_F(RegistryLayerTest, DeleteKeyOnlyWithoutSubkeysDeleteTreeAlways) {
  m.Key(kKey + "\\Parent\\Child\\Grandchild");
  m.Key(kKey + "\\Leaf");
  m.SetString(kKey + "\\Leaf", "v", "x");

  EXPECT_NE(DeleteRegKey(kKey + "\\Parent", "Child"), 0);
  EXPECT_NE(m.FindKey(kKey + "\\Parent\\Child\\Grandchild"), nullptr);
  EXPECT_EQ(DeleteRegTree(kKey + "\\Parent", "Child"), 0);
  EXPECT_EQ(m.FindKey(kKey + "\\Parent\\Child"), nullptr);
  EXPECT_NE(m.FindKey(kKey + "\\Parent"), nullptr);

  EXPECT_EQ(DeleteRegKey(kKey, "leaf"), 0);  // names in any letter case
  EXPECT_EQ(m.FindKey(kKey + "\\Leaf"), nullptr);

  // Directly below a root.
  m.Key("HKEY_CURRENT_USER\\TopLeaf");
  m.Key("HKEY_CURRENT_USER\\TopTree\\Sub");
  EXPECT_EQ(DeleteRegKey("HKEY_CURRENT_USER", "TopLeaf"), 0);
  EXPECT_EQ(m.FindKey("HKEY_CURRENT_USER\\TopLeaf"), nullptr);
  EXPECT_EQ(DeleteRegTree("HKEY_CURRENT_USER", "TopTree"), 0);
  EXPECT_EQ(m.FindKey("HKEY_CURRENT_USER\\TopTree"), nullptr);

  // A parent that cannot be opened is a failure, not a success.
  EXPECT_NE(DeleteRegKey(kKey + "\\Nowhere", "Child"), 0);
  EXPECT_NE(DeleteRegTree(kKey + "\\Nowhere", "Child"), 0);
}

TEST_F(RegistryLayerTest, EmptyNamesAndUnknownRootsDeleteNothing) {
  m.Key(kKey + "\\Keep\\Sub");
  m.SetString(kKey + "\\Keep", "v", "x");
  EXPECT_NE(DeleteRegKey(kKey + "\\Keep\\Sub", ""), 0);
  EXPECT_NE(DeleteRegTree(kKey + "\\Keep", ""), 0);
  EXPECT_NE(m.FindKey(kKey + "\\Keep\\Sub"), nullptr);

  const std::uint64_t calls = m.CallCount("RegCreateKeyA") + m.CallCount("RegOpenKeyA") +
                              m.CallCount("RegOpenKeyExA") + m.CallCount("SHDeleteKeyA") +
                              m.CallCount("RegDeleteKeyA");
  EXPECT_EQ(DeleteRegKey("HKLM\\Software\\TolvexaTest", "Keep"), 0);
  EXPECT_NE(DeleteRegTree("HKCU\\Software", "TolvexaTest"), 0);
  EXPECT_NE(WriteRegValue("HKCU\\Software\\TolvexaTest", "v", "y", reg::Sz), 0);
  EXPECT_NE(RegWriteString(0, "Software\\TolvexaTest", "v", "y"), 0);
  EXPECT_NE(DeleteRegValue("HKCU\\Software\\TolvexaTest\\Keep", "v"), 0);
  EXPECT_EQ(RegReadString("HKCU\\Software\\TolvexaTest\\Keep", "v"), "");
  EXPECT_EQ(m.CallCount("RegCreateKeyA") + m.CallCount("RegOpenKeyA") + m.CallCount("RegOpenKeyExA") +
                m.CallCount("SHDeleteKeyA") + m.CallCount("RegDeleteKeyA"),
            calls);
  EXPECT_NE(m.FindKey(kKey + "\\Keep\\Sub"), nullptr);
  EXPECT_NE(Stored(kKey + "\\Keep", "v"), nullptr);
}

TEST_F(RegistryLayerTest, DeleteValueByFullPath) {
  m.SetString(kKey, "Gone", "x");
  m.SetString(kKey, "Stays", "y");
  EXPECT_EQ(DeleteRegValue(kKey, "Gone"), 0);
  EXPECT_EQ(Stored(kKey, "Gone"), nullptr);
  EXPECT_NE(Stored(kKey, "Stays"), nullptr);
  EXPECT_NE(DeleteRegValue(kKey, "Gone"), 0);
}

TEST_F(RegistryLayerTest, Utf8TextSurvivesTheRoundTrip) {
  const std::string text = "C:\\Programme\\Größe\\工具.exe";
  EXPECT_EQ(WriteRegValue(kKey, "Intl", text, reg::Sz), 0);
  EXPECT_EQ(RegReadString(kKey, "Intl"), text);
  EXPECT_EQ(RegValueText(ReadRegValue(kKey, "Intl")), text);
}

}  // namespace
}  // namespace tv
