// Junk file cleaner: the files of the usual temporary and traces folders, and the recycle bins.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace tv {

// Shell folder numbers the cleaner empties.
inline constexpr int kCsidlRecent = 8, kCsidlInternetCache = 32, kCsidlCookies = 33, kCsidlHistory = 34;

// What one run did (the windowed program says nothing about it; the command line reports it).
struct JunkCleanResult {
  std::size_t deleted = 0;
  std::vector<std::string> notDeleted;  // files that matched but could not be deleted
  std::int32_t recycleBinResult = 0;    // SHEmptyRecycleBinA's answer
};

// A shell folder's path with a trailing "\"; "" when the shell cannot name the folder.
std::string GetSpecialFolder(int csidl);

// Empties the recycle bins of all drives without confirmation, progress window or sound; the
// shell's answer.
std::int32_t EmptyRecycleBin(Handle owner);

// The six folder patterns in order: WinDir "Temp\*.*", recent documents, history, cookies,
// local application data "Temp\*.*" and temporary internet files, each "*.*". A folder the
// system cannot name gives "" (its action is skipped).
std::vector<std::string> JunkFilePatterns();

// The user's temporary folder (TempDir) + "*.*" when it is none of the six folders: where the
// system keeps it apart from the local application data (Wine, a TEMP set elsewhere), action 5
// cleans it as well. Only a folder named "Temp" or "Tmp" qualifies: with TEMP and TMP unset the
// system names the profile or the Windows folder instead, whose files are no junk. "" otherwise.
std::string UserTempPattern(const std::vector<std::string>& patterns);

// Deletes the files that match `pattern` ("C:\folder\*.*") directly in its folder; folders and
// whatever they hold stay. Adds to `result`.
void DeleteMatchingFiles(const std::string& pattern, JunkCleanResult& result);

// The seven actions (the fifth with the user's temporary folder, see above) with the progress window ("Tolvexa - Clean Junk File", 8 steps) and the
// main window disabled meanwhile; `owner` is the window the recycle bin operation belongs to.
// Asks nothing and says nothing; a missing folder or a file in use is passed over.
JunkCleanResult CleanJunkFiles(Handle owner = kNullHandle);

}  // namespace tv
