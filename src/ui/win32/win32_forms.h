// The Win32 classes behind the widget layer's controls, panes and forms.
#pragma once
#include "ui/win32/win32_controls.h"

#include <commctrl.h>

#include <map>
#include <memory>

#include "ui/xp_label.h"

namespace tv::ui::w32 {

Rect WindowBounds(HWND hwnd);
void SetToolTipOf(HWND control, const std::string& tip);

// The window of one control.
class ChildBase : public Node {
 public:
  ~ChildBase() override;
  HWND Hwnd() const override { return hwnd_; }

 protected:
  void Create(HWND parent, const wchar_t* cls, DWORD style, DWORD exStyle, const std::string& text, const Rect& r);
  HWND hwnd_ = nullptr;
};

// What every control does with its window.
template <class Base>
class W32Control : public Base, public ChildBase {
 public:
  explicit W32Control(const std::string& name) : Base(name) {}
  void SetText(const std::string& text) override { SetWindowTextW(hwnd_, Wide(text).c_str()); }
  std::string Text() const override { return WindowText(hwnd_); }
  void SetVisible(bool visible) override { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
  bool Visible() const override { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
  void SetBounds(const Rect& r) override { MoveWindow(hwnd_, r.left, r.top, r.width, r.height, TRUE); }
  Rect Bounds() const override { return WindowBounds(hwnd_); }
  void BringToFront() override {
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  void SetFocus() override { ::SetFocus(hwnd_); }
  void SetToolTip(const std::string& tip) override { SetToolTipOf(hwnd_, tip); }
};

class W32Button : public W32Control<Button> {
 public:
  W32Button(HWND parent, const std::string& name, const std::string& caption, const Rect& r);
  void OnCommand(int code) override;
  void SetIcon(IconId icon) override;
};

class W32Label : public W32Control<Label> {
 public:
  W32Label(HWND parent, const std::string& name, const std::string& text, const Rect& r);
  void SetText(const std::string& text) override;
  void SetBold(bool bold) override { bold_ = bold, ApplyFont(); }
  void SetUnderline(bool underline) override { underline_ = underline, ApplyFont(); }
  bool Underlined() const override { return underline_; }
  void SetColor(std::uint32_t rgb) override;
  std::uint32_t Color() const override { return color_; }
  HBRUSH OnColor(HDC dc, HBRUSH back) override;

 private:
  void ApplyFont();
  bool bold_ = false, underline_ = false, colored_ = false;
  std::uint32_t color_ = 0;
};

class W32Picture : public W32Control<Picture> {
 public:
  W32Picture(HWND parent, const std::string& name, IconId icon, const Rect& r);
  void SetIcon(IconId icon) override;
  IconId Icon() const override { return icon_; }
  void OnCommand(int code) override;

 private:
  IconId icon_ = IconId::None;
};

class W32TextBox : public W32Control<TextBox> {
 public:
  W32TextBox(HWND parent, const std::string& name, const std::string& text, const Rect& r, bool multiLine,
             bool readOnly);
  ~W32TextBox() override;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};

class W32ProgressBar : public W32Control<ProgressBar> {
 public:
  W32ProgressBar(HWND parent, const std::string& name, const Rect& r);
  void SetRange(int minimum, int maximum) override;
  void SetValue(int value) override;
  int Value() const override;
  int Maximum() const override { return max_; }

 private:
  int max_ = 100;
};

class W32StatusBar : public W32Control<StatusBar> {
 public:
  W32StatusBar(HWND parent, const std::string& name, int panels);
  void SetPanelText(int panel, const std::string& text) override;
  std::string PanelText(int panel) const override;
  void Layout();  // after the form was resized
  int Height() const { return Bounds().height; }

 private:
  int panels_;
};

class W32ListView : public W32Control<ListView> {
 public:
  W32ListView(HWND parent, const std::string& name, const Rect& r, bool multiSelect);
  ~W32ListView() override;
  void SetExtendedStyle(std::uint32_t style) override;
  std::uint32_t ExtendedStyle() const override { return style_; }
  void ClearColumns() override;
  void AddColumn(const Column& column) override;
  int ColumnCount() const override;
  Column GetColumn(int index) const override;
  void SetColumnWidth(int index, int width) override;
  void ClearRows() override;
  int AddRow(const ListRow& row) override;
  void AddRows(const std::vector<ListRow>& rows) override;
  void RemoveRow(int row) override;
  int RowCount() const override;
  std::string Cell(int row, int column) const override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetSelected(int row, bool selected) override;
  bool Selected(int row) const override;
  void SetIconFallback(const std::string& file) override;
  void SetInputBlocked(bool blocked) override { blocked_ = blocked; }
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  int ImageFor(const ListRow& row);
  std::vector<std::string> keys_;
  std::uint32_t style_ = 0;
  HIMAGELIST images_ = nullptr;
  std::map<std::string, int> fileImages_;
  std::map<int, int> resourceImages_;
  std::string fallback_;
  bool blocked_ = false;
};

class W32HoverLabel : public W32Control<HoverLabel> {
 public:
  W32HoverLabel(HWND parent, const std::string& name, const std::string& caption, IconId icon, int body,
                const Rect& r);
  ~W32HoverLabel() override;
  void SetText(const std::string& text) override;
  void SetBounds(const Rect& r) override;
  void SetIcon(IconId icon) override;
  IconId Icon() const override { return icon_; }
  void SetBody(int body) override;
  int Body() const override { return logic_.Body(); }
  void SetBackColor(std::uint32_t rgb) override;
  std::uint32_t BackColor() const override { return back_; }
  const XpLabel& logic() const { return logic_; }
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);

 private:
  void Relayout();
  void Paint(HDC dc);
  int ImageSide() const;
  XpLabel::Part PartAt(int x, int y) const;
  IconId icon_;
  std::uint32_t back_;
  bool pressed_ = false;
  XpLabel logic_;
};

// The controls of a form or a pane.
class Children {
 public:
  void SetParent(HWND parent) { parent_ = parent; }
  Control* Find(const std::string& name) const;
  void Clear() { items_.clear(); }
  Button* AddButton(const std::string& n, const std::string& c, const Rect& r);
  Label* AddLabel(const std::string& n, const std::string& t, const Rect& r);
  Picture* AddPicture(const std::string& n, IconId i, const Rect& r);
  TextBox* AddTextBox(const std::string& n, const std::string& t, const Rect& r, bool multi, bool ro);
  ProgressBar* AddProgressBar(const std::string& n, const Rect& r);
  ListView* AddListView(const std::string& n, const Rect& r, bool multi);
  Pane* AddPane(const std::string& n, const Rect& r, bool framed);
  HoverLabel* AddHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r);

 private:
  template <class T>
  T* Keep(std::unique_ptr<T> p) {
    T* raw = p.get();
    items_.push_back(std::move(p));
    return raw;
  }
  HWND parent_ = nullptr;
  std::vector<std::unique_ptr<Control>> items_;
};

#define TV_W32_CONTAINER_METHODS                                                                                \
  Button* AddButton(const std::string& n, const std::string& c, const Rect& r) override {                      \
    return kids_.AddButton(n, c, r);                                                                            \
  }                                                                                                             \
  Label* AddLabel(const std::string& n, const std::string& t, const Rect& r) override {                        \
    return kids_.AddLabel(n, t, r);                                                                             \
  }                                                                                                             \
  Picture* AddPicture(const std::string& n, IconId i, const Rect& r) override { return kids_.AddPicture(n, i, r); } \
  TextBox* AddTextBox(const std::string& n, const std::string& t, const Rect& r, bool multiLine = false,        \
                      bool readOnly = false) override {                                                         \
    return kids_.AddTextBox(n, t, r, multiLine, readOnly);                                                      \
  }                                                                                                             \
  ProgressBar* AddProgressBar(const std::string& n, const Rect& r) override { return kids_.AddProgressBar(n, r); } \
  ListView* AddListView(const std::string& n, const Rect& r, bool multiSelect = true) override {               \
    return kids_.AddListView(n, r, multiSelect);                                                                \
  }                                                                                                             \
  Pane* AddPane(const std::string& n, const Rect& r, bool framed = false) override {                           \
    return kids_.AddPane(n, r, framed);                                                                         \
  }                                                                                                             \
  HoverLabel* AddHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r)     \
      override {                                                                                                \
    return kids_.AddHoverLabel(n, c, i, body, r);                                                               \
  }

class W32Pane : public W32Control<Pane> {
 public:
  W32Pane(HWND parent, const std::string& name, const Rect& r, bool framed);
  ~W32Pane() override;
  TV_W32_CONTAINER_METHODS
  Control* Find(const std::string& name) const override { return kids_.Find(name); }
  void SetBackColor(std::uint32_t rgb) override;
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);

