// Chooses the machine (a scenario given with --machine FILE, the real platform, or the default
// simulated machine), installs it and runs the command line.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "platform/api.h"

namespace tv {
// `real`: the real platform of this build, or nullptr on Linux.
int FrontEnd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Platform* real);
// A line with no arguments, or with only --machine FILE: the windowed program.
bool IsWindowedLine(const std::vector<std::string>& args);
// The windowed program over the recording toolkit (nothing is drawn) on the simulated machine:
// prints the main window's caption and its initialisation log, one line each.
int WindowedFrontEnd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
}
