// The Win32 widget layer against real windows and common controls (run under Wine; without a
// display Wine's null window driver still keeps every window and control working).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/win32_toolkit.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#undef MessageBox

namespace tv::ui {
namespace {

HWND H(const Control* c) { return static_cast<HWND>(Win32Toolkit::Handle(c)); }

class Win32Widgets : public ::testing::Test {
 protected:
  void SetUp() override { InstallToolkit(&kit); }
  void TearDown() override { InstallToolkit(nullptr); }

  // Runs `work` on another thread while this one keeps handling its messages (a message sent
  // from another thread is delivered only while the receiver pumps).
  void FromOtherThread(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
      work();
      done = true;
    });
    DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 5000) {
      kit.DoEvents();
      Sleep(1);
    }
    t.join();
  }
  void Pump(int ms = 50) {
    DWORD start = GetTickCount();
    do {
      kit.DoEvents();
      Sleep(1);
    } while (GetTickCount() - start < static_cast<DWORD>(ms));
  }

  Win32Toolkit kit;
};

// Every control kind on one form, found by name, nested ones through their pane.
TEST_F(Win32Widgets, FormHoldsEveryControlKindByName) {
  auto form = kit.CreateForm("frmTest", "Widget test", {640, 480});
  form->AddButton("Command1(0)", "Start", {8, 8, 90, 24});
  form->AddLabel("LabState", "line one\r\nline two", {8, 40, 200, 40});
  form->AddPicture("ImgLogo", IconId::Logo, {220, 8, 48, 48});
  form->AddTextBox("txtPath", "C:\\", {8, 90, 200, 22});
  form->AddProgressBar("ProgressBar1", {8, 120, 200, 18});
  form->AddListView("lsvProcesses", {8, 150, 400, 200});
  Pane* pane = form->AddPane("PicStart", {420, 8, 200, 200}, true);
  pane->AddHoverLabel("QuickStartButton(0)", "Startup Manager", IconId::QuickStartup, 0, {4, 4, 120, 64});
  pane->AddLabel("LabInner", "inner", {4, 80, 100, 20});
  form->AddStatusBar("StaBar", 2);
  form->AddTimer("TimerCPU", 1000);

  for (const char* name : {"Command1(0)", "LabState", "ImgLogo", "txtPath", "ProgressBar1", "lsvProcesses", "PicStart",
                           "QuickStartButton(0)", "LabInner", "StaBar"}) {
    Control* c = form->Find(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->Name(), name);
    EXPECT_TRUE(IsWindow(H(c))) << name;
  }
  EXPECT_EQ(form->Find("nothing"), nullptr);
  // Children sit inside their parent's window.
  EXPECT_EQ(GetParent(H(form->Find("LabInner"))), H(pane));
  EXPECT_EQ(GetParent(H(pane)), H(form.get()));

  // Texts round-trip through the windows, UTF-8 included; a multi-line label keeps CR LF.
  EXPECT_EQ(form->Find("LabState")->Text(), "line one\r\nline two");
  form->Find("txtPath")->SetText("C:\\Temp\\\xC3\xA9t\xC3\xA9.txt");
  EXPECT_EQ(form->Find("txtPath")->Text(), "C:\\Temp\\\xC3\xA9t\xC3\xA9.txt");
  char ansi[64] = {};
  GetWindowTextA(H(form.get()), ansi, sizeof ansi);
  EXPECT_STREQ(ansi, "Widget test");

  // The client area has the size asked for; bounds are in the parent's client pixels.
  EXPECT_EQ(form->ClientSize().width, 640);
  EXPECT_EQ(form->ClientSize().height, 480);
  Rect b = form->Find("LabInner")->Bounds();
  EXPECT_EQ(b.left, 4);
  EXPECT_EQ(b.top, 80);
  EXPECT_EQ(b.width, 100);
  form->Find("LabInner")->SetVisible(false);
  EXPECT_FALSE(form->Find("LabInner")->Visible());

  // The picture shows an icon of the program's resources.
  auto* pic = dynamic_cast<Picture*>(form->Find("ImgLogo"));
  EXPECT_EQ(pic->Icon(), IconId::Logo);
  EXPECT_NE(SendMessageW(H(pic), STM_GETICON, 0, 0), 0);

  auto* bar = dynamic_cast<ProgressBar*>(form->Find("ProgressBar1"));
  bar->SetRange(0, 7);
  bar->SetValue(5);
  EXPECT_EQ(bar->Value(), 5);
  EXPECT_EQ(bar->Maximum(), 7);
  EXPECT_EQ(SendMessageW(H(bar), PBM_GETRANGE, FALSE, 0), 7);
}

