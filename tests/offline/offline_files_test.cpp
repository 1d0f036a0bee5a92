// Files, version resources and system values of the offline backend.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "base/paths.h"
#include "fileinfo/version.h"
#include "offline/offline_tree.h"
#include "platform/offline/offline_machine.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

using offtest::FakeWindows;
using offtest::Layout;

// Attributes kept by the test instead of the file system.
class MapAttributes final : public offline::AttributeSource {
 public:
  std::map<std::string, Bytes> raw;
  std::optional<Bytes> Read(const std::string& hostPath) override {
    auto it = raw.find(hostPath);
    if (it == raw.end()) return std::nullopt;
    return it->second;
  }
  bool Write(const std::string& hostPath, std::uint32_t a) override {
    raw[hostPath] = Bytes{std::uint8_t(a), std::uint8_t(a >> 8), std::uint8_t(a >> 16), std::uint8_t(a >> 24)};
    return true;
  }
};

class OfflineFilesTest : public ::testing::Test {
 protected:
  FakeWindows tree{Layout::Xp};
  MapAttributes attributes;
  offline::HostFiles files{tree.Root(), "C:", &attributes};
  void TearDown() override { EXPECT_EQ(files.OpenHandleCount(), 0u); }
};

TEST(OfflineAttributes, TheNtfsAttributeWordIsFourBytesLittleEndian) {
  const std::uint8_t word[] = {0x27, 0x00, 0x00, 0x00};
  EXPECT_EQ(offline::ParseNtfsAttrib(word, 4), 0x27u);
  const std::uint8_t high[] = {0x00, 0x20, 0x01, 0x00};
  EXPECT_EQ(offline::ParseNtfsAttrib(high, 4), 0x12000u);
  for (std::size_t size : {0u, 3u, 5u, 8u}) EXPECT_EQ(offline::ParseNtfsAttrib(word, size), std::nullopt) << size;
  EXPECT_EQ(offline::ParseNtfsAttrib(nullptr, 4), std::nullopt);
}

TEST_F(OfflineFilesTest, PathsFindFilesWhateverTheirLetterCase) {
  // The registry says System32\DRIVERS\beep.sys; the disk holds system32/drivers/BEEP.SYS.
  EXPECT_EQ(files.HostPath("C:\\windows\\System32\\DRIVERS\\beep.sys"), tree.Host("WINDOWS/system32/drivers/BEEP.SYS"));
  EXPECT_EQ(files.HostPath("c:/Windows/./SYSTEM32/config/../helper.DLL"), tree.Host("WINDOWS/system32/helper.dll"));
  EXPECT_EQ(files.HostPath("C:\\WINDOWS\\New Folder\\x.txt"), tree.Host("WINDOWS/New Folder/x.txt"));
  for (const char* elsewhere : {"D:\\WINDOWS\\x", "\\\\server\\share\\x", "\\\\.\\tolvexa", "relative\\x.exe"})
    EXPECT_EQ(files.HostPath(elsewhere), "") << elsewhere;

  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\SYSTEM32\\HELPER.DLL"), fattr::Archive);
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\System32"), fattr::Directory);
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\System32\\none.dll"), fattr::Invalid);
  EXPECT_EQ(files.LastError(), err::FileNotFound);
  EXPECT_EQ(files.GetFileAttributesA("C:\\NoFolder\\none.dll"), fattr::Invalid);
  EXPECT_EQ(files.LastError(), err::PathNotFound);
}

TEST_F(OfflineFilesTest, AttributesComeFromTheMountWhereItKeepsThem) {
  const std::string helper = tree.Host("WINDOWS/system32/helper.dll");
  attributes.raw[helper] = Bytes{0x26, 0, 0, 0};  // hidden, system, archive
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\system32\\helper.dll"), 0x26u);
  attributes.raw[helper] = Bytes{1, 2, 3};  // not an attribute word: plain attributes
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\system32\\helper.dll"), fattr::Archive);
  // Without the attribute, a file without write permission reads as read-only and stays.
  ASSERT_EQ(::chmod(helper.c_str(), 0444), 0);
  attributes.raw.erase(helper);
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\system32\\helper.dll"), fattr::ReadOnly | fattr::Archive);
  EXPECT_FALSE(files.DeleteFileA("C:\\WINDOWS\\system32\\helper.dll"));
  EXPECT_EQ(files.LastError(), err::AccessDenied);
  // Clearing the attribute writes it and makes the file writable again.
  EXPECT_TRUE(files.SetFileAttributesA("C:\\WINDOWS\\system32\\helper.dll", fattr::Normal));
  EXPECT_EQ(attributes.raw[helper], (Bytes{0x80, 0, 0, 0}));
  EXPECT_TRUE(files.DeleteFileA("C:\\WINDOWS\\system32\\HELPER.dll"));
  EXPECT_FALSE(std::filesystem::exists(helper));
}

