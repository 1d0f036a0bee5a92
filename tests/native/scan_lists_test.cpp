// Scan records, the list file format and the trust list file on simulated machines.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "scan_fixture.h"

namespace tv::test {
namespace {

// One text field as the format table lays it out: the ANSI bytes blank-padded to the width, or
// NUL bytes for a field never assigned.
std::string Field(const std::optional<std::string>& ansi, std::size_t width) {
  if (!ansi) return std::string(width, '\0');
  std::string s = ansi->substr(0, width);
  s.resize(width, ' ');
  return s;
}
std::string Le32(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}
std::string Record(const std::optional<std::string>& object, const std::optional<std::string>& keyPath,
                   const std::optional<std::string>& valueName, const std::optional<std::string>& group,
                   std::int32_t entryKind, std::int32_t category, std::int32_t risk, std::int32_t result) {
  return Field(object, 260) + Field(keyPath, 1024) + Field(valueName, 256) + Field(group, 256) + Le32(entryKind) +
         Le32(category) + Le32(risk) + Le32(result);
}

class ScanListsTest : public ScanTest {
 protected:
  void WriteFile(const std::string& path, const std::string& bytes) {
    sim::File* f = m.FindFile(path);
    if (!f) f = &m.AddFile(path);
    f->contents.assign(bytes.begin(), bytes.end());
  }
  // Three records that use the corners of the format: Windows-1252 letters (é is 0xE9), a byte
  // the code page leaves unassigned (0x81), fields never assigned, an empty assigned field, a
  // NUL inside a text, negative numbers.
  std::string Fixture() {
    return Record(std::string("C:\\Program Files\\Caf\xE9\\app.exe"), std::string(kHkcuRun), std::string("updater"),
                  std::string("Run"), 0, 32, 4, 2) +
           Record(std::string("C:\\odd\x81name.dll"), std::nullopt, std::string(""), std::nullopt, 1, 64, 1, 0) +
           Record(std::string("ab\0cd", 5), std::string("HKEY_LOCAL_MACHINE\\X"), std::nullopt, std::string("BHOGroup"),
                  -1, -64, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u));
  }
};

TEST_F(ScanListsTest, LoadsWholeRecordsAndIgnoresTrailingBytes) {
  WriteFile(kTrustFile, Fixture() + std::string(100, 'Z'));
  ASSERT_TRUE(LoadTrustList());
  const ScanTable& t = TrustList();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].Object.str(), "C:\\Program Files\\Caf\u00e9\\app.exe");
  EXPECT_EQ(t[0].KeyPath.str(), kHkcuRun);
  EXPECT_EQ(t[0].ValueName.str(), "updater");
  EXPECT_EQ(t[0].Group.str(), "Run");
  EXPECT_EQ((std::vector<std::int32_t>{t[0].EntryKind, t[0].Category, t[0].RiskLevel, t[0].Result}),
            (std::vector<std::int32_t>{0, 32, 4, 2}));
  EXPECT_EQ(LocationText(t[0]), kHkcuRun + " {updater}");

  EXPECT_EQ(t[1].Object.str(), "C:\\odd\u0081name.dll");
  EXPECT_FALSE(t[1].KeyPath.assigned());  // NUL padding: never assigned, read as empty
  EXPECT_EQ(t[1].KeyPath.str(), "");
  EXPECT_TRUE(t[1].ValueName.assigned());  // blanks: an empty value
  EXPECT_EQ(t[1].ValueName.str(), "");
  EXPECT_EQ(LocationText(t[1]), "\\");

  EXPECT_EQ(t[2].Object.str(), "ab");  // readers stop at the first NUL
  EXPECT_EQ((std::vector<std::int32_t>{t[2].EntryKind, t[2].Category, t[2].RiskLevel, t[2].Result}),
            (std::vector<std::int32_t>{-1, -64, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u)}));
}

