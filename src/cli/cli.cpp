// The command line: one CLI11 declaration per switch (its help text, its arguments and their
// count), the groups of commands in their own files, and the rules every command shares:
// exactly one command per line, modifiers only with the commands that use them, one line on
// standard error and exit code 2 for anything the parser or a command refuses.
#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "cli/cli_common.h"

namespace tv {

namespace cli {

void Registry::Add(CLI::Option* option, std::function<int()> run, std::set<std::string> acceptedModifiers) {
  option->multi_option_policy(CLI::MultiOptionPolicy::Throw)->group("Commands");
  commands.push_back({option, std::move(run), std::move(acceptedModifiers)});
}

void Registry::AddList(std::string name, std::function<int(const std::vector<std::string>&)> run,
                       std::set<std::string> acceptedModifiers) {
  lists.push_back({std::move(name), std::move(run), std::move(acceptedModifiers)});
}

CLI::Option* Registry::Modifier(CLI::Option* option) {
  option->multi_option_policy(CLI::MultiOptionPolicy::Throw)->group("Modifiers");
  modifiers.push_back(option);
  return option;
}

void Registry::RunningSystemOnly(std::string name) { runningSystemOnly.insert(std::move(name)); }

namespace {
bool g_offlineDisk = false;
}
void SetOfflineDisk(bool offline) { g_offlineDisk = offline; }
bool OfflineDisk() { return g_offlineDisk; }

int RefuseOffline(std::ostream& err, const std::string& what) {
  err << "tolvexa: " << what << " is not available on an offline disk\n";
  return kBadUsage;
}

int BadUsage(std::ostream& err, const std::string& text) {
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::replace(line.begin(), line.end(), '\r', ' ');
  err << "tolvexa: " << line << " (try --help)\n";
  return kBadUsage;
}

void PrintCaptions(std::ostream& out, const std::vector<std::string>& captions) {
  for (std::size_t i = 0; i < captions.size(); ++i) out << (i ? "\t" : "") << captions[i];
  out << '\n';
}

void PrintContent(std::ostream& out, const ui::ListContent& content) {
  for (const auto& row : content.rows) {
    out << row.text;
    for (const auto& s : row.subItems) out << '\t' << s;
    out << '\n';
  }
  out << content.status << '\n';
}

bool ParseUint32(const std::string& s, std::uint32_t& value) {
  if (s.empty() || s.size() > 10) return false;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

namespace {

// The name a modifier is known by in the accepted-modifier sets ("--force").
std::string LongName(const CLI::Option* o) {
  const auto& names = o->get_lnames();
  return names.empty() ? o->get_name() : "--" + names.front();
}

constexpr const char* kFooter =
    "\nEvery command runs alone. Options may also be written Windows-style (/info, /list kernel).\n"
    "  --machine FILE  run against the simulated machine described by a scenario file\n"
    "  --offline DIR [--user NAME]  examine the Windows installation in DIR (a mounted disk; Linux build)\n";

}  // namespace
}  // namespace cli

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  using namespace cli;
  CLI::App app{"Tolvexa: processes, start-up entries, services and ports of a Windows machine.", "tolvexa"};
  app.allow_windows_style_options();
  app.set_help_flag();  // help is handled below, so that it can refuse arguments
  app.footer(kFooter);
  app.get_formatter()->column_width(34);
  app.get_formatter()->label("OPTIONS", "COMMAND");

  Registry r{app, out, err, {}, {}, {}, {}};
  auto* help = app.add_flag("--help,-h")->description("show this text")->group("Commands");
  std::vector<std::string> listArgs;
  auto* list = app.add_option("--list", listArgs,
                              "print a list: processes, modules PID, threads PID, kernel, startup, bho, "
                              "services, ports")
                   ->expected(1, 2)
                   ->type_name("WHAT [ARG]");
  r.Modifier(app.add_flag("--force")->description(
      "with --list processes: probe every process identifier too; with --report: replace FILE"));
  AddSystemCommands(r);
  AddProcessCommands(r);
  AddConfigCommands(r);
  AddToolsCommands(r);
  AddScanCommands(r);

  // --list WHAT [ARG] hands over to the list of that name, with the modifiers it was given.
  std::set<std::string> listModifiers;
  for (const auto& l : r.lists) listModifiers.insert(l.modifiers.begin(), l.modifiers.end());
  r.Add(
      list,
      [&]() -> int {
        const std::string& what = listArgs.empty() ? std::string() : listArgs[0];
        if (what.empty()) return BadUsage(err, "--list needs the name of a list");
        for (const ListCommand& l : r.lists) {
          if (l.name != what) continue;
          if (OfflineDisk() && r.runningSystemOnly.count("--list " + what)) return RefuseOffline(err, "--list " + what);
          std::vector<std::string> rest(listArgs.begin() + 1, listArgs.end());
          for (CLI::Option* m : r.modifiers) {
            if (m->count() == 0) continue;
            const std::string name = LongName(m);
            if (!l.modifiers.count(name)) return BadUsage(err, name + " is not used by --list " + what);
            rest.push_back(name);
            if (m->get_expected_max() > 0)  // a flag carries no value of its own
              for (const std::string& v : m->results()) rest.push_back(v);
          }
          return l.run(rest);
        }
        return BadUsage(err, "unknown list: " + what);
      },
      listModifiers);

  // "/?" is the Windows spelling of the help switch; CLI11 cannot name an option "?".
  std::vector<std::string> line = args;
  for (std::string& a : line)
    if (a == "/?") a = "--help";
  if (std::find(line.begin(), line.end(), "--help") != line.end() ||
      std::find(line.begin(), line.end(), "-h") != line.end() ||
      std::find(line.begin(), line.end(), "/help") != line.end() ||
      std::find(line.begin(), line.end(), "/h") != line.end()) {
    if (line.size() != 1) return BadUsage(err, "--help takes no argument");
    out << app.help();
    return kOk;
  }
  if (line.empty()) {
    out << app.help();
    return kOk;
  }

  try {
    std::vector<std::string> reversed(line.rbegin(), line.rend());  // CLI11 takes them last first
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return BadUsage(err, e.what());
  }
  (void)help;

  const Command* chosen = nullptr;
  for (const Command& c : r.commands) {
    if (c.option->count() == 0) continue;
    if (chosen) return BadUsage(err, c.option->get_name() + " and " + chosen->option->get_name() +
                                         " cannot be given together");
    chosen = &c;
  }
  if (!chosen) return BadUsage(err, "no command given");
  for (CLI::Option* m : r.modifiers) {
    if (m->count() == 0) continue;
    const std::string name = LongName(m);
    if (!chosen->modifiers.count(name))
      return BadUsage(err, name + " is not used by " + chosen->option->get_name());
  }
  if (OfflineDisk() && r.runningSystemOnly.count(chosen->option->get_name()))
    return RefuseOffline(err, chosen->option->get_name());
  return chosen->run();
}

}  // namespace tv
