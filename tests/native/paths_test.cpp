// Folder values and the path rules over a simulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.state.windowsDir = "C:\\WINDOWS";
    m.state.systemDir = "C:\\WINDOWS\\system32";
    m.state.tempDir = "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\";
    m.state.appPath = "C:\\Tools\\Tolvexa\\tolvexa.exe";
    m.state.specialFolders[40] = "C:\\Documents and Settings\\Admin";
    m.state.specialFolders[7] = "C:\\Documents and Settings\\Admin\\Start Menu\\Programs\\Startup";
    m.state.specialFolders[0] = "C:\\Documents and Settings\\Admin\\Desktop";
    m.state.specialFolders[26] = "C:\\Documents and Settings\\Admin\\Application Data";
    m.state.specialFolders[28] = "C:\\Documents and Settings\\Admin\\Local Settings\\Application Data";
    platform::Install(m.platform());
    InitFolders();
  }
  void TearDown() override { platform::Install(Platform{}); }

  sim::SimMachine m;
};

TEST_F(PathsTest, FolderValuesEndWithOneBackslash) {
  const FolderValues& f = Folders();
  EXPECT_EQ(f.WinDir, "C:\\WINDOWS\\");
  EXPECT_EQ(f.SysDir, "C:\\WINDOWS\\system32\\");
  EXPECT_EQ(f.TempDir, "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\");
  EXPECT_EQ(f.ProgramFilesDir, "C:\\Program Files\\");
  EXPECT_EQ(f.UserProfileDir, "C:\\Documents and Settings\\Admin\\");
  EXPECT_EQ(f.AppDir, "C:\\Tools\\Tolvexa\\");
  EXPECT_EQ(f.StartupDir, "C:\\Documents and Settings\\Admin\\Start Menu\\Programs\\Startup\\");
  EXPECT_EQ(f.DesktopDir, "C:\\Documents and Settings\\Admin\\Desktop\\");
  EXPECT_EQ(f.AppDataDir, "C:\\Documents and Settings\\Admin\\Application Data\\");
  EXPECT_EQ(f.LocalAppDataDir, "C:\\Documents and Settings\\Admin\\Local Settings\\Application Data\\");
  EXPECT_EQ(f.SoundFile, "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\shazhu.wav");

  // A folder that already ends with a backslash keeps one; the drive of the Windows folder
  // decides where Program Files is.
  m.state.windowsDir = "D:\\WINNT\\";
  m.state.specialFolders.erase(0);
  InitFolders();
  EXPECT_EQ(Folders().WinDir, "D:\\WINNT\\");
  EXPECT_EQ(Folders().ProgramFilesDir, "D:\\Program Files\\");
  EXPECT_EQ(Folders().DesktopDir, "");  // a shell folder the system cannot name stays empty
}

struct RuleCase {
  const char* in;
  const char* out;
};

TEST_F(PathsTest, ConvertDevicePathRules) {
  const RuleCase cases[] = {
      // the system-root forms, any letter case; the tail keeps its own letter case
      {"\\SystemRoot\\System32\\drivers\\x.sys", "C:\\WINDOWS\\System32\\drivers\\x.sys"},
      {"\\SYSTEMROOT\\system32\\DRIVERS\\X.SYS", "C:\\WINDOWS\\system32\\DRIVERS\\X.SYS"},
      {"\\??\\C:\\WINDOWS\\x.sys", "C:\\WINDOWS\\x.sys"},
      {"\\??\\D:\\Tools\\y.sys", "D:\\Tools\\y.sys"},
      {"\\Windows\\Fonts\\a.fon", "C:\\WINDOWS\\Fonts\\a.fon"},
      {"\\WINNT\\system32\\a.dll", "C:\\WINDOWS\\system32\\a.dll"},
      {"System32\\DRIVERS\\tcpip.sys", "C:\\WINDOWS\\System32\\DRIVERS\\tcpip.sys"},
      // the percent forms replace the prefix and its separator
      {"%SystemRoot%\\system32\\x.exe", "C:\\WINDOWS\\system32\\x.exe"},
      {"%System%\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
      {"%windows%\\explorer.exe", "C:\\WINDOWS\\explorer.exe"},
      {"%WinDir%\\regedit.exe", "C:\\WINDOWS\\regedit.exe"},
      {"%ProgramFiles%\\App\\App.exe", "C:\\Program Files\\App\\App.exe"},
      {"%USERPROFILE%\\bin\\t.exe", "C:\\Documents and Settings\\Admin\\bin\\t.exe"},
      {"%windir%\\", "C:\\WINDOWS\\"},
      // a prefix alone leaves nothing to take
      {"%windir%", ""},
      {"%SystemRoot%", ""},
      // quotes go before any rule is tried
      {"\"\\SystemRoot\\x.sys\"", "C:\\WINDOWS\\x.sys"},
      {"\"C:\\Program Files\\a b\\c.exe\"", "C:\\Program Files\\a b\\c.exe"},
      {"\"C:\\half.exe", "C:\\half.exe"},
      {"C:\\half.exe\"", "C:\\half.exe"},
      // anything else stays as it is
      {"C:\\WINDOWS\\system32\\kernel32.dll", "C:\\WINDOWS\\system32\\kernel32.dll"},
      {"kernel32.dll", "kernel32.dll"},
      {"", ""},
      // native volume paths
      {"\\Device\\HarddiskVolume1\\WINDOWS\\explorer.exe", "C:\\WINDOWS\\explorer.exe"},
      {"\\Device\\HarddiskVolume2\\Program Files\\x.exe", "D:\\Program Files\\x.exe"},
      {"\\device\\harddiskvolume3\\Mixed\\Case.EXE", "E:\\Mixed\\Case.EXE"},
      {"\\Device\\HarddiskVolume9\\x.exe", "K:\\x.exe"},
      {"\\Device\\HarddiskVolume10\\x.exe", "L:\\x.exe"},
      {"\\Device\\HarddiskVolume12\\x.exe", "N:\\x.exe"},
      {"\\Device\\HarddiskVolume24\\x.exe", "Z:\\x.exe"},
      {"\\Device\\HarddiskVolume25\\x.exe", "\\Device\\HarddiskVolume25\\x.exe"},
      {"\\Device\\HarddiskVolume1", "\\Device\\HarddiskVolume1"},
      {"\\Device\\HarddiskVolume0\\x.exe", "\\Device\\HarddiskVolume0\\x.exe"},
      {"\\Device\\CdRom0\\setup.exe", "\\Device\\CdRom0\\setup.exe"},
  };
  for (const RuleCase& c : cases) EXPECT_EQ(ConvertDevicePath(c.in, false), c.out) << "input: " << c.in;
}

struct DriverCase {
  std::vector<std::string> present;  // files on the machine
  std::string expected;
};

TEST(DriverSearch, CandidatesInOrder) {
  const std::string name = "beep.sys";
  const std::string drivers = "C:\\WINDOWS\\system32\\drivers\\beep.sys";
  const std::string wow = "C:\\WINDOWS\\SysWOW64\\beep.sys";
  const std::string win = "C:\\WINDOWS\\beep.sys";
  const std::string sys = "C:\\WINDOWS\\system32\\beep.sys";
  const DriverCase cases[] = {
      {{drivers, wow, win, sys}, "C:\\WINDOWS\\system32\\Drivers\\beep.sys"},
      {{sys, drivers}, "C:\\WINDOWS\\system32\\Drivers\\beep.sys"},
      {{sys, win, wow}, "C:\\WINDOWS\\SysWOW64\\beep.sys"},
      {{sys, win}, "C:\\WINDOWS\\beep.sys"},
      {{sys}, "C:\\WINDOWS\\system32\\beep.sys"},
      {{}, "beep.sys"},
  };
  for (const DriverCase& c : cases) {
    sim::SimMachine m;
    for (const std::string& p : c.present) m.AddFile(p);
    platform::Install(m.platform());
    InitFolders();
    EXPECT_EQ(ConvertDevicePath(name, true), c.expected) << "files present: " << c.present.size();
    EXPECT_EQ(m.OpenHandleCount(), 0u);
    platform::Install(Platform{});
  }
}

TEST_F(PathsTest, DriverSearchSkipsFilesThatCannotBeOpened) {
  m.AddFile("C:\\WINDOWS\\system32\\drivers\\locked.sys").denyOpen = true;
  m.AddFile("C:\\WINDOWS\\system32\\locked.sys");
  EXPECT_EQ(ConvertDevicePath("locked.sys", true), "C:\\WINDOWS\\system32\\locked.sys");
  // A rule that matches decides before any search.
  m.AddFile("C:\\WINDOWS\\system32\\drivers\\System32\\x.sys");
  EXPECT_EQ(ConvertDevicePath("System32\\x.sys", true), "C:\\WINDOWS\\System32\\x.sys");
  // With nothing found the volume rule still applies.
  EXPECT_EQ(ConvertDevicePath("\\Device\\HarddiskVolume1\\nowhere.sys", true), "C:\\nowhere.sys");
}

struct CommandCase {
  const char* cmd;
  bool normalise;
  const char* expected;
};

TEST_F(PathsTest, ImagePathFromCommand) {
  m.AddFile("C:\\WINDOWS\\system32\\svchost.exe");
  m.AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
  m.AddFile("C:\\WINDOWS\\system32\\shell32.dll");
  m.AddFile("C:\\Program Files\\App\\app.exe");
  m.AddFile("C:\\Program Files\\Spaced Name\\run me.exe");
  m.AddFile("C:\\WINDOWS\\system32\\drivers\\beep.sys");
  m.AddFile("C:\\T\\a.dll");
  m.AddFile("C:\\T\\a.dll.sys");
  m.AddFile("C:\\T\\b.sys");
  m.AddFile("C:\\T\\b.sys.dll");
  m.AddFile("C:\\app\\tool.exe");

  const CommandCase cases[] = {
      // the service host forms: " -k" gives the image with ".exe"
      {"C:\\WINDOWS\\system32\\svchost -k netsvcs", true, "C:\\WINDOWS\\system32\\svchost.exe"},
      {"C:\\WINDOWS\\system32\\svchost -k netsvcs", false, "C:\\WINDOWS\\system32\\svchost.exe"},
      {"%SystemRoot%\\system32\\svchost.exe -k rpcss", true, "C:\\WINDOWS\\system32\\svchost.exe"},
      {"C:\\WINDOWS\\system32\\svchost.exe -k DcomLaunch", false, "C:\\WINDOWS\\system32\\svchost.exe"},
      // quoted image path followed by a slash option
      {"\"C:\\Program Files\\App\\app.exe\" /background", true, "C:\\Program Files\\App\\app.exe"},
      {"\"C:\\Program Files\\App\\app.exe\" /background", false, "C:\\Program Files\\App\\app.exe"},
      {"\"C:\\Missing\\gone.exe\" /x", false, "C:\\Missing\\gone.exe"},
      // a command line that can be opened as it stands comes back unchanged
      {"C:\\Program Files\\Spaced Name\\run me.exe", true, "C:\\Program Files\\Spaced Name\\run me.exe"},
      // an .exe and later a .dll argument: the text up to the last .exe, in both modes
      {"C:\\WINDOWS\\system32\\rundll32.exe C:\\WINDOWS\\system32\\shell32.dll,Control_RunDLL", true,
       "C:\\WINDOWS\\system32\\rundll32.exe"},
      {"C:\\WINDOWS\\system32\\rundll32.exe C:\\WINDOWS\\system32\\shell32.dll,Control_RunDLL", false,
       "C:\\WINDOWS\\system32\\rundll32.exe"},
      // ".dll" before ".sys" with normalise on, ".sys" before ".dll" with it off
      {"C:\\T\\a.dll.sys -x", true, "C:\\T\\a.dll"},
      {"C:\\T\\a.dll.sys -x", false, "C:\\T\\a.dll.sys"},
      {"C:\\T\\b.sys.dll -x", true, "C:\\T\\b.sys.dll"},
      {"C:\\T\\b.sys.dll -x", false, "C:\\T\\b.sys"},
      // the first " /" when nothing else is there
      {"C:\\app\\tool /s /q", true, "C:\\app\\tool.exe"},
      {"C:\\app\\tool /s /q", false, "C:\\app\\tool.exe"},
      // normalise on: a result that cannot be opened goes through the driver search
      {"beep.sys", true, "C:\\WINDOWS\\system32\\Drivers\\beep.sys"},
      {"\\SystemRoot\\System32\\drivers\\beep.sys", true, "C:\\WINDOWS\\System32\\drivers\\beep.sys"},
      // nothing recognisable: empty with normalise on, the command itself with it off
      {"rundll", true, ""},
      {"rundll", false, "rundll"},
      {"\"quoted\" tail", false, "quoted"},
      // normalise off returns only what can be opened, else the command without its quotes
      {"C:\\nowhere\\x.exe -arg", false, "C:\\nowhere\\x.exe -arg"},
      {"C:\\nowhere\\x.exe -arg", true, "C:\\nowhere\\x.exe"},
  };
  for (const CommandCase& c : cases)
    EXPECT_EQ(GetImagePathFromCommand(c.cmd, c.normalise), c.expected)
        << "cmd: " << c.cmd << " normalise: " << c.normalise;
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(PathsTest, SplitPathList) {
  m.AddFile("C:\\WINDOWS\\system32\\userinit.exe");
  m.AddFile("C:\\WINDOWS\\system32\\wsaux.dll");
  m.AddFile("C:\\Hidden\\h.dll", fattr::Hidden);

  struct Case {
    const char* list;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\system32\\wsaux.dll",
       {"C:\\WINDOWS\\system32\\userinit.exe", "C:\\WINDOWS\\system32\\wsaux.dll"}},
      // each piece resolved by itself
      {"userinit.exe,wsaux.dll", {"C:\\WINDOWS\\system32\\userinit.exe", "C:\\WINDOWS\\system32\\wsaux.dll"}},
      {"C:\\WINDOWS\\system32\\userinit.exe -x,C:\\Hidden\\h.dll",
       {"C:\\WINDOWS\\system32\\userinit.exe", "C:\\Hidden\\h.dll"}},
      // a trailing comma, or one character after the last comma, adds no piece
      {"C:\\WINDOWS\\system32\\userinit.exe,", {"C:\\WINDOWS\\system32\\userinit.exe"}},
      {"C:\\WINDOWS\\system32\\userinit.exe, ", {"C:\\WINDOWS\\system32\\userinit.exe"}},
      {"C:\\WINDOWS\\system32\\userinit.exe", {"C:\\WINDOWS\\system32\\userinit.exe"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitPathList(c.list), c.pieces) << "list: " << c.list;
}

TEST_F(PathsTest, FileTests) {
  m.AddFile("C:\\Data\\plain.txt");
  m.AddFile("C:\\Data\\readonly.txt", fattr::ReadOnly);
  m.AddFile("C:\\Data\\hidden.txt", fattr::Hidden);
  m.AddFile("C:\\Data\\system.txt", fattr::System | fattr::Hidden);
  m.AddFile("C:\\Data\\locked.txt").denyOpen = true;
  m.AddFile("C:\\Data\\Folder", fattr::Directory);

  struct Case {
    std::string path;
    bool exists, opens;
    int listed;  // -1: not asked (the listing takes the path as it stands)
  };
  const Case cases[] = {
      {"C:\\Data\\plain.txt", true, true, true},
      {"c:\\data\\PLAIN.TXT", true, true, true},
      {"  C:\\Data\\plain.txt  ", true, true, -1},
      {std::string("C:\\Data\\plain.txt") + '\0' + "garbage", true, true, -1},
      {"C:\\Data\\readonly.txt", true, true, true},
      {"C:\\Data\\hidden.txt", true, true, false},
      {"C:\\Data\\system.txt", true, true, false},
      {"C:\\Data\\locked.txt", true, false, true},
      {"C:\\Data\\Folder", true, false, false},
      {"C:\\Data\\missing.txt", false, false, false},
      {"", false, false, false},
      {"   ", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(c.path), c.exists) << "FileExists " << c.path;
    EXPECT_EQ(FileCanBeOpened(c.path), c.opens) << "FileCanBeOpened " << c.path;
    if (c.listed >= 0) {
      EXPECT_EQ(DirListingFinds(c.path), c.listed == 1) << "DirListingFinds " << c.path;
    }
  }
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST(GetFileName, PartAfterLastBackslash) {
  EXPECT_EQ(GetFileName("C:\\WINDOWS\\system32\\kernel32.dll"), "kernel32.dll");
  EXPECT_EQ(GetFileName("kernel32.dll"), "kernel32.dll");
  EXPECT_EQ(GetFileName("C:\\WINDOWS\\"), "");
  EXPECT_EQ(GetFileName(""), "");
}

}  // namespace
}  // namespace tv
