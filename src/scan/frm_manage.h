// FrmManage: the trust list manager. Shows the trust list and lets the user add files to it,
// remove items and check an item's signature. Opened modally from the scan window.
#pragma once
#include "ui/widgets.h"

namespace tv::scan {

// Shows the manager modally over `owner` and returns once it is closed. Every change to the
// trust list is saved as it is made.
void ShowTrustManager(ui::Toolkit& kit, ui::Form* owner);

// The parts of the manager, for the code that builds and tests it.
namespace manage {
inline constexpr const char* kCaption = "Tolvexa - Manage Trust List";
inline constexpr const char* kDialogTitle = "Add file to trust list";
// Open-file dialog flags: overwrite prompt, hide read-only, no change of folder, multiple
// selection, share aware, explorer style, no dereferencing of links, show hidden files.
inline constexpr std::uint32_t kDialogFlags = 0x1018420E;
inline constexpr std::uint32_t kDialogBuffer = 65276;
}  // namespace manage

}  // namespace tv::scan
