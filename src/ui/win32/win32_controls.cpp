// Controls, panes and forms over Win32 windows.
#include "ui/win32/win32_forms.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace tv::ui::w32 {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* text, int length) {
  if (text == nullptr) return {};
  if (length < 0) length = static_cast<int>(wcslen(text));
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::string WindowText(HWND hwnd) {
  if (hwnd == nullptr) return {};
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
  int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  return Utf8(buf.data(), got > 0 ? got : 0);
}

namespace {
// Our windows carry this property so that their user data is known to be a Node.
constexpr wchar_t kNodeProp[] = L"TolvexaNode";
}  // namespace

Node* NodeOf(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<Node*>(GetPropW(hwnd, kNodeProp));
}
void AttachNode(HWND hwnd, Node* node) {
  if (node)
    SetPropW(hwnd, kNodeProp, node);
  else
    RemovePropW(hwnd, kNodeProp);
}

bool ParentMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, HBRUSH back, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) {
        if (Node* n = NodeOf(reinterpret_cast<HWND>(lp))) {
          n->OnCommand(HIWORD(wp));
          *result = 0;
          return true;
        }
      }
      return false;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      if (header == nullptr) return false;
      if (Node* n = NodeOf(header->hwndFrom)) return n->OnNotify(header, result);
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      if (Node* n = NodeOf(reinterpret_cast<HWND>(lp))) {
        if (HBRUSH b = n->OnColor(dc, back)) {
          *result = reinterpret_cast<LRESULT>(b);
          return true;
        }
      }
      if (back) {
        LOGBRUSH lb{};
        GetObject(back, sizeof lb, &lb);
        SetBkColor(dc, lb.lbColor);
        *result = reinterpret_cast<LRESULT>(back);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

// ------------------------------------------------------------------ controls ----

void ChildBase::Create(HWND parent, const wchar_t* cls, DWORD style, DWORD exStyle, const std::string& text,
                       const Rect& r) {
  hwnd_ = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, r.left, r.top,
                          r.width, r.height, parent, nullptr, Win32State().instance, nullptr);
  if (hwnd_ == nullptr) return;
  AttachNode(hwnd_, this);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Win32State().Font(false, false)), FALSE);
}

ChildBase::~ChildBase() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    AttachNode(hwnd_, nullptr);
    DestroyWindow(hwnd_);
  }
}