 private:
  Children kids_;
  HBRUSH back_ = nullptr;
};

class W32Timer : public Timer {
 public:
  W32Timer(HWND owner, UINT_PTR id, int interval) : owner_(owner), id_(id), interval_(interval) {}
  ~W32Timer() override { KillTimer(owner_, id_); }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override;
  int Interval() const override { return interval_; }
  void Tick() {
    if (enabled_ && onTick) onTick();
  }

 private:
  HWND owner_;
  UINT_PTR id_;
  int interval_;
  bool enabled_ = false;
};

class FormImpl : public Form, public Node {
 public:
  FormImpl(const std::string& name, const std::string& caption, const Size& client);
  ~FormImpl() override;
  HWND Hwnd() const override { return hwnd_; }
  HWND ToolTips();

  void SetText(const std::string& text) override { SetWindowTextW(hwnd_, Wide(text).c_str()); }
  std::string Text() const override { return WindowText(hwnd_); }
  void SetVisible(bool visible) override;
  bool Visible() const override { return IsWindowVisible(hwnd_) != FALSE; }
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
  void SetBounds(const Rect& r) override { MoveWindow(hwnd_, r.left, r.top, r.width, r.height, TRUE); }
  Rect Bounds() const override { return WindowBounds(hwnd_); }
  void BringToFront() override { SetForeground(); }
  void SetFocus() override { ::SetFocus(hwnd_); }

