// The process tab: rows and counts of the snapshot, and the commands of its pop-up menu run
// through the recording toolkit over a simulated machine.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/paths.h"
#include "process/frm_module.h"
#include "process/process_list.h"
#include "process/process_view.h"
#include "process_fixture.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace tv::test {
namespace {

using process::ProcessMenuClick;
using ui::RecListView;

class ProcessViewTest : public ProcessMachine {
 protected:
  ui::RecordingToolkit kit;
  std::unique_ptr<ui::Form> main;
  RecListView* list = nullptr;
  ui::RecStatusBar* status = nullptr;
  process::ProcessTabHost host;
  int shows = 0;                        // how often the snapshot was shown (one per refresh)
  std::vector<std::string> forced;      // paths handed to the forced deletion
  bool forceResult = false;

  void SetUp() override {
    ProcessMachine::SetUp();
    LoadEnglishText();
    ui::InstallToolkit(&kit);
    main = kit.CreateForm("frmMain", "Tolvexa", {800, 600});
    list = dynamic_cast<RecListView*>(main->AddListView("lsvProcesses", {0, 0, 800, 500}));
    status = dynamic_cast<ui::RecStatusBar*>(main->AddStatusBar("StaBar", 3));
    host.owner = main.get();
    host.list = list;
    host.status = status;
    host.forceDelete = [this](std::string& path) {
      forced.push_back(path);
      return forceResult;
    };
    ProcessListShowHook() = [this] {
      ++shows;
      process::ShowProcessList(host);
    };
  }
  void TearDown() override {
    ProcessListShowHook() = nullptr;
    main.reset();
    ui::InstallToolkit(nullptr);
    process::ModuleViewMode() = 0;
    process::ModuleViewPID() = -1;
  }

  // Refreshes, then selects the rows of these PIDs.
  void SelectPids(const std::vector<std::int32_t>& pids) {
    std::vector<int> rows;
    for (int i = 0; i < list->RowCount(); ++i)
      for (auto pid : pids)
        if (list->Cell(i, 1) == std::to_string(pid)) rows.push_back(i);
    ASSERT_EQ(rows.size(), pids.size());
    list->Select(rows);
  }
  void Refresh() {
    ProcessMenuClick(host, process::kMenuRefresh);
    shows = 0;
  }
  bool Listed(std::int32_t pid) const {
    for (int i = 0; i < list->RowCount(); ++i)
      if (list->Cell(i, 1) == std::to_string(pid)) return true;
    return false;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& msg : kit.recorder.messages) out.push_back(msg.text);
    return out;
  }
};

TEST_F(ProcessViewTest, RowsFollowTheSnapshotAndHiddenProcessesAreCountedTwice) {
  AddProc(2000, "C:\\Apps\\editor.exe", "Acme Corp", "Text editor", "2.1");
  AddProc(3000, "C:\\Temp\\ghost.exe");
  P(3000).hiddenFromToolhelp = true;
  AddHandles(3000, 3);
  Refresh();

  const ProcessList& snap = GetProcessList();
  ASSERT_EQ(list->RowCount(), static_cast<int>(snap.size()));
  for (int i = 0; i < list->RowCount(); ++i) EXPECT_EQ(list->Cell(i, 1), std::to_string(snap[i].PID));

  SelectPids({2000});
  const int row = list->FirstSelected();
  EXPECT_EQ(list->rows_[row].cells, (std::vector<std::string>{"editor.exe", "2000", "No", "C:\\Apps\\editor.exe",
                                                              "Acme Corp", "Text editor", "2.1"}));
  EXPECT_EQ(list->rows_[row].iconFile, "C:\\Apps\\editor.exe");
  SelectPids({3000});
  EXPECT_EQ(list->Cell(list->FirstSelected(), 2), "Yes");
  SelectPids({4});
  EXPECT_EQ(list->Cell(list->FirstSelected(), 3), "NT OS Kernel");
  EXPECT_EQ(list->fallback_, "C:\\WINDOWS\\system32\\smss.exe");
  // idle, System, the tool, the editor and the hidden one.
  EXPECT_EQ(status->PanelText(1), "Process: 5 , Hidden Process: 1");
}

TEST_F(ProcessViewTest, MenuHoldsTheFourteenEntriesWithSeparatorsInPlace) {
  const ui::Menu menu = process::ProcessMenu();
  ASSERT_EQ(menu.items.size(), 14u);
  for (int i : {2, 6, 10}) EXPECT_EQ(menu.items[i].caption, "-") << i;
  EXPECT_EQ(menu.items[0].caption, "&Refresh Process List               F5");
  EXPECT_EQ(menu.items[7].caption, "&Module Information");
  EXPECT_EQ(menu.items[13].caption, "&Delete Image File");
}

