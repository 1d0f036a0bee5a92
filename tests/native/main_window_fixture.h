// A simulated machine with the recording toolkit installed, for the main window and the
// start-up sequence. Every handle the code opened must be closed again at the end.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "scan/scan_engine.h"
#include "scan/scan_item.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/cpu_usage.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace tv {

inline const std::string kHklmRunKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class MainWindowTest : public ::testing::Test {
 protected:
  sim::SimMachine m;
  ui::RecordingToolkit kit;

  void SetUp() override {
    platform::Install(m.platform());
    InitFolders();
    Language() = "Default";
    LoadEnglishText();
    ui::InstallToolkit(&kit);
    ScanStopped() = true;
    StartupList().clear();
    BhoList().clear();
    ServiceList().clear();
    TrustList().clear();
  }
  void TearDown() override {
    window_.reset();
    ReleaseCpuSampler();
    EXPECT_EQ(m.OpenHandleCount(), 0u) << ::testing::PrintToString(m.OpenHandleKinds());
    ui::InstallToolkit(nullptr);
    platform::Install(Platform{});
  }

  // The main window, loaded, over `parts`.
  app::FrmMain& Open(app::MainWindowParts parts = app::DefaultParts(), app::StartupResult init = {true, true}) {
    window_ = std::make_unique<app::FrmMain>(kit, std::move(parts), init);
    window_->Load();
    return *window_;
  }
  ui::RecForm& Form() { return *kit.FindForm("frmMain"); }
  template <class T>
  T& Get(const std::string& name) {
    T* c = Form().Get<T>(name);
    if (!c) ADD_FAILURE() << "no control " << name;
    return *c;
  }
  ui::RecListView& List() { return Get<ui::RecListView>("lsvProcesses"); }
  std::string Panel(int i) { return Form().status_->PanelText(i); }
  bool Click(const std::string& name) {
    if (auto* b = Form().Get<ui::RecButton>(name)) return b->Click();
    if (auto* h = Form().Get<ui::RecHoverLabel>(name)) return h->Click();
    ADD_FAILURE() << "no button " << name;
    return false;
  }
  // The pane (or list) among the three overlapping ones that was brought to the front last.
  std::string Front() {
    std::string best;
    long order = -1;
    for (const char* n : {"lsvProcesses", "PicStart", "PicFunction"}) {
      long o = -1;
      if (auto* l = Form().Get<ui::RecListView>(n)) o = l->FrontOrder();
      if (auto* p = Form().Get<ui::RecPane>(n)) o = p->FrontOrder();
      if (o > order) order = o, best = n;
    }
    return best;
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& msg : kit.recorder.messages) out.push_back(msg.text);
    return out;
  }

  std::unique_ptr<app::FrmMain> window_;
};

}  // namespace tv
