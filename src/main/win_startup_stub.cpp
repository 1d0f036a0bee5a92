// Stand-in for the start-up sequence until the main window arrives: one form with the start
// pane's look (caption, a pane with the initialisation log, a status bar) so that the widget
// layer and the windowed entry can be tried out.
#include "app/startup.h"
#include "ui/text_tables.h"

namespace tv::app {

int StartUp(ui::Toolkit& kit) {
  LoadEnglishText();
  if (kit.ActivateWindowByCaption(MainText()[0])) return 0;
  auto form = kit.CreateForm("frmMain", MainText()[0], {800, 560});
  form->SetMinimumSize({800, 560});
  auto* pane = form->AddPane("PicStart", {120, 8, 672, 520}, true);
  pane->SetBackColor(0x00FFFFFF);
  pane->AddLabel("LabState", "Adjust privilege -- OK.\r\nLoad resource -- OK.\r\n"
                 "-----------------------------------\r\nInitialization -- OK.", {16, 16, 400, 80});
  auto* status = form->AddStatusBar("StaBar", 2);
  status->SetPanelText(1, "Ready");
  form->onClose = [&kit] {
    kit.Quit();
    return true;
  };
  form->SetMessageFilter(true);
  kit.SetMainForm(form.get());
  form->Show();
  kit.Run();
  kit.SetMainForm(nullptr);
  return 0;
}

}  // namespace tv::app
