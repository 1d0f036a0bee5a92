// Version strings by the raw search of a version resource.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fileinfo/version.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

// Builds String entries the way the resource compiler lays them out: each entry 32-bit
// aligned, header (length, value length, type 1), key, NUL, padding, value, NUL.
class RawResource {
 public:
  RawResource() {
    // A stand-in for the headers in front of the first string table (a multiple of 4).
    for (int i = 0; i < 8; ++i) bytes.push_back(0xEE);
  }
  RawResource& Entry(const std::string& key, const std::u16string& value, std::uint16_t type = 1) {
    Align();
    const std::size_t start = bytes.size();
    Unit(0);  // length, patched below
    Unit(static_cast<std::uint16_t>(value.size() + 1));
    Unit(type);
    for (unsigned char c : key) Unit(c);
    Unit(0);
    Align();
    for (char16_t c : value) Unit(static_cast<std::uint16_t>(c));
    Unit(0);
    const std::size_t length = bytes.size() - start;
    bytes[start] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[start + 1] = static_cast<std::uint8_t>(length >> 8);
    return *this;
  }
  void Unit(std::uint16_t u) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  void Align() {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
  }
  Bytes bytes;
};

class VersionTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Install(m.platform()); }
  void TearDown() override { platform::Install(Platform{}); }
  void AddVersioned(const std::string& path, Bytes resource) {
    m.AddFile(path, fattr::Archive, Bytes(64, 0x4D)).versionResource = std::move(resource);
  }
  sim::SimMachine m;
};

TEST_F(VersionTest, EveryKeyOddAndEvenLengths) {
  // Key names of odd length need one padding unit after their NUL, even ones none.
  const std::vector<std::pair<std::string, std::string>> strings = {
      {"Comments", "Even key, eight"},                  // 8
      {"InternalName", "inner"},                        // 12
      {"ProductName", "Tolvexa Suite"},                 // 11
      {"CompanyName", "Acme Corporation"},              // 11
      {"LegalCopyright", "Copyright (C) 2026"},         // 14; the value is 18 characters
      {"ProductVersion", "2.0"},                        // 14
      {"FileDescription", "Acme widget host"},          // 15
      {"LegalTrademarks", "Acme(R)"},                   // 15
      {"PrivateBuild", "pb"},                           // 12
      {"FileVersion", "6.00.8105 (xpsp.080413-2111)"},  // 11; returned exactly as stored
      {"OriginalFilename", "widget.exe"},               // 16
      {"SpecialBuild", "s"},                            // 12
  };
  AddVersioned("C:\\App\\widget.exe", sim::BuildVersionResource({{"040904b0", strings}}));

  RawResource raw;
  for (const auto& [key, value] : strings) raw.Entry(key, std::u16string(value.begin(), value.end()));
  AddVersioned("C:\\App\\raw.exe", raw.bytes);

  for (const char* path : {"C:\\App\\widget.exe", "C:\\App\\raw.exe"}) {
    for (int key = 0; key < 12; ++key)
      EXPECT_EQ(GetFileVersionString(path, key), strings[key].second) << path << " key " << key;
  }
  EXPECT_EQ(GetFileVersionString("C:\\App\\widget.exe", LegalCopyright).size(), 18u);
}

TEST_F(VersionTest, FirstLanguageBlockWins) {
  AddVersioned("C:\\App\\two.exe",
               sim::BuildVersionResource({{"040704b0", {{"CompanyName", "Erste GmbH"}, {"FileVersion", "1.0"}}},
                                          {"040904b0", {{"CompanyName", "Second Inc"}, {"FileVersion", "2.0"},
                                                        {"Comments", "only here"}}}}));
  EXPECT_EQ(GetFileVersionString("C:\\App\\two.exe", CompanyName), "Erste GmbH");
  EXPECT_EQ(GetFileVersionString("C:\\App\\two.exe", FileVersion), "1.0");
  // A key only the second block holds is still found.
  EXPECT_EQ(GetFileVersionString("C:\\App\\two.exe", Comments), "only here");
}

TEST_F(VersionTest, KeysMatchCaseSensitivelyAndOnlyAsTextEntries) {
  AddVersioned("C:\\App\\lower.exe", RawResource()
                                         .Entry("Companyname", u"lower-case n")
                                         .Entry("FileVersion", u"5.1")
                                         .bytes);
  EXPECT_EQ(GetFileVersionString("C:\\App\\lower.exe", CompanyName), "");
  EXPECT_EQ(GetFileVersionString("C:\\App\\lower.exe", FileVersion), "5.1");

  // A value that reads like a key name, and a binary entry (type 0) named like one, are not keys.
  AddVersioned("C:\\App\\decoy.exe", RawResource()
                                         .Entry("Comments", u"CompanyName")
                                         .Entry("CompanyName", u"binary", 0)
                                         .Entry("CompanyName", u"Real Co")
                                         .bytes);
  EXPECT_EQ(GetFileVersionString("C:\\App\\decoy.exe", CompanyName), "Real Co");
}

TEST_F(VersionTest, NonAsciiValuesComeBackAsUtf8) {
  AddVersioned("C:\\App\\intl.exe", RawResource()
                                        .Entry("CompanyName", u"Fähre 株式会社")
                                        .Entry("FileDescription", u"\U0001F600 smile")
                                        .Entry("Comments", std::u16string(u"bad \xD800 half"))
                                        .bytes);
  EXPECT_EQ(GetFileVersionString("C:\\App\\intl.exe", CompanyName), "Fähre 株式会社");
  EXPECT_EQ(GetFileVersionString("C:\\App\\intl.exe", FileDescription), "\xF0\x9F\x98\x80 smile");
  EXPECT_EQ(GetFileVersionString("C:\\App\\intl.exe", Comments), "bad \xEF\xBF\xBD half");
}

