// The module window in its four modes, driven through the recording toolkit over a simulated
// machine: layout per mode, the message filter, and every action with the answers it asks for.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/paths.h"
#include "process/frm_module.h"
#include "process/modules.h"
#include "process_fixture.h"
#include "ui/recording.h"

namespace tv::test {
namespace {

using ui::RecButton;
using ui::RecForm;
using ui::RecListView;
namespace mb = ui::mb;

constexpr int kYes = mb::IdYes, kNo = mb::IdNo;

class FrmModuleTest : public ProcessMachine {
 protected:
  ui::RecordingToolkit kit;
  process::ModuleWindowHooks hooks;
  std::vector<std::string> forced;  // paths handed to the forced deletion
  bool forceResult = true;

  void SetUp() override {
    ProcessMachine::SetUp();
    ui::InstallToolkit(&kit);
    hooks.forceDelete = [this](std::string& path) {
      forced.push_back(path);
      if (forceResult) RemoveFile(path);
      return forceResult;
    };
  }
  void TearDown() override {
    ui::InstallToolkit(nullptr);
    process::ModuleViewMode() = 0;
    process::ModuleViewPID() = -1;
  }

  // Opens the window in `mode` for `pid` and runs `script` while it is shown.
  void Open(int mode, int pid, std::function<void(RecForm&)> script) {
    process::ModuleViewMode() = mode;
    process::ModuleViewPID() = pid;
    kit.modalScripts.push_back(std::move(script));
    process::ShowModuleWindow(kit, nullptr, hooks);
  }

  static RecListView& List(RecForm& f) { return *f.Get<RecListView>("LVModule"); }
  static RecButton& Button(RecForm& f, int i) { return *f.Get<RecButton>("Command1(" + std::to_string(i) + ")"); }
  static std::string Status(RecForm& f) { return f.Get<ui::RecStatusBar>("StaBar")->PanelText(1); }

