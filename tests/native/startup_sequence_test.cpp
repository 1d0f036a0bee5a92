// The start-up sequence of the windowed program over the recording toolkit: the hand-over to a
// running instance, the version check, the privilege and its log, the sound file, the
// installation values, the run and the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "main/front.h"
#include "native/main_window_fixture.h"
#include "scan/scan_lists.h"
#include "sysconfig/registry.h"

namespace tv {
namespace {

using namespace std::string_literals;

const std::string kInstallKey = "HKEY_CURRENT_USER\\SOFTWARE\\Tolvexa\\System";
const std::string kCaption = "Tolvexa  (Professional Edition)";

class StartupSequenceTest : public MainWindowTest {
 protected:
  void TearDown() override {
    app::AlertSoundBytes() = nullptr;
    app::State() = {};
    MainWindowTest::TearDown();
  }
  // StartUp with the default parts; `during` runs inside the event loop with the main window.
  int Start(const std::function<void(app::FrmMain&)>& during = {}) {
    kit.onRun = [&] {
      app::FrmMain* main = app::MainWindow();
      ASSERT_NE(main, nullptr);
      shownLog = Get<ui::RecLabel>("LabState").Text();
      if (during) during(*main);
    };
    const int code = app::StartUp(kit);
    kit.onRun = nullptr;
    return code;
  }
  std::string shownLog;
};

TEST_F(StartupSequenceTest, RunsTheMainWindowAndEndsCleanly) {
  // A trust list from an earlier run; an item added meanwhile is saved at the end.
  ScanItem earlier;
  earlier.Object = "c:\\tools\\earlier.exe";
  const std::string bytes = EncodeListRecords({earlier});
  m.AddFile("C:\\Tools\\Tolvexa\\trust.lst", fattr::Archive, Bytes(bytes.begin(), bytes.end()));

  const int code = Start([&](app::FrmMain& main) {
    EXPECT_TRUE(Form().Visible());
    EXPECT_EQ(Front(), "PicStart");
    ASSERT_EQ(TrustList().size(), 1u);
    ScanItem later;
    later.Object = "c:\\tools\\later.exe";
    TrustList().push_back(later);
    main.TrayMenuClick(app::kTrayQuit);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(shownLog,
            "Adjust privilege -- OK.\r\nLoad resource -- OK.\r\n-----------------------------------\r\n"
            "Initialization -- OK.");
  EXPECT_TRUE(kit.recorder.messages.empty());
  EXPECT_EQ(app::MainWindow(), nullptr);

  // The window was loaded before the loop ran, and everything it took was given back.
  const auto& ev = kit.events;
  auto at = [&](const std::string& e) { return std::find(ev.begin(), ev.end(), e) - ev.begin(); };
  EXPECT_LT(at("tray add"), at("run"));
  EXPECT_LT(at("show frmMain"), at("run"));
  EXPECT_FALSE(kit.trayShown);
  EXPECT_EQ(kit.FindForm("frmMain"), nullptr);

  EXPECT_EQ(RegReadString(kInstallKey, "APP_PATH"), "C:\\Tools\\Tolvexa\\tolvexa.exe");
  EXPECT_EQ(RegReadString(kInstallKey, "APP_VER"), "1.0.0");
  EXPECT_EQ(RegReadString(kInstallKey, "APP_BUILD"), "0");

  const sim::File* saved = m.FindFile("C:\\Tools\\Tolvexa\\trust.lst");
  ASSERT_NE(saved, nullptr);
  const ScanTable table = DecodeListRecords(std::string(saved->contents.begin(), saved->contents.end()));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1].Object.str(), "c:\\tools\\later.exe");
}

// A second launch finds the first instance's window by its caption, hands over and ends before
// it changes anything.
TEST_F(StartupSequenceTest, SecondInstanceActivatesTheFirstAndEnds) {
  kit.otherWindows = {"Some other program", kCaption};
  EXPECT_EQ(app::StartUp(kit), 0);
  EXPECT_EQ(kit.events, (std::vector<std::string>{"activate " + kCaption}));
  EXPECT_TRUE(kit.forms.empty());
  EXPECT_EQ(m.FindKey(kInstallKey), nullptr);
  EXPECT_TRUE(kit.recorder.messages.empty());
}

TEST_F(StartupSequenceTest, UnsupportedWindowsVersionsAreRefused) {
  struct Case {
    OsVersionInfo version;
    std::string refusal;  // "" when the program starts
  };
  const std::vector<Case> cases = {
      {{4, 10, 2222, 1, " A "}, "Sorry! Tolvexa can't support Microsoft Windows 98 A (Build 2222)"},
      {{4, 0, 950, 1, ""}, "Sorry! Tolvexa can't support Microsoft Windows 95  (Build 950)"},
      {{4, 3, 1, 1, ""}, "Sorry! Tolvexa can't support "},  // platform 1 is refused whatever it is
      {{4, 0, 1381, 2, "Service Pack 6"}, "Sorry! Tolvexa can't support Microsoft Windows NT 4.0 Service Pack 6 (Build 1381)"},
      {{3, 51, 1057, 2, ""}, "Sorry! Tolvexa can't support Microsoft Windows NT 3.51  (Build 1057)"},
      {{5, 0, 2195, 2, "Service Pack 4"}, ""},
      {{6, 2, 9200, 2, ""}, ""},  // newer than the table: no text, still runs
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version.build);
    m.state.version = c.version;
    kit.events.clear();
    kit.recorder.messages.clear();
    const int code = Start([](app::FrmMain& main) { main.TrayMenuClick(app::kTrayQuit); });
    if (c.refusal.empty()) {
      EXPECT_EQ(code, 0);
      EXPECT_TRUE(kit.recorder.messages.empty());
      EXPECT_NE(std::find(kit.events.begin(), kit.events.end(), "run"), kit.events.end());
    } else {
      EXPECT_NE(code, 0);
      ASSERT_EQ(kit.recorder.messages.size(), 1u);
      EXPECT_EQ(kit.recorder.messages[0].text, c.refusal);
      EXPECT_EQ(kit.recorder.messages[0].title, "Warning !");
      EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::IconExclamation);
      EXPECT_TRUE(kit.events.empty());
    }
  }
  EXPECT_EQ(app::State().osVersionText, "");
  EXPECT_EQ(app::State().osMajorVersion, 6u);
}

