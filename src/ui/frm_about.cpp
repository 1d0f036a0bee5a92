#include "ui/frm_about.h"

#include <memory>

#include "platform/api.h"
#include "ui/text_tables.h"

namespace tv::ui {
namespace {

constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
constexpr Size kClient{400, 250};

void OpenWithShell(const std::string& target) {
  if (!platform::Current().shell) return;
  // The shell reports a failure through its result only; there is nothing to tell the user.
  platform::Shell().ShellExecuteA("open", target, "", "", kShowNormal);
}

// The design caption, or the about table's entry when another language is in use.
std::string Caption(const char* design, int entry) {
  const std::string& translated = AboutText()[static_cast<std::size_t>(entry)];
  if (Language() != "Default" && !translated.empty()) return translated;
  return design;
}

}  // namespace

void ShowAbout(Toolkit& kit, Form* owner) {
  std::unique_ptr<Form> form = kit.CreateForm("FrmAbout", AboutText()[0], kClient);
  Form& f = *form;
  f.SetIcon(IconId::App);

  f.AddPicture("ImgIcon", IconId::App, {16, 16, 32, 32});
  f.AddLabel("LabAbout", AboutText()[1], {64, 16, 320, 96});
  f.AddLabel("LabBuild", AboutText()[2], {64, 116, 320, 16});

  f.AddLabel("LabHome", Caption("Home Page:", 3), {64, 146, 90, 16});
  HoverLabel* home = f.AddHoverLabel("xpLabHome(0)", AddressText()[0], IconId::None, 2, {160, 144, 224, 18});
  home->SetToolTip(AddressText()[0]);
  home->onClick = [] { OpenWithShell(AddressText()[0]); };

  f.AddLabel("LabSupport", Caption("Support:", 4), {64, 170, 90, 16});
  HoverLabel* mail = f.AddHoverLabel("xpLabHome(1)", kSupportAddress, IconId::None, 2, {160, 168, 224, 18});
  mail->SetToolTip(kSupportMailTo);
  mail->onClick = [] { OpenWithShell(kSupportMailTo); };

  Button* ok = f.AddButton("cmdOK", "OK", {296, 208, 88, 26});
  ok->onClick = [&f] { f.Close(); };
  f.onKeyDown = [&f](int key, std::uint32_t) {
    if (key != kVkReturn && key != kVkEscape) return false;
    f.Close();
    return true;
  };

  if (owner) {
    // Centred over the window that opened it.
    const Rect o = owner->Bounds();
    Rect r = f.Bounds();
    if (o.width > 0 && o.height > 0 && r.width > 0 && r.height > 0) {
      r.left = o.left + (o.width - r.width) / 2;
      r.top = o.top + (o.height - r.height) / 2;
      f.SetBounds(r);
    }
  }
  f.ShowModal();
}

}  // namespace tv::ui