TEST_F(ProcessViewTest, TerminateReportsEachFailingRowOnceAndRefreshesOnce) {
  AddProc(2000, "C:\\Apps\\gone.exe");
  AddProc(2100, "C:\\Apps\\stubborn.exe");
  P(2100).resistTerminateProcess = P(2100).resistNtTerminate = P(2100).resistJob = true;
  AddProc(2200, "C:\\Apps\\plain.exe");
  Refresh();
  SelectPids({2000, 2100, 2200});
  // 2000 ended after the list was shown: its row can no longer be opened.
  auto& procs = m.state.processes;
  procs.erase(procs.begin() + (m.FindProcess(2000) - procs.data()));

  const auto sleeps = m.CallCount("Sleep");
  ProcessMenuClick(host, process::kMenuTerminate);

  EXPECT_EQ(Texts(), (std::vector<std::string>{"Can't open process handle, C:\\Apps\\gone.exe",
                                               "Terminate process failed, C:\\Apps\\stubborn.exe"}));
  for (const auto& msg : kit.recorder.messages) {
    EXPECT_EQ(msg.title, "Tolvexa");
    EXPECT_EQ(msg.flags, ui::mb::IconExclamation);
  }
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(m.CallCount("Sleep"), sleeps + 1);
  EXPECT_TRUE(Listed(2100));
  EXPECT_FALSE(Listed(2200));
  EXPECT_EQ(m.OpenHandleCount(), 0u);
}

TEST_F(ProcessViewTest, DeleteImageFilesTerminatesThenDeletesEachWayAndReportsPerRow) {
  AddProc(2000, "C:\\Apps\\plain.exe");
  AddProc(2100, "C:\\Apps\\locked.exe");
  m.FindFile("C:\\Apps\\locked.exe")->denyOpen = true;
  AddProc(2200, "C:\\Temp\\ghost.exe");
  P(2200).hiddenFromToolhelp = true;
  P(2200).imagePathUnreadable = true;
  AddHandles(2200, 1);
  Refresh();
  SelectPids({2000, 2100, 2200});
  SelectPids({2200});
  ASSERT_EQ(list->Cell(list->FirstSelected(), 3), kPathMsgHooked);
  SelectPids({2000, 2100, 2200});

  ProcessMenuClick(host, process::kMenuDeleteImage);

  ASSERT_FALSE(kit.recorder.messages.empty());
  EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::YesNo | ui::mb::DefButton2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Are you sure to delete the selected image files?",
                                               "Delete file error", "Can't found file, Wrong pathname"}));
  EXPECT_EQ(m.FindFile("C:\\Apps\\plain.exe"), nullptr);
  EXPECT_NE(m.FindFile("C:\\Apps\\locked.exe"), nullptr);
  EXPECT_EQ(forced, (std::vector<std::string>{"C:\\Apps\\locked.exe"}));
  EXPECT_FALSE(Listed(2000));
  EXPECT_FALSE(Listed(2100));  // terminated in the first pass
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(kit.recorder.doEvents, 1);
}

TEST_F(ProcessViewTest, DeleteImageFilesAnsweredNoTouchesNothing) {
  AddProc(2000, "C:\\Apps\\plain.exe");
  Refresh();
  SelectPids({2000});
  kit.recorder.answers = {ui::mb::IdNo};
  ProcessMenuClick(host, process::kMenuDeleteImage);
  EXPECT_EQ(kit.recorder.messages.size(), 1u);
  EXPECT_NE(m.FindFile("C:\\Apps\\plain.exe"), nullptr);
  EXPECT_TRUE(P(2000).alive);
  EXPECT_EQ(shows, 0);
}