Rect WindowBounds(HWND hwnd) {
  RECT rc{};
  if (hwnd == nullptr || !GetWindowRect(hwnd, &rc)) return {};
  HWND parent = GetParent(hwnd);
  if (parent != nullptr && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
  }
  return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

void SetToolTipOf(HWND control, const std::string& tip) {
  if (control == nullptr) return;
  HWND root = GetAncestor(control, GA_ROOT);
  FormImpl* form = Win32State().FormOf(root);
  if (form == nullptr) return;
  HWND tips = form->ToolTips();
  if (tips == nullptr) return;
  std::wstring text = Wide(tip);
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = GetParent(control);
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = text.data();
  SendMessageW(tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  if (!tip.empty()) SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Button.
W32Button::W32Button(HWND parent, const std::string& name, const std::string& caption, const Rect& r)
    : W32Control(name) {
  Create(parent, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, caption, r);
}
void W32Button::OnCommand(int code) {
  if (code == BN_CLICKED && onClick) onClick();
}
void W32Button::SetIcon(IconId icon) {
  HICON h = Win32State().Icon(icon, 16);
  SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(h));
}

// Label.
W32Label::W32Label(HWND parent, const std::string& name, const std::string& text, const Rect& r) : W32Control(name) {
  Create(parent, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0, text, r);
}
void W32Label::ApplyFont() {
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Win32State().Font(bold_, underline_)), TRUE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}
void W32Label::SetColor(std::uint32_t rgb) {
  color_ = rgb;
  colored_ = true;
  InvalidateRect(hwnd_, nullptr, TRUE);
}
HBRUSH W32Label::OnColor(HDC dc, HBRUSH back) {
  if (colored_) SetTextColor(dc, color_);
  if (back == nullptr) back = GetSysColorBrush(COLOR_BTNFACE);
  LOGBRUSH lb{};
  GetObject(back, sizeof lb, &lb);
  SetBkColor(dc, lb.lbColor);
  return back;
}
void W32Label::SetText(const std::string& text) {
  W32Control::SetText(text);
  // A static control does not erase what a longer text left behind on every system.
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// Picture.
W32Picture::W32Picture(HWND parent, const std::string& name, IconId icon, const Rect& r) : W32Control(name) {
  Create(parent, L"STATIC", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE | SS_REALSIZECONTROL | SS_NOTIFY, 0, "", r);
  SetIcon(icon);
}
void W32Picture::SetIcon(IconId icon) {
  icon_ = icon;
  Rect b = Bounds();
  int side = std::min(b.width, b.height);
  int size = side >= 48 ? 48 : side >= 32 ? 32 : 16;
  SendMessageW(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(Win32State().Icon(icon, size)), 0);
  MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
}
void W32Picture::OnCommand(int code) {
  if (code == STN_CLICKED && onClick) onClick();
}

// Text box: Enter and the other keys reach onKeyDown through a subclass.
W32TextBox::W32TextBox(HWND parent, const std::string& name, const std::string& text, const Rect& r, bool multiLine,
                       bool readOnly)
    : W32Control(name) {
  DWORD style = WS_VISIBLE | WS_TABSTOP;
  if (multiLine)
    style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_WANTRETURN;
  else
    style |= ES_AUTOHSCROLL;
  if (readOnly) style |= ES_READONLY;
  Create(parent, L"EDIT", style, WS_EX_CLIENTEDGE, text, r);
  SetWindowSubclass(hwnd_, &W32TextBox::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}
W32TextBox::~W32TextBox() {
  if (hwnd_) RemoveWindowSubclass(hwnd_, &W32TextBox::Proc, 1);
}
LRESULT CALLBACK W32TextBox::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<W32TextBox*>(data);
  if (msg == WM_KEYDOWN && self->onKeyDown) {
    self->onKeyDown(static_cast<int>(wp));
  } else if (msg == WM_CHAR && wp == VK_RETURN && self->onKeyDown &&
             !(GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE)) {
    return 0;  // no beep for a handled Enter in a single-line box
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// Progress bar.
W32ProgressBar::W32ProgressBar(HWND parent, const std::string& name, const Rect& r) : W32Control(name) {
  Create(parent, PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH, 0, "", r);
  SetRange(0, 100);
}
void W32ProgressBar::SetRange(int minimum, int maximum) {
  max_ = maximum;
  SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
}
void W32ProgressBar::SetValue(int value) { SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(value), 0); }
int W32ProgressBar::Value() const { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

// Status bar: panels share the width, the first one wider.
W32StatusBar::W32StatusBar(HWND parent, const std::string& name, int panels) : W32Control(name), panels_(panels) {
  if (panels_ < 1) panels_ = 1;
  if (panels_ > 32) panels_ = 32;
  Create(parent, STATUSCLASSNAMEW, WS_VISIBLE | SBARS_SIZEGRIP, 0, "", {0, 0, 0, 0});
  Layout();
}
void W32StatusBar::Layout() {
  SendMessageW(hwnd_, WM_SIZE, 0, 0);
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  int width = rc.right - rc.left;
  std::vector<int> edges(static_cast<std::size_t>(panels_));
  if (panels_ == 1) {
    edges[0] = -1;
  } else {
    int first = width / 2;
    int rest = (width - first) / (panels_ - 1);
    for (int i = 0; i < panels_; ++i) edges[static_cast<std::size_t>(i)] = first + rest * i;
    edges.back() = -1;
  }
  SendMessageW(hwnd_, SB_SETPARTS, static_cast<WPARAM>(panels_), reinterpret_cast<LPARAM>(edges.data()));
}
void W32StatusBar::SetPanelText(int panel, const std::string& text) {
  if (panel < 1 || panel > panels_) return;
  std::wstring w = Wide(text);
  SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(w.c_str()));
}
std::string W32StatusBar::PanelText(int panel) const {
  if (panel < 1 || panel > panels_) return {};
  LRESULT r = SendMessageW(hwnd_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel - 1), 0);
  int n = LOWORD(r);
  std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(hwnd_, SB_GETTEXTW, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(buf.data()));
  return Utf8(buf.c_str());
}

// List view.
W32ListView::W32ListView(HWND parent, const std::string& name, const Rect& r, bool multiSelect) : W32Control(name) {
  DWORD style = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
  if (!multiSelect) style |= LVS_SINGLESEL;
  Create(parent, WC_LISTVIEWW, style, WS_EX_CLIENTEDGE, "", r);
  images_ = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 16, 16);
  SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
  SetWindowSubclass(hwnd_, &W32ListView::Proc, 2, reinterpret_cast<DWORD_PTR>(this));
}
W32ListView::~W32ListView() {
  if (hwnd_) RemoveWindowSubclass(hwnd_, &W32ListView::Proc, 2);
  if (hwnd_ && IsWindow(hwnd_)) {
    AttachNode(hwnd_, nullptr);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  if (images_) ImageList_Destroy(images_);
}
LRESULT CALLBACK W32ListView::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<W32ListView*>(data);
  if (self->blocked_) {
    if ((msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEMOVE) || msg == WM_KEYDOWN ||
        msg == WM_KEYUP || msg == WM_CHAR || msg == WM_CONTEXTMENU || msg == WM_NCLBUTTONDOWN ||
        msg == WM_NCRBUTTONDOWN || msg == WM_NCLBUTTONDBLCLK)
      return 0;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}
void W32ListView::SetExtendedStyle(std::uint32_t style) {
  style_ = style;
  SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(-1),
               static_cast<LPARAM>(style | LVS_EX_DOUBLEBUFFER));
}
void W32ListView::ClearColumns() {
  while (SendMessageW(hwnd_, LVM_DELETECOLUMN, 0, 0)) {
  }
  keys_.clear();
}
void W32ListView::AddColumn(const Column& column) {
  std::wstring caption = Wide(column.caption);
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  c.pszText = caption.data();
  c.cx = column.width;
  c.iSubItem = ColumnCount();
  if (SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(ColumnCount()), reinterpret_cast<LPARAM>(&c)) >= 0)
    keys_.push_back(column.key);
}
int W32ListView::ColumnCount() const {
  HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}
