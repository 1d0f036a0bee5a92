// Drives the windows of another program in the same desktop, for the GUI checks:
//   gui_driver wait CAPTION [SECONDS]          the top-level window appears (exit 0) or not (1)
//   gui_driver gone CAPTION [SECONDS]          no visible window with that caption remains
//   gui_driver count CAPTION                   prints how many top-level windows have it
//   gui_driver click CAPTION CONTROL           a button, label or hover label by caption or #id
//   gui_driver rows CAPTION [LIST]             the rows of the window's list view (0-based
//                                              among its list views), cells tab-separated
//   gui_driver select CAPTION ROW[,ROW..] [LIST]  selects exactly those rows
//   gui_driver rclick CAPTION ROW [LIST]       right-clicks the row (opens its pop-up menu)
//   gui_driver menu ITEM                       chooses the item of the open pop-up menu by its
//                                              caption ("Clean &Dangerous Items"; under Wine
//                                              by the caption's & key), or "@N" the Nth item
//   gui_driver status CAPTION                  the status bar's panels, one per line
//   gui_driver foreign CAPTION                 as another program: WM_GETTEXT, WM_SETTEXT,
//                                              WM_CLOSE; prints what came back and whether
//                                              the window is still there
//   gui_driver texts CAPTION                   every visible child's class, id and text (a
//                                              message box's words, a dialog's controls)
//   gui_driver state CAPTION                   whether the window is visible and enabled
// CAPTION may carry the window class in brackets before it: "[#32770]Tolvexa" is a dialog (a
// message box) with that caption, "[TolvexaForm]Tolvexa" one of the program's own windows, and
// "[#32770]" any dialog.
// Every answer goes to standard output and, when TV_DRIVER_OUT names a file, is appended there
// (the virtual desktop's launcher does not pass exit codes on).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const char* s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  w.resize(wcslen(w.c_str()));
  return w;
}
std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  s.resize(strlen(s.c_str()));
  return s;
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (const char* out = std::getenv("TV_DRIVER_OUT")) {
    if (FILE* f = std::fopen(out, "ab")) {
      std::fprintf(f, "%s\n", line.c_str());
      std::fclose(f);
    }
  }
}

// Caption of a window of another process, read the way the system keeps it (no message).
std::wstring Caption(HWND h) {
  wchar_t buf[512] = {};
  InternalGetWindowText(h, buf, 512);
  return buf;
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[128] = {};
  GetClassNameW(h, buf, 128);
  return buf;
}

struct TopSearch {
  std::wstring cls;      // empty: any class
  std::wstring caption;  // empty with a class: any caption
  std::vector<HWND> found;
};
BOOL CALLBACK TopProc(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  if (!s->cls.empty() && _wcsicmp(ClassOf(h).c_str(), s->cls.c_str()) != 0) return TRUE;
  if ((s->cls.empty() || !s->caption.empty()) && Caption(h) != s->caption) return TRUE;
  // A class alone stands for a window someone can answer: a caption and a button (Wine's
  // desktop keeps captionless dialogs of its own).
  if (!s->cls.empty() && s->caption.empty()) {
    if (Caption(h).empty()) return TRUE;
    if (!FindWindowExW(h, nullptr, L"Button", nullptr)) return TRUE;
  }
  s->found.push_back(h);
  return TRUE;
}
std::vector<HWND> TopWindows(const std::wstring& wanted, bool visibleOnly) {
  TopSearch s{{}, wanted, {}};
  if (wanted.size() > 1 && wanted[0] == L'[') {
    std::size_t close = wanted.find(L']');
    if (close != std::wstring::npos) {
      s.cls = wanted.substr(1, close - 1);
      s.caption = wanted.substr(close + 1);
    }
  }
  EnumWindows(&TopProc, reinterpret_cast<LPARAM>(&s));
  std::vector<HWND> out;
  for (HWND h : s.found)
    if (!visibleOnly || IsWindowVisible(h)) out.push_back(h);
  return out;
}
HWND WaitTop(const std::wstring& caption, int seconds) {
  DWORD start = GetTickCount();
  do {
    auto v = TopWindows(caption, true);
    if (!v.empty()) return v.front();
    Sleep(100);
  } while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000);
  return nullptr;
}

