// The memory scan and the system scan against the black list, on simulated machines.
#include <gtest/gtest.h>

#include <string>

#include "scan_fixture.h"

namespace tv::test {
namespace {

class BlackListTest : public ScanTest {
 protected:
  sim::Module Mod(const std::string& path, std::uintptr_t base) {
    sim::Module mod;
    mod.name = GetFileName(path);
    mod.path = path;
    mod.base = base;
    mod.size = 0x1000;
    return mod;
  }
  // A process whose image exists; `dlls` are loaded after the image.
  sim::Process& AddProc(std::uint32_t pid, const std::string& image, const std::vector<std::string>& dlls) {
    if (!m.FindFile(image)) AddFile(image, "Vendor");
    sim::Process& p = m.AddProcess(pid, image);
    p.modules = {Mod(image, 0x400000)};
    std::uintptr_t base = 0x10000000;
    for (const std::string& d : dlls) p.modules.push_back(Mod(d, base += 0x100000));
    return p;
  }
};

TEST_F(BlackListTest, MemoryScanReportsOncePerBlackListItemAndNeverVersionedFiles) {
  m.state.kernelModules = {Mod("\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000),
                           Mod("\\SystemRoot\\System32\\DRIVERS\\rk.sys", 0xF0000000)};
  AddFile("C:\\WINDOWS\\system32\\ntoskrnl.exe", "Microsoft Corporation");
  AddFile("C:\\WINDOWS\\System32\\DRIVERS\\rk.sys");
  AddFile("C:\\evil\\Bad.dll");
  AddFile("C:\\evil\\vendor.dll", "Evil Corp");  // a company name: never reported
  AddFile("C:\\evil\\legal.dll", "", "(c) Evil");
  AddFile("C:\\evil\\hidden.dll", "", "", fattr::Hidden);
  AddProc(2000, "C:\\apps\\host.exe", {"C:\\evil\\Bad.dll", "C:\\evil\\vendor.dll"});
  AddProc(3000, "C:\\apps\\other.exe", {"C:\\evil\\legal.dll", "C:\\evil\\hidden.dll", "C:\\EVIL\\BAD.DLL"});
  BlackList() = {Item("c:\\evil\\bad.dll", 4, kHklmRun, "first"),
                 Item("c:\\evil\\vendor.dll"),
                 Item("c:\\windows\\system32\\drivers\\rk.sys", 2, kServicesKeyPath, "rk", "ServiceGroup", 1, 16),
                 Item("c:\\evil\\bad.dll", 3, kHkcuRun, "second"),
                 Item("c:\\evil\\legal.dll"),
                 Item("c:\\evil\\hidden.dll")};

  ScanStopped() = false;
  RecordingProgress progress;
  ScanMemory(progress);
  // rk.sys through the kernel's record; bad.dll twice in each process that loads it.
  std::vector<std::string> rows;
  for (const ui::ListRow& r : progress.rows) rows.push_back(r.text + " | " + r.subItems.at(0));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "C:\\WINDOWS\\System32\\DRIVERS\\rk.sys | Clean", "C:\\evil\\Bad.dll | Clean",
                      "C:\\evil\\Bad.dll | Clean", "C:\\EVIL\\BAD.DLL | Clean", "C:\\EVIL\\BAD.DLL | Clean"}));
  ASSERT_EQ(ThreatCount(), 5);
  EXPECT_EQ(ThreatList()[0].ValueName.str(), "rk");
  EXPECT_EQ(ThreatList()[1].ValueName.str(), "first");
  EXPECT_EQ(ThreatList()[2].ValueName.str(), "second");
  EXPECT_EQ(progress.rows[2].icon, 4);
  EXPECT_EQ(progress.alerts, 5);
  EXPECT_EQ(progress.found, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));

  // Every module of the whole scan is counted; the labels name process and module.
  const std::size_t modules = 2 + 3 + 4 + m.SelfProcess().modules.size();
  EXPECT_EQ(ScanCounter(), static_cast<std::int32_t>(modules));
  EXPECT_NE(std::find(progress.objects.begin(), progress.objects.end(), "C:\\apps\\host.exe  >>  C:\\evil\\Bad.dll"),
            progress.objects.end());
  EXPECT_EQ(progress.maximum, static_cast<std::int32_t>(GetProcessList().size()));
  EXPECT_EQ(progress.values.back(), progress.maximum);
}

TEST_F(BlackListTest, EmptyBlackListReportsNothingAndUnlistableProcessesAddNothing) {
  AddFile("C:\\evil\\bad.dll");
  AddProc(2000, "C:\\apps\\host.exe", {"C:\\evil\\bad.dll"});
  ScanStopped() = false;
  ScanMemory();
  EXPECT_EQ(ThreatCount(), 0);

  BlackList() = {Item("c:\\evil\\bad.dll")};
  m.FindProcess(2000)->modulesUnreadable = true;
  m.FindProcess(2000)->moduleSnapshotFails = true;
  ScanMemory();
  EXPECT_EQ(ThreatCount(), 0);
}

TEST_F(BlackListTest, StopEndsTheMemoryScanAtTheNextModule) {
  AddFile("C:\\evil\\a.dll");
  AddFile("C:\\evil\\b.dll");
  AddProc(2000, "C:\\apps\\host.exe", {"C:\\evil\\a.dll", "C:\\evil\\b.dll"});
  BlackList() = {Item("c:\\evil\\a.dll"), Item("c:\\evil\\b.dll")};
  ScanStopped() = false;
  RecordingProgress progress;
  progress.onEvents = [](RecordingProgress&) { ScanStopped() = true; };
  ScanMemory(progress);
  EXPECT_EQ(ThreatCount(), 1);
  EXPECT_EQ(progress.objects.back(), "C:\\apps\\host.exe  >>  C:\\evil\\a.dll");
}