TEST_F(ProcessViewTest, ForcedDeletionRunsWhenTheProcessSurvivedAndStaysQuietOnSuccess) {
  AddProc(2100, "C:\\Apps\\stubborn.exe");
  P(2100).resistTerminateProcess = P(2100).resistNtTerminate = P(2100).resistJob = true;
  m.FindFile("C:\\Apps\\stubborn.exe")->denyOpen = true;
  Refresh();
  SelectPids({2100});
  forceResult = true;
  ProcessMenuClick(host, process::kMenuDeleteImage);
  EXPECT_EQ(forced, (std::vector<std::string>{"C:\\Apps\\stubborn.exe"}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Are you sure to delete the selected image files?"}));
}

// The module window opens in the mode the row asks for; the two values reach it.
TEST_F(ProcessViewTest, ModuleAndThreadCommandsOpenTheWindowInTheRightMode) {
  AddProc(2000, "C:\\Apps\\editor.exe");
  m.state.kernelModules = {{"ntoskrnl.exe", "\\SystemRoot\\system32\\ntoskrnl.exe", 0x804D7000, 0x1F8580}};
  m.AddFile("C:\\WINDOWS\\system32\\ntoskrnl.exe");
  Refresh();
  struct Case {
    std::int32_t pid;
    int index;
    int mode;
    std::string firstCaption, firstCell;
  } cases[] = {
      {4, process::kMenuModules, 3, "&ModuleName", "ntoskrnl.exe"},
      // As the module snapshot reads identifier 0: the tool's own process.
      {0, process::kMenuModules, 1, "&ModuleName", "tolvexa.exe"},
      {2000, process::kMenuModules, 1, "&ModuleName", "editor.exe"},
      {2000, process::kMenuThreads, 2, "&TID", "2004"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pid) + " / " + std::to_string(c.index));
    SelectPids({c.pid});
    int mode = -1, pid = -2;
    std::string caption, cell;
    kit.modalScripts.push_back([&](ui::RecForm& f) {
      mode = process::ModuleViewMode();
      pid = process::ModuleViewPID();
      auto* lv = f.Get<RecListView>("LVModule");
      caption = lv->GetColumn(0).caption;
      cell = lv->Cell(0, 0);
    });
    ProcessMenuClick(host, c.index);
    EXPECT_EQ(mode, c.mode);
    EXPECT_EQ(pid, c.pid);
    EXPECT_EQ(caption, c.firstCaption);
    EXPECT_EQ(cell, c.firstCell);
    EXPECT_EQ(process::ModuleViewMode(), 0);
  }

  // Without a selection neither command opens anything; the seek needs none.
  list->Select({});
  const auto before = kit.events.size();
  ProcessMenuClick(host, process::kMenuModules);
  ProcessMenuClick(host, process::kMenuThreads);
  EXPECT_EQ(kit.events.size(), before);
  int seekMode = 0;
  kit.modalScripts.push_back([&](ui::RecForm&) { seekMode = process::ModuleViewMode(); });
  ProcessMenuClick(host, process::kMenuSeek);
  EXPECT_EQ(seekMode, 4);
}

TEST_F(ProcessViewTest, ShellCommandsUseTheSelectedPaths) {
  AddProc(2000, "C:\\Apps\\a.exe");
  AddProc(2100, "C:\\Apps\\b.exe");
  AddProc(2200, "C:\\Temp\\ghost.exe");
  P(2200).hiddenFromToolhelp = true;
  P(2200).imagePathUnreadable = true;
  AddHandles(2200, 1);
  Refresh();

  // Properties: every selected row; "file not found" is reported and the next row still runs.
  SelectPids({2000, 2100});
  kit.propertiesAnswers["C:\\Apps\\a.exe"] = 2;
  ProcessMenuClick(host, process::kMenuProperties);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Can't view properties of this file"}));
  EXPECT_EQ(kit.recorder.messages[0].flags, ui::mb::IconExclamation);
  std::vector<std::string> shown;
  for (const auto& e : kit.events)
    if (e.rfind("properties ", 0) == 0) shown.push_back(e);
  EXPECT_EQ(shown, (std::vector<std::string>{"properties C:\\Apps\\a.exe", "properties C:\\Apps\\b.exe"}));

  // Open location: the first selected row only; a lookup message is passed on as it is.
  SelectPids({2100, 2200});
  ProcessMenuClick(host, process::kMenuOpenLocation);
  SelectPids({2200});
  ProcessMenuClick(host, process::kMenuOpenLocation);
  ASSERT_EQ(m.state.shellExecuted.size(), 2u);
  EXPECT_EQ(m.state.shellExecuted[0].file, "explorer.exe");
  EXPECT_EQ(m.state.shellExecuted[0].parameters, "/select, C:\\Apps\\b.exe");
  EXPECT_EQ(m.state.shellExecuted[1].parameters, std::string("/select, ") + kPathMsgHooked);
  EXPECT_EQ(m.state.shellExecuted[0].show, 1);

  ProcessMenuClick(host, process::kMenuNewTask);
  EXPECT_EQ(kit.events.back(),
            "run Create New Process|Type the name of a program, folder, document, or Internet Resource, "
            "and Windows will open it for you.");
}

TEST_F(ProcessViewTest, EndTaskClosesTheWindowsOfEachSelectedProcessAndRefreshesOnce) {
  AddProc(2000, "C:\\Apps\\a.exe");
  AddProc(2100, "C:\\Apps\\b.exe");
  m.state.windows.push_back({0x100, 0, 2000, 0, {}, true, "A", "a"});
  m.state.windows.push_back({0x200, 0, 2100, 0, {}, true, "B", "b"});
  m.state.windows.push_back({0x300, 0, 2100, 0, {}, true, "B2", "b2"});
  Refresh();
  SelectPids({2000, 2100});
  ProcessMenuClick(host, process::kMenuEndTask);
  EXPECT_EQ(m.state.posted.size(), 3u);
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(Listed(2000));
  EXPECT_FALSE(Listed(2100));
}

}  // namespace
}  // namespace tv::test