TEST_F(ScanListsTest, MissingEmptyOrShortFilesLeaveTheList) {
  TrustList().push_back(Item("c:\\kept.exe"));
  EXPECT_FALSE(LoadTrustList());  // no file
  for (std::size_t size : {std::size_t(0), kListRecordSize - 1}) {
    SCOPED_TRACE(size);
    WriteFile(kTrustFile, std::string(size, 'x'));
    EXPECT_EQ(UpdateList(kTrustList, kListLoad), 0);
    ASSERT_EQ(Objects(TrustList()), (std::vector<std::string>{"c:\\kept.exe"}));
  }
  m.FindFile(kTrustFile)->denyOpen = true;  // unreadable
  WriteFile(kTrustFile, Fixture());
  EXPECT_FALSE(LoadTrustList());
  EXPECT_EQ(TrustList().size(), 1u);
}

TEST_F(ScanListsTest, SaveAfterLoadWritesTheSameBytes) {
  const std::string fixture = Fixture();
  WriteFile(kTrustFile, fixture + "trailing");
  ASSERT_TRUE(LoadTrustList());
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile), fixture);  // byte for byte, without the trailing bytes

  // A field assigned again is written from its new value; the rest stays as it was read.
  TrustList()[1].Group = "ServiceGroup";
  ASSERT_TRUE(SaveTrustList());
  const std::string saved = Contents(kTrustFile);
  ASSERT_EQ(saved.size(), fixture.size());
  EXPECT_EQ(saved.substr(kListRecordSize + 1540, 256), Field(std::string("ServiceGroup"), 256));
  EXPECT_EQ(saved.substr(0, kListRecordSize + 1540), fixture.substr(0, kListRecordSize + 1540));
  EXPECT_EQ(saved.substr(kListRecordSize + 1796), fixture.substr(kListRecordSize + 1796));
  EXPECT_FALSE(m.FindFile(kTrustFile + ".tmp"));
}

TEST_F(ScanListsTest, ItemsMadeInMemoryAreWrittenInTheFormat) {
  ScanItem a;  // KeyPath never assigned, ValueName assigned empty
  a.Object = "C:\\Caf\u00e9\\x.exe";
  a.ValueName = "";
  a.Group = "Winlogon";
  a.EntryKind = 1;
  a.Category = 16;
  a.RiskLevel = 3;
  a.Result = 1;
  ScanItem b;
  b.Object = std::string(300, 'y');  // longer than its field: cut
  TrustList() = {a, b};
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile),
            Record(std::string("C:\\Caf\xE9\\x.exe"), std::nullopt, std::string(""), std::string("Winlogon"), 1, 16, 3, 1) +
                Record(std::string(260, 'y'), std::nullopt, std::nullopt, std::nullopt, 0, 0, 0, 0));

  TrustList().clear();
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile), "");  // an empty list is an empty file
}

TEST_F(ScanListsTest, UtfEightCodePageNeverSplitsACharacterAtTheFieldEnd) {
  m.state.codePage = 65001;
  ScanItem a;
  a.Object = std::string(259, 'a') + "\u00e9";  // 260 characters, 261 bytes
  TrustList() = {a};
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile).substr(0, 260), std::string(259, 'a') + " ");
  TrustList().clear();
  ASSERT_TRUE(LoadTrustList());
  EXPECT_EQ(TrustList()[0].Object.str(), std::string(259, 'a'));
}

TEST_F(ScanListsTest, DuplicatesAreKeptInMemoryAndOnFile) {
  const ScanItem item = TrustItemForFile("C:\\Tools\\Tolvexa\\tolvexa.exe");
  EXPECT_EQ(UpdateList(kTrustList, kListAdd, item), kResultDone);
  EXPECT_EQ(AddToTrustList(item), kResultDone);
  ASSERT_EQ(TrustList().size(), 2u);
  EXPECT_EQ(TrustList()[0], TrustList()[1]);
  const std::string file = Contents(kTrustFile);
  ASSERT_EQ(file.size(), 2 * kListRecordSize);
  EXPECT_EQ(file.substr(0, kListRecordSize), file.substr(kListRecordSize));
  TrustList().clear();
  ASSERT_TRUE(LoadTrustList());
  EXPECT_EQ(TrustList().size(), 2u);
}

