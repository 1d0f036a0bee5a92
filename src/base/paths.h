// Folder values and the textual rules that turn every path form the system reports into a
// drive-letter (DOS) path.
#pragma once
#include <string>
#include <vector>

namespace tv {

// Folder values, each ending with a backslash. Filled once by InitFolders() from the platform.
// A shell folder the platform cannot name stays empty.
struct FolderValues {
  std::string WinDir, SysDir, TempDir, ProgramFilesDir, UserProfileDir, AppDir;
  std::string StartupDir, DesktopDir, LocalAppDataDir, AppDataDir;  // shell folders 7, 0, 28, 26
  std::string SoundFile;                                            // TempDir + "shazhu.wav"
};
FolderValues& Folders();
// Computes every folder value through the platform in force.
void InitFolders();
// The system folder alone, computed again (start-up does this after the version check).
void RefreshSysDir();
// Shell folder numbers.
inline constexpr int kCsidlDesktop = 0, kCsidlStartup = 7, kCsidlAppData = 26, kCsidlLocalAppData = 28,
                     kCsidlProfile = 40;

// The drive-letter form of a path the system reports ("\\SystemRoot\\...", "\\??\\...",
// "%windir%\\...", "\\Device\\HarddiskVolumeN\\...", quoted); with `driverSearch` a bare name is
// looked for in the drivers and system folders. A percent prefix alone gives "".
std::string ConvertDevicePath(const std::string& path, bool driverSearch);
// The image file named by a command line. `normalise` on: the first of last ".exe", ".dll",
// ".sys", " -k", " /" decides (then the driver search); off: the first such candidate that can
// be opened, else the command without its quotes.
std::string GetImagePathFromCommand(const std::string& cmd, bool normalise);
// Comma-separated image paths, each resolved by itself.
std::vector<std::string> SplitPathList(const std::string& list);
// The path cut at its first NUL and trimmed: an existing file or folder.
bool FileExists(const std::string& path);
// The path cut at its first NUL and trimmed: a file that opens for reading (shared read).
bool FileCanBeOpened(const std::string& path);
std::string GetFileName(const std::string& path);
// The directory listing of one path with the normal attribute mask: true only when the path
// names an existing file that is neither a folder nor marked hidden or system.
bool DirListingFinds(const std::string& path);

}  // namespace tv