Column W32ListView::GetColumn(int index) const {
  Column out;
  if (index < 0 || index >= ColumnCount()) return out;
  wchar_t buf[512] = {};
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH;
  c.pszText = buf;
  c.cchTextMax = 511;
  SendMessageW(hwnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
  out.caption = Utf8(buf);
  out.width = c.cx;
  if (static_cast<std::size_t>(index) < keys_.size()) out.key = keys_[static_cast<std::size_t>(index)];
  return out;
}
void W32ListView::SetColumnWidth(int index, int width) {
  if (index < 0 || index >= ColumnCount()) return;
  SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), MAKELPARAM(width, 0));
}
void W32ListView::ClearRows() { SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }

int W32ListView::ImageFor(const ListRow& row) {
  auto add = [this](HICON icon) {
    return icon ? ImageList_AddIcon(images_, icon) : -1;
  };
  auto fileIcon = [&](const std::string& file) -> int {
    if (file.empty()) return -1;
    std::string key = file;
    for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto it = fileImages_.find(key);
    if (it != fileImages_.end()) return it->second;
    SHFILEINFOW info{};
    int index = -1;
    if (SHGetFileInfoW(Wide(file).c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) && info.hIcon) {
      index = add(info.hIcon);
      DestroyIcon(info.hIcon);
    }
    fileImages_[key] = index;
    return index;
  };
  if (!row.iconKey.empty()) {
    int index = fileIcon(row.iconKey);
    if (index < 0) index = fileIcon(fallback_);
    if (index >= 0) return index;
  }
  const IconId icon = RowIcon(row.icon);
  if (icon != IconId::None) {
    const int id = static_cast<int>(icon);
    auto it = resourceImages_.find(id);
    if (it != resourceImages_.end()) return it->second;
    int index = add(Win32State().Icon(icon, 16));
    resourceImages_[id] = index;
    return index;
  }
  return -1;
}

