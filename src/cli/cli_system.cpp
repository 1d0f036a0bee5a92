// System commands: --info (the Windows version text and the folder values) and --version-of.
#include <CLI/CLI.hpp>

#include "base/os_version.h"
#include "base/paths.h"
#include "cli/cli_common.h"
#include "fileinfo/version.h"
#include "platform/api.h"

namespace tv::cli {

namespace {

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
  if (path.empty()) return BadUsage(err, "--version-of needs exactly one PATH");
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

void AddSystemCommands(Registry& r) {
  r.Add(r.app.add_flag("--info")->description("Windows version text and folder values"),
        [&r] { return Info(r.out); });
  auto path = std::make_shared<std::string>();
  r.Add(r.app.add_option("--version-of", *path, "company, description, version and copyright of a file")
            ->type_name("PATH"),
        [&r, path] { return VersionOf(*path, r.out, r.err); });
}

}  // namespace tv::cli
