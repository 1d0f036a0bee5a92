// make-offline-disk SCENARIO DIR [--layout xp|win7]: writes the disk of a scenario file (or of
// the built-in default machine, SCENARIO "default") below DIR, for `tolvexa --offline DIR`.
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "offline/make_disk.h"
#include "platform/sim/sim_machine.h"

namespace {
constexpr const char* kUsage = "usage: make-offline-disk SCENARIO DIR [--layout xp|win7]";

int Fail(const std::string& why) {
  std::cerr << "make-offline-disk: " << why << "\n";
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string layoutName = "xp";
  bool layoutGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--layout") {
      if (layoutGiven) return Fail("--layout given twice");
      if (i + 1 >= argc) return Fail("--layout needs xp or win7");
      layoutName = argv[++i];
      layoutGiven = true;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage << "\n";
      return 0;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return Fail("unknown option " + a + " (" + kUsage + ")");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return Fail(kUsage);
  tv::offtest::DiskLayout layout;
  if (layoutName == "xp") layout = tv::offtest::DiskLayout::Xp;
  else if (layoutName == "win7") layout = tv::offtest::DiskLayout::Win7;
  else return Fail("--layout is xp or win7, not " + layoutName);

  std::unique_ptr<tv::sim::SimMachine> machine;
  try {
    machine = positional[0] == "default" ? tv::sim::DefaultMachine() : tv::sim::LoadScenario(positional[0]);
  } catch (const std::exception& e) {  // the scenario loader reports a malformed file this way
    return Fail("cannot load " + positional[0] + ": " + e.what());
  }
  if (!machine) return Fail("cannot load " + positional[0]);

  tv::offtest::DiskSummary summary;
  std::string error;
  if (!tv::offtest::MakeOfflineDisk(machine->state, positional[1], layout, summary, error)) return Fail(error);
  std::cout << "Made " << positional[1] << " (" << layoutName << "): " << summary.keys << " registry keys, "
            << summary.files << " files and folders, user " << summary.user << "\n";
  if (summary.skipped) std::cout << "Left out: " << summary.skipped << " entries with no place on a disk\n";
  return 0;
}
