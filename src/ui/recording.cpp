#include "ui/recording.h"

#include <algorithm>

namespace tv::ui {

namespace {
Toolkit* g_kit = nullptr;
}

Toolkit* CurrentToolkit() { return g_kit; }
void InstallToolkit(Toolkit* kit) {
  g_kit = kit;
  Install(kit);
}

bool RecButton::Click() {
  if (!visible_ || !enabled_) return false;
  if (onClick) onClick();
  return true;
}

RecHoverLabel::RecHoverLabel(std::string name, std::string caption, IconId icon, int body, Rect r)
    : RecControl(std::move(name), std::move(caption), r), icon_(icon), logic_(0, body) {
  logic_.onClick = [this] { if (onClick) onClick(); };
  logic_.onMouseMove = [this](int b, int s, float x, float y) { if (onMouseMove) onMouseMove(b, s, x, y); };
  logic_.onMouseDown = [this](int b, int s, float x, float y) { if (onMouseDown) onMouseDown(b, s, x, y); };
  logic_.onMouseUp = [this](int b, int s, float x, float y) { if (onMouseUp) onMouseUp(b, s, x, y); };
  logic_.Layout({r.width, r.height}, {32, 32}, {r.width, 16});
}
bool RecHoverLabel::Click() {
  if (!visible_ || !enabled_) return false;
  logic_.MouseDown(XpLabel::Part::Label, 1, 0, 1, 1);
  logic_.MouseUp(XpLabel::Part::Label, 1, 0, 1, 1);
  logic_.Click();
  return true;
}

void RecStatusBar::SetPanelText(int panel, const std::string& text) {
  if (panel >= 1 && static_cast<std::size_t>(panel) <= panels_.size()) panels_[static_cast<std::size_t>(panel - 1)] = text;
}
std::string RecStatusBar::PanelText(int panel) const {
  if (panel >= 1 && static_cast<std::size_t>(panel) <= panels_.size()) return panels_[static_cast<std::size_t>(panel - 1)];
  return {};
}

Column RecListView::GetColumn(int i) const {
  if (i < 0 || i >= ColumnCount()) return {};
  return columns_[static_cast<std::size_t>(i)];
}
void RecListView::SetColumnWidth(int i, int w) {
  if (i >= 0 && i < ColumnCount()) columns_[static_cast<std::size_t>(i)].width = w;
}
int RecListView::AddRow(const ListRow& row) {
  Row r;
  r.cells.push_back(row.text);
  r.cells.insert(r.cells.end(), row.subItems.begin(), row.subItems.end());
  r.icon = row.icon;
  r.iconFile = row.iconKey;
  rows_.push_back(std::move(r));
  return RowCount() - 1;
}
void RecListView::RemoveRow(int row) {
  if (row >= 0 && row < RowCount()) rows_.erase(rows_.begin() + row);
}
std::string RecListView::Cell(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0) return {};
  const auto& cells = rows_[static_cast<std::size_t>(row)].cells;
  return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : std::string();
}
void RecListView::SetCell(int row, int column, const std::string& text) {
  if (row < 0 || row >= RowCount() || column < 0) return;
  auto& cells = rows_[static_cast<std::size_t>(row)].cells;
  if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = text;
}
void RecListView::SetSelected(int row, bool selected) {
  if (row >= 0 && row < RowCount()) rows_[static_cast<std::size_t>(row)].selected = selected;
}
bool RecListView::Selected(int row) const {
  return row >= 0 && row < RowCount() && rows_[static_cast<std::size_t>(row)].selected;
}
void RecListView::Select(const std::vector<int>& rows) {
  for (auto& r : rows_) r.selected = false;
  for (int r : rows) SetSelected(r, true);
}
void RecListView::RightClick() {
  if (blocked_ || !enabled_) return;
  if (onMouseUp) onMouseUp(2, 10, 10);
}
std::vector<std::string> RecListView::ColumnTexts(int column) const {
  std::vector<std::string> out;
  for (int i = 0; i < RowCount(); ++i) out.push_back(Cell(i, column));
  return out;
}
std::vector<std::string> RecListView::ColumnCaptions() const {
  std::vector<std::string> out;
  for (const auto& c : columns_) out.push_back(c.caption);
  return out;
}

Control* RecChildren::FindChild(const std::string& name) const {
  for (const auto& c : children_) {
    if (c->Name() == name) return c.get();
    if (auto* pane = dynamic_cast<const RecPane*>(c.get()))
      if (Control* found = pane->Find(name)) return found;
  }
  return nullptr;
}
Button* RecChildren::MakeButton(const std::string& n, const std::string& c, const Rect& r) { return Make<RecButton>(n, c, r); }
Label* RecChildren::MakeLabel(const std::string& n, const std::string& t, const Rect& r) { return Make<RecLabel>(n, t, r); }
Picture* RecChildren::MakePicture(const std::string& n, IconId i, const Rect& r) { return Make<RecPicture>(n, i, r); }
TextBox* RecChildren::MakeTextBox(const std::string& n, const std::string& t, const Rect& r) { return Make<RecTextBox>(n, t, r); }
ProgressBar* RecChildren::MakeProgressBar(const std::string& n, const Rect& r) { return Make<RecProgressBar>(n, std::string(), r); }
ListView* RecChildren::MakeListView(const std::string& n, const Rect& r) { return Make<RecListView>(n, std::string(), r); }
HoverLabel* RecChildren::MakeHoverLabel(const std::string& n, const std::string& c, IconId i, int body, const Rect& r) {
  return Make<RecHoverLabel>(n, c, i, body, r);
}
Pane* RecChildren::MakePane(const std::string& n, const Rect& r) { return Make<RecPane>(kit_, n, r); }

