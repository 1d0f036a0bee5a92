// What the command groups share: the registry of commands that the parser fills, exit codes,
// and the printing of list contents.
#pragma once
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace tv::cli {

inline constexpr int kOk = 0, kFailed = 1, kBadUsage = 2;

// One command: the switch that names it and what it does once the line is parsed. A command
// runs alone; the modifiers it accepts (--force, --filter ...) are listed by name.
struct Command {
  CLI::Option* option = nullptr;
  std::function<int()> run;
  std::set<std::string> modifiers;
};

// A list of --list WHAT: `run` gets the arguments after the list name, the modifiers given
// already put back in their command-line form ("--force", "--filter", "2").
struct ListCommand {
  std::string name;
  std::function<int(const std::vector<std::string>& rest)> run;
  std::set<std::string> modifiers;
};

struct Registry {
  CLI::App& app;
  std::ostream& out;
  std::ostream& err;
  std::vector<Command> commands;
  std::vector<ListCommand> lists;
  std::vector<CLI::Option*> modifiers;  // options that only change a command

  // Declares the command behind `option` (every option is given at most once).
  void Add(CLI::Option* option, std::function<int()> run, std::set<std::string> acceptedModifiers = {});
  void AddList(std::string name, std::function<int(const std::vector<std::string>&)> run,
               std::set<std::string> acceptedModifiers = {});
  // A modifier option, shared by the commands that name it.
  CLI::Option* Modifier(CLI::Option* option);
  // Marks a command ("--seek") or a list ("--list processes") as one that needs the running
  // system: on a disk examined offline it is refused.
  void RunningSystemOnly(std::string name);
  std::set<std::string> runningSystemOnly;
};

// The command line examines a Windows disk that is not running (tolvexa --offline DIR).
void SetOfflineDisk(bool offline);
bool OfflineDisk();
// "tolvexa: WHAT is not available on an offline disk" on `err`, exit code 2.
int RefuseOffline(std::ostream& err, const std::string& what);

// The command groups (one file each).
void AddSystemCommands(Registry& r);   // --info, --version-of
void AddProcessCommands(Registry& r);  // the process, module, thread and kernel lists; --seek
void AddConfigCommands(Registry& r);   // the start-up, BHO, service and port lists
void AddToolsCommands(Registry& r);    // --delete, --report, --fix-registry, --clean-junk, --usage
void AddScanCommands(Registry& r);     // --scan [--clean], --trust, --verify

// One line on `err`, exit code 2.
int BadUsage(std::ostream& err, const std::string& text);

// Rows tab-separated (text, then the sub-items), the status text last.
void PrintContent(std::ostream& out, const ui::ListContent& content);
void PrintCaptions(std::ostream& out, const std::vector<std::string>& captions);

// A decimal number of at most 10 digits that fits in 32 bits.
bool ParseUint32(const std::string& s, std::uint32_t& value);

}  // namespace tv::cli
