// Threat scan commands: --scan [memory | system [FOLDER]] [--clean WHAT], --trust list | add
// PATH... | remove N, --verify PATH. The trust list is "trust.lst" beside the executable: loaded
// when a command starts, saved after every change, as the windowed program does.
#include <CLI/CLI.hpp>
#include <cctype>
#include <memory>
#include <ostream>

#include "base/paths.h"
#include "cli/cli_common.h"
#include "platform/api.h"
#include "scan/blacklist_scan.h"
#include "scan/risk.h"
#include "scan/scan_engine.h"
#include "scan/scan_lists.h"
#include "scan/signature.h"
#include "ui/text_tables.h"

namespace tv::cli {

namespace {

// One line per threat as it is found: risk text, object, location.
class PrintingProgress final : public ScanProgress {
 public:
  explicit PrintingProgress(std::ostream& out) : out_(out) {}
  void AddResultRow(const ScanItem& item, const ui::ListRow& row) override {
    out_ << RiskText(item.RiskLevel) << '\t' << row.text << '\t' << LocationText(item) << '\n';
  }
  void Alert() override {}  // no sound on the command line

 private:
  std::ostream& out_;
};

// The selections of the scan window's cleaning menu (items 1, 2, 0 and 4).
enum class CleanChoice { None, Dangerous, Potential, Risky, All };

bool ParseCleanChoice(const std::string& s, CleanChoice& choice) {
  if (s == "dangerous") choice = CleanChoice::Dangerous;
  else if (s == "potential") choice = CleanChoice::Potential;
  else if (s == "risky") choice = CleanChoice::Risky;
  else if (s == "all") choice = CleanChoice::All;
  else return false;
  return true;
}

bool Selected(CleanChoice choice, std::int32_t level) {
  switch (choice) {
    case CleanChoice::Dangerous: return level == kRiskDangerous;
    case CleanChoice::Potential: return level == kRiskPotential;
    case CleanChoice::Risky: return level >= kRiskUnknown;
    case CleanChoice::All: return true;
    case CleanChoice::None: return false;
  }
  return false;
}

bool IsFullPath(const std::string& path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     path[2] == '\\';
  return drive || path.rfind("\\\\", 0) == 0;
}

bool IsFile(const std::string& path) {
  const std::uint32_t a = platform::Files().GetFileAttributesA(path);
  return a != fattr::Invalid && !(a & fattr::Directory);
}

bool IsFolder(const std::string& path) {
  const std::uint32_t a = platform::Files().GetFileAttributesA(path);
  return a != fattr::Invalid && (a & fattr::Directory);
}

// The trust list as the program starts with it.
void StartWithTrustList() {
  TrustList().clear();
  LoadTrustList();
}

int Scan(std::vector<std::string> args, const std::string& cleanText, bool cleanGiven, std::ostream& out,
         std::ostream& err) {
  if (args.size() == 1 && args[0].empty()) args.clear();  // "--scan" alone
  enum class Mode { Smart, Memory, System } mode = Mode::Smart;
  std::string folder = "C:\\";
  if (!args.empty()) {
    if (args[0] == "memory" && args.size() == 1) {
      mode = Mode::Memory;
    } else if (args[0] == "system" && args.size() <= 2) {
      mode = Mode::System;
      if (args.size() == 2) folder = args[1];
      if (folder.empty() || !IsFolder(folder)) return BadUsage(err, "--scan system: folder not found: " + folder);
    } else {
      return BadUsage(err, "--scan takes nothing, memory, or system [FOLDER]");
    }
  }
  CleanChoice choice = CleanChoice::None;
  if (cleanGiven && !ParseCleanChoice(cleanText, choice))
    return BadUsage(err, "--clean takes dangerous, potential, risky or all, not '" + cleanText + "'");

  // Once per scan: the ratings below go on without the signature step.
  if (!platform::Trust().TrustServiceAvailable()) err << "tolvexa: signatures not checked offline\n";
  StartWithTrustList();
  PrintingProgress progress(out);
  std::string completed;
  switch (mode) {
    case Mode::Smart:
      RunSmartScan(progress);
      completed = ScanText()[7];
      break;
    case Mode::Memory:
      RunMemoryScan(progress);
      completed = ScanText()[6];
      break;
    case Mode::System: {
      // The black list comes from the start-up items, collected and rated first.
      ScanCacheScope cache;
      CollectStartupItems(progress);
      ResetThreatList(3);
      RunSystemScan(folder, progress);
      completed = "Scan spyware completed";
      break;
    }
  }
  const std::int32_t found = ThreatCount();
  out << completed << '\n' << ScanText()[2] << found << '\n';

  if (choice != CleanChoice::None) {
    ScanTable& threats = ThreatList();
    for (std::int32_t i = 0; i < found && static_cast<std::size_t>(i) < threats.size(); ++i) {
      ScanItem& item = threats[static_cast<std::size_t>(i)];
      if (!Selected(choice, item.RiskLevel)) continue;
      item.Result = CleanThreat(item, true);
      out << ScanText()[item.Result == kResultDone ? 16 : 17] << '\t' << item.Object.str() << '\t'
          << LocationText(item) << '\n';
    }
  }
  return found > 0 ? kFailed : kOk;
}

void PrintTrustRow(std::ostream& out, std::size_t number, const ui::ListRow& row) {
  out << number << '\t' << row.text;
  for (const std::string& cell : row.subItems) out << '\t' << cell;
  out << '\n';
}

int Trust(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string what = args.empty() ? std::string() : args[0];
  if (what == "list") {
    if (args.size() != 1) return BadUsage(err, "--trust list takes no argument");
    StartWithTrustList();
    const ui::ListContent rows = TrustListRows();
    for (std::size_t i = 0; i < rows.rows.size(); ++i) PrintTrustRow(out, i + 1, rows.rows[i]);
    out << rows.status << '\n';
    return kOk;
  }
  if (what == "add") {
    if (args.size() < 2) return BadUsage(err, "--trust add needs at least one PATH");
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (!IsFullPath(args[i])) return BadUsage(err, "--trust add needs full paths, not '" + args[i] + "'");
      if (!IsFile(args[i])) return BadUsage(err, "--trust add: file not found: " + args[i]);
    }
    StartWithTrustList();
    const std::size_t first = TrustList().size();
    for (std::size_t i = 1; i < args.size(); ++i) TrustList().push_back(TrustItemForFile(args[i]));
    if (!SaveTrustList()) {
      err << "tolvexa: cannot write " << ListFilePath(kTrustList) << "\n";
      return kFailed;
    }
    const ui::ListContent rows = TrustListRows();
    for (std::size_t i = first; i < rows.rows.size(); ++i) PrintTrustRow(out, i + 1, rows.rows[i]);
    out << rows.status << '\n';
    return kOk;
  }
  if (what == "remove") {
    if (args.size() != 2) return BadUsage(err, "--trust remove needs exactly one item number N");
    StartWithTrustList();
    std::uint32_t n = 0;
    if (!ParseUint32(args[1], n) || n == 0 || n > TrustList().size())
      return BadUsage(err, "--trust remove: no item " + args[1] + " (the list holds " +
                               std::to_string(TrustList().size()) + ")");
    const std::string object = TrustList()[n - 1].Object.str();
    TrustList().erase(TrustList().begin() + (n - 1));
    if (!SaveTrustList()) {
      err << "tolvexa: cannot write " << ListFilePath(kTrustList) << "\n";
      return kFailed;
    }
    out << "Removed\t" << object << '\n' << TrustList().size() << " Item(s)\n";
    return kOk;
  }
  return BadUsage(err, "--trust takes list, add PATH... or remove N");
}

int Verify(const std::string& path, std::ostream& out, std::ostream& err) {
  if (path.empty()) return BadUsage(err, "--verify needs a PATH");
  if (!IsFile(path)) return BadUsage(err, "--verify: file not found: " + path);
  if (!platform::Trust().TrustServiceAvailable()) {
    err << "tolvexa: signatures not checked offline\n";
    return kFailed;
  }
  const SignatureCheck check = CheckFileSignature(path);
  out << check.message << '\n';
  return check.verified() ? kOk : kFailed;
}

}  // namespace