TEST_F(OfflineFilesTest, CreateWriteReadMoveDelete) {
  Handle h = files.CreateFileA("C:\\Windows\\TEMP\\new.TXT", access::GenericWrite, 0, 3, 0);
  EXPECT_EQ(h, kInvalidHandle);  // open existing: none there
  EXPECT_EQ(files.LastError(), err::PathNotFound);
  ASSERT_TRUE(files.CreateDirectoryA("C:\\Windows\\TEMP"));
  EXPECT_FALSE(files.CreateDirectoryA("C:\\windows\\temp"));
  h = files.CreateFileA("C:\\Windows\\TEMP\\new.TXT", access::GenericRead | access::GenericWrite, 0, 1, fattr::Hidden);
  ASSERT_NE(h, kInvalidHandle);
  std::uint32_t n = 0;
  EXPECT_TRUE(files.WriteFile(h, "hello world", 11, &n));
  EXPECT_EQ(files.GetFileSize(h), 11u);
  // Our own handle without sharing keeps others out.
  EXPECT_EQ(files.CreateFileA("C:\\WINDOWS\\temp\\NEW.txt", access::GenericRead, 1, 3, 0), kInvalidHandle);
  EXPECT_EQ(files.LastError(), 32u);
  EXPECT_EQ(files.SetFilePointer(h, 6, 0), 6u);
  char buf[16] = {};
  EXPECT_TRUE(files.ReadFile(h, buf, sizeof buf, &n));
  EXPECT_EQ(std::string(buf, n), "world");
  EXPECT_EQ(files.SetFilePointer(h, -20, 1), ~std::uint64_t(0));
  EXPECT_TRUE(files.FlushFileBuffers(h));
  EXPECT_TRUE(files.CloseFileHandle(h));
  EXPECT_EQ(files.GetFileAttributesA("C:\\WINDOWS\\Temp\\new.txt"), fattr::Hidden | fattr::Archive);

  // Found by wildcards, in upper-case name order, with the folder's own entries first.
  offtest::WriteFile(tree.Host("WINDOWS/TEMP/b.log"), Bytes(3, 1));
  offtest::WriteFile(tree.Host("WINDOWS/TEMP/A.LOG"), Bytes(5, 1));
  std::vector<std::pair<std::string, std::uint64_t>> found;
  FindData fd;
  Handle f = files.FindFirstFileA("C:\\windows\\temp\\*", fd);
  ASSERT_NE(f, kInvalidHandle);
  do found.push_back({fd.fileName, fd.size});
  while (files.FindNextFileA(f, fd));
  EXPECT_EQ(files.LastError(), err::NoMoreFiles);
  EXPECT_TRUE(files.FindClose(f));
  EXPECT_EQ(found, (std::vector<std::pair<std::string, std::uint64_t>>{
                       {".", 0}, {"..", 0}, {"A.LOG", 5}, {"b.log", 3}, {"new.TXT", 11}}));
  f = files.FindFirstFileA("C:\\WINDOWS\\TEMP\\*.LoG", fd);
  ASSERT_NE(f, kInvalidHandle);
  EXPECT_EQ(fd.fileName, "A.LOG");
  EXPECT_TRUE(files.FindClose(f));
  EXPECT_EQ(files.FindFirstFileA("C:\\WINDOWS\\TEMP\\*.exe", fd), kInvalidHandle);
  EXPECT_EQ(files.LastError(), err::FileNotFound);
  EXPECT_EQ(files.FindFirstFileA("C:\\NoSuch\\*", fd), kInvalidHandle);
  EXPECT_EQ(files.LastError(), err::PathNotFound);

  // Moves: refused over an existing file unless asked, a new letter case of the same file,
  // and no move left for a next start of a system that is not running.
  EXPECT_FALSE(files.MoveFileExA("C:\\WINDOWS\\TEMP\\a.log", "C:\\WINDOWS\\TEMP\\B.LOG", 0));
  EXPECT_EQ(files.LastError(), 183u);
  EXPECT_TRUE(files.MoveFileExA("C:\\WINDOWS\\TEMP\\a.log", "C:\\WINDOWS\\TEMP\\B.LOG", 1));
  EXPECT_EQ(offtest::ReadFileBytes(tree.Host("WINDOWS/TEMP/b.log")), Bytes(5, 1));
  EXPECT_TRUE(files.MoveFileExA("C:\\WINDOWS\\TEMP\\b.log", "C:\\WINDOWS\\TEMP\\Renamed.Log", 0));
  EXPECT_TRUE(files.MoveFileExA("C:\\WINDOWS\\TEMP\\renamed.log", "C:\\WINDOWS\\TEMP\\RENAMED.LOG", 0));
  EXPECT_TRUE(std::filesystem::exists(tree.Host("WINDOWS/TEMP/RENAMED.LOG")));
  EXPECT_FALSE(files.MoveFileExA("C:\\WINDOWS\\TEMP\\RENAMED.LOG", "", 4));
  EXPECT_TRUE(std::filesystem::exists(tree.Host("WINDOWS/TEMP/RENAMED.LOG")));

  EXPECT_FALSE(files.RemoveDirectoryA("C:\\WINDOWS\\TEMP"));
  EXPECT_EQ(files.LastError(), 145u);
  EXPECT_TRUE(files.DeleteFileA("C:\\WINDOWS\\TEMP\\renamed.log"));
  EXPECT_TRUE(files.DeleteFileA("C:\\WINDOWS\\TEMP\\NEW.TXT"));
  EXPECT_FALSE(files.DeleteFileA("C:\\WINDOWS\\TEMP\\NEW.TXT"));
  EXPECT_EQ(files.LastError(), err::FileNotFound);
  EXPECT_TRUE(files.RemoveDirectoryA("C:\\WINDOWS\\TEMP"));
}

