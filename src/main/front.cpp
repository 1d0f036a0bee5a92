// Chooses the machine, installs it, prepares the folder values and text tables, runs the
// command line.
#include "main/front.h"

#include <memory>
#include <stdexcept>

#include "app/cli.h"
#include "app/paths.h"
#include "platform/sim/sim_machine.h"
#include "ui/text_tables.h"

namespace tv {

int FrontEnd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Platform* real) {
  std::vector<std::string> rest;
  std::string machineFile;
  bool haveMachine = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--machine") {
      rest.push_back(args[i]);
      continue;
    }
    if (haveMachine) {
      err << "tolvexa: --machine given twice\n";
      return 2;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      err << "tolvexa: --machine needs a FILE\n";
      return 2;
    }
    machineFile = args[++i];
    haveMachine = true;
  }

  std::unique_ptr<sim::SimMachine> machine;
  if (haveMachine) {
    try {
      machine = sim::LoadScenario(machineFile);
    } catch (const std::exception& e) {
      std::string why = e.what();
      for (char& c : why)
        if (c == '\n' || c == '\r') c = ' ';
      err << "tolvexa: cannot load machine " << machineFile << ": " << why << "\n";
      return 2;
    }
    if (!machine) {
      err << "tolvexa: cannot load machine " << machineFile << "\n";
      return 2;
    }
    platform::Install(machine->platform());
  } else if (real) {
    platform::Install(*real);
  } else {
    machine = sim::DefaultMachine();
    platform::Install(machine->platform());
  }

  InitFolders();
  Language() = "Default";
  LoadTextTables();
  int code = RunCli(rest, out, err);
  if (machine) platform::Install(Platform{});  // the machine goes away with this scope
  return code;
}

}  // namespace tv
