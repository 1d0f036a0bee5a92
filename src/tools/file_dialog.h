// The open and save dialogs as the tools call them.
#pragma once
#include <string>

namespace tv {

// Shows the save dialog (`save`) or the open dialog with `title`, the filter text `filter`
// (caption and pattern pairs separated by "|": "Log files|*.log|All files|*.*"), the proposed
// file name, the default extension and the initial directory ("" for the system's choice).
// Returns the chosen path, or "" when the user cancelled. A proposed name longer than 260
// characters is refused with "Filename Length Overflow".
std::string FileDialog(bool save, const std::string& title, const std::string& filter, const std::string& fileName,
                       const std::string& defaultExt, const std::string& initialDir);

}  // namespace tv
