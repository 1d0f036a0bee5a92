// The about box: its texts, its two links and how it closes.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <functional>
#include <memory>
#include <string>

#include "platform/sim/sim_machine.h"
#include "ui/frm_about.h"
#include "ui/recording.h"
#include "ui/text_tables.h"

namespace tv {
namespace {

class AboutTest : public SimTest {
 protected:
  ui::RecordingToolkit kit;
  void SetUp() override {
    SimTest::SetUp();
    ui::InstallToolkit(&kit);
  }
  void TearDown() override {
    Language() = "Default";
    ui::InstallToolkit(nullptr);
    SimTest::TearDown();
  }
  // Shows the box with `script` running while it is up.
  void Show(std::function<void(ui::RecForm&)> script) {
    kit.modalScripts.push_back(std::move(script));
    ui::ShowAbout(kit, nullptr);
  }
};

TEST_F(AboutTest, TextsAndIcon) {
  bool ran = false;
  Show([&](ui::RecForm& f) {
    ran = true;
    EXPECT_EQ(f.Name(), "FrmAbout");
    EXPECT_EQ(f.Text(), "About Tolvexa");
    EXPECT_EQ(f.icon_, ui::IconId::App);
    ASSERT_NE(f.Get<ui::RecPicture>("ImgIcon"), nullptr);
    EXPECT_EQ(f.Get<ui::RecPicture>("ImgIcon")->Icon(), ui::IconId::App);
    ASSERT_NE(f.Get<ui::RecLabel>("LabAbout"), nullptr);
    const std::string about = f.Get<ui::RecLabel>("LabAbout")->Text();
    EXPECT_EQ(about, AboutText()[1]);
    EXPECT_EQ(about.rfind("Tolvexa , Ver 1.0.0 , Professional Edition\r\n\r\nA powerful PC diagnostic tool", 0), 0u);
    EXPECT_EQ(f.Get<ui::RecLabel>("LabBuild")->Text(), AboutText()[2]);
    ASSERT_NE(f.Get<ui::RecHoverLabel>("xpLabHome(0)"), nullptr);
    ASSERT_NE(f.Get<ui::RecHoverLabel>("xpLabHome(1)"), nullptr);
    EXPECT_EQ(f.Get<ui::RecHoverLabel>("xpLabHome(0)")->Text(), AddressText()[0]);
    EXPECT_EQ(f.Get<ui::RecHoverLabel>("xpLabHome(1)")->Text(), "support@tolvexa.example");
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(kit.events, (std::vector<std::string>{"modal FrmAbout", "close FrmAbout"}));
  EXPECT_TRUE(m.state.shellExecuted.empty());
}

TEST_F(AboutTest, LinksOpenTheHomePageAndTheSupportMail) {
  Show([](ui::RecForm& f) {
    EXPECT_TRUE(f.Get<ui::RecHoverLabel>("xpLabHome(0)")->Click());
    EXPECT_TRUE(f.Get<ui::RecHoverLabel>("xpLabHome(1)")->Click());
    EXPECT_FALSE(f.Closed());  // the links leave the box open
    EXPECT_TRUE(f.Get<ui::RecButton>("cmdOK")->Click());
    EXPECT_TRUE(f.Closed());
  });
  ASSERT_EQ(m.state.shellExecuted.size(), 2u);
  const sim::ShellCall& home = m.state.shellExecuted[0];
  EXPECT_EQ(home.verb, "open");
  EXPECT_EQ(home.file, AddressText()[0]);
  EXPECT_EQ(home.file, "http://www.tolvexa.com/");
  EXPECT_EQ(home.parameters, "");
  EXPECT_EQ(home.show, 1);
  const sim::ShellCall& mail = m.state.shellExecuted[1];
  EXPECT_EQ(mail.verb, "open");
  EXPECT_EQ(mail.file, "mailto:support@tolvexa.example?subject=Help");
  EXPECT_EQ(kit.recorder.messages.size(), 0u);  // a shell failure is not reported
}

TEST_F(AboutTest, KeysThatCloseTheBox) {
  struct Case {
    int key;
    bool closes;
  };
  for (const Case& c : {Case{ui::kVkEscape, true}, Case{ui::kVkReturn, true}, Case{'A', false}}) {
    SCOPED_TRACE(c.key);
    Show([&](ui::RecForm& f) {
      EXPECT_EQ(f.PressKey(c.key), c.closes);
      EXPECT_EQ(f.Closed(), c.closes);
    });
  }
}

TEST_F(AboutTest, OtherLanguageCaptionsTheLinkLines) {
  LoadChineseText();
  Language() = "Chinese";
  Show([](ui::RecForm& f) {
    EXPECT_EQ(f.Text(), AboutText()[0]);
    EXPECT_EQ(f.Get<ui::RecLabel>("LabHome")->Text(), "官方网站：");
    EXPECT_EQ(f.Get<ui::RecLabel>("LabSupport")->Text(), "技术支持：");
    EXPECT_EQ(f.Get<ui::RecHoverLabel>("xpLabHome(0)")->Text(), "http://www.tolvexa.cn/");
  });
  Language() = "Default";
  LoadEnglishText();
}

}  // namespace
}  // namespace tv
