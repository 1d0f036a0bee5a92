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
}
