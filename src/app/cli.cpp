// The command-line front end: --help, --info, --version-of and the lists of the engines.
#include "app/cli.h"

#include "app/os_version.h"
#include "app/paths.h"
#include "fileinfo/version.h"
#include "platform/api.h"

namespace tv {

namespace {

constexpr int kOk = 0, kFailed = 1, kBadUsage = 2;

void PrintHelp(std::ostream& out) {
  out << "Usage: tolvexa [--machine FILE] COMMAND\n"
         "\n"
         "Commands:\n"
         "  --help              show this text\n"
         "  --info              Windows version text and folder values\n"
         "  --version-of PATH   company, description, version and copyright of a file\n"
         "  --list WHAT [ARGS]  print a list: processes, modules, threads, kernel, startup, bho,\n"
         "                      services, ports\n"
         "  --seek NAME         find the processes that hold a module of that name\n"
         "\n"
         "  --machine FILE      run against the simulated machine described by a scenario file\n";
}

int BadUsage(std::ostream& err, const std::string& what) {
  err << "tolvexa: " << what << " (try --help)\n";
  return kBadUsage;
}

int Info(std::ostream& out) {
  OsVersionInfo v;
  const bool haveVersion = platform::Sys().GetVersionExA(v);
  out << "Windows: " << (haveVersion ? OsVersionText(v) : std::string()) << "\n";
  if (haveVersion)
    out << "Version: " << v.major << "." << v.minor << "." << v.build << " platform " << v.platformId << "\n";
  const FolderValues& f = Folders();
  const std::pair<const char*, const std::string*> rows[] = {
      {"WinDir", &f.WinDir},           {"SysDir", &f.SysDir},
      {"TempDir", &f.TempDir},         {"ProgramFilesDir", &f.ProgramFilesDir},
      {"UserProfileDir", &f.UserProfileDir}, {"AppDir", &f.AppDir},
      {"StartupDir", &f.StartupDir},   {"DesktopDir", &f.DesktopDir},
      {"LocalAppDataDir", &f.LocalAppDataDir}, {"AppDataDir", &f.AppDataDir},
  };
  for (const auto& [name, value] : rows) out << name << ": " << *value << "\n";
  return kOk;
}

int VersionOf(const std::string& path, std::ostream& out, std::ostream& err) {
  if (!FileExists(path)) {
    err << "tolvexa: file not found: " << path << "\n";
    return kFailed;
  }
  VersionStrings v = ReadVersionStrings(path);
  out << "Company: " << v.Company << "\n"
      << "Description: " << v.Description << "\n"
      << "Version: " << v.Version << "\n"
      << "Copyright: " << GetFileVersionString(path, LegalCopyright) << "\n";
  return kOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintHelp(out);
    return kOk;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());

  if (command == "--help" || command == "-h" || command == "/?") {
    if (!rest.empty()) return BadUsage(err, "--help takes no argument");
    PrintHelp(out);
    return kOk;
  }
  if (command == "--info") {
    if (!rest.empty()) return BadUsage(err, "--info takes no argument");
    return Info(out);
  }
  if (command == "--version-of") {
    if (rest.size() != 1 || rest[0].empty()) return BadUsage(err, "--version-of needs exactly one PATH");
    return VersionOf(rest[0], out, err);
  }
  if (command == "--list") {
    if (rest.empty() || rest[0].empty()) return BadUsage(err, "--list needs the name of a list");
    const std::vector<std::string> listArgs(rest.begin() + 1, rest.end());
    int code = ProcessCliList(rest[0], listArgs, out, err);
    if (code == -1) code = ConfigCliList(rest[0], listArgs, out, err);
    if (code == -1) return BadUsage(err, "unknown list: " + rest[0]);
    return code;
  }
  if (command == "--seek") {
    if (rest.size() != 1 || rest[0].empty()) return BadUsage(err, "--seek needs exactly one NAME");
    return SeekCli(rest[0], out, err);
  }
  return BadUsage(err, "unknown switch: " + command);
}

}  // namespace tv