TEST_F(VersionTest, FileWithoutResourceLeavesKeyNamesUnfilled) {
  VersionKeyNames().fill("");
  m.AddFile("C:\\App\\plain.exe", fattr::Archive, Bytes(100, 0x90));
  for (int key = 0; key < 12; ++key) {
    EXPECT_EQ(GetFileVersionString("C:\\App\\plain.exe", key), "");
    EXPECT_EQ(GetFileVersionString("C:\\App\\missing.exe", key), "");
  }
  EXPECT_EQ(VersionKeyNames()[12], "");
  EXPECT_EQ(VersionKeyNames()[3], "");

  AddVersioned("C:\\App\\v.exe", RawResource().Entry("CompanyName", u"Co").bytes);
  EXPECT_EQ(GetFileVersionString("C:\\App\\v.exe", CompanyName), "Co");
  EXPECT_EQ(VersionKeyNames()[12], "Ready");
  EXPECT_EQ(VersionKeyNames()[3], "CompanyName");
  EXPECT_EQ(VersionKeyNames()[11], "SpecialBuild");
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(VersionTest, ReadVersionStringsReadsTheResourceOnce) {
  AddVersioned("C:\\App\\w.exe", sim::BuildVersionResource({{"040904b0",
                                                              {{"CompanyName", "Acme"},
                                                               {"FileDescription", "Widget"},
                                                               {"FileVersion", "1.2.3.4"}}}}));
  const std::uint64_t before = m.CallCount("GetFileVersionInfoA");
  VersionStrings v = ReadVersionStrings("C:\\App\\w.exe");
  EXPECT_EQ(m.CallCount("GetFileVersionInfoA") - before, 1u);
  EXPECT_EQ(v.Company, "Acme");
  EXPECT_EQ(v.Description, "Widget");
  EXPECT_EQ(v.Version, "1.2.3.4");
  VersionStrings none = ReadVersionStrings("C:\\App\\missing.exe");
  EXPECT_EQ(none.Company + none.Description + none.Version, "");
}

// Cut a resource at every length: the answer is either the whole value or nothing, and the
// search never reads past the end (the sanitizer build checks the reads).
TEST(VersionSearch, TruncatedResourceNeverReadsPastTheEnd) {
  InitVersionKeys();
  const Bytes full = RawResource()
                         .Entry("Comments", u"even")
                         .Entry("CompanyName", u"Odd Co")
                         .Entry("LegalCopyright", u"Copyright (C) 2026")
                         .bytes;
  const std::pair<int, std::string> expected[] = {
      {Comments, "even"}, {CompanyName, "Odd Co"}, {LegalCopyright, "Copyright (C) 2026"}};
  for (std::size_t len = 0; len <= full.size(); ++len) {
    // An exactly sized heap copy, so that any read past its end is caught.
    std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
    cut.shrink_to_fit();
    for (const auto& [key, value] : expected) {
      std::string got = FindVersionString(cut, key);
      EXPECT_TRUE(got.empty() || got == value) << "length " << len << " key " << key << ": " << got;
    }
  }
  EXPECT_EQ(FindVersionString(full, LegalCopyright), "Copyright (C) 2026");
}

TEST(VersionSearch, GarbageAndOddShapes) {
  InitVersionKeys();
  // The needle right at the end, with no NUL or no value after it.
  RawResource tail;
  tail.Unit(1);
  for (char c : std::string("CompanyName")) tail.Unit(static_cast<std::uint8_t>(c));
  EXPECT_EQ(FindVersionString(tail.bytes, CompanyName), "");
  tail.Unit(0);
  EXPECT_EQ(FindVersionString(tail.bytes, CompanyName), "");
  tail.Unit(0);
  tail.Unit('x');
  EXPECT_EQ(FindVersionString(tail.bytes, CompanyName), "");  // value without its NUL
  tail.bytes.push_back(0);                                     // odd size: half a code unit
  EXPECT_EQ(FindVersionString(tail.bytes, CompanyName), "");
  tail.bytes.push_back(0);
  EXPECT_EQ(FindVersionString(tail.bytes, CompanyName), "x");

  // Keys outside 0..11 find nothing.
  const Bytes ok = RawResource().Entry("CompanyName", u"Co").bytes;
  EXPECT_EQ(FindVersionString(ok, -1), "");
  EXPECT_EQ(FindVersionString(ok, 12), "");
  EXPECT_EQ(FindVersionString({}, CompanyName), "");

  // Random bytes sprinkled with needles never crash and never give more than the buffer holds.
  std::mt19937 rng(20261209);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> buf(rng() % 300);
    for (auto& b : buf) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0 : rng());
    if (buf.size() > 40 && round % 2 == 0) {
      std::size_t at = (rng() % (buf.size() - 30)) & ~std::size_t(1);
      const std::u16string needle = u"\x0001" u"FileVersion";
      for (std::size_t i = 0; i < needle.size() && at + 2 * i + 1 < buf.size(); ++i) {
        buf[at + 2 * i] = static_cast<std::uint8_t>(needle[i] & 0xFF);
        buf[at + 2 * i + 1] = static_cast<std::uint8_t>(needle[i] >> 8);
      }
    }
    buf.shrink_to_fit();
    for (int key = 0; key < 12; ++key) EXPECT_LE(FindVersionString(buf, key).size(), buf.size() * 2);
  }
}

}  // namespace
}  // namespace tv