  sim::Module Mod(const std::string& path, std::uintptr_t base) {
    m.AddFile(path);
    return {GetFileName(path), path, base, 0x1000};
  }
  // A process with its image and two libraries of its own.
  void AddHost(std::uint32_t pid, const std::string& image, const std::string& lib1, const std::string& lib2) {
    AddProc(pid, image);
    P(pid).modules.push_back(Mod(lib1, 0x10000000));
    P(pid).modules.push_back(Mod(lib2, 0x20000000));
  }
  bool Loaded(std::uint32_t pid, std::uintptr_t base) {
    for (const auto& mod : P(pid).modules)
      if (mod.base == base) return true;
    return false;
  }
  bool Exists(const std::string& path) { return m.FindFile(path) != nullptr; }
  void RemoveFile(const std::string& path) {
    if (sim::File* f = m.FindFile(path)) m.state.files.erase(m.state.files.begin() + (f - m.state.files.data()));
  }
  void RemoveProcess(std::uint32_t pid) {
    if (sim::Process* p = m.FindProcess(pid))
      m.state.processes.erase(m.state.processes.begin() + (p - m.state.processes.data()));
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& msg : kit.recorder.messages) out.push_back(msg.text);
    return out;
  }
};

TEST_F(FrmModuleTest, EachModeBuildsItsColumnsButtonsAndList) {
  AddHost(2000, "C:\\Apps\\host.exe", "C:\\Apps\\one.dll", "C:\\Apps\\two.dll");
  P(2000).threads = {{2004}, {2008}};
  m.state.kernelModules = {{"ntoskrnl.exe", "\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000, 0x1F8580}};
  struct Case {
    int mode, pid;
    std::vector<std::string> captions;
    std::vector<std::string> buttons;  // captions of 0..4, "" when hidden
    bool seekPanel;
    std::string status, firstCell;
  } cases[] = {
      {1, 2000,
       {"&ModuleName", "&BaseAddress", "&PathName", "&BaseSize", "&Company", "&Description", "&Version"},
       {"&Close", "&Refresh", "&Unload", "&Delete", "&Properties"}, false, "3 Module(s)", "host.exe"},
      {2, 2000,
       {"&TID", "&BasePriority", "&StartAddress", "&TebBaseAddress", "&Status"},
       {"&Close", "&Refresh", "&Terminate", "", ""}, false, "2 Thread(s)", "2004"},
      {3, 4,
       {"&ModuleName", "&BaseAddress", "&PathName", "&BaseSize", "&Company", "&Description", "&Version"},
       {"&Close", "&Refresh", "&Unload", "&Delete", "&Properties"}, false, "1 Module(s)", "ntoskrnl.exe"},
      {4, -1,
       {"&OwnerPID", "&PathName", "&OwnerProcess", "&BaseAddress", "&BaseSize"},
       {"&Close", "&Seek Moudle", "&Unload", "&Delete", "&Properties"}, true, "Ready", ""},
      // A module or thread view without a process shows nothing.
      {1, -1,
       {"&ModuleName", "&BaseAddress", "&PathName", "&BaseSize", "&Company", "&Description", "&Version"},
       {"&Close", "&Refresh", "&Unload", "&Delete", "&Properties"}, false, "Ready", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " pid " + std::to_string(c.pid));
    bool ran = false;
    Open(c.mode, c.pid, [&](RecForm& f) {
      ran = true;
      EXPECT_EQ(f.Text(), "Tolvexa");
      EXPECT_EQ(List(f).ColumnCaptions(), c.captions);
      for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Button(f, i).Visible() ? Button(f, i).Text() : "", c.buttons[static_cast<std::size_t>(i)]) << i;
      EXPECT_EQ(f.Find("PicSeek")->Visible(), c.seekPanel);
      EXPECT_EQ(f.Find("TxtSeek") != nullptr && f.Find("LabSeek") != nullptr, true);
      EXPECT_NE(f.Find("PicSideBar"), nullptr);
      EXPECT_EQ(Status(f), c.status);
      EXPECT_EQ(List(f).Cell(0, 0), c.firstCell);
    });
    EXPECT_TRUE(ran);
  }
}

TEST_F(FrmModuleTest, MessageFilterHoldsWhileOpenAndClosingResetsTheView) {
  AddHost(2000, "C:\\Apps\\host.exe", "C:\\Apps\\one.dll", "C:\\Apps\\two.dll");
  const auto trims = m.CallCount("SetProcessWorkingSetSize");
  Open(1, 2000, [&](RecForm& f) {
    EXPECT_TRUE(f.MessageFilter());
    EXPECT_EQ(f.ForeignMessage(16), "");  // another program's WM_CLOSE
    EXPECT_EQ(f.ForeignMessage(13), "");
    EXPECT_FALSE(f.Closed());
    EXPECT_EQ(process::ModuleViewMode(), 1);
    ASSERT_TRUE(Button(f, 0).Click());
    EXPECT_TRUE(f.Closed());
    EXPECT_FALSE(f.MessageFilter());
    EXPECT_EQ(process::ModuleViewMode(), 0);
    EXPECT_EQ(process::ModuleViewPID(), -1);
  });
  EXPECT_EQ(m.CallCount("SetProcessWorkingSetSize"), trims + 1);

  // Closed by its close box (the script returns with the window open): reset all the same.
  Open(2, 2000, [](RecForm&) {});
  EXPECT_EQ(process::ModuleViewMode(), 0);
  EXPECT_EQ(process::ModuleViewPID(), -1);
  EXPECT_EQ(m.CallCount("SetProcessWorkingSetSize"), trims + 2);
}

TEST_F(FrmModuleTest, PropertiesShowsTheFirstSelectedRowOnlyAndNothingWithoutSelection) {
  AddHost(2000, "C:\\Apps\\host.exe", "C:\\Apps\\one.dll", "C:\\Apps\\two.dll");
  kit.propertiesAnswers["C:\\Apps\\one.dll"] = 2;
  Open(1, 2000, [&](RecForm& f) {
    Button(f, 4).Click();
    EXPECT_TRUE(kit.events.back().rfind("modal", 0) == 0);  // nothing asked of the shell
    List(f).Select({1, 2});
    Button(f, 4).Click();
  });
  std::vector<std::string> shown;
  for (const auto& e : kit.events)
    if (e.rfind("properties ", 0) == 0) shown.push_back(e);
  EXPECT_EQ(shown, (std::vector<std::string>{"properties C:\\Apps\\one.dll"}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"can't view properties of this file"}));
}

TEST_F(FrmModuleTest, ThreadModeTerminatesAskingBeforeForce) {
  AddProc(2000, "C:\\Apps\\host.exe");
  sim::Thread plain{2004}, resist{2008}, resistNo{2012}, vanishing{2016};
  resist.resistTerminate = resistNo.resistTerminate = vanishing.resistTerminate = true;
  P(2000).threads = {plain, resist, resistNo, vanishing};
  kit.recorder.answers = {kYes, kNo, kYes};
  Open(2, 2000, [&](RecForm& f) {
    EXPECT_FALSE(Button(f, 3).Click());
    EXPECT_FALSE(Button(f, 4).Click());
    List(f).Select({0, 1, 2, 3});
    // The last thread goes away before the command: neither way reaches it.
    P(2000).threads.pop_back();
    Button(f, 2).Click();
    EXPECT_EQ(Status(f), "3 Thread(s)");
    EXPECT_EQ(List(f).ColumnTexts(4), (std::vector<std::string>{"StateTerminated", "StateTerminated", "StateWait"}));
  });
  const std::string ask = "Can't terminate the selected threads, Do you want to terminate by force?";
  EXPECT_EQ(Texts(), (std::vector<std::string>{ask, ask, ask, " Terminate thread error!"}));
  EXPECT_EQ(kit.recorder.messages[0].flags, mb::YesNo | mb::DefButton2 | mb::IconExclamation);
  EXPECT_EQ(kit.recorder.messages[3].title, "Terminate Thread");
}

TEST_F(FrmModuleTest, UnloadReportsEachFailureAndRefreshes) {
  AddHost(2000, "C:\\Apps\\host.exe", "C:\\Apps\\one.dll", "C:\\Apps\\two.dll");
  Open(1, 2000, [&](RecForm& f) {
    List(f).Select({1, 2});
    P(2000).modules.pop_back();  // two.dll is gone before the command
    Button(f, 2).Click();
    EXPECT_EQ(Status(f), "1 Module(s)");
  });
  EXPECT_FALSE(Loaded(2000, 0x10000000));
  EXPECT_EQ(Texts(), (std::vector<std::string>{" Unload module error!"}));
  EXPECT_EQ(kit.recorder.messages[0].title, "Unload Module");
}

// Modules of a process: one question, unload, then the ordinary deletion per row and the
// forced one offered when it fails; No there stops everything.
TEST_F(FrmModuleTest, DeleteModulesAsksOnceThenOffersForcePerFailingFile) {
  struct Case {
    std::string name;
    std::vector<int> answers;
    bool forceResult;
    std::vector<std::string> texts;
    bool oneGone, twoGone, unloaded, refreshed;
  } cases[] = {
      {"no at the question", {kNo}, true, {"Are you sure to delete the selected moudles?"}, false, false, false, false},
      {"no to force stops", {kYes, kNo}, true,
       {"Are you sure to delete the selected moudles?", "Can't delete file, Do you want to delete by force?"},
       false, false, true, false},
      {"forced deletion fails", {kYes, kYes}, false,
       {"Are you sure to delete the selected moudles?", "Can't delete file, Do you want to delete by force?",
        "Delete file error"},
       false, true, true, true},
      {"forced deletion works", {kYes, kYes}, true,
       {"Are you sure to delete the selected moudles?", "Can't delete file, Do you want to delete by force?"},
       true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kit.recorder.messages.clear();
    forced.clear();
    RemoveProcess(2000);
    AddHost(2000, "C:\\Apps\\host.exe", "C:\\Apps\\one.dll", "C:\\Apps\\two.dll");
    m.FindFile("C:\\Apps\\one.dll")->denyOpen = true;  // the ordinary deletion fails for this one
    kit.recorder.answers = c.answers;
    forceResult = c.forceResult;
    std::string status;
    Open(1, 2000, [&](RecForm& f) {
      List(f).Select({1, 2});
      Button(f, 3).Click();
      status = Status(f);
    });
    EXPECT_EQ(Texts(), c.texts);
    EXPECT_EQ(!Exists("C:\\Apps\\one.dll"), c.oneGone);
    EXPECT_EQ(!Exists("C:\\Apps\\two.dll"), c.twoGone);
    EXPECT_EQ(!Loaded(2000, 0x10000000) && !Loaded(2000, 0x20000000), c.unloaded);
    EXPECT_EQ(status, c.refreshed ? "1 Module(s)" : "3 Module(s)");
    if (c.answers.size() > 1 && c.answers[1] == kYes) EXPECT_EQ(forced, (std::vector<std::string>{"C:\\Apps\\one.dll"}));
    else EXPECT_TRUE(forced.empty());
  }
}

// Kernel modules: unloaded without messages, then one question per row.
TEST_F(FrmModuleTest, DeleteKernelModulesAsksPerRow) {
  const std::string a = "C:\\WINDOWS\\system32\\Drivers\\alpha.sys", b = "C:\\WINDOWS\\system32\\Drivers\\beta.sys";
  m.state.kernelModules = {{"alpha.sys", "\\SystemRoot\\system32\\Drivers\\alpha.sys", 0xF8000000, 0x1000},
                           {"beta.sys", "\\SystemRoot\\system32\\Drivers\\beta.sys", 0xF8100000, 0x1000}};
  struct Case {
    std::string name;
    std::vector<int> answers;
    bool alphaLocked;
    std::vector<std::string> texts;
    bool alphaGone, betaGone;
  } cases[] = {
      {"yes then no", {kYes, kNo}, false,
       {"Are you sure to delete the kernel moudle: " + a + " ?", "Are you sure to delete the kernel moudle: " + b + " ?"},
       true, false},
      {"no then yes", {kNo, kYes}, false,
       {"Are you sure to delete the kernel moudle: " + a + " ?", "Are you sure to delete the kernel moudle: " + b + " ?"},
       false, true},
      {"locked, force refused: the second is never asked", {kYes, kNo}, true,
       {"Are you sure to delete the kernel moudle: " + a + " ?", "Can't delete file, Do you want to delete by force?"},
       false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kit.recorder.messages.clear();
    m.AddFile(a).denyOpen = c.alphaLocked;
    m.AddFile(b);
    kit.recorder.answers = c.answers;
    Open(3, 4, [&](RecForm& f) {
      ASSERT_EQ(List(f).RowCount(), 2);
      List(f).Select({0, 1});
      Button(f, 3).Click();
    });
    EXPECT_EQ(Texts(), c.texts);
    EXPECT_EQ(kit.recorder.messages[0].flags, mb::YesNo | mb::DefButton2);
    EXPECT_EQ(!Exists(a), c.alphaGone);
    EXPECT_EQ(!Exists(b), c.betaGone);
    if (sim::File* f = m.FindFile(a)) f->denyOpen = false;
  }
}

// Seek mode: the module is unloaded from every process holding it (every row, selected or
// not), resisting owners are terminated on request, and only the first row's file goes.
class SeekDeleteTest : public FrmModuleTest {
 protected:
  const std::string first = "C:\\Apps\\evil.dll", second = "C:\\Other\\evil.dll";
  void SetUp() override {
    FrmModuleTest::SetUp();
    AddProc(2000, "C:\\Apps\\a.exe");
    AddProc(3000, "C:\\Apps\\b.exe");
    AddProc(4000, "C:\\Apps\\c.exe");
    Load();
  }
  // Each owner holds its image and evil.dll; both files exist.
  void Load() {
    P(2000).modules = {P(2000).modules[0], Mod(first, 0x10000000)};
    P(3000).modules = {P(3000).modules[0], Mod(second, 0x10000000)};
    P(4000).modules = {P(4000).modules[0], Mod(second, 0x30000000)};
  }
  // Seeks evil.dll, selects row 0 only, makes the module of `stuck` impossible to unload
  // and presses Delete.
  void SeekAndDelete(std::vector<std::uint32_t> stuck) {
    Open(4, -1, [&](RecForm& f) {
      f.Get<ui::RecTextBox>("TxtSeek")->SetText("evil.dll");
      Button(f, 1).Click();
      ASSERT_EQ(List(f).RowCount(), 3);
      List(f).Select({0});
      for (auto pid : stuck) P(pid).modules.pop_back();
      Button(f, 3).Click();
    });
  }
  static std::string Stuck(int pid, const std::string& name) {
    return "Can't unload moudle,It was located in the PID=" + std::to_string(pid) + " of the process " + name +
           "\r\nDo you want to terminate process to continue?";
  }
  const std::string ask = "You have to unload the selected moudle first, Do you want to continue?";
  const std::string forceAsk = "Can't terminate process, Do you want to delete by force?";
};

TEST_F(SeekDeleteTest, NoAtTheFirstQuestionChangesNothing) {
  kit.recorder.answers = {kNo};
  SeekAndDelete({});
  EXPECT_EQ(Texts(), (std::vector<std::string>{ask}));
  EXPECT_EQ(kit.recorder.messages[0].flags, mb::YesNo | mb::DefButton2 | mb::IconInformation);
  EXPECT_TRUE(Loaded(2000, 0x10000000));
  EXPECT_TRUE(Exists(first));
}

TEST_F(SeekDeleteTest, UnloadsEveryRowAndDeletesOnlyTheFirstRowsFile) {
  SeekAndDelete({});
  EXPECT_EQ(Texts(), (std::vector<std::string>{ask}));
  EXPECT_FALSE(Loaded(2000, 0x10000000));
  EXPECT_FALSE(Loaded(3000, 0x10000000));
  EXPECT_FALSE(Loaded(4000, 0x30000000));
  EXPECT_FALSE(Exists(first));
  EXPECT_TRUE(Exists(second));
  EXPECT_TRUE(forced.empty());
}

TEST_F(SeekDeleteTest, OwnerThatKeepsTheModuleIsTerminatedOnYesAndStopsOnNo) {
  kit.recorder.answers = {kYes, kNo};
  SeekAndDelete({3000});
  EXPECT_EQ(Texts(), (std::vector<std::string>{ask, Stuck(3000, "b.exe")}));
  EXPECT_EQ(kit.recorder.messages[1].flags, mb::YesNo | mb::IconInformation);  // Yes is the default
  EXPECT_TRUE(P(3000).alive);
  EXPECT_TRUE(Loaded(4000, 0x30000000));  // the rows after the stop are left alone
  EXPECT_TRUE(Exists(first));

  kit.recorder.messages.clear();
  kit.recorder.answers = {kYes, kYes};
  Load();
  SeekAndDelete({3000});
  EXPECT_EQ(Texts(), (std::vector<std::string>{ask, Stuck(3000, "b.exe")}));
  EXPECT_FALSE(P(3000).alive);
  EXPECT_FALSE(Loaded(4000, 0x30000000));
  EXPECT_FALSE(Exists(first));
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(SeekDeleteTest, OwnerThatSurvivesTerminationLeadsToTheForcedDeletionOfTheFirstFile) {
  P(3000).resistTerminateProcess = P(3000).resistNtTerminate = P(3000).resistJob = true;
  struct Case {
    std::vector<int> answers;
    bool forceResult;
    std::vector<std::string> texts;
    bool firstGone;
  } cases[] = {
      {{kYes, kYes, kNo}, true, {"", "", ""}, false},
      {{kYes, kYes, kYes}, true, {"", "", ""}, true},
      {{kYes, kYes, kYes}, false, {"", "", "", "Delete file error"}, false},
  };
  for (const Case& c : cases) {
    kit.recorder.messages.clear();
    forced.clear();
    kit.recorder.answers = c.answers;
    forceResult = c.forceResult;
    Load();
    SeekAndDelete({3000});
    std::vector<std::string> want = {ask, Stuck(3000, "b.exe"), forceAsk};
    if (c.texts.size() > 3) want.push_back(c.texts[3]);
    EXPECT_EQ(Texts(), want);
    EXPECT_TRUE(P(3000).alive);
    EXPECT_TRUE(Loaded(4000, 0x30000000));  // the forced deletion comes at once
    EXPECT_EQ(!Exists(first), c.firstGone);
    EXPECT_TRUE(Exists(second));
    const bool forceRan = c.answers.back() == kYes;
    EXPECT_EQ(forced, forceRan ? std::vector<std::string>{first} : std::vector<std::string>{});
  }
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(SeekDeleteTest, EnterInTheSeekBoxSeeksAndMovesTheFocus) {
  Open(4, -1, [&](RecForm& f) {
    auto* box = f.Get<ui::RecTextBox>("TxtSeek");
    box->SetText("EVIL.DLL");
    box->PressKey(65);
    EXPECT_EQ(List(f).RowCount(), 0);
    box->PressKey(ui::kVkReturn);
    EXPECT_EQ(List(f).ColumnTexts(0), (std::vector<std::string>{"2000", "3000", "4000"}));
    EXPECT_EQ(List(f).Cell(1, 1), second);
    EXPECT_EQ(Status(f), "3 Module(s)");
    EXPECT_TRUE(Button(f, 1).Focused());
    // The refresh of this mode keeps the list as it is.
    P(2000).modules.pop_back();
    Button(f, 2).Click();
    EXPECT_EQ(List(f).RowCount(), 3);
  });
}

TEST_F(FrmModuleTest, ResizeKeepsTheListBesideTheSideBar) {
  Open(1, -1, [&](RecForm& f) {
    f.SetClientSize({800, 500});
    const ui::Rect r = List(f).Bounds();
    EXPECT_EQ(r.left, 128);
    EXPECT_EQ(r.width, 800 - 128);
    EXPECT_EQ(r.height, 500 - 39);
  });
  Open(4, -1, [&](RecForm& f) {
    const int loadWidth = List(f).Bounds().width;
    EXPECT_EQ(List(f).GetColumn(1).width, loadWidth - 300);
    f.SetClientSize({900, 500});
    const ui::Rect r = List(f).Bounds();
    EXPECT_EQ(r.width, 900 - 128);
    EXPECT_EQ(r.height, 500 - 70);
    EXPECT_GE(r.top, f.Find("PicSeek")->Bounds().height);
    EXPECT_EQ(f.Find("PicSeek")->Bounds().width, 900 - 128);
    EXPECT_EQ(List(f).GetColumn(1).width, 900 - 128 - 350);
  });
}

}  // namespace
}  // namespace tv::test
