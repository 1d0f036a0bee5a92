// Chooses the machine, installs it, prepares the folder values and text tables, runs the
// command line.
#include "main/front.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <stdexcept>

#include "app/startup.h"
#include "cli/cli.h"
#include "base/object_names.h"
#include "cli/cli_common.h"
#include "base/paths.h"
#include "platform/sim/sim_machine.h"
#include "ui/recording.h"
#include "ui/text_tables.h"
#ifdef TV_HAVE_OFFLINE
#include "platform/offline/offline_machine.h"
#endif

namespace tv {

namespace {

// Takes `name VALUE` out of `args` into `value`. False (with the line on `err`) when it is given
// twice or without its value.
bool TakeOption(std::vector<std::string>& args, const std::string& name, const std::string& what, std::string& value,
                bool& given, std::ostream& err) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) {
      rest.push_back(args[i]);
      continue;
    }
    if (given) {
      err << "tolvexa: " << name << " given twice\n";
      return false;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      err << "tolvexa: " << name << " needs " << what << "\n";
      return false;
    }
    value = args[++i];
    given = true;
  }
  args = std::move(rest);
  return true;
}

}  // namespace

namespace {

// Chooses and installs the machine the line names, runs `body` with the rest of the line, and
// takes the machine down again.
int OnMachine(const std::vector<std::string>& args, std::ostream& err, const Platform* real,
              const std::function<int(std::vector<std::string>&)>& body) {
  std::vector<std::string> rest = args;
  std::string machineFile, offlineDir, offlineUser;
  bool haveMachine = false, haveOffline = false, haveUser = false;
  if (!TakeOption(rest, "--machine", "a FILE", machineFile, haveMachine, err) ||
      !TakeOption(rest, "--offline", "a DIR", offlineDir, haveOffline, err) ||
      !TakeOption(rest, "--user", "a NAME", offlineUser, haveUser, err))
    return 2;
  if (haveUser && !haveOffline) {
    err << "tolvexa: --user is used only with --offline DIR\n";
    return 2;
  }
  if (haveOffline && haveMachine) {
    err << "tolvexa: --offline and --machine cannot be given together\n";
    return 2;
  }
  cli::SetOfflineDisk(false);

  std::unique_ptr<sim::SimMachine> machine;
#ifdef TV_HAVE_OFFLINE
  std::unique_ptr<offline::OfflineMachine> disk;
  if (haveOffline) {
    std::string why;
    disk = offline::OfflineMachine::Open(offlineDir, offlineUser, why);
    if (!disk) {
      for (char& c : why)
        if (c == '\n' || c == '\r') c = ' ';
      err << "tolvexa: " << why << "\n";
      return 2;
    }
    platform::Install(disk->platform());
    cli::SetOfflineDisk(true);
  } else
#else
  if (haveOffline) {
    err << "tolvexa: --offline is available in the Linux build only\n";
    return 2;
  }
#endif
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

  int code = body(rest);
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
#ifdef TV_HAVE_OFFLINE
  if (disk) {
    cli::SetOfflineDisk(false);
    platform::Install(Platform{});
  }
#endif
  return code;
}

}  // namespace

int FrontEnd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Platform* real) {
  return OnMachine(args, err, real, [&](std::vector<std::string>& rest) {
    InitFolders();
    Language() = "Default";
    LoadTextTables();
    return RunCli(rest, out, err);
  });
}

bool IsWindowedLine(const std::vector<std::string>& args) {
  return args.empty() || (args.size() == 2 && args[0] == "--machine");
}

int WindowedFrontEnd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return OnMachine(args, err, nullptr, [&](std::vector<std::string>&) {
    ui::RecordingToolkit kit;
    kit.onRun = [&] {
      app::FrmMain* main = app::MainWindow();
      if (!main) return;
      out << main->form().Text() << "\n";
      auto* log = dynamic_cast<ui::Label*>(main->form().Find("LabState"));
      std::string text = log ? log->Text() : std::string();
      for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find("\r\n", start);
        out << text.substr(start, end == std::string::npos ? std::string::npos : end - start) << "\n";
        if (end == std::string::npos) break;
        start = end + 2;
      }
    };
    int code = app::StartUp(kit);
    for (const auto& m : kit.recorder.messages) err << m.title << ": " << m.text << "\n";
    ui::InstallToolkit(nullptr);
    return code;
  });
}

}  // namespace tv
