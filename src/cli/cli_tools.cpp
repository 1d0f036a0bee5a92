// Commands of the tools: --delete MODE PATH... (the four deletion modes of the file wiper),
// --report FILE, --fix-registry, --clean-junk, --usage.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_common.h"
#include "platform/api.h"
#include "tools/file_delete.h"
#include "tools/junk_cleaner.h"
#include "tools/registry_fix.h"
#include "tools/report.h"
#include "ui/cpu_usage.h"
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

// ---------------------------------------------------------------- tools ----
// Offline, a path that starts with "/" is a file of the Linux machine that examines the disk
// (a report is rarely wanted on the disk it describes): the same bytes, the same rule for an
// existing file. Windows paths ("C:\\report.txt") stay paths of the disk.
int ReportToHostFile(const std::string& path, bool replace, std::ostream& err) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !replace) return BadUsage(err, path + " exists already; --force replaces it");
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    err << "tolvexa: cannot create " << path << "\n";
    return kFailed;
  }
  if (!WriteReport(file) || !file.flush()) {
    err << "tolvexa: the report could not be written completely to " << path << "\n";
    return kFailed;
  }
  return kOk;
}

// "-" writes the report to standard output, in the same bytes as the file (ANSI, CR LF).
int Report(const std::string& path, bool replace, std::ostream& out, std::ostream& err) {
  if (path.empty()) return BadUsage(err, "--report needs a FILE (- for standard output)");
  if (path == "-") {
    if (!WriteReport(out)) {
      err << "tolvexa: the report could not be written to standard output\n";
      return kFailed;
    }
    return kOk;
  }
  if (OfflineDisk() && path[0] == '/') return ReportToHostFile(path, replace, err);
  switch (WriteReportFile(path, replace)) {
    case ReportFileResult::Written:
      return kOk;
    case ReportFileResult::Exists:
      return BadUsage(err, path + " exists already; --force replaces it");
    case ReportFileResult::CannotCreate:
      err << "tolvexa: cannot create " << path << "\n";
      return kFailed;
    case ReportFileResult::WriteFailed:
      err << "tolvexa: the report could not be written completely to " << path << "\n";
      return kFailed;
  }
  return kFailed;
}

// Every row of the repair is tried; the ones refused are named. A value to delete that is not
// there (2) needs no repair.
int FixRegistryCommand(std::ostream& out, std::ostream& err) {
  const std::vector<RepairRow>& table = RegistryRepairTable();
  const std::vector<std::int32_t> results = FixRegistry();
  std::size_t done = 0, refused = 0;
  for (std::size_t i = 0; i < table.size() && i < results.size(); ++i) {
    const bool absent = table[i].action == RepairRow::DeleteValue && results[i] == 2;
    if (results[i] == 0 || absent) {
      ++done;
      continue;
    }
    ++refused;
    err << "tolvexa: not repaired (error " << results[i] << "): " << DescribeRepairRow(table[i]) << "\n";
  }
  out << "Registry repaired: " << done << " of " << table.size() << " entries done";
  if (refused) out << ", " << refused << " refused";
  out << "\n";
  return refused ? kFailed : kOk;
}

int CleanJunkCommand(std::ostream& out) {
  const JunkCleanResult r = CleanJunkFiles();
  for (const std::string& path : r.notDeleted) out << "Not deleted: " << path << "\n";
  out << "Junk files deleted: " << r.deleted << "\n";
  return kOk;
}

// Two samples a second apart, as the status bar shows them.
int Usage(std::ostream& out) {
  ClsCPU sampler;
  platform::Sys().Sleep(1000);
  const std::int32_t cpu = sampler.GetCpuUsage();
  const std::int32_t memory = GetMemoryUsage();
  out << UsageStatusText(cpu, memory) << "\n";
  return cpu < 0 || memory < 0 ? kFailed : kOk;
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

  auto reportPath = std::make_shared<std::string>();
  auto* report = r.app.add_option("--report", *reportPath,
                                  "write the diagnostic report to FILE (- for standard output); an existing "
                                  "FILE only with --force")
                     ->type_name("FILE");
  r.Add(
      report,
      [&r, reportPath] {
        const bool force = r.app.get_option("--force")->count() > 0;
        return Report(*reportPath, force, r.out, r.err);
      },
      {"--force"});
  r.Add(r.app.add_flag("--fix-registry")->description("put the policy values malware sets back to their defaults"),
        [&r] { return FixRegistryCommand(r.out, r.err); });
  r.Add(r.app.add_flag("--clean-junk")
            ->description("delete the files of the temporary and traces folders and empty the recycle bins"),
        [&r] { return CleanJunkCommand(r.out); });
  r.Add(r.app.add_flag("--usage")->description("processor and memory load (two samples a second apart)"),
        [&r] { return Usage(r.out); });
}
// ------------------------------------------------------------ end tools ----

}  // namespace tv::cli
