// The command line shared by tolvexa.exe and the Linux build. It sits above the engines: every
// command calls into them and prints what they return.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace tv {

// Runs the command line against the platform already installed. Returns the exit code:
// 0 success, 2 bad switch or argument (one line on `err`), 1 failure; commands that report
// findings (the scans) use 1 for "something was found".
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The lists of the process engine and of the configuration and port tabs. Each returns -1 when
// `what` is not one of its lists, else the exit code. `rest` holds the arguments after the list
// name (a PID, --force, --filter N ...).
int ProcessCliList(const std::string& what, const std::vector<std::string>& rest, std::ostream& out,
                   std::ostream& err);
int ConfigCliList(const std::string& what, const std::vector<std::string>& rest, std::ostream& out,
                  std::ostream& err);
// --seek NAME
int SeekCli(const std::string& name, std::ostream& out, std::ostream& err);

}  // namespace tv