  TV_W32_CONTAINER_METHODS
  Control* Find(const std::string& name) const override;
  StatusBar* AddStatusBar(const std::string& name, int panels) override;
  Timer* AddTimer(const std::string& name, int intervalMs) override;

  void Show() override;
  void ShowModal() override;
  bool Close() override;
  bool Closed() const override { return closed_; }
  void Restore() override;
  bool Minimized() const override { return IsIconic(hwnd_) != FALSE; }
  void SetForeground() override;
  Size ClientSize() const override;
  void SetClientSize(const Size& s) override;
  void SetMinimumSize(const Size& s) override { minimum_ = s; }
  void SetIcon(IconId icon) override;
  int PopupMenu(const Menu& menu) override;
  bool RegisterHotKey(int id, std::uint32_t modifiers, int key) override;
  void UnregisterHotKey(int id) override;
  void SetMessageFilter(bool on) override { filter_ = on; }
  bool MessageFilter() const override { return filter_; }

  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  // Keys reach the form before its controls: true when onKeyDown swallowed the key.
  bool PreviewKey(int key);

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  Children kids_;
  std::unique_ptr<W32StatusBar> status_;
  std::map<std::string, std::unique_ptr<W32Timer>> timers_;
  std::map<UINT_PTR, W32Timer*> timerIds_;
  UINT_PTR nextTimer_ = 100;
  std::map<int, bool> hotKeys_;
  Size minimum_{};
  bool closed_ = false, filter_ = false, shownOnce_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tv::ui::w32
