// Command-line lists of the configuration and port tabs: --list startup | bho | services
// [--filter 0..4] | ports. Columns tab-separated, a header line of the column captions first,
// the status text last.
#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "net/ports.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "ui/text_tables.h"

namespace tv {
namespace {

void PrintList(const ui::ListContent& content, int firstColumn, int lastColumn, std::ostream& out) {
  for (int i = firstColumn; i <= lastColumn; ++i) out << (i > firstColumn ? "\t" : "") << ColumnText()[i];
  out << "\n";
  for (const ui::ListRow& row : content.rows) {
    out << row.text;
    for (const std::string& s : row.subItems) out << "\t" << s;
    out << "\n";
  }
  out << content.status << "\n";
}

bool NoMoreArguments(const std::string& what, const std::vector<std::string>& rest, std::ostream& err) {
  if (rest.empty()) return true;
  err << "tolvexa: --list " << what << ": unexpected argument '" << rest.front() << "'\n";
  return false;
}

}  // namespace

int ConfigCliList(const std::string& what, const std::vector<std::string>& rest, std::ostream& out,
                  std::ostream& err) {
  if (what == "startup") {
    if (!NoMoreArguments(what, rest, err)) return 2;
    GetStartupItems();
    PrintList(ShowStartupList(), 7, 9, out);
    return 0;
  }
  if (what == "bho") {
    if (!NoMoreArguments(what, rest, err)) return 2;
    GetBrowserHelperObjects();
    PrintList(ShowBhoList(), 10, 12, out);
    return 0;
  }
  if (what == "services") {
    int filter = kManageService;
    if (!rest.empty()) {
      if (rest.size() != 2 || rest[0] != "--filter" || rest[1].size() != 1 || rest[1][0] < '0' || rest[1][0] > '4') {
        err << "tolvexa: --list services takes only --filter 0..4\n";
        return 2;
      }
      filter = rest[1][0] - '0';
    }
    PrintList(ChooseServiceFilter(filter), 21, 31, out);
    return 0;
  }
  if (what == "ports") {
    if (!NoMoreArguments(what, rest, err)) return 2;
    GetPortTable();
    PrintList(FillPortList(), 13, 20, out);
    return 0;
  }
  return -1;
}

namespace cli {

void AddConfigCommands(Registry& r) {
  r.Modifier(r.app.add_option("--filter")
                 ->description("with --list services: 0 all, 1 services, 2 started services, 3 drivers, "
                               "4 started drivers")
                 ->type_name("N"));
  for (const char* name : {"startup", "bho", "services", "ports"}) {
    const std::string what = name;
    r.AddList(
        what, [&r, what](const std::vector<std::string>& rest) { return ConfigCliList(what, rest, r.out, r.err); },
        what == "services" ? std::set<std::string>{"--filter"} : std::set<std::string>{});
  }
  r.RunningSystemOnly("--list ports");
}

}  // namespace cli
}  // namespace tv
