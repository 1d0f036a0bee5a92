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

std::string ConvertDevicePath(const std::string& path, bool driverSearch);
std::string GetImagePathFromCommand(const std::string& cmd, bool normalise);
std::vector<std::string> SplitPathList(const std::string& list);
bool FileExists(const std::string& path);
bool FileCanBeOpened(const std::string& path);
std::string GetFileName(const std::string& path);
// The directory listing of one path with the normal attribute mask: true only when the path
// names an existing file that is neither a folder nor marked hidden or system.
bool DirListingFinds(const std::string& path);

}  // namespace tv
