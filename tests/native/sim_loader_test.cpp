// Version resources built by the simulated machine have the layout of the resource compiler,
// and scenario files load into the machine they describe.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "platform/sim/sim_machine.h"

namespace {

std::uint16_t U16(const tv::Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

struct Node {
  std::size_t offset = 0;
  std::uint16_t length = 0, valueLength = 0, type = 0;
  std::u16string key;
  std::size_t valueOffset = 0;
  std::vector<Node> children;
};

// Walks one entry, checking what every reader relies on: 32-bit aligned start, key NUL-terminated,
// value on the next 32-bit boundary, children inside the parent's wLength.
Node Parse(const tv::Bytes& b, std::size_t at, std::size_t end, std::size_t valueBytesPerUnit) {
  Node n;
  n.offset = at;
  EXPECT_EQ(0u, at % 4) << "entry at " << at;
  n.length = U16(b, at);
  n.valueLength = U16(b, at + 2);
  n.type = U16(b, at + 4);
  EXPECT_LE(at + n.length, end);
  std::size_t p = at + 6;
  while (U16(b, p) != 0) {
    n.key.push_back(static_cast<char16_t>(U16(b, p)));
    p += 2;
  }
  p += 2;
  p = (p + 3) & ~std::size_t(3);
  n.valueOffset = p;
  std::size_t childKind = valueBytesPerUnit;
  std::size_t valueBytes = n.type == 1 ? n.valueLength * 2u : n.valueLength;
  if (n.key == u"VS_VERSION_INFO") valueBytes = n.valueLength;
  p += valueBytes;
  while (true) {
    p = (p + 3) & ~std::size_t(3);
    if (p >= at + n.length) break;
    n.children.push_back(Parse(b, p, at + n.length, childKind));
    p += n.children.back().length;
  }
  return n;
}

std::u16string ValueText(const tv::Bytes& b, const Node& n) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < n.valueLength; ++i) s.push_back(static_cast<char16_t>(U16(b, n.valueOffset + 2 * i)));
  return s;
}

TEST(SimVersionResource, EntriesAreAlignedWithHeadersAndUtf16TextInSeveralStringTables) {
  tv::Bytes b = tv::sim::BuildVersionResource(
      {{"040904b0", {{"CompanyName", "Acme"}, {"Comments", "odd"}, {"FileVersion", "1.2.3.4"}}},
       {"080404b0", {{"CompanyName", "\xE5\x85\xAC"}, {"LegalCopyright", "(c) 2026 Acme Corp."}}}});
  Node root = Parse(b, 0, b.size(), 1);
  EXPECT_EQ(b.size(), root.length);
  EXPECT_EQ(u"VS_VERSION_INFO", root.key);
  EXPECT_EQ(52, root.valueLength);
  EXPECT_EQ(0xFEEF04BDu, U16(b, root.valueOffset) | (std::uint32_t(U16(b, root.valueOffset + 2)) << 16));
  EXPECT_EQ(0x00010002u, U16(b, root.valueOffset + 8) | (std::uint32_t(U16(b, root.valueOffset + 10)) << 16));
  ASSERT_EQ(2u, root.children.size());

  const Node& sfi = root.children[0];
  EXPECT_EQ(u"StringFileInfo", sfi.key);
  EXPECT_EQ(1, sfi.type);
  ASSERT_EQ(2u, sfi.children.size());
  EXPECT_EQ(u"040904b0", sfi.children[0].key);
  EXPECT_EQ(u"080404b0", sfi.children[1].key);
  const Node& t0 = sfi.children[0];
  ASSERT_EQ(3u, t0.children.size());
  const char16_t* keys[] = {u"CompanyName", u"Comments", u"FileVersion"};
  const char16_t* values[] = {u"Acme", u"odd", u"1.2.3.4"};
  for (int i = 0; i < 3; ++i) {
    const Node& s = t0.children[i];
    EXPECT_EQ(keys[i], s.key);
    EXPECT_EQ(1, s.type);
    EXPECT_EQ(std::u16string(values[i]).size() + 1, s.valueLength);  // characters with the NUL
    EXPECT_EQ(values[i], ValueText(b, s));
    // the type field (1) stands right before the key: what a raw search for "\x01" + key relies on
    EXPECT_EQ(1, U16(b, s.offset + 4));
  }
  EXPECT_EQ(u"\u516C", ValueText(b, sfi.children[1].children[0]));
  EXPECT_EQ(u"(c) 2026 Acme Corp.", ValueText(b, sfi.children[1].children[1]));

  const Node& vfi = root.children[1];
  EXPECT_EQ(u"VarFileInfo", vfi.key);
  ASSERT_EQ(1u, vfi.children.size());
  const Node& tr = vfi.children[0];
  EXPECT_EQ(u"Translation", tr.key);
  EXPECT_EQ(0, tr.type);
  ASSERT_EQ(8, tr.valueLength);
  EXPECT_EQ(0x0409, U16(b, tr.valueOffset));
  EXPECT_EQ(0x04b0, U16(b, tr.valueOffset + 2));
  EXPECT_EQ(0x0804, U16(b, tr.valueOffset + 4));
}