RecForm::RecForm(RecordingToolkit& kit, std::string name, std::string caption, Size client)
    : RecControl(std::move(name), std::move(caption)), kids_(kit), client_(client), kit_(kit) {
  visible_ = false;
  kit_.forms.push_back(this);
}
RecForm::~RecForm() {
  auto& f = kit_.forms;
  f.erase(std::remove(f.begin(), f.end(), this), f.end());
}
Control* RecForm::Find(const std::string& name) const {
  if (status_ && status_->Name() == name) return status_.get();
  return kids_.FindChild(name);
}
StatusBar* RecForm::AddStatusBar(const std::string& name, int panels) {
  status_ = std::make_unique<RecStatusBar>(name, panels);
  return status_.get();
}
Timer* RecForm::AddTimer(const std::string& name, int intervalMs) {
  auto& t = timers_[name];
  t = std::make_unique<RecTimer>(intervalMs);
  return t.get();
}
RecTimer* RecForm::TimerNamed(const std::string& name) const {
  auto it = timers_.find(name);
  return it == timers_.end() ? nullptr : it->second.get();
}
void RecForm::Show() {
  visible_ = true;
  closed_ = false;
  kit_.events.push_back("show " + Name());
}
void RecForm::ShowModal() {
  visible_ = true;
  closed_ = false;
  modal_ = true;
  kit_.events.push_back("modal " + Name());
  if (!kit_.modalScripts.empty()) {
    auto script = std::move(kit_.modalScripts.front());
    kit_.modalScripts.pop_front();
    script(*this);
  }
  if (!closed_ && !Close()) {
    // A modal form that refuses to close would hang the test: force it.
    closed_ = true;
    visible_ = false;
    if (onClosed) onClosed();
  }
  modal_ = false;
}
bool RecForm::Close() {
  if (closed_) return true;
  if (onClose && !onClose()) return false;
  closed_ = true;
  visible_ = false;
  kit_.events.push_back("close " + Name());
  if (onClosed) onClosed();
  return true;
}
void RecForm::SetForeground() { kit_.events.push_back("foreground " + Name()); }
void RecForm::SetClientSize(const Size& s) {
  client_ = {std::max(s.width, minimum_.width), std::max(s.height, minimum_.height)};
  if (onResize) onResize();
}
int RecForm::PopupMenu(const Menu& menu) {
  kit_.menusShown.push_back(menu);
  kit_.events.push_back("menu " + menu.name);
  if (kit_.menuPicks.empty()) return -1;
  int pick = kit_.menuPicks.front();
  kit_.menuPicks.pop_front();
  if (pick < 0 || static_cast<std::size_t>(pick) >= menu.items.size()) return -1;
  const MenuItem& item = menu.items[static_cast<std::size_t>(pick)];
  if (!item.visible || !item.enabled || item.caption == "-") return -1;
  return pick;
}
bool RecForm::RegisterHotKey(int id, std::uint32_t modifiers, int key) {
  for (const auto& [other, hk] : hotKeys_)
    if (hk == std::make_pair(modifiers, key) && other != id) return false;
  hotKeys_[id] = {modifiers, key};
  return true;
}
bool RecForm::PressKey(int key, std::uint32_t modifiers) {
  if (onKeyDown) return onKeyDown(key, modifiers);
  return false;
}
void RecForm::PressHotKey(int id) {
  if (hotKeys_.count(id) && onHotKey) onHotKey(id);
}
std::string RecForm::ForeignMessage(int message, const std::string& text) {
  if (filter_ && (message == 2 || message == 12 || message == 13 || message == 16)) return {};
  switch (message) {
    case 13: return Text();
    case 12: SetText(text); return "changed";
    case 16: return Close() ? "closed" : "";
    case 2:
      closed_ = true, visible_ = false;
      return "closed";
    default: return {};
  }
}

RecordingToolkit::RecordingToolkit() = default;
RecordingToolkit::~RecordingToolkit() {
  if (CurrentToolkit() == this) InstallToolkit(nullptr);
}
int RecordingToolkit::MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) {
  if (onMessageBox) onMessageBox(text);
  return recorder.MessageBox(text, title, flags);
}
void RecordingToolkit::DoEvents() {
  recorder.DoEvents();
  if (onDoEvents) onDoEvents();
}
std::unique_ptr<Form> RecordingToolkit::CreateForm(const std::string& name, const std::string& caption, const Size& client) {
  return std::make_unique<RecForm>(*this, name, caption, client);
}
void RecordingToolkit::Run() {
  events.push_back("run");
  if (onRun) onRun();
}
void RecordingToolkit::AddTrayIcon(Form& owner, const TrayIcon& icon) {
  trayShown = true;
  trayOwner = &owner;
  trayIcon = icon;
  events.push_back("tray add");
}
int RecordingToolkit::ShowFileProperties(Form*, const std::string& path) {
  events.push_back("properties " + path);
  auto it = propertiesAnswers.find(path);
  return it == propertiesAnswers.end() ? 42 : it->second;
}
void RecordingToolkit::ShowRunDialog(Form*, const std::string& title, const std::string& prompt) {
  events.push_back("run " + title + "|" + prompt);
}
bool RecordingToolkit::ActivateWindowByCaption(const std::string& caption) {
  if (std::find(otherWindows.begin(), otherWindows.end(), caption) == otherWindows.end()) return false;
  events.push_back("activate " + caption);
  return true;
}
RecForm* RecordingToolkit::FindForm(const std::string& name) const {
  for (auto it = forms.rbegin(); it != forms.rend(); ++it)
    if ((*it)->Name() == name) return *it;
  return nullptr;
}

}  // namespace tv::ui
