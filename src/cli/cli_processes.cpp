// Command-line views of the process engine's lists: the same columns as the windows' lists,
// tab-separated, a caption line first and the status text last.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {

namespace {

// Captions of the process tab: the column-caption table, entries 0 to 6.
std::vector<std::string> ProcessCaptions() {
  return std::vector<std::string>(ColumnText().begin(), ColumnText().begin() + 7);
}

using cli::PrintCaptions;
using cli::PrintContent;

void PrintCaptions(std::ostream& out, const std::vector<ModuleColumn>& cols) {
  std::vector<std::string> captions;
  for (const auto& c : cols) captions.push_back(CaptionText(c.caption));
  PrintCaptions(out, captions);
}

ui::ListContent ProcessContent() {
  ui::ListContent c;
  const ProcessList& list = GetProcessList();
  for (const auto& p : list) {
    ui::ListRow r;
    r.text = TrimTrailingBlanks(p.ImageName);
    r.subItems = {std::to_string(p.PID), MainText()[p.Rootkit ? 13 : 14], TrimTrailingBlanks(p.PathName),
                  TrimTrailingBlanks(p.Company), TrimTrailingBlanks(p.Description), TrimTrailingBlanks(p.Version)};
    c.rows.push_back(std::move(r));
  }
  c.status = MainText()[20] + std::to_string(list.size()) + " , " + MainText()[21] +
             std::to_string(list.HiddenCount());
  return c;
}

bool ParsePid(const std::string& s, std::uint32_t& pid) { return cli::ParseUint32(s, pid); }

int BadArgs(std::ostream& err, const std::string& text) {
  err << "tolvexa: " << text << '\n';
  return 2;
}

}  // namespace

int ProcessCliList(const std::string& what, const std::vector<std::string>& rest, std::ostream& out,
                   std::ostream& err) {
  if (what == "processes") {
    bool force = false;
    for (const auto& a : rest) {
      if (a == "--force") {
        force = true;
      } else {
        return BadArgs(err, "--list processes: unexpected argument '" + a + "'");
      }
    }
    if (force) {
      RefreshProcessListByForce();
    } else {
      RefreshProcessList();
    }
    PrintCaptions(out, ProcessCaptions());
    PrintContent(out, ProcessContent());
    return 0;
  }
  if (what == "modules" || what == "threads") {
    std::uint32_t pid = 0;
    if (rest.size() != 1 || !ParsePid(rest[0], pid)) {
      return BadArgs(err, "--list " + what + ": expected one process identifier (decimal), got '" +
                              (rest.empty() ? std::string() : rest[0]) + "'");
    }
    if (what == "modules") {
      EnumModules(pid);
      PrintCaptions(out, ModuleColumns());
      PrintContent(out, ShowModuleList());
    } else {
      EnumThreads(pid);
      PrintCaptions(out, ThreadColumns());
      PrintContent(out, ShowThreadList());
    }
    return 0;
  }
  if (what == "kernel") {
    if (!rest.empty()) return BadArgs(err, "--list kernel: unexpected argument '" + rest[0] + "'");
    EnumKernelModules();
    PrintCaptions(out, ModuleColumns());
    PrintContent(out, ShowKernelModuleList());
    return 0;
  }
  return -1;
}

int SeekCli(const std::string& name, std::ostream& out, std::ostream& err) {
  if (name.empty()) return BadArgs(err, "--seek: expected a module name");
  SeekModule(name);
  PrintCaptions(out, SeekColumns());
  PrintContent(out, ShowSeekList());
  return 0;
}

namespace cli {

void AddProcessCommands(Registry& r) {
  for (const char* name : {"processes", "modules", "threads", "kernel"}) {
    const std::string what = name;
    r.AddList(
        what, [&r, what](const std::vector<std::string>& rest) { return ProcessCliList(what, rest, r.out, r.err); },
        what == "processes" ? std::set<std::string>{"--force"} : std::set<std::string>{});
    r.RunningSystemOnly("--list " + what);
  }
  auto name = std::make_shared<std::string>();
  r.Add(r.app.add_option("--seek", *name, "find the processes that hold a module of that name")->type_name("NAME"),
        [&r, name] { return SeekCli(*name, r.out, r.err); });
  r.RunningSystemOnly("--seek");
}

}  // namespace cli
}  // namespace tv