BOOL CALLBACK AddChild(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, &AddChild, reinterpret_cast<LPARAM>(&out));
  return out;
}
std::vector<HWND> OfClass(HWND parent, const wchar_t* cls) {
  std::vector<HWND> out;
  for (HWND h : Descendants(parent))
    if (_wcsicmp(ClassOf(h).c_str(), cls) == 0) out.push_back(h);
  return out;
}

// Memory in the other process for the controls' messages that carry pointers.
class Remote {
 public:
  explicit Remote(HWND h, std::size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) mem_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~Remote() {
    if (mem_) VirtualFreeEx(process_, mem_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool ok() const { return mem_ != nullptr; }
  char* at(std::size_t offset) const { return static_cast<char*>(mem_) + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t n) {
    return WriteProcessMemory(process_, at(offset), data, n, nullptr) != FALSE;
  }
  bool Read(std::size_t offset, void* data, std::size_t n) const {
    return ReadProcessMemory(process_, at(offset), data, n, nullptr) != FALSE;
  }

 private:
  HANDLE process_ = nullptr;
  void* mem_ = nullptr;
  std::size_t size_;
};

std::wstring ItemText(HWND lv, Remote& r, int row, int column) {
  constexpr std::size_t kText = 1024;
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(r.at(sizeof(LVITEMW)));
  item.cchTextMax = static_cast<int>(kText);
  r.Write(0, &item, sizeof item);
  SendMessageW(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(r.at(0)));
  std::wstring text(kText, L'\0');
  r.Read(sizeof(LVITEMW), text.data(), kText * sizeof(wchar_t));
  text.resize(wcslen(text.c_str()));
  return text;
}

HWND ListOf(HWND top, int index) {
  auto lists = OfClass(top, WC_LISTVIEWW);
  std::vector<HWND> visible;
  for (HWND h : lists)
    if (IsWindowVisible(h)) visible.push_back(h);
  if (index < 0 || static_cast<std::size_t>(index) >= visible.size()) return nullptr;
  return visible[static_cast<std::size_t>(index)];
}

// A control's text as the control itself answers it (GetWindowText gives only the caption the
// system keeps for a window of another process, not an edit box's contents).
std::wstring ControlText(HWND h) {
  wchar_t buf[2048] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 3000, &got)) return {};
  buf[got < 2047 ? got : 2047] = L'\0';
  return buf;
}

int Fail(const std::string& why) {
  Say("FAIL " + why);
  return 1;
}

}  // namespace

int Drive(int argc, char** argv);

// The last line of every run, so that a caller that cannot wait for the process sees the end.
int main(int argc, char** argv) {
  int code = Drive(argc, argv);
  Say("end");
  return code;
}

