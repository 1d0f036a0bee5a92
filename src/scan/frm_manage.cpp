#include "scan/frm_manage.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/record_text.h"
#include "scan/scan_item.h"
#include "scan/scan_lists.h"
#include "scan/signature.h"
#include "tools/file_delete.h"

namespace tv::scan {

namespace {

constexpr ui::Size kClient{700, 420};
constexpr int kPaneWidth = 360, kPaneHeight = 30;

class FrmManage {
 public:
  // A modal form belongs to the active window: `owner` needs no handling of its own here.
  FrmManage(ui::Toolkit& kit, ui::Form* owner) : kit_(kit) {
    (void)owner;
    form_ = kit_.CreateForm("FrmManage", manage::kCaption, kClient);
    list_ = form_->AddListView("LVManage", {0, 0, kClient.width, kClient.height - 40}, true);
    list_->SetIconMap(ui::RiskIcons());
    pane_ = form_->AddPane("PicManage", {kClient.width - kPaneWidth - 5, kClient.height - kPaneHeight - 5,
                                         kPaneWidth, kPaneHeight});
    const char* captions[] = {"&Close", "&Remove", "&Add", "&Verify"};
    for (int i = 0; i < 4; ++i) {
      ui::Button* b = pane_->AddButton("CmdScan(" + std::to_string(i) + ")", captions[i], {i * 90, 0, 85, 25});
      b->onClick = [this, i] { Click(i); };
    }
    // Other programs may not close, rename or destroy the window while it is open.
    form_->SetMessageFilter(true);
    list_->ClearColumns();
    list_->AddColumn({"&Object", "Object", 350});
    list_->AddColumn({"&Risk Level", "Risk Level", 100});
    list_->AddColumn({"&Location", "Location", 300});
    list_->AddColumn({"&Publisher", "Publisher", 200});
    list_->AddColumn({"&Version", "Version", 150});
    list_->SetExtendedStyle(0x20 | 0x10);
    form_->onResize = [this] { Layout(); };
    form_->onClosed = [this] { form_->SetMessageFilter(false); };
    RefreshTrustView();
  }

  void Run() { form_->ShowModal(); }

 private:
  void Click(int index) {
    switch (index) {
      case 0: form_->Close(); break;
      case 1: Remove(); break;
      case 2: Add(); break;
      case 3: Verify(); break;
      default: break;
    }
  }

  void RefreshTrustView() {
    list_->ClearRows();
    list_->AddRows(TrustListRows().rows);
  }

  void Add() {
    ui::FileDialog d;
    d.title = manage::kDialogTitle;
    d.filters = {{"Exe Files (*.exe;*.dll;*.com;*.scr)", "*.exe;*.dll;*.com;*.scr"},
                 {"Sys Files (*.sys;*.dll;*.vxd;*.drv)", "*.sys;*.dll;*.vxd;*.drv"},
                 {"All Files (*.*)", "*.*"}};
    d.filterIndex = 1;
    d.flags = manage::kDialogFlags;
    d.maxFile = manage::kDialogBuffer;
    const std::string answer = kit_.GetOpenFileName(d);
    if (answer.empty()) return;  // cancelled
    const OpenFileNames files = ParseOpenFileNames(answer);
    if (files.count() == 0) return;
    for (const std::string& name : files.names) {
      const std::string path = TrimBlanks(CutAtFirstNul(files.directory + name));
      TrustList().push_back(TrustItemForFile(path));
    }
    (void)SaveTrustList();
    RefreshTrustView();
  }

  void Remove() {
    std::vector<std::size_t> picked;
    for (int row : list_->SelectedRows()) picked.push_back(static_cast<std::size_t>(row));
    if (picked.empty()) return;
    (void)RemoveFromTrustList(picked);
    RefreshTrustView();
  }

  void Verify() {
    const int row = list_->FirstSelected();
    if (row < 0 || static_cast<std::size_t>(row) >= TrustList().size()) return;
    (void)VerifyFileSignature(TrustList()[static_cast<std::size_t>(row)].Object.str(), true);
  }

  void Layout() {
    const ui::Size s = form_->ClientSize();
    list_->SetBounds({0, 0, std::max(0, s.width - 2), std::max(0, s.height - 40)});
    pane_->SetBounds({s.width - kPaneWidth - 5, s.height - kPaneHeight - 5, kPaneWidth, kPaneHeight});
  }

  ui::Toolkit& kit_;
  std::unique_ptr<ui::Form> form_;
  ui::ListView* list_ = nullptr;
  ui::Pane* pane_ = nullptr;
};

}  // namespace

void ShowTrustManager(ui::Toolkit& kit, ui::Form* owner) {
  FrmManage manager(kit, owner);
  manager.Run();
}

}  // namespace tv::scan
