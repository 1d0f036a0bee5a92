// Forms: top-level windows of the class "TolvexaForm".
#include <algorithm>

#include "ui/win32/win32_forms.h"

namespace tv::ui::w32 {

namespace {
constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

Size OuterSize(Size client) {
  RECT rc{0, 0, client.width, client.height};
  AdjustWindowRectEx(&rc, kFormStyle, FALSE, kFormExStyle);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

// Whether the message being handled was sent by another thread (another program, or another
// thread of ours): those are the messages the filter drops.
bool SentFromOutside() {
  DWORD how = InSendMessageEx(nullptr);
  return (how & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != 0;
}
}  // namespace

void W32Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled_)
    SetTimer(owner_, id_, static_cast<UINT>(std::max(interval_, 1)), nullptr);
  else
    KillTimer(owner_, id_);
}
void W32Timer::SetInterval(int ms) {
  interval_ = ms;
  if (ms <= 0) {
    KillTimer(owner_, id_);
  } else if (enabled_) {
    SetTimer(owner_, id_, static_cast<UINT>(ms), nullptr);
  }
}

FormImpl::FormImpl(const std::string& name, const std::string& caption, const Size& client) : Form(name) {
  Size outer = OuterSize(client);
  hwnd_ = CreateWindowExW(kFormExStyle, kFormClass, Wide(caption).c_str(), kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          outer.width, outer.height, nullptr, nullptr, Win32State().instance, this);
  kids_.SetParent(hwnd_);
  SetIcon(IconId::App);
  Win32State().forms.push_back(this);
}

FormImpl::~FormImpl() {
  *alive_ = false;
  auto& forms = Win32State().forms;
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  for (const auto& hk : hotKeys_) ::UnregisterHotKey(hwnd_, hk.first);
  timers_.clear();
  kids_.Clear();
  status_.reset();
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    if (Win32State().trayOwner == hwnd_) {
      Win32State().trayOwner = nullptr;
    }
    AttachNode(hwnd_, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

HWND FormImpl::ToolTips() {
  if (tips_ == nullptr && hwnd_ != nullptr) {
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                            Win32State().instance, nullptr);
    if (tips_) SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 400);
  }
  return tips_;
}

Control* FormImpl::Find(const std::string& name) const {
  if (status_ && status_->Name() == name) return status_.get();
  return kids_.Find(name);
}

StatusBar* FormImpl::AddStatusBar(const std::string& name, int panels) {
  status_ = std::make_unique<W32StatusBar>(hwnd_, name, panels);
  return status_.get();
}

Timer* FormImpl::AddTimer(const std::string& name, int intervalMs) {
  auto& t = timers_[name];
  if (t) timerIds_.erase(std::find_if(timerIds_.begin(), timerIds_.end(), [&](auto& e) { return e.second == t.get(); }));
  UINT_PTR id = nextTimer_++;
  t = std::make_unique<W32Timer>(hwnd_, id, intervalMs);
  timerIds_[id] = t.get();
  // A timer is enabled when it is made, as a form designer leaves it.
  t->SetEnabled(true);
  return t.get();
}

void FormImpl::SetVisible(bool visible) {
  if (visible) {
    Show();
  } else {
    ShowWindow(hwnd_, SW_HIDE);
  }
}

void FormImpl::Show() {
  closed_ = false;
  if (!shownOnce_) {
    shownOnce_ = true;
    // Centre on the work area the first time.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rc{};
    GetWindowRect(hwnd_, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = work.left + std::max(0, static_cast<int>((work.right - work.left - w) / 2));
    int y = work.top + std::max(0, static_cast<int>((work.bottom - work.top - h) / 2));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (IsIconic(hwnd_))
    ShowWindow(hwnd_, SW_RESTORE);
  else
    ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void FormImpl::ShowModal() {
  auto alive = alive_;
  auto& state = Win32State();
  HWND previous = GetActiveWindow();
  std::vector<HWND> disabled;
  for (FormImpl* f : state.forms) {
    if (f != this && IsWindowEnabled(f->hwnd_)) {
      EnableWindow(f->hwnd_, FALSE);
      disabled.push_back(f->hwnd_);
    }
  }
  if (previous != nullptr && state.FormOf(previous) != nullptr && previous != hwnd_)
    SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(previous));
  Show();
  SetForegroundWindow(hwnd_);
  while (*alive && !closed_) {
    if (!state.Pump(true)) break;  // WM_QUIT: leave, the outer loop sees it again
  }
  for (HWND h : disabled)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  if (previous != nullptr && IsWindow(previous) && IsWindowVisible(previous)) SetActiveWindow(previous);
}

bool FormImpl::Close() {
  if (closed_) return true;
  auto alive = alive_;
  if (onClose && !onClose()) return false;
  if (!*alive) return true;
  closed_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  if (onClosed) onClosed();  // may delete the form: nothing of it is used afterwards
  return true;
}

void FormImpl::Restore() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
}

void FormImpl::SetForeground() {
  if (!IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

Size FormImpl::ClientSize() const {
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

void FormImpl::SetClientSize(const Size& s) {
  Size want{std::max(s.width, minimum_.width), std::max(s.height, minimum_.height)};
  Size outer = OuterSize(want);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.width, outer.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormImpl::SetIcon(IconId icon) {
  auto& state = Win32State();
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.Icon(icon, 16)));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.Icon(icon, 32)));
}

int FormImpl::PopupMenu(const Menu& menu) {
  HMENU popup = CreatePopupMenu();
  if (popup == nullptr) return -1;
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const MenuItem& item = menu.items[i];
    if (!item.visible) continue;
    if (item.caption == "-") {
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item.enabled ? 0u : MF_GRAYED) | (item.checked ? MF_CHECKED : 0u);
    AppendMenuW(popup, flags, i + 1, Wide(item.caption).c_str());
  }
  POINT p{};
  GetCursorPos(&p);
  // The menu closes when the user clicks elsewhere only while the window is in the foreground.
  SetForegroundWindow(hwnd_);
  int picked = static_cast<int>(
      TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, p.x, p.y, 0, hwnd_, nullptr));
  PostMessageW(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(popup);
  return picked > 0 ? picked - 1 : -1;
}

bool FormImpl::RegisterHotKey(int id, std::uint32_t modifiers, int key) {
  if (!::RegisterHotKey(hwnd_, id, modifiers, static_cast<UINT>(key))) return false;
  hotKeys_[id] = true;
  return true;
}

void FormImpl::UnregisterHotKey(int id) {
  if (hotKeys_.erase(id)) ::UnregisterHotKey(hwnd_, id);
}

bool FormImpl::PreviewKey(int key) {
  if (!onKeyDown) return false;
  std::uint32_t mods = (GetKeyState(VK_MENU) < 0 ? kModAlt : 0) | (GetKeyState(VK_CONTROL) < 0 ? kModControl : 0) |
                       (GetKeyState(VK_SHIFT) < 0 ? 4u : 0u);
  return onKeyDown(key, mods);
}

LRESULT CALLBACK FormImpl::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<FormImpl*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    AttachNode(hwnd, self);
  }
  auto* self = reinterpret_cast<FormImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT FormImpl::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  auto& state = Win32State();
  // Other programs can neither close the window by message nor read or change its caption.
  if (filter_ && (msg == WM_CLOSE || msg == WM_DESTROY || msg == WM_GETTEXT || msg == WM_SETTEXT) && SentFromOutside())
    return 0;
  LRESULT result = 0;
  if (ParentMessage(hwnd_, msg, wp, lp, nullptr, &result)) return result;
  if (msg == kTrayMessage && hwnd_ == state.trayOwner) {
    if (Toolkit* kit = CurrentToolkit(); kit && kit->onTrayMouse) kit->onTrayMouse(static_cast<int>(LOWORD(lp)));
    return 0;
  }
  if (state.taskbarCreated != 0 && msg == state.taskbarCreated) {
    if (hwnd_ == state.trayOwner) {
      if (Toolkit* kit = CurrentToolkit(); kit && kit->onTaskbarCreated) kit->onTaskbarCreated();
    }
    return 0;
  }
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_GETMINMAXINFO: {
      if (minimum_.width > 0 || minimum_.height > 0) {
        Size outer = OuterSize(minimum_);
        if (status_) outer.height += status_->Height();
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize.x = outer.width;
        info->ptMinTrackSize.y = outer.height;
      }
      return 0;
    }
    case WM_SIZE:
      if (status_) status_->Layout();
      if (wp != SIZE_MINIMIZED && onResize) onResize();
      return 0;
    case WM_TIMER: {
      auto it = timerIds_.find(static_cast<UINT_PTR>(wp));
      if (it != timerIds_.end()) it->second->Tick();
      return 0;
    }
    case WM_HOTKEY:
      if (onHotKey) onHotKey(static_cast<int>(wp));
      return 0;
    case WM_ERASEBKGND: {
      RECT rc{};
      GetClientRect(hwnd_, &rc);
      FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

}  // namespace tv::ui::w32
