#include "ui/ui.h"

namespace tv::ui {
namespace {
class Silent : public Ui {
 public:
  int MessageBox(const std::string&, const std::string&, std::uint32_t flags) override {
    return (flags & 0xF) == mb::YesNo ? mb::IdYes : mb::IdOk;
  }
  void DoEvents() override {}
};
Silent g_silent;
Ui* g_ui = &g_silent;
}  // namespace

int Recorder::MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) {
  messages.push_back({text, title, flags});
  if (!answers.empty()) {
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  return (flags & 0xF) == mb::YesNo ? mb::IdYes : mb::IdOk;
}

std::string Recorder::Dialog(const FileDialog& d) {
  dialogs.push_back(d);
  if (dialogAnswers.empty()) return {};
  std::string a = dialogAnswers.front();
  dialogAnswers.erase(dialogAnswers.begin());
  return a;
}

Ui& Current() { return *g_ui; }
void Install(Ui* ui) { g_ui = ui ? ui : &g_silent; }
}  // namespace tv::ui
