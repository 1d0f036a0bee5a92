// The recording implementation of the widget layer: nothing is drawn; every control keeps its
// state, and tests drive the forms through it (click a button, pick a menu item, select rows,
// answer message boxes in order, read cells and status panels, run a modal form's script).
#pragma once
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/widgets.h"
#include "ui/xp_label.h"

namespace tv::ui {

class RecordingToolkit;

// One counter for every kind of control, so that front orders compare across kinds.
inline long g_recFrontCounter = 0;

// State shared by every recorded control.
template <class Base>
class RecControl : public Base {
 public:
  explicit RecControl(std::string name, std::string text = {}, Rect r = {})
      : Base(std::move(name)), text_(std::move(text)), bounds_(r) {}
  void SetText(const std::string& t) override { text_ = t; }
  std::string Text() const override { return text_; }
  void SetVisible(bool v) override { visible_ = v; }
  bool Visible() const override { return visible_; }
  void SetEnabled(bool e) override { enabled_ = e; }
  bool Enabled() const override { return enabled_; }
  void SetBounds(const Rect& r) override { bounds_ = r; }
  Rect Bounds() const override { return bounds_; }
  void BringToFront() override { front_ = ++g_recFrontCounter; }
  void SetToolTip(const std::string& t) override { tip_ = t; }
  void SetFocus() override { focused_ = true; }
  // Order in which controls were brought to the front (0: never).
  long FrontOrder() const { return front_; }
  const std::string& ToolTip() const { return tip_; }
  bool Focused() const { return focused_; }

 protected:
  std::string text_;
  Rect bounds_;
  bool visible_ = true, enabled_ = true, focused_ = false;
  std::string tip_;
  long front_ = 0;
};

class RecButton : public RecControl<Button> {
 public:
  using RecControl::RecControl;
  // A click as the user makes it: nothing happens on a hidden or disabled button.
  bool Click();
  void SetIcon(IconId icon) override { icon_ = icon; }
  IconId icon_ = IconId::None;
};

class RecLabel : public RecControl<Label> {
 public:
  using RecControl::RecControl;
  void SetBold(bool b) override { bold_ = b; }
  void SetUnderline(bool u) override { underline_ = u; }
  bool Underlined() const override { return underline_; }
  void SetColor(std::uint32_t c) override { color_ = c; }
  std::uint32_t Color() const override { return color_; }
  bool bold_ = false, underline_ = false;
  std::uint32_t color_ = 0;
};

class RecPicture : public RecControl<Picture> {
 public:
  RecPicture(std::string name, IconId icon, Rect r) : RecControl(std::move(name), {}, r), icon_(icon) {}
  void SetIcon(IconId icon) override { icon_ = icon; }
  IconId Icon() const override { return icon_; }
  IconId icon_;
};

class RecTextBox : public RecControl<TextBox> {
 public:
  using RecControl::RecControl;
  void PressKey(int key) {
    if (onKeyDown) onKeyDown(key);
  }
};

class RecProgressBar : public RecControl<ProgressBar> {
 public:
  using RecControl::RecControl;
  void SetRange(int mn, int mx) override { min_ = mn, max_ = mx; }
  void SetValue(int v) override { value_ = v; }
  int Value() const override { return value_; }
  int Maximum() const override { return max_; }
  int min_ = 0, max_ = 100, value_ = 0;
};

class RecStatusBar : public RecControl<StatusBar> {
 public:
  RecStatusBar(std::string name, int panels) : RecControl(std::move(name)), panels_(static_cast<std::size_t>(panels)) {}
  void SetPanelText(int panel, const std::string& text) override;
  std::string PanelText(int panel) const override;
  std::vector<std::string> panels_;
};

class RecListView : public RecControl<ListView> {
 public:
  struct Row {
    std::vector<std::string> cells;
    bool selected = false;
    int icon = -1;
    std::string iconFile;
  };
  using RecControl::RecControl;
  void SetExtendedStyle(std::uint32_t s) override { style_ = s; }
  std::uint32_t ExtendedStyle() const override { return style_; }
  void ClearColumns() override { columns_.clear(); }
  void AddColumn(const Column& c) override { columns_.push_back(c); }
  int ColumnCount() const override { return static_cast<int>(columns_.size()); }
  Column GetColumn(int i) const override;
  void SetColumnWidth(int i, int w) override;
  void ClearRows() override { rows_.clear(); }
  int AddRow(const ListRow& row) override;
  void RemoveRow(int row) override;
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string Cell(int row, int column) const override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetSelected(int row, bool selected) override;
  bool Selected(int row) const override;
  void SetIconFallback(const std::string& f) override { fallback_ = f; }
  void SetInputBlocked(bool b) override { blocked_ = b; }

