// FrmAbout: the about box. Title, about text and build line from the about-box text table, the
// program icon, two links (the home page and a mail to the support desk) and an OK button.
#pragma once
#include <string>

#include "ui/widgets.h"

namespace tv::ui {

// The support desk's address as the mail link opens it.
inline constexpr const char* kSupportMailTo = "mailto:support@tolvexa.example?subject=Help";
inline constexpr const char* kSupportAddress = "support@tolvexa.example";

// Shows the about box modally over `owner` (may be null) and returns when it is closed.
void ShowAbout(Toolkit& kit, Form* owner);

}  // namespace tv::ui