TEST_F(Win32Widgets, EveryIconNumberIsInTheResources) {
  const int numbers[] = {1, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18, 30, 31, 32, 33, 34,
                         40, 41, 42, 43, 44, 45, 46, 50, 51, 60};
  // The program itself carries them (its own icon, number 1, comes with its version resource).
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program = self;
  program = program.substr(0, program.find_last_of(L'\\') + 1) + L"tolvexa.exe";
  HMODULE exe = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr) << "tolvexa.exe must be built next to the test program";
  for (int n : numbers) {
    for (int size : {16, 32}) {
      HANDLE icon = LoadImageW(exe, MAKEINTRESOURCEW(n), IMAGE_ICON, size, size, 0);
      EXPECT_NE(icon, nullptr) << "icon " << n << " at " << size;
      if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
  }
  FreeLibrary(exe);
}

TEST_F(Win32Widgets, AlertSoundIsAWaveFile) {
  std::string wav = AlertSoundBytes();
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  std::uint32_t riffSize = 0;
  std::memcpy(&riffSize, wav.data() + 4, 4);
  EXPECT_EQ(riffSize + 8, wav.size());
}

TEST_F(Win32Widgets, ListViewRowsCellsAndSelectionReadBackFromTheControl) {
  auto form = kit.CreateForm("frmList", "List", {600, 400});
  ListView* list = form->AddListView("lsvProcesses", {0, 0, 600, 360});
  list->SetExtendedStyle(0x30);
  list->AddColumn({"&Name", "Name", 120});
  list->AddColumn({"&PID", "PID", 50});
  list->AddColumn({"&Path", "Path", 300});
  HWND lv = H(list);
  EXPECT_EQ(list->ColumnCount(), 3);
  EXPECT_EQ(list->GetColumn(1).caption, "PID");
  EXPECT_EQ(list->GetColumn(1).key, "&PID");
  EXPECT_EQ(list->GetColumn(1).width, 50);
  EXPECT_EQ(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x30, 0x30);
  list->SetColumnWidth(2, 222);
  EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 2, 0), 222);

  list->AddRows({{"smss.exe", {"400", "C:\\windows\\system32\\smss.exe"}, -1, ""},
                 {"only text", {}, -1, ""},
                 {"\xE4\xB8\xAD.exe", {"8", "C:\\\xE4\xB8\xAD.exe"}, -1, ""}});
  ASSERT_EQ(list->RowCount(), 3);
  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(list->Cell(0, 2), "C:\\windows\\system32\\smss.exe");
  EXPECT_EQ(list->Cell(1, 1), "");  // a row without sub-items
  EXPECT_EQ(list->Cell(2, 0), "\xE4\xB8\xAD.exe");
  EXPECT_EQ(list->Cell(7, 0), "");  // outside the rows
  EXPECT_EQ(list->Cell(0, -1), "");
  // A long cell is read in full.
  std::string longText(3000, 'x');
  list->SetCell(1, 2, longText);
  EXPECT_EQ(list->Cell(1, 2), longText);

  list->SetSelected(0, true);
  list->SetSelected(2, true);
  EXPECT_EQ(list->SelectedRows(), (std::vector<int>{0, 2}));
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  list->SetSelected(0, false);
  EXPECT_EQ(list->FirstSelected(), 2);

  list->RemoveRow(0);
  EXPECT_EQ(list->RowCount(), 2);
  EXPECT_EQ(list->Cell(0, 0), "only text");
  list->ClearColumns();
  EXPECT_EQ(list->ColumnCount(), 0);
  list->ClearRows();
  EXPECT_EQ(list->RowCount(), 0);

  // A single-selection list keeps one selected row.
  ListView* single = form->AddListView("LVModule", {0, 0, 300, 200}, false);
  single->AddColumn({"k", "c", 100});
  single->AddRows({{"a", {}, -1, ""}, {"b", {}, -1, ""}});
  single->SetSelected(0, true);
  single->SetSelected(1, true);
  EXPECT_EQ(single->SelectedRows(), (std::vector<int>{1}));
}

