// The widget layer the windows are written against. A form (top-level window) holds controls
// created by name ("lsvProcesses", "Command1(2)"); events are std::function members that the
// form's code sets. Two implementations: the Win32 one over the real common controls
// (src/ui/win32, Windows builds) and the recording one (ui/recording.h) that tests drive.
//
// Conventions:
// - Positions and sizes are pixels of the parent's client area.
// - List rows and columns are counted from 0 (row i is element i of the list it shows).
// - Status-bar panels are counted from 1, as the windows name them ("panel 1", "panel 2").
// - Key codes are Windows virtual-key codes; mouse buttons 1 left, 2 right.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace tv::ui {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};
struct Size {
  int width = 0, height = 0;
};

// Icons the program carries in its resources (res/). Values are the resource numbers.
enum class IconId : int {
  None = 0,
  App = 1,       // program icon, also the tray icon
  Tray = 2,
  TabStart = 10, TabScan, TabProcess, TabKernel, TabStartup, TabBho, TabPort, TabService, TabTools,
  RiskNone = 30, RiskNormal, RiskUnknown, RiskPotential, RiskDangerous,
  QuickStartup = 40, QuickProcess, QuickJunk, QuickRegistry, AdvService, AdvWipe, AdvReport,
  About = 50, Setting,
  Logo = 60,
};

// Images of rows rated by risk: image (risk level + 1) shows the level's icon.
inline std::vector<IconId> RiskIcons() {
  return {IconId::None, IconId::RiskNone, IconId::RiskNormal, IconId::RiskUnknown, IconId::RiskPotential,
          IconId::RiskDangerous};
}

inline constexpr int kVkReturn = 13, kVkEscape = 27, kVkF5 = 116;
inline constexpr std::uint32_t kModAlt = 1, kModControl = 2;

// Every control and every form.
class Control {
 public:
  virtual ~Control() = default;
  const std::string& Name() const { return name_; }

  virtual void SetText(const std::string& text) = 0;  // caption of a button, label, form ...
  virtual std::string Text() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetBounds(const Rect& r) = 0;
  virtual Rect Bounds() const = 0;
  virtual void BringToFront() = 0;  // among its siblings: the pane brought to the front is seen
  virtual void SetFocus() {}
  virtual void SetToolTip(const std::string& tip) { (void)tip; }

 protected:
  explicit Control(std::string name) : name_(std::move(name)) {}

 private:
  std::string name_;
};

class Button : public Control {
 public:
  std::function<void()> onClick;
  virtual void SetIcon(IconId icon) { (void)icon; }

 protected:
  using Control::Control;
};

// Static text; multi-line when the text holds CR LF.
class Label : public Control {
 public:
  // Fonts: bold for headings, underline and colour for the hover label.
  virtual void SetBold(bool bold) { (void)bold; }
  virtual void SetUnderline(bool underline) { (void)underline; }
  virtual bool Underlined() const { return false; }
  virtual void SetColor(std::uint32_t rgb) { (void)rgb; }  // 0x00BBGGRR, as COLORREF
  virtual std::uint32_t Color() const { return 0; }

 protected:
  using Control::Control;
};

// A picture showing one of the program's icons.
class Picture : public Control {
 public:
  std::function<void()> onClick;
  virtual void SetIcon(IconId icon) = 0;
  virtual IconId Icon() const = 0;

 protected:
  using Control::Control;
};

class TextBox : public Control {
 public:
  std::function<void(int key)> onKeyDown;

 protected:
  using Control::Control;
};

class ProgressBar : public Control {
 public:
  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetValue(int value) = 0;
  virtual int Value() const = 0;
  virtual int Maximum() const = 0;

 protected:
  using Control::Control;
};

class StatusBar : public Control {
 public:
  virtual void SetPanelText(int panel, const std::string& text) = 0;  // panel from 1
  virtual std::string PanelText(int panel) const = 0;

 protected:
  using Control::Control;
};

struct Column {
  std::string key, caption;
  int width = 100;
};

class ListView : public Control {
 public:
  // Report view; extended styles as LVS_EX_* (0x20 full-row select, 0x10 header drag and drop,
  // 0x4 check boxes ...).
  virtual void SetExtendedStyle(std::uint32_t style) = 0;
  virtual std::uint32_t ExtendedStyle() const = 0;
  virtual void ClearColumns() = 0;
  virtual void AddColumn(const Column& column) = 0;
  virtual int ColumnCount() const = 0;
  virtual Column GetColumn(int index) const = 0;
  virtual void SetColumnWidth(int index, int width) = 0;

