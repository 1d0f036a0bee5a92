// Placeholder until the configuration and port lists land; replaced by the real handlers.
#include "app/cli.h"

namespace tv {
int ConfigCliList(const std::string&, const std::vector<std::string>&, std::ostream&, std::ostream&) { return -1; }
}  // namespace tv