  // Test helpers: select exactly these rows; a right-button release as the user makes it
  // (nothing while input is blocked); the texts of one column.
  void Select(const std::vector<int>& rows);
  void RightClick();
  std::vector<std::string> ColumnTexts(int column) const;
  std::vector<std::string> ColumnCaptions() const;

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::uint32_t style_ = 0;
  std::string fallback_;
  bool blocked_ = false;
};

class RecHoverLabel : public RecControl<HoverLabel> {
 public:
  RecHoverLabel(std::string name, std::string caption, IconId icon, int body, Rect r);
  void SetIcon(IconId icon) override { icon_ = icon; }
  IconId Icon() const override { return icon_; }
  void SetBody(int body) override { logic_.SetBody(body); }
  int Body() const override { return logic_.Body(); }
  void SetBackColor(std::uint32_t rgb) override { back_ = rgb; }
  std::uint32_t BackColor() const override { return back_; }
  // A click as the user makes it (mouse down, up and click on the label).
  bool Click();
  XpLabel& logic() { return logic_; }
  IconId icon_;
  std::uint32_t back_ = 0x00D8E9EC;  // red 236, green 233, blue 216

 private:
  XpLabel logic_;
};

class RecTimer : public Timer {
 public:
  explicit RecTimer(int interval) : interval_(interval) {}
  void SetEnabled(bool e) override { enabled_ = e; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override { interval_ = ms; }
  int Interval() const override { return interval_; }
  // One tick, as the event loop delivers it while the timer is enabled.
  void Tick() {
    if (enabled_ && onTick) onTick();
  }
  bool enabled_ = true;
  int interval_;
};

// Children of a form or a pane.
class RecChildren {
 public:
  explicit RecChildren(RecordingToolkit& kit) : kit_(kit) {}
  Control* FindChild(const std::string& name) const;
  template <class T, class... A>
  T* Make(A&&... args) {
    auto p = std::make_unique<T>(std::forward<A>(args)...);
    T* raw = p.get();
    children_.push_back(std::move(p));
    return raw;
  }
  Button* MakeButton(const std::string& name, const std::string& caption, const Rect& r);
  Label* MakeLabel(const std::string& name, const std::string& text, const Rect& r);
  Picture* MakePicture(const std::string& name, IconId icon, const Rect& r);
  TextBox* MakeTextBox(const std::string& name, const std::string& text, const Rect& r);
  ProgressBar* MakeProgressBar(const std::string& name, const Rect& r);
  ListView* MakeListView(const std::string& name, const Rect& r);
  Pane* MakePane(const std::string& name, const Rect& r);
  HoverLabel* MakeHoverLabel(const std::string& name, const std::string& caption, IconId icon, int body, const Rect& r);
  std::vector<std::unique_ptr<Control>> children_;
  RecordingToolkit& kit_;
};

class RecPane : public RecControl<Pane> {
 public:
  RecPane(RecordingToolkit& kit, std::string name, Rect r) : RecControl(std::move(name), {}, r), kids_(kit) {}
  Button* AddButton(const std::string& n, const std::string& c, const Rect& r) override { return kids_.MakeButton(n, c, r); }
  Label* AddLabel(const std::string& n, const std::string& t, const Rect& r) override { return kids_.MakeLabel(n, t, r); }
  Picture* AddPicture(const std::string& n, IconId i, const Rect& r) override { return kids_.MakePicture(n, i, r); }
  TextBox* AddTextBox(const std::string& n, const std::string& t, const Rect& r, bool, bool) override {
    return kids_.MakeTextBox(n, t, r);
  }
  ProgressBar* AddProgressBar(const std::string& n, const Rect& r) override { return kids_.MakeProgressBar(n, r); }
  ListView* AddListView(const std::string& n, const Rect& r, bool) override { return kids_.MakeListView(n, r); }
  Pane* AddPane(const std::string& n, const Rect& r, bool) override { return kids_.MakePane(n, r); }
  HoverLabel* AddHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r) override {
    return kids_.MakeHoverLabel(n, c, i, body, r);
  }
  Control* Find(const std::string& name) const override { return kids_.FindChild(name); }
  RecChildren kids_;
};

class RecForm : public RecControl<Form> {
 public:
  RecForm(RecordingToolkit& kit, std::string name, std::string caption, Size client);
  ~RecForm() override;
  Button* AddButton(const std::string& n, const std::string& c, const Rect& r) override { return kids_.MakeButton(n, c, r); }
  Label* AddLabel(const std::string& n, const std::string& t, const Rect& r) override { return kids_.MakeLabel(n, t, r); }
  Picture* AddPicture(const std::string& n, IconId i, const Rect& r) override { return kids_.MakePicture(n, i, r); }
  TextBox* AddTextBox(const std::string& n, const std::string& t, const Rect& r, bool, bool) override {
    return kids_.MakeTextBox(n, t, r);
  }
  ProgressBar* AddProgressBar(const std::string& n, const Rect& r) override { return kids_.MakeProgressBar(n, r); }
  ListView* AddListView(const std::string& n, const Rect& r, bool) override { return kids_.MakeListView(n, r); }
  Pane* AddPane(const std::string& n, const Rect& r, bool) override { return kids_.MakePane(n, r); }
  HoverLabel* AddHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r) override {
    return kids_.MakeHoverLabel(n, c, i, body, r);
  }
  Control* Find(const std::string& name) const override;
  StatusBar* AddStatusBar(const std::string& name, int panels) override;
  Timer* AddTimer(const std::string& name, int intervalMs) override;