int Drive(int argc, char** argv) {
  if (argc < 2) return Fail("usage: gui_driver COMMAND ...");
  std::string cmd = argv[1];
  auto arg = [&](int i, const char* def = "") { return i < argc ? argv[i] : def; };

  if (cmd == "wait" || cmd == "gone") {
    std::wstring caption = Wide(arg(2));
    int seconds = std::atoi(arg(3, "20"));
    if (cmd == "wait") {
      HWND h = WaitTop(caption, seconds);
      if (!h) return Fail("no window \"" + std::string(arg(2)) + "\"");
      Say("found " + std::string(arg(2)));
      return 0;
    }
    DWORD start = GetTickCount();
    while (!TopWindows(caption, true).empty()) {
      if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return Fail("still there: " + std::string(arg(2)));
      Sleep(100);
    }
    Say("gone " + std::string(arg(2)));
    return 0;
  }
  if (cmd == "count") {
    Say("count " + std::to_string(TopWindows(Wide(arg(2)), false).size()));
    return 0;
  }
  if (cmd == "menu") {
    std::wstring want = Wide(arg(2));
    HWND menuWnd = nullptr;
    for (int i = 0; i < 100 && !menuWnd; ++i, Sleep(50)) menuWnd = FindWindowW(L"#32768", nullptr);
    if (!menuWnd) return Fail("no pop-up menu");
    auto press = [&](int downs) {
      for (int k = 0; k < downs; ++k) PostMessageW(menuWnd, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(menuWnd, WM_KEYDOWN, VK_RETURN, 0);
    };
    // "@N": the Nth item (0-based, separators not counted), for captions that share a key.
    if (want.size() > 1 && want[0] == L'@') {
      press(_wtoi(want.c_str() + 1) + 1);
      Say("picked " + std::string(arg(2)));
      return 0;
    }
    HMENU m = reinterpret_cast<HMENU>(SendMessageW(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
    int steps = 0, count = GetMenuItemCount(m);
    if (count <= 0) {
      // Wine keeps a menu's items in the process that made it: another program cannot read
      // them. The caption's access key ("Clean &Dangerous Items": D) picks the item instead.
      std::size_t amp = want.find(L'&');
      while (amp != std::wstring::npos && amp + 1 < want.size() && want[amp + 1] == L'&') amp = want.find(L'&', amp + 2);
      if (amp == std::wstring::npos || amp + 1 >= want.size()) {
        PostMessageW(menuWnd, WM_KEYDOWN, VK_ESCAPE, 0);
        return Fail("the menu cannot be read: give the caption with its & key");
      }
      PostMessageW(menuWnd, WM_CHAR, want[amp + 1], 0);
      Say("picked " + std::string(arg(2)) + " by its key");
      return 0;
    }
    for (int i = 0; i < count; ++i) {
      wchar_t text[256] = {};
      GetMenuStringW(m, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      bool separator = (GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0;
      if (!separator) ++steps;
      std::wstring plain;
      for (const wchar_t* p = text; *p; ++p)
        if (*p != L'&') plain.push_back(*p);
      std::wstring wantPlain;
      for (wchar_t c : want)
        if (c != L'&') wantPlain.push_back(c);
      if (!separator && (plain == wantPlain || text == want)) {
        press(steps);
        Say("picked " + std::string(arg(2)));
        return 0;
      }
    }
    PostMessageW(menuWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    return Fail("no menu item " + std::string(arg(2)));
  }

  HWND top = WaitTop(Wide(arg(2)), 20);
  if (!top) return Fail("no window \"" + std::string(arg(2)) + "\"");

  if (cmd == "click") {
    std::string what = arg(3);
    HWND target = nullptr;
    for (HWND h : Descendants(top)) {
      bool match = what.size() > 1 && what[0] == '#' ? GetDlgCtrlID(h) == std::atoi(what.c_str() + 1)
                                                     : Utf8(Caption(h)) == what;
      if (match && IsWindowVisible(h)) {
        target = h;
        break;
      }
    }
    if (!target) return Fail("no control " + what);
    std::wstring cls = ClassOf(target);
    if (_wcsicmp(cls.c_str(), L"Button") == 0 && _wcsicmp(ClassOf(GetParent(target)).c_str(), L"#32770") == 0) {
      // A dialog's button: the dialog gets the click's command (a posted BM_CLICK does not
      // reach Wine's file dialogs, which are not the active window for it).
      PostMessageW(GetParent(target), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED),
                   reinterpret_cast<LPARAM>(target));
    } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
      PostMessageW(target, BM_CLICK, 0, 0);
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
      PostMessageW(GetParent(target), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), STN_CLICKED),
                   reinterpret_cast<LPARAM>(target));
    } else {
      PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
      PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    }
    Say("clicked " + what);
    return 0;
  }
  if (cmd == "rows" || cmd == "select" || cmd == "rclick") {
    int listIndex = std::atoi(arg(cmd == "rows" ? 3 : 4, "0"));
    HWND lv = ListOf(top, listIndex);
    if (!lv) return Fail("no list view");
    Remote r(lv, sizeof(LVITEMW) + 1024 * sizeof(wchar_t));
    if (!r.ok()) return Fail("cannot reach the list's process");
    int rows = static_cast<int>(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0));
    if (cmd == "rows") {
      HWND header = reinterpret_cast<HWND>(SendMessageW(lv, LVM_GETHEADER, 0, 0));
      int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
      Say("rows " + std::to_string(rows));
      for (int i = 0; i < rows; ++i) {
        std::wstring line;
        for (int c = 0; c < columns; ++c) {
          if (c) line += L"\t";
          line += ItemText(lv, r, i, c);
        }
        Say(Utf8(line));
      }
      return 0;
    }
    // ROW, or for select a comma-separated list of rows (the first gets the focus).
    std::vector<int> picked;
    for (const char* p = arg(3); *p;) {
      picked.push_back(std::atoi(p));
      const char* comma = std::strchr(p, ',');
      if (!comma) break;
      p = comma + 1;
    }
    if (picked.empty()) return Fail("no row given");
    for (int row : picked)
      if (row < 0 || row >= rows) return Fail("no row " + std::to_string(row));
    const int row = picked.front();
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    r.Write(0, &item, sizeof item);
    SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(r.at(0)));
    for (std::size_t i = picked.size(); i-- > 0;) {
      item.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0u);
      r.Write(0, &item, sizeof item);
      SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(picked[i]), reinterpret_cast<LPARAM>(r.at(0)));
    }
    if (cmd == "rclick") {
      RECT rc{};
      rc.left = LVIR_LABEL;
      r.Write(0, &rc, sizeof rc);
      SendMessageW(lv, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(r.at(0)));
      r.Read(0, &rc, sizeof rc);
      LPARAM at = MAKELPARAM(rc.left + 8, (rc.top + rc.bottom) / 2);
      PostMessageW(lv, WM_RBUTTONDOWN, MK_RBUTTON, at);
      PostMessageW(lv, WM_RBUTTONUP, 0, at);
    }
    Say(cmd + " " + std::to_string(row));
    return 0;
  }
  if (cmd == "status") {
    auto bars = OfClass(top, STATUSCLASSNAMEW);
    if (bars.empty()) return Fail("no status bar");
    Remote r(bars[0], 1024 * sizeof(wchar_t));
    int parts = static_cast<int>(SendMessageW(bars[0], SB_GETPARTS, 0, 0));
    for (int i = 0; i < parts; ++i) {
      std::wstring text(1024, L'\0');
      r.Write(0, text.data(), text.size() * sizeof(wchar_t));
      SendMessageW(bars[0], SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(r.at(0)));
      r.Read(0, text.data(), text.size() * sizeof(wchar_t));
      text.resize(wcslen(text.c_str()));
      Say("panel " + std::to_string(i + 1) + ": " + Utf8(text));
    }
    return 0;
  }
  if (cmd == "foreign") {
    wchar_t buf[256] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(top, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 3000, &got);
    buf[got < 255 ? got : 255] = L'\0';  // only what the window said it wrote
    Say("gettext " + std::to_string(got) + " \"" + Utf8(buf) + "\"");
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(top, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Renamed by another program"), SMTO_ABORTIFHUNG,
                        3000, &ignored);
    SendMessageTimeoutW(top, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
    Sleep(500);
    Say(std::string("caption \"") + Utf8(Caption(top)) + "\"");
    Say(std::string("open ") + (IsWindow(top) && IsWindowVisible(top) ? "yes" : "no"));
    return 0;
  }
  if (cmd == "texts") {
    for (HWND h : Descendants(top)) {
      if (!IsWindowVisible(h)) continue;
      std::wstring buf = ControlText(h);
      Say("text " + Utf8(ClassOf(h)) + " #" + std::to_string(GetDlgCtrlID(h)) + ": " + Utf8(buf));
    }
    return 0;
  }
  if (cmd == "state") {
    Say(std::string("visible ") + (IsWindowVisible(top) ? "yes" : "no"));
    Say(std::string("enabled ") + (IsWindowEnabled(top) ? "yes" : "no"));
    return 0;
  }
  return Fail("unknown command " + cmd);
}
