// The four ways of deleting a file: normal, secure (overwritten first), at the next restart, and
// forced (files that the ordinary call refuses to delete), and the splitting of the open-file
// dialog's result that the file lists use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tv {

enum DeleteMode : int { kNormalDelete = 0, kSecureDelete = 1, kRebootDelete = 2, kForceDelete = 3 };

// Deletes `path` in `mode`. 1 when the file was deleted or scheduled, 0 otherwise (an empty path
// gives 0 at once, without a message). With `showMessages`, a result other than 1 shows
// "Delete file :" + path + " error!". The force route may rewrite `path` in place.
int DeleteFileByMode(std::string& path, int mode, bool showMessages);

// Clears the file's attributes, overwrites it three times (0x00, 0x7F, 0x00, in blocks of at most
// 1,000,000 bytes), renames it to a random "<n>.tmp" in its folder and deletes that. Non-zero on
// success; 0 leaves the file under its name (overwritten when the passes ran). Contents that
// cannot be overwritten are not deleted, and a folder is left alone.
int WipeFile(const std::string& path);

// Deletes a file that the ordinary call cannot delete: through the companion driver when its
// device is open (`path` then becomes its "\??\" form), otherwise, or when the driver left the
// file, by closing the handles other processes hold on it and deleting it. 1 only when the file
// is gone, 0 otherwise ("Can't found file" / "delete file failed" with `showMessages`).
int ForceDeleteFile(std::string& path, bool showMessages);

// Largest block one pass of WipeFile writes.
inline constexpr std::uint32_t kWipeBlockSize = 1000000;

// The open-file dialog's result split into its folder (ending in "\") and names, in order: one
// full path, or a folder, a NUL and the names each ended by a NUL, with one more NUL. A text that
// cannot be split shows "cann't get file" and gives what was split before.
struct OpenFileNames {
  std::string directory;
  std::vector<std::string> names;
  std::size_t count() const { return names.size(); }
};
OpenFileNames ParseOpenFileNames(const std::string& dialogText);

}  // namespace tv
