// Commands of the tools: --delete MODE PATH... (the four deletion modes of the file wiper).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "tools/file_delete.h"
#include "ui/ui.h"

namespace tv::cli {

namespace {

// Answers every message box with OK and keeps its text, so that a command prints what the
// engine would have shown instead of waiting for someone to click.
class CollectMessages : public ui::Ui {
 public:
  CollectMessages() : previous_(ui::Current()) { ui::Install(this); }
  ~CollectMessages() override { ui::Install(&previous_); }
  CollectMessages(const CollectMessages&) = delete;
  CollectMessages& operator=(const CollectMessages&) = delete;

  int MessageBox(const std::string& text, const std::string&, std::uint32_t flags) override {
    texts.push_back(text);
    return (flags & 0xF) == ui::mb::YesNo ? ui::mb::IdNo : ui::mb::IdOk;
  }
  void DoEvents() override {}
  std::vector<std::string> texts;

 private:
  ui::Ui& previous_;
};

bool ParseMode(std::string text, int& mode) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const char* const kModes[] = {"normal", "secure", "reboot", "force"};  // the DeleteMode order
  for (int i = 0; i < 4; ++i)
    if (text == kModes[i]) {
      mode = i;
      return true;
    }
  return false;
}

// One line per path: "deleted", "scheduled" (deleted at the next restart) or "failed", a tab and
// the path; the engine's messages go to standard error. Exit code 1 when a path failed.
int Delete(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int mode = 0;
  if (args.size() < 2) return BadUsage(err, "--delete needs a mode (normal, secure, reboot, force) and a PATH");
  if (!ParseMode(args[0], mode))
    return BadUsage(err, "--delete: unknown mode '" + args[0] + "' (normal, secure, reboot, force)");
  if (std::any_of(args.begin() + 1, args.end(), [](const std::string& p) { return p.empty(); }))
    return BadUsage(err, "--delete: empty PATH");

  int code = kOk;
  for (auto it = args.begin() + 1; it != args.end(); ++it) {
    CollectMessages messages;
    std::string path = *it;  // the force route may rewrite it
    const bool done = DeleteFileByMode(path, mode, true) == 1;
    out << (done ? (mode == kRebootDelete ? "scheduled" : "deleted") : "failed") << '\t' << *it << '\n';
    for (const std::string& text : messages.texts) err << "tolvexa: " << text << '\n';
    if (!done) code = kFailed;
  }
  return code;
}

}  // namespace

void AddToolsCommands(Registry& r) {
  auto args = std::make_shared<std::vector<std::string>>();
  r.Add(r.app.add_option("--delete", *args,
                         "delete files: normal, secure (overwritten first), reboot (at the next restart) "
                         "or force (closing the handles that hold them)")
            ->expected(1, -1)
            ->type_name("MODE PATH..."),
        [&r, args] { return Delete(*args, r.out, r.err); });
}

}  // namespace tv::cli
