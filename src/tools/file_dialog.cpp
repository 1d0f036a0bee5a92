#include "tools/file_dialog.h"

#include <cstdint>
#include <vector>

#include "base/record_text.h"
#include "platform/api.h"
#include "ui/ui.h"

namespace tv {

namespace {

constexpr std::size_t kNameChars = 260;
constexpr std::uint32_t kCreatePromptHideReadOnly = 0x2004;
// Some systems hand the dialog back at once, before it was shown; such an answer is not the
// user's, and the dialog is asked again.
constexpr std::uint32_t kTooFastMs = 20;

std::size_t Characters(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

// "caption|pattern|caption|pattern": the pieces, up to the first empty one (which ends the
// list the way a NUL does). A caption without its pattern filters by the caption itself.
std::vector<std::pair<std::string, std::string>> Filters(const std::string& filter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= filter.size()) {
    const std::size_t bar = filter.find('|', start);
    const std::string piece = filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (piece.empty()) break;
    pieces.push_back(piece);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 0; i < pieces.size(); i += 2)
    pairs.emplace_back(pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : pieces[i]);
  return pairs;
}

}  // namespace

std::string FileDialog(bool save, const std::string& title, const std::string& filter, const std::string& fileName,
                       const std::string& defaultExt, const std::string& initialDir) {
  if (Characters(fileName) > kNameChars) {
    ui::MessageBox("Filename Length Overflow", "Tolvexa - FileDialog Function", ui::mb::IconExclamation);
    return {};
  }
  ui::FileDialog d;
  d.title = title;
  d.filters = Filters(filter);
  d.filterIndex = 1;
  d.fileName = fileName;
  d.initialDir = initialDir;
  d.defaultExt = defaultExt;
  d.flags = kCreatePromptHideReadOnly;
  d.maxFile = kNameChars;

  auto show = [&] { return save ? ui::GetSaveFileName(d) : ui::GetOpenFileName(d); };
  SystemApi& sys = platform::Sys();
  const std::uint32_t before = sys.GetTickCount();
  std::string answer = show();
  if (sys.GetTickCount() - before < kTooFastMs) {
    d.fileName.clear();
    answer = show();
  }
  return CutAtFirstNul(answer);
}

}  // namespace tv
