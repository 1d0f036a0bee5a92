// FrmProg: the small progress window of the tools that run a fixed number of steps.
#pragma once
#include <memory>
#include <string>

#include "ui/widgets.h"

namespace tv::ui {

class FrmProg {
 public:
  FrmProg(Toolkit& kit, const std::string& caption, int maximum);
  void SetValue(int value);
  void Unload();
  Form& form() { return *form_; }

 private:
  std::unique_ptr<Form> form_;
  ProgressBar* bar_ = nullptr;
};

}  // namespace tv::ui