TEST_F(OfflineFilesTest, VersionResourcesAreReadOutOfThePeImage) {
  // Through the engine's own reader, over this file system alone.
  sim::SimMachine base;
  platform::Install(files.Over(base.platform()));
  EXPECT_EQ(GetFileVersionString("C:\\WINDOWS\\System32\\HELPER.DLL", CompanyName), "Helper Corp");
  EXPECT_EQ(GetFileVersionString("C:\\WINDOWS\\System32\\HELPER.DLL", FileDescription), "Helper Object");
  EXPECT_EQ(GetFileVersionString("C:\\WINDOWS\\System32\\drivers\\beep.sys", FileVersion), "5.1.2600");  // PE32
  EXPECT_EQ(GetFileVersionString("C:\\WINDOWS\\System32\\svchost.exe", CompanyName), "");  // no resources
  EXPECT_TRUE(FileCanBeOpened("C:\\windows\\system32\\SvcHost.exe"));
  EXPECT_EQ(base.OpenHandleCount(), 0u);
  platform::Install(Platform{});

  // Images that are cut short or lie about their layout give nothing, and never read past the file.
  const Bytes good = offtest::TinyPe({{16, offtest::VersionResource({{"CompanyName", "X"}})}});
  ASSERT_FALSE(offline::ReadVersionResource(tree.Host("WINDOWS/system32/helper.dll")).empty());
  const std::string probe = tree.Host("probe.dll");
  auto resourceOf = [&](const Bytes& image) {
    offtest::WriteFile(probe, image);
    return offline::ReadVersionResource(probe);
  };
  EXPECT_EQ(resourceOf(good), offtest::VersionResource({{"CompanyName", "X"}}));
  for (std::size_t cut : {0x3Eu, 0x60u, 0x150u, 0x420u, 0x470u})  // headers, section table, directory, data
    EXPECT_TRUE(resourceOf(Bytes(good.begin(), good.begin() + cut)).empty()) << cut;
  Bytes wild = good;
  wild[0x3C] = 0xF0;  // the PE header beyond the end
  EXPECT_TRUE(resourceOf(wild).empty());
  wild = good;
  wild[0x400 + 20 + 3] = 0x7F;  // the type directory points far outside the section
  EXPECT_TRUE(resourceOf(wild).empty());
  EXPECT_TRUE(resourceOf(Bytes{'M', 'Z'}).empty());
  EXPECT_TRUE(resourceOf(offtest::TinyPe({{3, Bytes(8, 1)}})).empty());  // resources, but no version
}

