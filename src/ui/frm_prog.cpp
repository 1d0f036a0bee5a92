#include "ui/frm_prog.h"

namespace tv::ui {

FrmProg::FrmProg(Toolkit& kit, const std::string& caption, int maximum)
    : form_(kit.CreateForm("FrmProg", caption, {360, 60})) {
  bar_ = form_->AddProgressBar("ProgressBar1", {12, 18, 336, 22});
  bar_->SetRange(0, maximum);
  bar_->SetValue(0);
  form_->onClose = [] { return false; };  // the tool closes it when it is done
  form_->Show();
}

void FrmProg::SetValue(int value) { bar_->SetValue(value); }

void FrmProg::Unload() {
  form_->onClose = nullptr;
  form_->Close();
}

Toolkit::Toolkit() = default;
Toolkit::~Toolkit() = default;

void Toolkit::ShowProgress(const std::string& caption, int maximum) {
  if (progress_) progress_->Unload();
  progress_ = std::make_unique<FrmProg>(*this, caption, maximum);
}
void Toolkit::SetProgress(int value) {
  if (progress_) progress_->SetValue(value);
}
void Toolkit::CloseProgress() {
  if (progress_) progress_->Unload();
  progress_.reset();
}

}  // namespace tv::ui