  virtual void ClearRows() = 0;
  // Adds a row at the end; its icon is the small shell icon of `iconFile` (ListRow::iconKey
  // holds the file), else `icon` as an IconId number, else none. Returns the row index.
  virtual int AddRow(const ListRow& row) = 0;
  virtual void AddRows(const std::vector<ListRow>& rows) {
    for (const auto& r : rows) AddRow(r);
  }
  virtual void RemoveRow(int row) = 0;
  virtual int RowCount() const = 0;
  virtual std::string Cell(int row, int column) const = 0;  // column 0 is the row text
  virtual void SetCell(int row, int column, const std::string& text) = 0;
  virtual void SetSelected(int row, bool selected) = 0;
  virtual bool Selected(int row) const = 0;
  std::vector<int> SelectedRows() const {
    std::vector<int> out;
    for (int i = 0, n = RowCount(); i < n; ++i)
      if (Selected(i)) out.push_back(i);
    return out;
  }
  int FirstSelected() const {
    for (int i = 0, n = RowCount(); i < n; ++i)
      if (Selected(i)) return i;
    return -1;
  }
  // The icon shown for rows whose file has no shell icon (a path).
  virtual void SetIconFallback(const std::string& file) { (void)file; }
  // The program's icon for a row's image number (ListRow::icon). The engines number the images
  // of their rows by the list they belong to (risk level + 1, service state ...); the window
  // that shows them maps those numbers to icons, image i to map[i]. Without a map the number
  // is an IconId.
  void SetIconMap(std::vector<IconId> map) { iconMap_ = std::move(map); }
  IconId RowIcon(int image) const {
    if (image <= 0) return IconId::None;
    if (iconMap_.empty()) return static_cast<IconId>(image);
    return static_cast<std::size_t>(image) < iconMap_.size() ? iconMap_[static_cast<std::size_t>(image)] : IconId::None;
  }
  // Swallows mouse and key input (the list stays visible and scrolls on its own): the scan
  // window blocks its list this way while a scan runs.
  virtual void SetInputBlocked(bool blocked) { (void)blocked; }

  std::function<void(int button, int x, int y)> onMouseUp;
  std::function<void(int row)> onDoubleClick;
  std::function<void(int key)> onKeyDown;

 protected:
  using Control::Control;

 private:
  std::vector<IconId> iconMap_;
};

// A pop-up menu: items by index; separators and hidden items keep their index.
struct MenuItem {
  std::string caption;  // "-": separator
  bool visible = true;
  bool enabled = true;
  bool checked = false;
};
struct Menu {
  std::string name;
  std::vector<MenuItem> items;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetInterval(int ms) = 0;
  virtual int Interval() const = 0;
  std::function<void()> onTick;
};

// The hover label (xpLabel): an icon and a caption that react to the mouse like a link or a
// flat tool button. Its behaviour is XpLabel's (ui/xp_label.h); the implementations feed it
// the mouse and timer events and draw the state it keeps.
class HoverLabel : public Control {
 public:
  std::function<void()> onClick;
  // Button (1 left, 2 right), shift state, coordinates in the control's units.
  std::function<void(int button, int shift, float x, float y)> onMouseMove, onMouseDown, onMouseUp;
  virtual void SetIcon(IconId icon) = 0;
  virtual IconId Icon() const = 0;
  virtual void SetBody(int body) = 0;  // 0 icon above caption, 1 icon left, 2 caption only
  virtual int Body() const = 0;
  virtual void SetBackColor(std::uint32_t rgb) = 0;
  virtual std::uint32_t BackColor() const = 0;

 protected:
  using Control::Control;
};

// A control that holds other controls: a form or a pane.
class Container {
 public:
  virtual ~Container() = default;
  virtual Button* AddButton(const std::string& name, const std::string& caption, const Rect& r) = 0;
  virtual Label* AddLabel(const std::string& name, const std::string& text, const Rect& r) = 0;
  virtual Picture* AddPicture(const std::string& name, IconId icon, const Rect& r) = 0;
  virtual TextBox* AddTextBox(const std::string& name, const std::string& text, const Rect& r,
                              bool multiLine = false, bool readOnly = false) = 0;
  virtual ProgressBar* AddProgressBar(const std::string& name, const Rect& r) = 0;
  virtual ListView* AddListView(const std::string& name, const Rect& r, bool multiSelect = true) = 0;
  virtual class Pane* AddPane(const std::string& name, const Rect& r, bool framed = false) = 0;
  virtual HoverLabel* AddHoverLabel(const std::string& name, const std::string& caption, IconId icon,
                                    int body, const Rect& r) = 0;
  // The control named `name` anywhere below this container, or nullptr.
  virtual Control* Find(const std::string& name) const = 0;
};

class Pane : public Control, public Container {
 public:
  virtual void SetBackColor(std::uint32_t rgb) { (void)rgb; }

 protected:
  using Control::Control;
};