TEST_F(Win32Widgets, ListViewIconsFromFilesFallbackAndResources) {
  auto form = kit.CreateForm("frmIcons", "Icons", {400, 300});
  ListView* list = form->AddListView("lsv", {0, 0, 400, 300});
  list->AddColumn({"k", "Name", 200});
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  list->SetIconFallback(self);
  list->AddRow({"file", {}, -1, self});
  list->AddRow({"missing file", {}, -1, "C:\\no\\such\\file.exe"});
  list->AddRow({"resource", {}, static_cast<int>(IconId::RiskDangerous), ""});
  list->AddRow({"none", {}, -1, ""});
  auto image = [&](int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(H(list), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  };
  EXPECT_GE(image(0), 0);
  EXPECT_EQ(image(1), image(0));  // the fallback file's icon, cached once
  EXPECT_GE(image(2), 0);
  EXPECT_NE(image(2), image(0));
  EXPECT_LT(image(3), 0);
  HIMAGELIST small = reinterpret_cast<HIMAGELIST>(SendMessageW(H(list), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  EXPECT_EQ(ImageList_GetImageCount(small), 2);
}

TEST_F(Win32Widgets, StatusPanelsCountFromOne) {
  auto form = kit.CreateForm("frmStatus", "Status", {500, 300});
  StatusBar* status = form->AddStatusBar("StaBar", 2);
  status->SetPanelText(1, "Process: 12 , Hidden Process: 0");
  status->SetPanelText(2, "CPU: 3%");
  status->SetPanelText(0, "ignored");
  status->SetPanelText(3, "ignored");
  EXPECT_EQ(status->PanelText(1), "Process: 12 , Hidden Process: 0");
  EXPECT_EQ(status->PanelText(2), "CPU: 3%");
  EXPECT_EQ(status->PanelText(0), "");
  EXPECT_EQ(status->PanelText(3), "");
  EXPECT_EQ(SendMessageW(H(status), SB_GETPARTS, 0, 0), 2);
  wchar_t text[64] = {};
  SendMessageW(H(status), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Process: 12 , Hidden Process: 0");
}

// The messages other programs send are dropped while the filter is on; the form's own caption
// changes and its close box keep working.
TEST_F(Win32Widgets, MessageFilterDropsForeignCloseAndCaptionMessages) {
  auto form = kit.CreateForm("frmMain", "Tolvexa  (Professional Edition)", {400, 300});
  int closeAsked = 0;
  form->onClose = [&] {
    ++closeAsked;
    return false;
  };
  form->Show();
  HWND hwnd = H(form.get());

  struct Result {
    LRESULT got = -1;
    std::wstring text;
  };
  auto foreignGetText = [&] {
    Result r;
    wchar_t buf[128] = {};
    FromOtherThread([&] { r.got = SendMessageW(hwnd, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(buf)); });
    r.text = buf;
    return r;
  };

  // Without the filter another thread reads and changes the caption and asks to close.
  Result open = foreignGetText();
  EXPECT_EQ(open.text, L"Tolvexa  (Professional Edition)");
  FromOtherThread([&] { SendMessageW(hwnd, WM_CLOSE, 0, 0); });
  EXPECT_EQ(closeAsked, 1);

  form->SetMessageFilter(true);
  EXPECT_TRUE(form->MessageFilter());
  Result filtered = foreignGetText();
  EXPECT_EQ(filtered.got, 0);
  EXPECT_EQ(filtered.text, L"");
  FromOtherThread([&] { SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Owned")); });
  FromOtherThread([&] { SendMessageW(hwnd, WM_CLOSE, 0, 0); });
  FromOtherThread([&] { SendMessageW(hwnd, WM_DESTROY, 0, 0); });
  EXPECT_EQ(closeAsked, 1);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(form->Text(), "Tolvexa  (Professional Edition)");

  // The form's own caption change and close still work.
  form->SetText("Tolvexa  (Scanning)");
  EXPECT_EQ(form->Text(), "Tolvexa  (Scanning)");
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(closeAsked, 2);
  form->onClose = nullptr;
  EXPECT_TRUE(form->Close());
  EXPECT_TRUE(form->Closed());
  EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(Win32Widgets, PopupMenuLeavesHiddenItemsOutAndKeepsIndexes) {
  auto form = kit.CreateForm("frmMenu", "Menu", {300, 200});
  form->Show();
  Menu menu{"mnuTest", {{"First"}, {"Hidden", false}, {"-"}, {"Fourth"}, {"Grey", true, false}}};
  struct Seen {
    int items = -1;
    std::wstring second;
    UINT greyState = 0;
  } seen;
  // The menu is modal: another thread looks at it and chooses with the keyboard.
  auto pick = [&](std::vector<WPARAM> keys) {
    int result = -2;
    std::atomic<bool> done{false};
    std::thread t([&] {
      HWND menuWnd = nullptr;
      for (int i = 0; i < 200 && !menuWnd; ++i, Sleep(10)) menuWnd = FindWindowW(L"#32768", nullptr);
      if (menuWnd) {
        HMENU m = reinterpret_cast<HMENU>(SendMessageW(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
        if (m) {
          seen.items = GetMenuItemCount(m);
          wchar_t text[64] = {};
          GetMenuStringW(m, 1, text, 64, MF_BYPOSITION);
          seen.second = text;
          seen.greyState = GetMenuState(m, 5, MF_BYCOMMAND);
        }
        for (WPARAM k : keys) {
          PostMessageW(menuWnd, WM_KEYDOWN, k, 0);
          Sleep(20);
        }
      }
      done = true;
    });
    result = form->PopupMenu(menu);
    t.join();
    return result;
  };
  EXPECT_EQ(pick({VK_DOWN, VK_DOWN, VK_RETURN}), 3);
  EXPECT_EQ(seen.items, 4);  // First, separator, Fourth, Grey
  EXPECT_EQ(seen.second, L"");  // position 1 is the separator
  EXPECT_TRUE(seen.greyState & MF_GRAYED);
  EXPECT_EQ(pick({VK_ESCAPE}), -1);
}

TEST_F(Win32Widgets, KeysReachTheFormFirstAndTextBoxesSeeEnter) {
  auto form = kit.CreateForm("frmKeys", "Keys", {400, 300});
  ListView* list = form->AddListView("lsv", {0, 0, 400, 200});
  TextBox* box = form->AddTextBox("txt", "", {0, 210, 200, 22});
  std::vector<int> formKeys, listKeys, boxKeys;
  form->onKeyDown = [&](int key, std::uint32_t) {
    formKeys.push_back(key);
    return key == kVkF5;  // the form keeps F5 for itself
  };
  list->onKeyDown = [&](int key) { listKeys.push_back(key); };
  box->onKeyDown = [&](int key) { boxKeys.push_back(key); };
  form->Show();
  PostMessageW(H(list), WM_KEYDOWN, kVkF5, 0);
  PostMessageW(H(list), WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(H(box), WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_EQ(formKeys, (std::vector<int>{kVkF5, VK_DOWN, VK_RETURN}));
  EXPECT_EQ(listKeys, (std::vector<int>{VK_DOWN}));
  EXPECT_EQ(boxKeys, (std::vector<int>{VK_RETURN}));
}

TEST_F(Win32Widgets, ClicksTimersAndBlockedListInput) {
  auto form = kit.CreateForm("frmClicks", "Clicks", {400, 300});
  Button* button = form->AddButton("CmdScan", "Scan", {300, 260, 90, 24});
  ListView* list = form->AddListView("lsv", {0, 0, 300, 200});
  list->AddColumn({"k", "Name", 200});
  list->AddRows({{"a", {}, -1, ""}, {"b", {}, -1, ""}});
  int clicks = 0, ticks = 0;
  button->onClick = [&] { ++clicks; };
  Timer* timer = form->AddTimer("TimerCPU", 10);
  timer->onTick = [&] { ++ticks; };
  form->Show();
  SendMessageW(H(button), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  button->SetEnabled(false);
  EXPECT_FALSE(button->Enabled());

  Pump(150);
  EXPECT_GT(ticks, 2);
  timer->SetEnabled(false);
  Pump(30);
  int stopped = ticks;
  Pump(80);
  EXPECT_EQ(ticks, stopped);

  // A blocked list ignores the mouse: a click on row 1 selects nothing.
  RECT rc{};
  rc.left = LVIR_LABEL;
  SendMessageW(H(list), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
  LPARAM at = MAKELPARAM(rc.left + 4, (rc.top + rc.bottom) / 2);
  list->SetInputBlocked(true);
  PostMessageW(H(list), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(H(list), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(list->FirstSelected(), -1);
  list->SetInputBlocked(false);
  PostMessageW(H(list), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(H(list), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(list->FirstSelected(), 1);
}

TEST_F(Win32Widgets, HoverLabelUnderlinesOnceAndClicks) {
  auto form = kit.CreateForm("frmHover", "Hover", {400, 300});
  form->SetBounds({600, 500, 420, 340});  // the cursor (top left) is outside
  HoverLabel* label = form->AddHoverLabel("xpLabHome", "Home page", IconId::About, 2, {10, 10, 120, 24});
  int moves = 0, clicks = 0, ups = 0;
  label->onMouseMove = [&](int, int, float, float) { ++moves; };
  label->onClick = [&] { ++clicks; };
  label->onMouseUp = [&](int, int, float, float) { ++ups; };
  form->Show();
  SetCursorPos(0, 0);
  HWND h = H(label);
  SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(9, 6));
  EXPECT_EQ(moves, 1);  // once per entry
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(clicks, 1);
  // A release outside the control is no click.
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  EXPECT_EQ(clicks, 1);
  // The 50 ms check finds the cursor outside: the next entry raises MouseMove again.
  Pump(150);
  SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(moves, 2);
  label->SetBody(7);  // not a layout: kept
  EXPECT_EQ(label->Body(), 2);
  EXPECT_EQ(label->BackColor(), 0x00D8E9ECu);
}

TEST_F(Win32Widgets, ModalFormDisablesTheOthersUntilItCloses) {
  auto main = kit.CreateForm("frmMain", "Main", {400, 300});
  main->Show();
  auto modal = kit.CreateForm("FrmModule", "Modules", {300, 200});
  bool mainEnabledMeanwhile = true;
  int closed = 0;
  Timer* t = modal->AddTimer("close", 30);
  t->onTick = [&] {
    mainEnabledMeanwhile = main->Enabled();
    modal->Close();
  };
  modal->onClosed = [&] { ++closed; };
  modal->ShowModal();
  EXPECT_FALSE(mainEnabledMeanwhile);
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(main->Enabled());
  EXPECT_TRUE(modal->Closed());
}

TEST_F(Win32Widgets, PanesComeToTheFrontAndMinimumSizeHolds) {
  auto form = kit.CreateForm("frmMain", "Main", {500, 400});
  Pane* start = form->AddPane("PicStart", {10, 10, 300, 300});
  ListView* list = form->AddListView("lsvProcesses", {10, 10, 300, 300});
  list->BringToFront();
  EXPECT_EQ(GetWindow(H(form.get()), GW_CHILD), H(list));
  start->BringToFront();
  EXPECT_EQ(GetWindow(H(form.get()), GW_CHILD), H(start));

  form->SetMinimumSize({500, 400});
  MINMAXINFO info{};
  SendMessageW(H(form.get()), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  RECT outer{0, 0, 500, 400};
  AdjustWindowRectEx(&outer, GetWindowLongW(H(form.get()), GWL_STYLE), FALSE,
                     GetWindowLongW(H(form.get()), GWL_EXSTYLE));
  EXPECT_EQ(info.ptMinTrackSize.x, outer.right - outer.left);
  EXPECT_EQ(info.ptMinTrackSize.y, outer.bottom - outer.top);
  form->SetClientSize({200, 100});
  EXPECT_EQ(form->ClientSize().width, 500);
}

TEST_F(Win32Widgets, TrayTipIsCutWithoutSplittingACharacter) {
  auto form = kit.CreateForm("frmMain", "Main", {300, 200});
  kit.AddTrayIcon(*form, {IconId::Tray, ""});
  std::string tip(62, 'a');
  tip += "\xC3\xA9\xC3\xA9";  // two 2-byte characters across the 63-byte limit
  kit.SetTrayTip(tip);
  EXPECT_EQ(kit.TrayTip(), std::string(62, 'a'));
  kit.SetTrayTip("Tolvexa 1.0\r\nhttp://www.tolvexa.example");
  EXPECT_EQ(kit.TrayTip(), "Tolvexa 1.0\r\nhttp://www.tolvexa.example");
  kit.RemoveTrayIcon();
  EXPECT_FALSE(kit.TrayShown());
}

}  // namespace
}  // namespace tv::ui
