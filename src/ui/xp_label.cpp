#include "ui/xp_label.h"

namespace tv::ui {

XpLabel::XpLabel(std::uint32_t normalColor, int body) : normal_(normalColor), color_(normalColor), body_(body) {
  if (body_ < 0 || body_ > 2) body_ = 0;
}

void XpLabel::Layout(Size control, Size image, Size label) {
  control_ = control, imageSize_ = image, labelSize_ = label;
  switch (body_) {
    case 0:
      image_ = {(control.width - image.width) / 2, 2, image.width, image.height};
      label_ = {(control.width - label.width) / 2, image.height + 5, label.width, label.height};
      break;
    case 1:
      image_ = {0, 2, image.width, image.height};
      label_ = {image.width + 3, (image.height - label.height) / 2 + 2, label.width, label.height};
      break;
    case 2:
      label_ = {2, 1, label.width, label.height};
      break;
  }
}

void XpLabel::SetBody(int body) {
  if (body < 0 || body > 2) return;
  body_ = body;
  Layout(control_, imageSize_, labelSize_);
  if (onChanged) onChanged();
}

void XpLabel::MouseMove(Part, int button, int shift, float x, float y) {
  if (timerOn_) return;
  if (body_ == 2) color_ = kOrange;
  underline_ = true;
  timerOn_ = true;
  if (onTimer) onTimer(true);
  if (onChanged) onChanged();
  if (onMouseMove) onMouseMove(button, shift, x, y);
}

void XpLabel::TimerTick(bool inside) {
  if (!timerOn_ || inside) return;
  timerOn_ = false;
  if (onTimer) onTimer(false);
  if (body_ == 2 && color_ != normal_) color_ = normal_;
  underline_ = false;
  if (onChanged) onChanged();
}

void XpLabel::MouseDown(Part, int button, int shift, float x, float y) {
  if (body_ == 2) {
    label_.left = 3, label_.top = 2;
  } else {
    focusRect_ = true;
  }
  if (onChanged) onChanged();
  if (onMouseDown) onMouseDown(button, shift, x, y);
}

void XpLabel::MouseUp(Part on, int button, int shift, float x, float y) {
  if (on == Part::Image) return;
  if (body_ == 2) {
    label_.left = 2, label_.top = 1;
    if (onChanged) onChanged();
  }
  if (onMouseUp) onMouseUp(button, shift, x, y);
}

void XpLabel::Click() {
  if (onClick) onClick();
}

}  // namespace tv::ui
