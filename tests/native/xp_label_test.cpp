// The hover label's behaviour apart from drawing: layouts, hover by timer, press and release.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ui/xp_label.h"

namespace tv::ui {

// Comparison and printing for the assertions below.
inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}

namespace {

constexpr std::uint32_t kBlue = 0x00FF0000;

struct Recorder {
  std::vector<std::string> events;
  std::vector<bool> timer;
  void Attach(XpLabel& l) {
    l.onClick = [this] { events.push_back("click"); };
    l.onMouseMove = [this](int b, int s, float x, float y) { Add("move", b, s, x, y); };
    l.onMouseDown = [this](int b, int s, float x, float y) { Add("down", b, s, x, y); };
    l.onMouseUp = [this](int b, int s, float x, float y) { Add("up", b, s, x, y); };
    l.onTimer = [this](bool on) { timer.push_back(on); };
  }
  void Add(const char* what, int b, int s, float x, float y) {
    events.push_back(std::string(what) + " " + std::to_string(b) + " " + std::to_string(s) + " " +
                     std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
  }
};

TEST(XpLabel, ThreeLayoutsPlaceImageAndLabel) {
  struct Case {
    int body;
    Rect image, label;
    bool imageVisible;
  } cases[] = {
      {0, {34, 2, 32, 32}, {20, 37, 60, 13}, true},   // icon above caption, both centred
      {1, {0, 2, 32, 32}, {35, 11, 60, 13}, true},    // icon left, caption centred beside it
      {2, {0, 0, 0, 0}, {2, 1, 60, 13}, false},       // caption only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    XpLabel l(kBlue, c.body);
    l.Layout({100, 60}, {32, 32}, {60, 13});
    EXPECT_EQ(l.ImageVisible(), c.imageVisible);
    if (c.imageVisible) {
      EXPECT_EQ(l.ImageRect(), c.image);
    }
    EXPECT_EQ(l.LabelRect(), c.label);
  }
}

TEST(XpLabel, BodyOutsideTheThreeLayoutsKeepsTheLayout) {
  XpLabel l(kBlue, 1);
  l.Layout({100, 60}, {32, 32}, {60, 13});
  const Rect before = l.LabelRect();
  l.SetBody(3);
  l.SetBody(-1);
  EXPECT_EQ(l.Body(), 1);
  EXPECT_EQ(l.LabelRect(), before);
  l.SetBody(2);  // a valid change lays the control out again
  EXPECT_EQ(l.LabelRect(), (Rect{2, 1, 60, 13}));
}

TEST(XpLabel, HoverStartsOncePerEntryAndEndsOnlyWhenTheTimerFindsTheCursorOutside) {
  for (int body : {0, 1, 2}) {
    SCOPED_TRACE(body);
    XpLabel l(kBlue, body);
    Recorder r;
    r.Attach(l);
    l.MouseMove(XpLabel::Part::Label, 0, 0, 5, 6);
    l.MouseMove(XpLabel::Part::Control, 0, 0, 7, 8);  // still inside: nothing more
    l.MouseMove(XpLabel::Part::Image, 0, 0, 9, 9);
    EXPECT_EQ(r.events, (std::vector<std::string>{"move 0 0 5,6"}));
    EXPECT_TRUE(l.Hovered());
    EXPECT_TRUE(l.Underlined());
    // Only the caption-only layout turns orange; the others keep their colour.
    EXPECT_EQ(l.LabelColor(), body == 2 ? XpLabel::kOrange : kBlue);

    l.TimerTick(true);
    EXPECT_TRUE(l.Hovered());
    l.TimerTick(false);
    EXPECT_FALSE(l.Hovered());
    EXPECT_FALSE(l.Underlined());
    EXPECT_EQ(l.LabelColor(), kBlue);
    EXPECT_EQ(r.timer, (std::vector<bool>{true, false}));
    EXPECT_EQ(r.events.size(), 1u);  // leaving raises no event

    l.MouseMove(XpLabel::Part::Control, 1, 2, 3, 4);  // a second entry raises again
    EXPECT_EQ(r.events.back(), "move 1 2 3,4");
  }
}

TEST(XpLabel, PressAndRelease) {
  // Icon layouts: a press draws the focus rectangle, the caption stays; losing the focus removes it.
  XpLabel icon(kBlue, 0);
  icon.Layout({100, 60}, {32, 32}, {60, 13});
  Recorder ri;
  ri.Attach(icon);
  const Rect label = icon.LabelRect();
  icon.MouseDown(XpLabel::Part::Image, 1, 0, 4, 5);
  EXPECT_TRUE(icon.FocusRect());
  EXPECT_EQ(icon.LabelRect(), label);
  icon.MouseUp(XpLabel::Part::Image, 1, 0, 4, 5);  // a release over the image raises nothing
  icon.MouseUp(XpLabel::Part::Label, 1, 0, 6, 7);
  icon.Click();
  icon.LostFocus();
  EXPECT_FALSE(icon.FocusRect());
  EXPECT_EQ(ri.events, (std::vector<std::string>{"down 1 0 4,5", "up 1 0 6,7", "click"}));

  // Caption only: the caption moves down and right by one unit while pressed.
  XpLabel text(kBlue, 2);
  text.Layout({100, 20}, {0, 0}, {60, 13});
  text.MouseDown(XpLabel::Part::Label, 1, 0, 0, 0);
  EXPECT_EQ(text.LabelRect(), (Rect{3, 2, 60, 13}));
  EXPECT_FALSE(text.FocusRect());
  text.MouseUp(XpLabel::Part::Control, 1, 0, 0, 0);
  EXPECT_EQ(text.LabelRect(), (Rect{2, 1, 60, 13}));
}

}  // namespace
}  // namespace tv::ui