TEST_F(ScanListsTest, EveryTrustListChangeIsSavedAtOnce) {
  AddToTrustList(Item("c:\\a.exe"));
  AddToTrustList(Item("c:\\b.exe"));
  AddToTrustList(Item("c:\\c.exe"));
  EXPECT_EQ(Contents(kTrustFile).size(), 3 * kListRecordSize);
  UpdateList(kTrustList, kListRemove, {}, 1);
  EXPECT_EQ(Contents(kTrustFile).size(), 2 * kListRecordSize);
  EXPECT_EQ(RemoveFromTrustList({0, 0, 7}), 1u);  // duplicates and strangers ignored
  TrustList().clear();
  ASSERT_TRUE(LoadTrustList());
  EXPECT_EQ(Objects(TrustList()), (std::vector<std::string>{"c:\\c.exe"}));
  EXPECT_EQ(RemoveFromTrustList({0}), 1u);
  EXPECT_EQ(Contents(kTrustFile), "");
  EXPECT_TRUE(TrustList().empty());
}

TEST_F(ScanListsTest, CrashBetweenTemporaryWriteAndRenameLeavesTheOldListLoadable) {
  TrustList() = {Item("c:\\old1.exe"), Item("c:\\old2.exe")};
  ASSERT_TRUE(SaveTrustList());
  const std::string old = Contents(kTrustFile);

  // The rename never happens (the process died after writing the temporary file).
  FaultyFiles faulty(*m.platform().files);
  Platform p = m.platform();
  p.files = &faulty;
  platform::Install(p);
  std::string tempWritten;
  faulty.failMove = [&](const std::string& from, const std::string&) {
    tempWritten = Contents(from);
    return true;
  };
  TrustList().push_back(Item("c:\\new.exe"));
  EXPECT_FALSE(SaveTrustList());
  EXPECT_EQ(tempWritten.size(), 3 * kListRecordSize);  // the new list was complete in the temporary file
  EXPECT_EQ(Contents(kTrustFile), old);
  platform::Install(m.platform());

  TrustList().clear();
  ASSERT_TRUE(LoadTrustList());
  EXPECT_EQ(Objects(TrustList()), (std::vector<std::string>{"c:\\old1.exe", "c:\\old2.exe"}));

  // A half-written temporary file left by a crash changes nothing and is replaced by the next save.
  WriteFile(kTrustFile + ".tmp", std::string(1000, 'q'));
  TrustList().clear();
  ASSERT_TRUE(LoadTrustList());
  EXPECT_EQ(TrustList().size(), 2u);
  TrustList().push_back(Item("c:\\new.exe"));
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile).size(), 3 * kListRecordSize);
  EXPECT_FALSE(m.FindFile(kTrustFile + ".tmp"));
  EXPECT_EQ(m.CallCount("MoveFileExA"), 2u);  // every save that reached the disk renamed
}

TEST_F(ScanListsTest, ReadOnlyListIsReplacedLikeTheOldDeleteAndWrite) {
  TrustList() = {Item("c:\\a.exe")};
  ASSERT_TRUE(SaveTrustList());
  m.FindFile(kTrustFile)->attributes = fattr::ReadOnly;
  TrustList().push_back(Item("c:\\b.exe"));
  ASSERT_TRUE(SaveTrustList());
  EXPECT_EQ(Contents(kTrustFile).size(), 2 * kListRecordSize);
}

