#include "tools/junk_cleaner.h"

#include "base/paths.h"
#include "base/record_text.h"
#include "platform/api.h"
#include "tools/tool_progress.h"

namespace tv {

namespace {
constexpr std::uint32_t kEmptyBinQuietly = 7;  // no confirmation, no progress window, no sound
constexpr std::size_t kShellPathChars = 512;
}  // namespace

std::string GetSpecialFolder(int csidl) {
  std::string path = CutAtFirstNul(platform::Shell().GetSpecialFolderPath(csidl));
  if (path.size() > kShellPathChars) path.resize(kShellPathChars);
  // A folder the shell cannot name stays empty: a lone "\" would name the root of the drive.
  if (path.empty()) return {};
  if (path.back() != '\\') path += '\\';
  return path;
}

std::int32_t EmptyRecycleBin(Handle owner) {
  return platform::Shell().SHEmptyRecycleBinA(owner, "", kEmptyBinQuietly);
}

std::vector<std::string> JunkFilePatterns() {
  auto under = [](const std::string& folder, const char* rest) { return folder.empty() ? folder : folder + rest; };
  return {
      under(Folders().WinDir, "Temp\\*.*"),
      under(GetSpecialFolder(kCsidlRecent), "*.*"),
      under(GetSpecialFolder(kCsidlHistory), "*.*"),
      under(GetSpecialFolder(kCsidlCookies), "*.*"),
      under(GetSpecialFolder(kCsidlLocalAppData), "Temp\\*.*"),
      under(GetSpecialFolder(kCsidlInternetCache), "*.*"),
  };
}

std::string UserTempPattern(const std::vector<std::string>& patterns) {
  std::string folder = Folders().TempDir;
  if (folder.size() < 2 || folder.back() != '\\') return {};
  const std::size_t slash = folder.find_last_of('\\', folder.size() - 2);
  if (slash == std::string::npos) return {};  // a drive root
  std::string name = folder.substr(slash + 1, folder.size() - slash - 2);
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (name != "temp" && name != "tmp") return {};
  const std::string pattern = folder + "*.*";
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
  };
  for (const std::string& p : patterns)
    if (lower(p) == lower(pattern)) return {};
  return pattern;
}

void DeleteMatchingFiles(const std::string& pattern, JunkCleanResult& result) {
  if (pattern.empty()) return;
  const std::size_t slash = pattern.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  FileApi& files = platform::Files();
  // The names first, the deletions after the search is closed.
  std::vector<std::string> names;
  FindData found;
  Handle find = files.FindFirstFileA(pattern, found);
  if (find == kInvalidHandle) return;
  do {
    if ((found.attributes & fattr::Directory) == 0) names.push_back(found.fileName);
    found = FindData{};
  } while (files.FindNextFileA(find, found));
  files.FindClose(find);
  for (const std::string& name : names) {
    const std::string path = folder + name;
    if (files.DeleteFileA(path)) {
      ++result.deleted;
    } else {
      result.notDeleted.push_back(path);
    }
  }
}

JunkCleanResult CleanJunkFiles(Handle owner) {
  JunkCleanResult result;
  BeginToolRun("Tolvexa - Clean Junk File", 8);
  ToolStep(1);
  const std::vector<std::string> patterns = JunkFilePatterns();
  for (std::size_t action = 1; action <= patterns.size(); ++action) {
    DeleteMatchingFiles(patterns[action - 1], result);
    if (action == 5) DeleteMatchingFiles(UserTempPattern(patterns), result);
    ToolStep(static_cast<int>(action) + 1);
  }
  result.recycleBinResult = EmptyRecycleBin(owner);
  ToolStep(8);
  EndToolRun();
  return result;
}

}  // namespace tv
