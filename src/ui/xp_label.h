// The behaviour of the hover label (xpLabel), apart from drawing: hover start on the first
// mouse move, hover end when a 50 ms timer finds the cursor outside, press and release, the
// three layouts. Both widget implementations own one per HoverLabel and draw what it keeps.
#pragma once
#include <cstdint>
#include <functional>

#include "ui/widgets.h"

namespace tv::ui {

class XpLabel {
 public:
  static constexpr std::uint32_t kOrange = 0x000080FF;  // red 255, green 128, blue 0 (COLORREF)
  static constexpr int kTimerMs = 50;
  enum class Part { Control, Image, Label };

  // `normalColor`: the label's foreground colour when the control is created.
  explicit XpLabel(std::uint32_t normalColor = 0, int body = 0);

  // Layout of the image and the label inside a control of `control` size (control units).
  void Layout(Size control, Size image, Size label);
  Rect ImageRect() const { return image_; }
  Rect LabelRect() const { return label_; }
  bool ImageVisible() const { return body_ != 2; }

  void SetBody(int body);  // values other than 0..2 leave the layout as it is
  int Body() const { return body_; }

  // Events from the implementation. Each raises the owner's event where the control does.
  void MouseMove(Part on, int button, int shift, float x, float y);
  // The timer tick: `inside` tells whether the cursor is inside the control's rectangle.
  void TimerTick(bool inside);
  void MouseDown(Part on, int button, int shift, float x, float y);
  void MouseUp(Part on, int button, int shift, float x, float y);
  void Click();
  void LostFocus() { focusRect_ = false; }

  // State to draw.
  bool Hovered() const { return timerOn_; }
  bool TimerOn() const { return timerOn_; }
  bool Underlined() const { return underline_; }
  std::uint32_t LabelColor() const { return color_; }
  bool FocusRect() const { return focusRect_; }

  // Raised events (the owner control forwards them to HoverLabel's handlers).
  std::function<void()> onClick;
  std::function<void(int, int, float, float)> onMouseMove, onMouseDown, onMouseUp;
  // Asked to start or stop the 50 ms timer.
  std::function<void(bool on)> onTimer;
  // Asked to repaint (colour, underline, focus rectangle or label position changed).
  std::function<void()> onChanged;

 private:
  std::uint32_t normal_;
  std::uint32_t color_;
  int body_;
  bool timerOn_ = false, underline_ = false, focusRect_ = false;
  Size control_{}, imageSize_{}, labelSize_{};
  Rect image_{}, label_{};
};

}  // namespace tv::ui