TEST_F(ScanListsTest, UpdateListKindsAndOperations) {
  const ScanItem x = Item("c:\\x.exe");
  // Unknown kinds and operations change nothing.
  for (auto [kind, op] : {std::pair{0, 1}, {5, 1}, {1, 0}, {1, 5}, {-1, 1}}) {
    EXPECT_EQ(UpdateList(kind, op, x), 0);
  }
  for (std::int32_t kind = kTrustList; kind <= kThreatList; ++kind) EXPECT_TRUE(TableOf(kind)->empty());

  EXPECT_EQ(UpdateList(kBlackList, kListAdd, x), 0);
  EXPECT_EQ(UpdateList(kThreatList, kListAdd, x), 0);
  EXPECT_EQ(UpdateList(kStartupItemList, kListAdd, x), 0);
  EXPECT_EQ(UpdateList(kBlackList, kListRemove, x, 5), 0);  // outside the table: nothing
  EXPECT_EQ(BlackList().size(), 1u);

  // The black list has a file; the start-up item list is never written; the threat list has none.
  EXPECT_EQ(UpdateList(kBlackList, kListSave), 0);
  EXPECT_EQ(Contents("C:\\Tools\\Tolvexa\\black.lst").size(), kListRecordSize);
  UpdateList(kStartupItemList, kListSave);
  EXPECT_FALSE(m.FindFile("C:\\Tools\\Tolvexa\\startup.lst"));
  UpdateList(kThreatList, kListSave);
  UpdateList(kThreatList, kListLoad);
  EXPECT_EQ(ThreatList().size(), 1u);

  UpdateList(kBlackList, kListRemove, {}, 0);  // the only item: an empty table
  EXPECT_TRUE(BlackList().empty());
  UpdateList(kBlackList, kListLoad);
  EXPECT_EQ(Objects(BlackList()), (std::vector<std::string>{"c:\\x.exe"}));
  WriteFile("C:\\Tools\\Tolvexa\\startup.lst", EncodeListRecords({x, x}));
  UpdateList(kStartupItemList, kListLoad);
  EXPECT_EQ(StartupItemList().size(), 2u);
}

TEST_F(ScanListsTest, LocationAndRiskTexts) {
  ScanItem v = Item("c:\\u.exe", 4, kHkcuRun, "updater");
  EXPECT_EQ(LocationText(v), "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run {updater}");
  ScanItem k = Item("c:\\s.sys", 4, "  " + std::string(kServicesKeyPath) + " ", " svc ", "ServiceGroup", 1, 16);
  EXPECT_EQ(LocationText(k), std::string(kServicesKeyPath) + "\\svc");
  EXPECT_EQ(LocationText(TrustItemForFile("C:\\Tools\\Tolvexa\\tolvexa.exe")), " {}");
  const std::vector<std::string> texts = {RiskText(0), RiskText(1), RiskText(2), RiskText(3), RiskText(4), RiskText(5)};
  EXPECT_EQ(texts, (std::vector<std::string>{"", "Normal", "Unknown", "Potential", "Dangerous", ""}));
  EXPECT_EQ(RiskWord(4), "Dangerous");
  EXPECT_EQ(LowerText("C:\\\u00c9T\u00c9\\\u0414\u0430.EXE"), "c:\\\u00e9t\u00e9\\\u0434\u0430.exe");
}

TEST_F(ScanListsTest, TrustedByHandKeepsTheLetterCaseAndRatesZeroToTwo) {
  AddFile("C:\\Apps\\Plain.exe");
  AddFile("C:\\Apps\\Vendor.exe", "Vendor Inc.");
  AddFile("C:\\Apps\\Signed.exe");
  m.state.signatures["c:\\apps\\signed.exe"] = 0;
  EXPECT_EQ(TrustItemForFile(" C:\\Apps\\Plain.exe ").Object.str(), "C:\\Apps\\Plain.exe");
  EXPECT_EQ(TrustItemForFile("C:\\Apps\\Plain.exe").RiskLevel, kRiskUnknown);
  EXPECT_EQ(TrustItemForFile("C:\\Apps\\Vendor.exe").RiskLevel, kRiskNormal);
  EXPECT_EQ(TrustItemForFile("C:\\Apps\\Signed.exe").RiskLevel, kRiskNone);
  const ScanItem i = TrustItemForFile("C:\\Apps\\Plain.exe");
  EXPECT_FALSE(i.KeyPath.assigned());
  EXPECT_EQ(i.Category, 0);  // every other field stays empty

  TrustList() = {TrustItemForFile("C:\\Apps\\Vendor.exe")};
  const ui::ListContent rows = TrustListRows();
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].text, "C:\\Apps\\Vendor.exe");
  EXPECT_EQ(rows.rows[0].icon, 2);
  EXPECT_EQ(rows.rows[0].subItems, (std::vector<std::string>{"Normal", " {}", "Vendor Inc.", ""}));
  EXPECT_EQ(rows.status, "1 Item(s)");
}

}  // namespace
}  // namespace tv::test
