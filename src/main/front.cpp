// Chooses the machine, installs it, prepares the folder values and text tables, runs the
// command line.
#include "main/front.h"

#include <chrono>
#include <memory>
#include <thread>
#include <stdexcept>

#include "cli/cli.h"
#include "base/object_names.h"
#include "base/paths.h"
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
  if (machine) {
    // A name query that hung (a simulated pipe) is still running on its worker.
    // Let it return and finish with the machine before the machine goes away; should it not
    // finish, keep the machine alive rather than pull it from under the worker.
    machine->ReleaseBlockedQueries();
    for (int i = 0; i < 500 && PendingNameQueries() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (PendingNameQueries() > 0) {
      (void)machine.release();
      return code;
    }
    platform::Install(Platform{});
  }
  return code;
}

}  // namespace tv