TEST(SimScenario, SampleLoadsAndTheDefaultMachineIsTheSample) {
  auto m = tv::sim::LoadScenario(std::string(TV_SOURCE_DIR) + "/scenarios/xp-sample.json");
  auto d = tv::sim::DefaultMachine();
  auto& s = m->state;
  EXPECT_EQ(5u, s.version.major);
  EXPECT_EQ("Service Pack 3", s.version.csdVersion);
  EXPECT_EQ("C:\\Documents and Settings\\Admin", s.specialFolders.at(40));

  // files: attributes, version blocks (first block first), contents
  tv::sim::File* hidden = m->FindFile("c:\\windows\\SYSTEM32\\svch0st.exe");
  ASSERT_NE(nullptr, hidden);
  EXPECT_EQ(tv::fattr::Hidden | tv::fattr::System, hidden->attributes);
  auto& files = *m->platform().files;
  std::uint32_t h = 0;
  std::uint32_t size = files.GetFileVersionInfoSizeA("C:\\WINDOWS\\explorer.exe", &h);
  EXPECT_GT(size, 0u);
  EXPECT_EQ(0u, files.GetFileVersionInfoSizeA("C:\\WINDOWS\\system32\\drivers\\etc\\hosts", &h));

  // registry: typed values in file order, the services' keys
  auto& r = *m->platform().registry;
  tv::sim::RegKey* run = m->FindKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  ASSERT_NE(nullptr, run);
  ASSERT_EQ(2u, run->values.size());
  EXPECT_EQ("AcmeUpdate", run->values[0].name);
  tv::sim::RegKey* sm = m->FindKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager");
  ASSERT_NE(nullptr, sm);
  EXPECT_EQ(tv::reg::MultiSz, sm->values[0].type);
  EXPECT_EQ(std::string("autocheck autochk *\0\0", 21),
            std::string(sm->values[0].data.begin(), sm->values[0].data.end()));
  tv::Handle k = 0;
  ASSERT_EQ(0, r.RegOpenKeyA(tv::reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Schedule", &k));
  std::uint32_t type = 0, start = 0;
  size = 4;
  EXPECT_EQ(0, r.RegQueryValueExA(k, "Start", &type, &start, &size));
  EXPECT_EQ(2u, start);
  r.RegCloseKey(k);
  // a service in the registry only, one in both
  EXPECT_EQ(nullptr, m->FindService("rkhide"));
  EXPECT_NE(nullptr, m->FindKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\rkhide"));
  ASSERT_NE(nullptr, m->FindService("themes"));
  EXPECT_EQ(7u, m->FindService("themes")->state);

  // processes, handles, windows, kernel modules, endpoints
  tv::sim::Process* hiddenProc = m->FindProcess(1745);  // low bits ignored
  ASSERT_NE(nullptr, hiddenProc);
  EXPECT_TRUE(hiddenProc->hiddenFromToolhelp);
  EXPECT_EQ(tv::sim::Protection::DenyAll, m->FindProcess(676)->protection);
  EXPECT_EQ(0x7C900000u, m->FindProcess(840)->modules.at(1).base);
  EXPECT_EQ(1000u, s.selfPid);
  EXPECT_EQ(4u, m->FindProcess(1000)->modules.size());
  EXPECT_TRUE(s.handles.at(6).nameQueryBlocks);
  EXPECT_EQ(s.processObjectType, s.handles.at(0).type);
  EXPECT_EQ(0x10024u, s.windows.at(2).hwnd);
  EXPECT_EQ(0x10020u, s.windows.at(2).parent);
  EXPECT_EQ("dxgthk.sys", s.kernelModules.at(3).path);
  EXPECT_EQ(1042, s.tcp.at(3).localPort);
  EXPECT_EQ(std::vector<std::uint32_t>{1744}, s.rawOwners);

  // The built-in default machine is this very scenario.
  ASSERT_EQ(s.processes.size(), d->state.processes.size());
  for (std::size_t i = 0; i < s.processes.size(); ++i) EXPECT_EQ(s.processes[i].pid, d->state.processes[i].pid);
  EXPECT_EQ(s.files.size(), d->state.files.size());
  EXPECT_EQ(s.services.size(), d->state.services.size());
}

TEST(SimScenario, TheTrustServiceIsThereUnlessTheScenarioSaysOtherwise) {
  EXPECT_TRUE(tv::sim::LoadScenarioText("{}")->platform().trust->TrustServiceAvailable());
  auto m = tv::sim::LoadScenarioText(R"({"trustService": false})");
  EXPECT_FALSE(m->platform().trust->TrustServiceAvailable());
  EXPECT_THROW(tv::sim::LoadScenarioText(R"({"trustService": 0})"), std::runtime_error);
}

TEST(SimScenario, MalformedFilesFailWithAReadableMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"{", "not valid JSON"},
      {R"({"proceses": []})", "unknown field \"proceses\""},
      {R"({"processes": [{"pid": "x12"}]})", "processes[0].pid"},
      {R"({"registry": [{"key": "HKXX\\a"}]})", "unknown registry root"},
      {R"({"files": [{"path": "C:\\a", "attributes": "hiden"}]})", "unknown attribute"},
  };
  for (const auto& [text, message] : cases) {
    try {
      tv::sim::LoadScenarioText(text);
      ADD_FAILURE() << text << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(message)) << e.what();
    }
  }
}

}  // namespace