// A top-level window. Text() is its caption.
class Form : public Control, public Container {
 public:
  virtual StatusBar* AddStatusBar(const std::string& name, int panels) = 0;
  virtual Timer* AddTimer(const std::string& name, int intervalMs) = 0;

  virtual void Show() = 0;
  // Shows the form and returns once it is closed; the other forms are disabled meanwhile.
  virtual void ShowModal() = 0;
  virtual void Hide() { SetVisible(false); }
  // Asks the form to close as its close box does: onClose decides; true when it closed.
  virtual bool Close() = 0;
  virtual bool Closed() const = 0;
  virtual void Restore() {}  // out of the minimised state
  virtual bool Minimized() const { return false; }
  virtual void SetForeground() {}
  virtual Size ClientSize() const = 0;
  virtual void SetClientSize(const Size& s) = 0;
  virtual void SetMinimumSize(const Size& s) = 0;  // of the client area
  virtual void SetIcon(IconId icon) { (void)icon; }

  // Shows `menu` at the mouse position and returns the index chosen, -1 when none.
  virtual int PopupMenu(const Menu& menu) = 0;

  // A system-wide hot key on this window; false when it could not be registered.
  virtual bool RegisterHotKey(int id, std::uint32_t modifiers, int key) = 0;
  virtual void UnregisterHotKey(int id) = 0;
  // Drops close, destroy, get-text and set-text messages that other programs send.
  virtual void SetMessageFilter(bool on) = 0;
  virtual bool MessageFilter() const = 0;

  // Events. onClose returns false to cancel (the window stays).
  std::function<bool()> onClose;
  std::function<void()> onClosed;  // after it closed (the form is not reused)
  std::function<void()> onResize;
  // Keys reach the form before its controls; true swallows the key.
  std::function<bool(int key, std::uint32_t modifiers)> onKeyDown;
  std::function<void(int id)> onHotKey;

 protected:
  using Control::Control;
};

// What a list tab of the main window hands to the code that fills the shared list and carries
// out its pop-up menu: the owner window (for message boxes and shell windows), the list and the
// status bar (panel 1: the counts).
struct ListHost {
  Form* owner = nullptr;
  ListView* list = nullptr;
  StatusBar* status = nullptr;
};

// The notification-area icon of a form.
struct TrayIcon {
  IconId icon = IconId::Tray;
  std::string tip;  // at most 63 bytes are shown
};

// The toolkit: forms, the application loop, the shell's windowed calls, and the message boxes,
// file dialogs and progress window of Ui.
class Toolkit : public Ui {
 public:
  Toolkit();
  ~Toolkit() override;
  virtual std::unique_ptr<Form> CreateForm(const std::string& name, const std::string& caption,
                                           const Size& client) = 0;
  // Runs the event loop until Quit().
  virtual void Run() = 0;
  virtual void Quit() = 0;

  // Notification area. Mouse messages reach `onTrayMouse` (0x202 left up, 0x205 right up).
  virtual void AddTrayIcon(Form& owner, const TrayIcon& icon) = 0;
  virtual void SetTrayTip(const std::string& tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  std::function<void(int mouseMessage)> onTrayMouse;
  // The taskbar was re-created (the shell restarted): the icon must be added again.
  std::function<void()> onTaskbarCreated;

  // Shell windows owned by `owner`: the properties sheet of a file (returns the instance value
  // the shell reports, 2 = file not found) and the run dialog.
  virtual int ShowFileProperties(Form* owner, const std::string& path) = 0;
  virtual void ShowRunDialog(Form* owner, const std::string& title, const std::string& prompt) = 0;

  // The top-level window of another instance with this caption: restore and activate it.
  // True when one was found.
  virtual bool ActivateWindowByCaption(const std::string& caption) = 0;

  // Plays the alert sound file (asynchronously).
  virtual void PlaySound(const std::string& file) { (void)file; }

  // The main window: the tools disable it while they run (Ui::EnableMainWindow), message
  // boxes are owned by the active form.
  void SetMainForm(Form* form) { mainForm_ = form; }
  Form* MainForm() const { return mainForm_; }
  void EnableMainWindow(bool enabled) override {
    if (mainForm_) mainForm_->SetEnabled(enabled);
  }
  // The progress window of the tools (FrmProg, ui/frm_prog.h) by default.
  void ShowProgress(const std::string& caption, int maximum) override;
  void SetProgress(int value) override;
  void CloseProgress() override;

 private:
  Form* mainForm_ = nullptr;
  std::unique_ptr<class FrmProg> progress_;
};

// The toolkit the windowed program runs on; Install()s itself as the current Ui too.
Toolkit* CurrentToolkit();
void InstallToolkit(Toolkit* kit);  // nullptr: none (and the silent Ui)

}  // namespace tv::ui