TEST_F(BlackListTest, MatchBlackListLooksOnlyAtNamedPlainFilesWithoutVersionTexts) {
  AddFile("C:\\x\\plain.exe");
  AddFile("C:\\x\\company.exe", "Acme");
  AddFile("C:\\x\\system.exe", "", "", fattr::System);
  BlackList() = {Item("c:\\x\\plain.exe"), Item("c:\\x\\company.exe"), Item("c:\\x\\system.exe"),
                 Item("c:\\x\\missing.exe")};
  RecordingProgress progress;
  for (const char* p : {"C:\\X\\PLAIN.EXE", "C:\\x\\company.exe", "C:\\x\\system.exe", "C:\\x\\missing.exe",
                        "C:\\x\\unlisted.exe"})
    MatchBlackList(p, progress);
  EXPECT_EQ(ThreatCount(), 1);
  ASSERT_EQ(progress.rows.size(), 1u);
  EXPECT_EQ(progress.rows[0].text, "C:\\X\\PLAIN.EXE");
  EXPECT_EQ(progress.events, 1);
  // A path no item names costs no lookup of the file.
  const std::uint64_t finds = m.CallCount("FindFirstFileA");
  MatchBlackList("C:\\x\\unlisted.exe", progress);
  EXPECT_EQ(m.CallCount("FindFirstFileA"), finds);
}

class FolderWalkTest : public BlackListTest {
 protected:
  void SetUp() override {
    BlackListTest::SetUp();
    for (const char* f : {"C:\\scan\\b.com", "C:\\scan\\a.exe", "C:\\scan\\c.dll", "C:\\scan\\d.sys",
                          "C:\\scan\\UPPER.EXE", "C:\\scan\\notes.txt", "C:\\scan\\sub\\x.exe",
                          "C:\\scan\\.hidden\\y.exe", "C:\\scan\\Zed\\z.dll", "C:\\scan\\sub\\deeper\\w.sys"})
      AddFile(f);
    AddFile("C:\\scan\\hid.dll", "", "", fattr::Hidden);
    AddFile("C:\\scan\\folder.exe", "", "", fattr::Directory);
  }
  const std::vector<std::string> kOrder = {
      "C:\\scan\\a.exe",     "C:\\scan\\UPPER.EXE",  "C:\\scan\\c.dll",           "C:\\scan\\hid.dll",
      "C:\\scan\\d.sys",     "C:\\scan\\b.com",      "C:\\scan\\sub\\x.exe",      "C:\\scan\\sub\\deeper\\w.sys",
      "C:\\scan\\Zed\\z.dll"};
};

TEST_F(FolderWalkTest, MasksThenSubfoldersAndDotFoldersPassedOver) {
  ScanStopped() = false;  // a scan runs
  std::int32_t count = 0;
  CountFiles("C:\\scan", count);
  EXPECT_EQ(count, static_cast<std::int32_t>(kOrder.size()));

  BlackList() = {Item("c:\\scan\\upper.exe"), Item("c:\\scan\\.hidden\\y.exe"), Item("c:\\scan\\hid.dll"),
                 Item("c:\\scan\\zed\\z.dll", 3)};
  RecordingProgress progress;
  std::int32_t counter = 0;
  ScanFolderTree("C:\\scan\\", counter, progress);
  EXPECT_EQ(progress.objects, kOrder);
  EXPECT_EQ(counter, static_cast<std::int32_t>(kOrder.size()));
  EXPECT_EQ(progress.values, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // An extension in capitals is found by its mask; a file in a dot-folder or a hidden one never.
  std::vector<std::string> rows;
  for (const ui::ListRow& r : progress.rows) rows.push_back(r.text);
  EXPECT_EQ(rows, (std::vector<std::string>{"C:\\scan\\UPPER.EXE", "C:\\scan\\Zed\\z.dll"}));
}

TEST_F(FolderWalkTest, StopEndsTheWalkAtTheNextFile) {
  ScanStopped() = false;
  RecordingProgress progress;
  progress.onEvents = [](RecordingProgress&) { ScanStopped() = true; };
  std::int32_t counter = 0;
  ScanFolderTree("C:\\scan", counter, progress);
  EXPECT_EQ(progress.objects, (std::vector<std::string>{"C:\\scan\\a.exe"}));

  std::int32_t count = 0;
  CountFiles("C:\\scan", count);  // stopped: the first mask only
  EXPECT_EQ(count, 2);
}

TEST_F(FolderWalkTest, SystemScanCountsThenMatchesIntoTheThreatList) {
  ThreatList() = {Item("old1"), Item("old2"), Item("old3")};  // left by an earlier scan
  BlackList() = {Item("c:\\scan\\a.exe"), Item("c:\\scan\\sub\\x.exe")};
  RecordingProgress progress;
  RunSystemScan("C:\\scan", progress);
  EXPECT_EQ(progress.maximum, static_cast<std::int32_t>(kOrder.size()));
  EXPECT_EQ(ThreatCount(), 2);
  EXPECT_EQ(Objects(ThreatList()), (std::vector<std::string>{"c:\\scan\\a.exe", "c:\\scan\\sub\\x.exe", "old3"}));
  EXPECT_EQ(progress.phases, (std::vector<std::string>{"Initializing...", "Scanning:", "Scan spyware completed"}));
  EXPECT_EQ(progress.statuses.back(), "Scan spyware completed");
  EXPECT_TRUE(ScanStopped());

  RunSystemScan("C:\\nowhere");
  EXPECT_EQ(ThreatCount(), 0);
}

}  // namespace
}  // namespace tv::test
