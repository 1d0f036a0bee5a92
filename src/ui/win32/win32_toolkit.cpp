// The toolkit: window classes, fonts, icons, the event loop, message boxes, file dialogs, the
// notification icon and the shell's windows.
#include "ui/win32/win32_toolkit.h"

#include "ui/win32/win32_forms.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/api.h"

// The widget layer's names, not the system's A/W macros.
#undef MessageBox
#undef GetOpenFileName
#undef GetSaveFileName

namespace tv::ui {

namespace {
Win32Toolkit::State* g_state = nullptr;
Win32Toolkit::State g_fallback;  // before a toolkit exists (never has windows)

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);

  wc.lpfnWndProc = &w32::FormImpl::Proc;
  wc.lpszClassName = w32::kFormClass;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, LR_SHARED));
  RegisterClassExW(&wc);

  wc.hIcon = wc.hIconSm = nullptr;
  wc.lpfnWndProc = &w32::W32Pane::Proc;
  wc.lpszClassName = w32::kPaneClass;
  RegisterClassExW(&wc);

  wc.lpfnWndProc = &w32::W32HoverLabel::Proc;
  wc.lpszClassName = w32::kHoverClass;
  wc.hbrBackground = nullptr;
  RegisterClassExW(&wc);
}

// The UTF-8 text cut to at most `bytes` bytes without splitting a character.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t n = bytes;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

HWND OwnerOf(Form* form) {
  return form ? static_cast<HWND>(Win32Toolkit::Handle(form)) : nullptr;
}
}  // namespace

Win32Toolkit::State& Win32State() { return g_state ? *g_state : g_fallback; }

HICON Win32Toolkit::State::Icon(IconId id, int size) {
  if (id == IconId::None) return nullptr;
  auto& cache = size >= 48 ? icons48 : size >= 32 ? icons32 : icons16;
  int side = size >= 48 ? 48 : size >= 32 ? 32 : 16;
  auto it = cache.find(static_cast<int>(id));
  if (it != cache.end()) return it->second;
  auto* icon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(static_cast<int>(id)), IMAGE_ICON, side, side, LR_SHARED));
  cache[static_cast<int>(id)] = icon;
  return icon;
}

w32::FormImpl* Win32Toolkit::State::FormOf(HWND hwnd) const {
  if (hwnd == nullptr) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  for (w32::FormImpl* f : forms)
    if (f->Hwnd() == root || f->Hwnd() == hwnd) return f;
  return nullptr;
}

bool Win32Toolkit::State::Pump(bool wait) {
  MSG msg;
  if (wait) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (got < 0) return false;
  } else {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
  }
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    if (w32::FormImpl* form = FormOf(msg.hwnd)) {
      if (form->PreviewKey(static_cast<int>(msg.wParam))) return true;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

Win32Toolkit::Win32Toolkit() : state_(std::make_unique<State>()) {
  g_state = state_.get();
  state_->instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                           ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  RegisterClasses(state_->instance);

  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  LOGFONTW base{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    base = ncm.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
  }
  for (int i = 0; i < 4; ++i) {
    LOGFONTW lf = base;
    if (i & 1) lf.lfWeight = FW_BOLD;
    if (i & 2) lf.lfUnderline = TRUE;
    state_->fonts[i] = CreateFontIndirectW(&lf);
  }
  state_->taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
}

Win32Toolkit::~Win32Toolkit() {
  RemoveTrayIcon();
  if (CurrentToolkit() == this) InstallToolkit(nullptr);
  for (HFONT f : state_->fonts)
    if (f) DeleteObject(f);
  if (g_state == state_.get()) g_state = nullptr;
}

void* Win32Toolkit::Handle(const Control* control) {
  if (control == nullptr) return nullptr;
  if (auto* node = dynamic_cast<const w32::Node*>(control)) return node->Hwnd();
  return nullptr;
}

std::unique_ptr<Form> Win32Toolkit::CreateForm(const std::string& name, const std::string& caption,
                                               const Size& client) {
  return std::make_unique<w32::FormImpl>(name, caption, client);
}

int Win32Toolkit::MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) {
  HWND owner = GetActiveWindow();
  if (state_->FormOf(owner) == nullptr) {
    owner = nullptr;
    if (Form* main = MainForm(); main && main->Visible()) owner = OwnerOf(main);
  }
  return ::MessageBoxW(owner, w32::Wide(text).c_str(), w32::Wide(title).c_str(), flags);
}

void Win32Toolkit::DoEvents() {
  while (state_->Pump(false)) {
  }
}

