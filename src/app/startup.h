// The windowed program: start-up sequence, main window, event loop, end.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/frm_main.h"
#include "ui/widgets.h"

namespace tv::app {

// Runs the windowed program on `kit` (the Win32 toolkit in tolvexa.exe, the recording one in
// tests and on Linux): the start-up sequence, then kit.Run() until Quit; returns the process
// exit code. The first form uses DefaultParts().
int StartUp(ui::Toolkit& kit);
int StartUp(ui::Toolkit& kit, MainWindowParts parts);

// Values the start-up sequence sets.
struct StartupState {
  std::string osVersionText;     // CheckWindowsVersion's text (may be empty)
  std::uint32_t osMajorVersion = 0;
  StartupResult result;          // privilege and control library
};
StartupState& State();

// The main window while StartUp runs it (between its load and its end), else nullptr.
FrmMain* MainWindow();

// The version check: false (after "Sorry! Tolvexa can't support " + version text, title
// "Warning !") on Windows 95/98/Millennium and on NT before 5.0. Stores the version text and the
// major version in State().
bool CheckWindowsVersion();
// The list-control library: the controls this build draws with come with the system, so there is
// no file to put in place; always true.
bool InstallControlLibrary();
// Writes the alert sound beside the temporary files (Folders().SoundFile) unless a file is
// there already. The bytes come from AlertSoundBytes(); without it, or when it gives nothing, or
// when the file cannot be written, false.
bool ExtractSoundFile();
// The bytes of the alert sound (a WAV file) as the program carries them; the Windows build sets
// it to read its resource. Empty by default.
std::function<std::string()>& AlertSoundBytes();
// "APP_PATH", "APP_VER", "APP_BUILD" under HKEY_CURRENT_USER\SOFTWARE\Tolvexa\System, each only
// when the one before was written. The status of the last write tried (0 all written).
std::int32_t WriteInstallInfo();

}  // namespace tv::app