  void Show() override;
  void ShowModal() override;
  bool Close() override;
  bool Closed() const override { return closed_; }
  void Restore() override { minimized_ = false; }
  bool Minimized() const override { return minimized_; }
  void SetForeground() override;
  Size ClientSize() const override { return client_; }
  void SetClientSize(const Size& s) override;
  void SetMinimumSize(const Size& s) override { minimum_ = s; }
  void SetIcon(IconId icon) override { icon_ = icon; }
  int PopupMenu(const Menu& menu) override;
  bool RegisterHotKey(int id, std::uint32_t modifiers, int key) override;
  void UnregisterHotKey(int id) override { hotKeys_.erase(id); }
  void SetMessageFilter(bool on) override { filter_ = on; }
  bool MessageFilter() const override { return filter_; }

  // Test helpers.
  template <class T>
  T* Get(const std::string& name) const { return dynamic_cast<T*>(Find(name)); }
  RecTimer* TimerNamed(const std::string& name) const;
  bool PressKey(int key, std::uint32_t modifiers = 0);  // true when the form swallowed it
  void PressHotKey(int id);
  // A message another program sends: WM_CLOSE (16), WM_GETTEXT (13), WM_SETTEXT (12) or
  // WM_DESTROY (2). Returns what the sender sees: for WM_GETTEXT the caption ("" when
  // filtered), for the others "closed"/"changed" or "" when the message was dropped.
  std::string ForeignMessage(int message, const std::string& text = {});
  void Minimize() { minimized_ = true; }

