// The junk cleaner: files directly in the six folders go, subfolders stay, a missing folder is
// passed over, the recycle bins are emptied quietly.
#include <gtest/gtest.h>

#include "common/sim_test.h"
#include "tools/junk_cleaner.h"

namespace tv {
namespace {

class JunkCleanerTest : public SimTest {
 protected:
  const std::string profile = "C:\\Documents and Settings\\Admin";
  const std::string local = profile + "\\Local Settings\\Application Data";
  void SetUp() override {
    m.state.specialFolders[kCsidlRecent] = profile + "\\Recent";
    m.state.specialFolders[kCsidlHistory] = profile + "\\Local Settings\\History";
    m.state.specialFolders[kCsidlCookies] = profile + "\\Cookies";
    m.state.specialFolders[kCsidlLocalAppData] = local;
    m.state.specialFolders[kCsidlInternetCache] = profile + "\\Local Settings\\Temporary Internet Files\\";
    SimTest::SetUp();
  }
  bool Exists(const std::string& path) { return m.FindFile(path) != nullptr; }
};

TEST_F(JunkCleanerTest, SpecialFoldersEndInABackslashAndAnUnnamedOneStaysEmpty) {
  EXPECT_EQ(GetSpecialFolder(kCsidlRecent), profile + "\\Recent\\");
  EXPECT_EQ(GetSpecialFolder(kCsidlInternetCache), profile + "\\Local Settings\\Temporary Internet Files\\");
  EXPECT_EQ(GetSpecialFolder(kCsidlHistory + 100), "");
  m.state.specialFolders[7] = std::string("C:\\Start\0junk", 13);
  EXPECT_EQ(GetSpecialFolder(7), "C:\\Start\\");
}

TEST_F(JunkCleanerTest, DeletesFilesDirectlyInEachFolderAndGoesOnPastAMissingOne) {
  const std::vector<std::string> junk = {
      "C:\\WINDOWS\\Temp\\setup.log",       "C:\\WINDOWS\\Temp\\README",  // "*.*" takes names without a dot
      profile + "\\Recent\\report.lnk",     profile + "\\Local Settings\\History\\index.dat",
      profile + "\\Cookies\\admin@ads.txt", profile + "\\Local Settings\\Temporary Internet Files\\ad.gif"};
  for (const std::string& f : junk) m.AddFile(f);
  // Kept: whatever lies in subfolders, the subfolders themselves, and files outside the folders.
  const std::vector<std::string> kept = {
      "C:\\WINDOWS\\Temp\\Setup\\part.cab",
      profile + "\\Local Settings\\Temporary Internet Files\\Content.IE5\\ABCD1234\\page.htm",
      profile + "\\Cookies\\Old\\keep.txt", local + "\\Vendor\\settings.ini", "C:\\boot.ini", "C:\\Temp\\x.tmp"};
  for (const std::string& f : kept) m.AddFile(f);
  m.AddFile("C:\\WINDOWS\\Temp\\Empty", fattr::Directory);
  m.AddFile("C:\\WINDOWS\\Temp\\locked.tmp").denyOpen = true;  // in use
  m.AddFile(profile + "\\Recent\\protected.lnk", fattr::ReadOnly);
  // Local application data has no "Temp" folder: action 5 finds nothing, action 6 still runs.

  const JunkCleanResult r = CleanJunkFiles(0x1234);
  for (const std::string& f : junk) EXPECT_FALSE(Exists(f)) << f;
  for (const std::string& f : kept) EXPECT_TRUE(Exists(f)) << f;
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\Empty"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\locked.tmp"));
  EXPECT_TRUE(Exists(profile + "\\Recent\\protected.lnk"));
  EXPECT_EQ(r.deleted, junk.size());
  const std::vector<std::string> notDeleted = {"C:\\WINDOWS\\Temp\\locked.tmp", profile + "\\Recent\\protected.lnk"};
  EXPECT_EQ(r.notDeleted, notDeleted);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(JunkCleanerTest, AFolderTheShellCannotNameDeletesNothingElsewhere) {
  // Without the folder a bare "\*.*" or "\Temp\*.*" would reach the root of the drive.
  m.state.specialFolders.erase(kCsidlRecent);
  m.state.specialFolders.erase(kCsidlLocalAppData);
  m.AddFile("C:\\boot.ini");
  m.AddFile("C:\\Temp\\keep.tmp");
  m.AddFile(profile + "\\Cookies\\c.txt");
  CleanJunkFiles();
  EXPECT_TRUE(Exists("C:\\boot.ini"));
  EXPECT_TRUE(Exists("C:\\Temp\\keep.tmp"));
  EXPECT_FALSE(Exists(profile + "\\Cookies\\c.txt"));
  const std::vector<std::string> patterns = JunkFilePatterns();
  ASSERT_EQ(patterns.size(), 6u);
  EXPECT_EQ(patterns[0], "C:\\WINDOWS\\Temp\\*.*");
  EXPECT_EQ(patterns[1], "");
  EXPECT_EQ(patterns[4], "");
}

TEST_F(JunkCleanerTest, TheUserTemporaryFolderIsCleanedWhereverItLies) {
  struct Case {
    std::string temp;  // what GetTempPathA answers
    bool cleaned;
  };
  const Case cases[] = {
      {"C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\", true},  // XP: "Local Settings\Temp", not under the application data
      {"C:\\users\\root\\Temp\\", true},                  // Wine
      {"D:\\Scratch\\tmp\\", true},
      {"C:\\Documents and Settings\\Admin\\", false},        // TEMP and TMP unset: the profile
      {"C:\\WINDOWS\\", false},
      {"C:\\", false},
  };
  for (const Case& c : cases) {
    m.state.tempDir = c.temp;
    InitFolders();
    m.AddFile(c.temp + "junk.tmp");
    m.AddFile(c.temp + "Sub\\keep.tmp");
    CleanJunkFiles();
    EXPECT_EQ(Exists(c.temp + "junk.tmp"), !c.cleaned) << c.temp;
    EXPECT_TRUE(Exists(c.temp + "Sub\\keep.tmp")) << c.temp;
  }
  // A temporary folder that is one of the six is cleaned once, in its own action.
  m.state.tempDir = "C:\\WINDOWS\\Temp\\";
  InitFolders();
  EXPECT_EQ(UserTempPattern(JunkFilePatterns()), "");
}

TEST_F(JunkCleanerTest, EmptiesEveryRecycleBinQuietlyWithTheProgressWindow) {
  m.AddFile("C:\\old.doc");
  m.AddFile("D:\\old.txt");
  ASSERT_EQ(platform::Shell().RecycleFile("C:\\old.doc"), 0);
  ASSERT_EQ(platform::Shell().RecycleFile("D:\\old.txt"), 0);
  const std::uint32_t ticks = m.state.tickCount;
  CleanJunkFiles(0x1234);
  ASSERT_EQ(m.state.recycleBinEmptied.size(), 1u);
  EXPECT_EQ(m.state.recycleBinEmptied[0].owner, Handle(0x1234));
  EXPECT_EQ(m.state.recycleBinEmptied[0].rootPath, "");  // every drive
  EXPECT_EQ(m.state.recycleBinEmptied[0].flags, 7u);     // no confirmation, no progress window, no sound
  EXPECT_TRUE(m.state.recycled.empty());
  const std::vector<std::string> events = {
      "progress Tolvexa - Clean Junk File 8", "value 0", "main disabled", "value 1", "value 2", "value 3", "value 4",
      "value 5", "value 6", "value 7", "value 8", "close progress", "main enabled"};
  EXPECT_EQ(recorder.windowEvents, events);
  EXPECT_EQ(recorder.doEvents, 8);
  EXPECT_GE(m.state.tickCount - ticks, 500u);
  EXPECT_TRUE(recorder.messages.empty());
}

}  // namespace
}  // namespace tv