TEST_F(StartupSequenceTest, PrivilegeFailureIsShownAndLoggedAndTheProgramRuns) {
  m.state.debugPrivilegeAvailable = false;
  std::vector<std::string> seen;  // what was up while the message box asked
  kit.onMessageBox = [&](const std::string& text) { seen.push_back(text + " forms:" + std::to_string(kit.forms.size())); };
  const int code = Start([](app::FrmMain& main) { main.TrayMenuClick(app::kTrayQuit); });
  EXPECT_EQ(code, 0);
  ASSERT_EQ(kit.recorder.messages.size(), 1u);
  EXPECT_EQ(kit.recorder.messages[0].text, "Adjust privilege failed.");
  EXPECT_EQ(kit.recorder.messages[0].title, "Error");
  EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::Ok | ui::mb::IconExclamation);
  EXPECT_EQ(seen, (std::vector<std::string>{"Adjust privilege failed. forms:0"}));  // before the window
  EXPECT_EQ(shownLog,
            "Adjust privilege -- Failed.\r\nLoad resource -- OK.\r\n-----------------------------------\r\n"
            "Initialization -- Failed. Some functions are not available!");
}

TEST_F(StartupSequenceTest, SoundFileIsWrittenOnceFromTheCarriedBytes) {
  const std::string sound = "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\shazhu.wav";
  ASSERT_EQ(Folders().SoundFile, sound);
  m.AddFile("C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp", fattr::Directory);
  // Nothing carried: no file.
  EXPECT_FALSE(app::ExtractSoundFile());
  EXPECT_EQ(m.FindFile(sound), nullptr);
  app::AlertSoundBytes() = [] { return ""s; };
  EXPECT_FALSE(app::ExtractSoundFile());
  EXPECT_EQ(m.FindFile(sound), nullptr);

  app::AlertSoundBytes() = [] { return "RIFF\0\0\0\0WAVE"s; };
  EXPECT_TRUE(app::ExtractSoundFile());
  ASSERT_NE(m.FindFile(sound), nullptr);
  EXPECT_EQ(std::string(m.FindFile(sound)->contents.begin(), m.FindFile(sound)->contents.end()), "RIFF\0\0\0\0WAVE"s);
  // A file already there is left as it is.
  m.FindFile(sound)->contents = {'o', 'l', 'd'};
  EXPECT_FALSE(app::ExtractSoundFile());
  EXPECT_EQ(m.FindFile(sound)->contents, (Bytes{'o', 'l', 'd'}));
}

TEST_F(StartupSequenceTest, InstallValuesStopAtTheFirstFailedWrite) {
  EXPECT_EQ(app::WriteInstallInfo(), 0);
  EXPECT_EQ(RegReadString(kInstallKey, "APP_BUILD"), "0");
  // The executable's own name is kept, whatever its letter case.
  m.state.appPath = "D:\\Portable\\TvTool.EXE";
  InitFolders();
  EXPECT_EQ(app::WriteInstallInfo(), 0);
  EXPECT_EQ(RegReadString(kInstallKey, "APP_PATH"), "D:\\Portable\\TvTool.exe");
}

TEST(WindowedFrontEnd, LinesWithoutACommandShowTheMainWindow) {
  struct Case {
    std::vector<std::string> args;
    bool windowed;
  };
  for (const Case& c : std::vector<Case>{{{}, true},
                                         {{"--machine", "m.json"}, true},
                                         {{"--info"}, false},
                                         {{"--machine", "m.json", "--info"}, false},
                                         {{"--machine"}, false}}) {
    SCOPED_TRACE(c.args.size());
    EXPECT_EQ(IsWindowedLine(c.args), c.windowed);
  }
  std::ostringstream out, err;
  EXPECT_EQ(WindowedFrontEnd({}, out, err), 0);
  EXPECT_EQ(out.str(),
            kCaption + "\nAdjust privilege -- OK.\nLoad resource -- OK.\n-----------------------------------\n"
                       "Initialization -- OK.\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ui::CurrentToolkit(), nullptr);
}

}  // namespace
}  // namespace tv