void Win32Toolkit::Run() {
  state_->quit = false;
  while (!state_->quit) {
    if (!state_->Pump(true)) break;
  }
  // Take the WM_QUIT that Pump posted again.
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void Win32Toolkit::Quit() {
  state_->quit = true;
  PostQuitMessage(0);
}

namespace {
std::string RunFileDialog(const FileDialog& d, bool save, HWND owner) {
  std::wstring filter;
  for (const auto& [caption, pattern] : d.filters) {
    filter += w32::Wide(caption);
    filter.push_back(L'\0');
    filter += w32::Wide(pattern);
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  std::size_t size = std::max<std::size_t>(d.maxFile, 260);
  std::wstring buffer(size + 1, L'\0');
  std::wstring proposed = w32::Wide(d.fileName);
  std::copy_n(proposed.begin(), std::min(proposed.size(), size - 1), buffer.begin());
  std::wstring title = w32::Wide(d.title), dir = w32::Wide(d.initialDir), ext = w32::Wide(d.defaultExt);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = d.filters.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(std::max(d.filterIndex, 1));
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(size);
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // The explorer-style dialog separates a multiple selection with NULs.
  ofn.Flags = d.flags | OFN_EXPLORER;
  BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return {};
  // One path, or the folder and the names, each ended by a NUL, and one more NUL.
  std::vector<std::string> parts;
  const wchar_t* p = buffer.c_str();
  const wchar_t* end = buffer.c_str() + buffer.size();
  while (p < end && *p != L'\0') {
    std::size_t n = wcsnlen(p, static_cast<std::size_t>(end - p));
    parts.push_back(w32::Utf8(p, static_cast<int>(n)));
    p += n + 1;
  }
  if (parts.empty()) return {};
  if (parts.size() == 1) return parts[0];
  std::string out;
  for (const auto& part : parts) {
    out += part;
    out.push_back('\0');
  }
  out.push_back('\0');
  return out;
}
}  // namespace

std::string Win32Toolkit::GetOpenFileName(const FileDialog& d) {
  return RunFileDialog(d, false, OwnerOf(MainForm() && MainForm()->Visible() ? MainForm() : nullptr));
}
std::string Win32Toolkit::GetSaveFileName(const FileDialog& d) {
  return RunFileDialog(d, true, OwnerOf(MainForm() && MainForm()->Visible() ? MainForm() : nullptr));
}

namespace {
NOTIFYICONDATAW TrayData(const Win32Toolkit::State& s) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = s.trayOwner;
  nid.uID = 0;
  nid.uCallbackMessage = w32::kTrayMessage;
  return nid;
}
}  // namespace

void Win32Toolkit::AddTrayIcon(Form& owner, const TrayIcon& icon) {
  state_->trayOwner = static_cast<HWND>(Handle(&owner));
  state_->trayIcon = icon.icon;
  NOTIFYICONDATAW nid = TrayData(*state_);
  nid.uFlags = NIF_MESSAGE | NIF_ICON;
  nid.hIcon = state_->Icon(icon.icon, 16);
  if (!icon.tip.empty()) {
    std::wstring tip = w32::Wide(CutUtf8(icon.tip, 63));
    wcsncpy(nid.szTip, tip.c_str(), 63);
    nid.uFlags |= NIF_TIP;
    state_->trayTip = icon.tip;
  }
  // The result is not examined: without a taskbar the icon comes with "TaskbarCreated".
  Shell_NotifyIconW(NIM_ADD, &nid);
  state_->trayShown = true;
}

void Win32Toolkit::SetTrayTip(const std::string& tip) {
  if (state_->trayOwner == nullptr) return;
  state_->trayTip = CutUtf8(tip, 63);
  NOTIFYICONDATAW nid = TrayData(*state_);
  nid.uFlags = NIF_TIP;
  std::wstring w = w32::Wide(state_->trayTip);
  wcsncpy(nid.szTip, w.c_str(), 63);
  nid.szTip[63] = L'\0';
  Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void Win32Toolkit::RemoveTrayIcon() {
  if (!state_->trayShown) return;
  NOTIFYICONDATAW nid = TrayData(*state_);
  nid.uFlags = 0;
  Shell_NotifyIconW(NIM_DELETE, &nid);
  state_->trayShown = false;
}

std::string Win32Toolkit::TrayTip() const { return state_->trayTip; }
bool Win32Toolkit::TrayShown() const { return state_->trayShown; }

int Win32Toolkit::ShowFileProperties(Form* owner, const std::string& path) {
  std::wstring file = w32::Wide(path);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = 0x44C;  // invoke the verb's handler, keep the process, no error dialog
  info.hwnd = OwnerOf(owner);
  info.lpVerb = L"properties";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOW;
  ShellExecuteExW(&info);
  if (info.hProcess) CloseHandle(info.hProcess);
  return static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
}

void Win32Toolkit::ShowRunDialog(Form* owner, const std::string& title, const std::string& prompt) {
  using RunFileDlg = void(WINAPI*)(HWND, HICON, LPCWSTR, LPCWSTR, LPCWSTR, UINT);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (shell == nullptr) shell = LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) return;
  auto run = reinterpret_cast<RunFileDlg>(reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(61))));
  if (run == nullptr) return;
  std::wstring t = w32::Wide(title), p = w32::Wide(prompt);
  run(OwnerOf(owner), nullptr, nullptr, t.c_str(), p.c_str(), 0);
}

bool Win32Toolkit::ActivateWindowByCaption(const std::string& caption) {
  HWND hwnd = FindWindowW(nullptr, w32::Wide(caption).c_str());
  if (hwnd == nullptr) return false;
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  SetForegroundWindow(hwnd);
  return true;
}

void Win32Toolkit::PlaySound(const std::string& file) {
  (void)platform::Sys().sndPlaySoundA(file, 1 | 2);  // asynchronous, no default sound
}

std::string AlertSoundBytes() {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(104), L"SOUND");
  if (found == nullptr) return {};
  DWORD size = SizeofResource(self, found);
  HGLOBAL loaded = LoadResource(self, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return {};
  return std::string(static_cast<const char*>(data), size);
}

}  // namespace tv::ui