  RecChildren kids_;
  std::map<std::string, std::unique_ptr<RecTimer>> timers_;
  std::map<int, std::pair<std::uint32_t, int>> hotKeys_;
  std::unique_ptr<RecStatusBar> status_;
  Size client_, minimum_;
  IconId icon_ = IconId::None;
  bool closed_ = false, minimized_ = false, filter_ = false, modal_ = false;
  RecordingToolkit& kit_;
};

class RecordingToolkit : public Toolkit {
 public:
  RecordingToolkit();
  ~RecordingToolkit() override;

  // Ui
  int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) override;
  void DoEvents() override;
  std::string GetOpenFileName(const FileDialog& d) override { return recorder.GetOpenFileName(d); }
  std::string GetSaveFileName(const FileDialog& d) override { return recorder.GetSaveFileName(d); }
  void ShowProgress(const std::string& caption, int maximum) override { recorder.ShowProgress(caption, maximum); }
  void SetProgress(int value) override { recorder.SetProgress(value); }
  void CloseProgress() override { recorder.CloseProgress(); }
  void EnableMainWindow(bool enabled) override {
    recorder.EnableMainWindow(enabled);
    Toolkit::EnableMainWindow(enabled);
  }

  // Toolkit
  std::unique_ptr<Form> CreateForm(const std::string& name, const std::string& caption, const Size& client) override;
  void Run() override;
  void Quit() override { quit = true; }
  void AddTrayIcon(Form& owner, const TrayIcon& icon) override;
  void SetTrayTip(const std::string& tip) override { trayTip = tip; }
  void RemoveTrayIcon() override { trayShown = false, trayOwner = nullptr; }
  int ShowFileProperties(Form* owner, const std::string& path) override;
  void ShowRunDialog(Form* owner, const std::string& title, const std::string& prompt) override;
  bool ActivateWindowByCaption(const std::string& caption) override;
  void PlaySound(const std::string& file) override { sounds.push_back(file); }

  // Test helpers.
  RecForm* FindForm(const std::string& name) const;  // the newest open form of that name
  void ClickTray(int mouseMessage) {
    if (onTrayMouse) onTrayMouse(mouseMessage);
  }

  // Message boxes, dialogs, progress window and main-window state, as ui::Recorder keeps them.
  Recorder recorder;
  // Run while a message box is up (before it is answered), e.g. to look at the windows.
  std::function<void(const std::string& text)> onMessageBox;
  // Scripts for modal forms, in order: each runs while its form is shown modally; a form still
  // open when the script returns is closed as by its close box (and then forced closed).
  std::deque<std::function<void(RecForm&)>> modalScripts;
  // Answers for pop-up menus, in order (-1 when empty: the menu was dismissed).
  std::deque<int> menuPicks;
  std::vector<Menu> menusShown;
  // Run by Run() (the event loop), e.g. to drive the main window the program shows.
  std::function<void()> onRun;
  // Run on each DoEvents (after counting it), e.g. to press Stop during a scan.
  std::function<void()> onDoEvents;
  // Everything shown or asked of the shell, in order: "show NAME", "modal NAME", "hide NAME",
  // "close NAME", "foreground NAME", "properties PATH", "run TITLE", "activate CAPTION",
  // "tray add", "menu NAME".
  std::vector<std::string> events;
  // Captions of top-level windows of other programs (for ActivateWindowByCaption).
  std::vector<std::string> otherWindows;
  std::map<std::string, int> propertiesAnswers;  // path -> instance value (default 42)
  std::vector<std::string> sounds;
  bool quit = false;
  bool trayShown = false;
  Form* trayOwner = nullptr;
  TrayIcon trayIcon;
  std::string trayTip;
  std::vector<RecForm*> forms;  // open forms, oldest first
};

}  // namespace tv::ui