void AddScanCommands(Registry& r) {
  auto clean = std::make_shared<std::string>();
  CLI::Option* cleanOption =
      r.Modifier(r.app.add_option("--clean", *clean)
                     ->description("with --scan: clean dangerous, potential, risky (unknown, potential and "
                                   "dangerous) or all threats found")
                     ->type_name("WHAT"));

  auto scanArgs = std::make_shared<std::vector<std::string>>();
  r.Add(r.app.add_option("--scan", *scanArgs,
                         "threat scan: the Smart Scan of the start-up items, or memory, or system [FOLDER] "
                         "(default C:\\); exit code 1 when threats were found")
            ->expected(0, 2)
            ->type_name("[memory | system [FOLDER]]"),
        [&r, scanArgs, clean, cleanOption] {
          return Scan(*scanArgs, *clean, cleanOption->count() > 0, r.out, r.err);
        },
        {"--clean"});

  auto trustArgs = std::make_shared<std::vector<std::string>>();
  r.Add(r.app.add_option("--trust", *trustArgs,
                         "the trust list (trust.lst beside the program): list, add PATH..., remove N "
                         "(N as --trust list numbers them)")
            ->expected(1, 1 << 20)
            ->type_name("list | add PATH... | remove N"),
        [&r, trustArgs] { return Trust(*trustArgs, r.out, r.err); });

  auto verifyPath = std::make_shared<std::string>();
  r.Add(r.app.add_option("--verify", *verifyPath, "check the Authenticode signature of a file")->type_name("PATH"),
        [&r, verifyPath] { return Verify(*verifyPath, r.out, r.err); });
}

}  // namespace tv::cli
