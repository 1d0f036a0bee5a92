// Placeholder until the process engine's lists land; replaced by the real command handlers.
#include "app/cli.h"

namespace tv {
int ProcessCliList(const std::string&, const std::vector<std::string>&, std::ostream&, std::ostream&) { return -1; }
int SeekCli(const std::string&, std::ostream&, std::ostream& err) {
  err << "tolvexa: --seek is not available yet\n";
  return 1;
}
}  // namespace tv