TEST(OfflineSystem, ValuesOfAnXpDiskComeFromItsHives) {
  FakeWindows tree(Layout::Xp);
  std::string error;
  auto disk = offline::OfflineMachine::Open(tree.Root(), "", error);
  ASSERT_TRUE(disk) << error;
  SystemApi& sys = *disk->platform().system;
  OsVersionInfo v;
  ASSERT_TRUE(sys.GetVersionExA(v));
  EXPECT_EQ(v.major, 5u);
  EXPECT_EQ(v.minor, 1u);
  EXPECT_EQ(v.build, 2600u);
  EXPECT_EQ(v.csdVersion, "Service Pack 3");
  EXPECT_EQ(sys.GetWindowsDirectoryA(), "C:\\WINDOWS");
  EXPECT_EQ(sys.GetSystemDirectoryA(), "C:\\WINDOWS\\system32");
  EXPECT_EQ(sys.GetTempPathA(), "C:\\Documents and Settings\\Admin\\Local Settings\\Temp\\");
  EXPECT_EQ(sys.GetEnvironmentVariableA("userprofile"), "C:\\Documents and Settings\\Admin");
  EXPECT_EQ(sys.GetEnvironmentVariableA("ALLUSERSPROFILE"), "C:\\Documents and Settings\\All Users");
  EXPECT_EQ(sys.GetEnvironmentVariableA("windir"), "C:\\WINDOWS");
  EXPECT_EQ(sys.GetEnvironmentVariableA("COMPUTERNAME"), "OFFLINEPC");
  EXPECT_EQ(sys.GetLogicalDriveStringsA(), (std::vector<std::string>{"C:\\"}));
  ShellApi& shell = *disk->platform().shell;
  EXPECT_EQ(shell.GetSpecialFolderPath(40), "C:\\Documents and Settings\\Admin");
  EXPECT_EQ(shell.GetSpecialFolderPath(28), "C:\\Documents and Settings\\Admin\\Local Settings\\Application Data");
  EXPECT_EQ(shell.GetSpecialFolderPath(7), "C:\\Documents and Settings\\Admin\\Start Menu\\Programs\\Startup");
  // ANSI text in the disk's code page (1252).
  EXPECT_EQ(sys.GetACP(), 1252u);
  EXPECT_EQ(sys.AnsiToUtf8("caf\xE9 \x80"), "café €");
  EXPECT_EQ(sys.Utf8ToAnsi("café €"), "caf\xE9 \x80");
  EXPECT_EQ(sys.Utf8ToAnsi("a中b"), "a?b");
  // No trust service, no running system.
  EXPECT_FALSE(disk->platform().trust->TrustServiceAvailable());
  EXPECT_EQ(static_cast<std::uint32_t>(disk->platform().trust->WinVerifyTrust("C:\\WINDOWS\\system32\\helper.dll", false)),
            0x800B0100u);
  EXPECT_EQ(disk->platform().services->OpenSCManagerA(nullptr, nullptr, 1), 0u);
  Handle snap = disk->platform().processes->CreateToolhelp32Snapshot(th32::SnapProcess, 0);
  ProcessEntry32 e;
  EXPECT_FALSE(disk->platform().processes->Process32First(snap, e));
  EXPECT_TRUE(sys.CloseHandle(snap));
  EXPECT_EQ(disk->OpenHandleCount(), 0u);
}

TEST(OfflineSystem, WindowsTenKeepsItsNumbersBesideCurrentVersion) {
  FakeWindows tree(Layout::Win10);
  std::string error;
  auto disk = offline::OfflineMachine::Open(tree.Root(), "bob", error);
  ASSERT_TRUE(disk) << error;
  OsVersionInfo v;
  ASSERT_TRUE(disk->platform().system->GetVersionExA(v));
  EXPECT_EQ(v.major, 10u);
  EXPECT_EQ(v.minor, 0u);
  EXPECT_EQ(v.build, 19045u);
  EXPECT_EQ(v.csdVersion, "");
  EXPECT_EQ(disk->User()->name, "Bob");
  EXPECT_EQ(disk->platform().system->GetTempPathA(), "C:\\Users\\Bob\\AppData\\Local\\Temp\\");
  EXPECT_EQ(disk->platform().system->GetEnvironmentVariableA("LOCALAPPDATA"), "C:\\Users\\Bob\\AppData\\Local");
  EXPECT_EQ(disk->platform().system->GetEnvironmentVariableA("ALLUSERSPROFILE"), "C:\\ProgramData");
}

}  // namespace
}  // namespace tv