int W32ListView::AddRow(const ListRow& row) {
  std::wstring text = Wide(row.text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = RowCount();
  item.pszText = text.data();
  item.iImage = ImageFor(row);
  int index = static_cast<int>(SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return -1;
  for (std::size_t i = 0; i < row.subItems.size(); ++i) SetCell(index, static_cast<int>(i) + 1, row.subItems[i]);
  return index;
}
void W32ListView::AddRows(const std::vector<ListRow>& rows) {
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  for (const auto& r : rows) AddRow(r);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}
void W32ListView::RemoveRow(int row) { SendMessageW(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0); }
int W32ListView::RowCount() const { return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
std::string W32ListView::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0) return {};
  std::wstring buf(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    int n = static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= 65536) return Utf8(buf.c_str(), n);
    buf.resize(buf.size() * 4);
  }
}
void W32ListView::SetCell(int row, int column, const std::string& text) {
  if (row < 0 || row >= RowCount() || column < 0) return;
  std::wstring w = Wide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = w.data();
  SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
void W32ListView::SetSelected(int row, bool selected) {
  if (row < 0 || row >= RowCount()) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
bool W32ListView::Selected(int row) const {
  if (row < 0 || row >= RowCount()) return false;
  return (SendMessageW(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
void W32ListView::SetIconFallback(const std::string& file) {
  fallback_ = file;
  fileImages_.clear();
  resourceImages_.clear();
  ImageList_RemoveAll(images_);
}
bool W32ListView::OnNotify(NMHDR* header, LRESULT* result) {
  switch (header->code) {
    case NM_RCLICK:
    case NM_CLICK: {
      if (blocked_) return false;
      POINT p{};
      GetCursorPos(&p);
      ScreenToClient(hwnd_, &p);
      if (onMouseUp) onMouseUp(header->code == NM_RCLICK ? 2 : 1, p.x, p.y);
      *result = 0;
      return true;
    }
    case NM_DBLCLK: {
      auto* act = reinterpret_cast<NMITEMACTIVATE*>(header);
      if (!blocked_ && act->iItem >= 0 && onDoubleClick) onDoubleClick(act->iItem);
      *result = 0;
      return true;
    }
    case LVN_KEYDOWN: {
      auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
      if (!blocked_ && onKeyDown) onKeyDown(key->wVKey);
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

// ------------------------------------------------------------- hover label ----

W32HoverLabel::W32HoverLabel(HWND parent, const std::string& name, const std::string& caption, IconId icon, int body,
                             const Rect& r)
    : W32Control(name), icon_(icon), logic_(0, body) {
  back_ = 0x00D8E9EC;  // red 236, green 233, blue 216
  Create(parent, kHoverClass, WS_VISIBLE | WS_TABSTOP, 0, caption, r);
  logic_.onClick = [this] { if (onClick) onClick(); };
  logic_.onMouseMove = [this](int b, int s, float x, float y) { if (onMouseMove) onMouseMove(b, s, x, y); };
  logic_.onMouseDown = [this](int b, int s, float x, float y) { if (onMouseDown) onMouseDown(b, s, x, y); };
  logic_.onMouseUp = [this](int b, int s, float x, float y) { if (onMouseUp) onMouseUp(b, s, x, y); };
  logic_.onTimer = [this](bool on) {
    if (on)
      SetTimer(hwnd_, 1, XpLabel::kTimerMs, nullptr);
    else
      KillTimer(hwnd_, 1);
  };
  logic_.onChanged = [this] { InvalidateRect(hwnd_, nullptr, TRUE); };
  Relayout();
}
W32HoverLabel::~W32HoverLabel() {
  if (hwnd_) KillTimer(hwnd_, 1);
}
int W32HoverLabel::ImageSide() const {
  Rect b = Bounds();
  return (logic_.Body() == 0 && b.height >= 52) || (logic_.Body() == 1 && b.height >= 36) ? 32 : 16;
}
void W32HoverLabel::Relayout() {
  if (hwnd_ == nullptr) return;
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, Win32State().Font(false, false));
  std::wstring text = Wide(Text());
  RECT tr{0, 0, rc.right, 0};
  DrawTextW(dc, text.c_str(), -1, &tr, DT_CALCRECT | DT_NOPREFIX | (logic_.Body() == 1 ? DT_SINGLELINE : DT_WORDBREAK));
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  int side = ImageSide();
  logic_.Layout({rc.right, rc.bottom}, {side, side}, {tr.right - tr.left, tr.bottom - tr.top});
  InvalidateRect(hwnd_, nullptr, TRUE);
}
void W32HoverLabel::SetText(const std::string& text) {
  W32Control::SetText(text);
  Relayout();
}
void W32HoverLabel::SetBounds(const Rect& r) {
  W32Control::SetBounds(r);
  Relayout();
}
void W32HoverLabel::SetIcon(IconId icon) {
  icon_ = icon;
  InvalidateRect(hwnd_, nullptr, TRUE);
}
void W32HoverLabel::SetBody(int body) {
  logic_.SetBody(body);
  Relayout();
}
void W32HoverLabel::SetBackColor(std::uint32_t rgb) {
  back_ = rgb;
  InvalidateRect(hwnd_, nullptr, TRUE);
}
XpLabel::Part W32HoverLabel::PartAt(int x, int y) const {
  auto in = [x, y](const Rect& r) { return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height; };
  if (logic_.ImageVisible() && in(logic_.ImageRect())) return XpLabel::Part::Image;
  if (in(logic_.LabelRect())) return XpLabel::Part::Label;
  return XpLabel::Part::Control;
}
void W32HoverLabel::Paint(HDC dc) {
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  HBRUSH back = CreateSolidBrush(back_);
  FillRect(dc, &rc, back);
  DeleteObject(back);
  if (logic_.ImageVisible() && icon_ != IconId::None) {
    Rect ir = logic_.ImageRect();
    int side = ImageSide();
    if (HICON icon = Win32State().Icon(icon_, side)) DrawIconEx(dc, ir.left, ir.top, icon, side, side, 0, nullptr, DI_NORMAL);
  }
  Rect lr = logic_.LabelRect();
  RECT tr{lr.left, lr.top, lr.left + lr.width + 1, lr.top + lr.height};
  HGDIOBJ old = SelectObject(dc, Win32State().Font(false, logic_.Underlined()));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(hwnd_) ? logic_.LabelColor() : GetSysColor(COLOR_GRAYTEXT));
  std::wstring text = Wide(Text());
  DrawTextW(dc, text.c_str(), -1, &tr,
            DT_NOPREFIX | (logic_.Body() == 1 ? DT_SINGLELINE : DT_WORDBREAK) | (logic_.Body() == 0 ? DT_CENTER : 0));
  SelectObject(dc, old);
  if (logic_.FocusRect()) {
    RECT fr{1, 1, rc.right - 1, rc.bottom - 1};
    DrawFocusRect(dc, &fr);
  }
}
LRESULT CALLBACK W32HoverLabel::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<W32HoverLabel*>(NodeOf(hwnd));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  int shift = ((wp & MK_SHIFT) ? 1 : 0) | ((wp & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
  int button = (wp & MK_LBUTTON) ? 1 : (wp & MK_RBUTTON) ? 2 : 0;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      self->Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      self->Relayout();
      return 0;
    case WM_MOUSEMOVE:
      self->logic_.MouseMove(self->PartAt(x, y), button, shift, static_cast<float>(x), static_cast<float>(y));
      return 0;
    case WM_TIMER: {
      if (wp != 1) break;
      POINT p{};
      GetCursorPos(&p);
      ScreenToClient(hwnd, &p);
      RECT rc{};
      GetClientRect(hwnd, &rc);
      self->logic_.TimerTick(PtInRect(&rc, p) != FALSE);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      ::SetFocus(hwnd);
      SetCapture(hwnd);
      self->pressed_ = true;
      self->logic_.MouseDown(self->PartAt(x, y), msg == WM_LBUTTONDOWN ? 1 : 2, shift, static_cast<float>(x),
                             static_cast<float>(y));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      if (GetCapture() == hwnd) ReleaseCapture();
      bool wasPressed = self->pressed_;
      self->pressed_ = false;
      RECT rc{};
      GetClientRect(hwnd, &rc);
      POINT p{x, y};
      bool inside = PtInRect(&rc, p) != FALSE;
      // The handlers may destroy the window (a click that closes the form): nothing of `self`
      // is used after the click is raised.
      self->logic_.MouseUp(self->PartAt(x, y), msg == WM_LBUTTONUP ? 1 : 2, shift, static_cast<float>(x),
                           static_cast<float>(y));
      if (msg == WM_LBUTTONUP && wasPressed && inside && IsWindowEnabled(hwnd)) self->logic_.Click();
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_SPACE || wp == VK_RETURN) {
        self->logic_.Click();
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    case WM_KILLFOCUS:
      self->logic_.LostFocus();
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// ----------------------------------------------------------------- children ----

Control* Children::Find(const std::string& name) const {
  for (const auto& c : items_) {
    if (c->Name() == name) return c.get();
    if (auto* pane = dynamic_cast<const Container*>(c.get()))
      if (Control* found = pane->Find(name)) return found;
  }
  return nullptr;
}

Button* Children::AddButton(const std::string& n, const std::string& c, const Rect& r) {
  return Keep(std::make_unique<W32Button>(parent_, n, c, r));
}
Label* Children::AddLabel(const std::string& n, const std::string& t, const Rect& r) {
  return Keep(std::make_unique<W32Label>(parent_, n, t, r));
}
Picture* Children::AddPicture(const std::string& n, IconId i, const Rect& r) {
  return Keep(std::make_unique<W32Picture>(parent_, n, i, r));
}
TextBox* Children::AddTextBox(const std::string& n, const std::string& t, const Rect& r, bool multi, bool ro) {
  return Keep(std::make_unique<W32TextBox>(parent_, n, t, r, multi, ro));
}
ProgressBar* Children::AddProgressBar(const std::string& n, const Rect& r) {
  return Keep(std::make_unique<W32ProgressBar>(parent_, n, r));
}
ListView* Children::AddListView(const std::string& n, const Rect& r, bool multi) {
  return Keep(std::make_unique<W32ListView>(parent_, n, r, multi));
}
Pane* Children::AddPane(const std::string& n, const Rect& r, bool framed) {
  return Keep(std::make_unique<W32Pane>(parent_, n, r, framed));
}
HoverLabel* Children::AddHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r) {
  return Keep(std::make_unique<W32HoverLabel>(parent_, n, c, i, body, r));
}

// --------------------------------------------------------------------- pane ----

W32Pane::W32Pane(HWND parent, const std::string& name, const Rect& r, bool framed) : W32Control(name) {
  Create(parent, kPaneClass, WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | (framed ? WS_EX_CLIENTEDGE : 0), "", r);
  kids_.SetParent(hwnd_);
  back_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
}
W32Pane::~W32Pane() {
  kids_.Clear();
  if (back_) DeleteObject(back_);
}
void W32Pane::SetBackColor(std::uint32_t rgb) {
  if (back_) DeleteObject(back_);
  back_ = CreateSolidBrush(rgb);
  InvalidateRect(hwnd_, nullptr, TRUE);
}
LRESULT CALLBACK W32Pane::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<W32Pane*>(NodeOf(hwnd));
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (ParentMessage(hwnd, msg, wp, lp, self->back_, &result)) return result;
  if (msg == WM_ERASEBKGND) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    FillRect(reinterpret_cast<HDC>(wp), &rc, self->back_);
    return 1;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tv::ui::w32
