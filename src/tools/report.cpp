#include "tools/report.h"

#include <initializer_list>
#include <streambuf>

#include "base/os_version.h"
#include "base/paths.h"
#include "base/platform_ops.h"
#include "base/record_text.h"
#include "fileinfo/version.h"
#include "net/ports.h"
#include "platform/api.h"
#include "process/modules.h"
#include "process/process_list.h"
#include "sysconfig/services.h"
#include "sysconfig/startup.h"
#include "tools/file_delete.h"
#include "tools/file_dialog.h"
#include "tools/tool_progress.h"
#include "ui/text_tables.h"
#include "ui/ui.h"

namespace tv {

namespace {

constexpr const char* kSeparator = "  ,  ";
constexpr const char* kFurther = "    >>";
constexpr const char* kModuleHeader = "Image Path  ,  Company  ,  Description  ,  Version";

// One field of a row: cut at its first NUL, trimmed, and kept on its line (a line break inside
// a value would start a line of its own and could pass for another entry).
std::string Field(const std::string& s) {
  std::string t = TrimBlanks(CutAtFirstNul(s));
  for (char& c : t)
    if (c == '\r' || c == '\n') c = ' ';
  return t;
}

std::string Join(std::initializer_list<std::string> fields) {
  std::string line;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) line += kSeparator;
    line += Field(f);
    first = false;
  }
  return line;
}

// Lines of the report: ANSI text of the system's code page, CR LF at the end of each.
class ReportLines {
 public:
  explicit ReportLines(std::ostream& out) : out_(out), sys_(platform::Sys()) {}
  void Line(const std::string& text) { out_ << sys_.Utf8ToAnsi(text) << "\r\n"; }
  void Blank() { out_ << "\r\n"; }

 private:
  std::ostream& out_;
  SystemApi& sys_;
};

// The words of the service rows, in English whatever the interface language.
std::string StatusWord(std::uint32_t status) {
  if (status == 1) return "Stopped";
  if (status == 4) return "Started";
  return {};
}
std::string TypeWord(std::uint32_t type) {
  if (type < 16) return "Kernel";
  switch (type) {
    case 16: return "Independent";
    case 32: return "Shared";
    case 272: return "Independent,Interactive";
    case 288: return "Shared,Interactive";
    default: return {};
  }
}
std::string StartWord(std::uint32_t start) {
  if (start <= 2) return "Automatic";
  if (start == 3) return "Manual";
  if (start == 4) return "Disabled";
  return {};
}

std::string ModuleLine(const ModuleRecord& m) { return Join({m.PathName, m.Company, m.Description, m.Version}); }

// The idle and system processes are not written as process blocks: the kernel section stands
// for them.
bool StandsForKernel(const ProcessRecord& p) { return p.PID == 0 || p.PID == 4 || p.PID == 8; }

void WriteHead(ReportLines& w) {
  w.Line("Tolvexa Diagnostic Report   Ver:" + std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "." +
         std::to_string(kAppRevision));
  w.Line(Field(GetFileVersionString(platform::Sys().GetModuleFileNameA(0), LegalCopyright)));
  w.Line(Field(WindowsVersionText()));
  w.Line("Generation Data: " + GeneralDateNow());
  w.Blank();
}

void WriteKernelAndProcesses(ReportLines& w) {
  EnumProcesses(true);
  for (std::uint32_t pid : EnumHandleOwnerPids()) AddHiddenProcess(pid);

  w.Line("=======Kernel Informaion=======");
  w.Line(kModuleHeader);
  w.Blank();
  EnumKernelModules();
  const std::vector<ModuleRecord>& kernel = KernelModuleList();
  for (std::size_t i = 0; i < kernel.size(); ++i) {
    if (i == 0) {
      w.Line(ModuleLine(kernel[0]));
      w.Blank();
    } else {
      w.Line(kFurther + ModuleLine(kernel[i]));
    }
  }
  ToolStep(1);
  w.Blank();

  w.Line("=======Process and Module Informaion=======");
  w.Line(kModuleHeader);
  w.Blank();
  // The list is read by position while the module enumeration runs; it does not change meanwhile.
  const ProcessList& processes = GetProcessList();
  for (std::size_t i = 0; i < processes.size(); ++i) {
    const ProcessRecord& p = processes[i];
    if (StandsForKernel(p)) continue;
    EnumModules(static_cast<std::uint32_t>(p.PID));
    const std::vector<ModuleRecord>& modules = ModuleList();
    if (modules.empty()) {
      // A process whose modules cannot be read is still listed, under what the snapshot knows.
      w.Line(Join({p.PathName, p.Company, p.Description, p.Version}));
      w.Blank();
    }
    for (std::size_t k = 0; k < modules.size(); ++k) {
      if (k == 0) {
        w.Line(ModuleLine(modules[0]));
        w.Blank();
      } else {
        w.Line(kFurther + ModuleLine(modules[k]));
      }
    }
    w.Blank();
    ui::DoEvents();
  }
}

void WriteStartup(ReportLines& w) {
  ToolStep(2);
  GetStartupItems();
  w.Blank();
  w.Line("=======Startup Informaion=======");
  w.Line("Key  ,  Name  ,  Value");
  w.Blank();
  for (const StartupRecord& r : StartupList()) w.Line(Join({r.KeyPath, r.Name, r.Value}));
}

void WriteBho(ReportLines& w) {
  ToolStep(3);
  GetBrowserHelperObjects();
  w.Blank();
  w.Line("=======BHO Informaion=======");
  w.Line("Name  ,  Value  ,  Publisher");
  w.Blank();
  for (const StartupRecord& r : BhoList()) w.Line(Join({r.Name, r.Value, r.Publisher}));
}

void WritePorts(ReportLines& w) {
  ToolStep(4);
  GetPortTable();
  w.Blank();
  w.Line("=======Port Informaion=======");
  w.Line("Protocol  ,  Local IP  ,  Local Port  ,  Remote IP  ,  Remote Port  ,  Status  ,  ImageFile");
  w.Blank();
  for (const PortEntry& e : PortTable())
    w.Line(Join({e.Protocol, e.LocalIP, std::to_string(e.LocalPort), e.RemoteIP, std::to_string(e.RemotePort),
                 e.Status, e.ImageFile}));
}

void WriteServices(ReportLines& w) {
  ToolStep(5);
  GetServices();
  w.Blank();
  w.Line("=======Service Informaion=======");
  w.Line("Name  ,  DisplayName  ,  Status  ,  Type  ,  StartupType  ,  ImagePath  ,  Company  ,  Version  ,  "
         "Comments  ,  Description");
  w.Blank();
  for (const ServiceRecord& s : ServiceList()) {
    w.Line(Join({s.Name, s.DisplayName, StatusWord(s.Status), TypeWord(s.Type), StartWord(s.Start), s.ImagePath,
                 s.Company, s.Version, s.FileDescription, s.Description}));
    w.Blank();
  }
}

// A stream buffer over a file handle of the platform. Writes go out in blocks; a failed write
// is remembered and later output is dropped.
class PlatformFileBuf : public std::streambuf {
 public:
  explicit PlatformFileBuf(Handle file) : file_(file) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~PlatformFileBuf() override { Flush(); }
  bool Failed() const { return failed_; }

 protected:
  int_type overflow(int_type ch) override {
    Flush();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override {
    Flush();
    return failed_ ? -1 : 0;
  }

 private:
  void Flush() {
    const char* p = pbase();
    std::uint32_t left = static_cast<std::uint32_t>(pptr() - pbase());
    while (left > 0 && !failed_) {
      std::uint32_t written = 0;
      if (!platform::Files().WriteFile(file_, p, left, &written) || written == 0) {
        failed_ = true;
        break;
      }
      p += written;
      left -= written;
    }
    setp(buffer_, buffer_ + sizeof buffer_);
  }

  Handle file_;
  bool failed_ = false;
  char buffer_[64 * 1024];
};

constexpr std::uint32_t kShareRead = 1, kCreateAlways = 2, kNormalAttributes = 0x80;

Handle CreateReportFile(const std::string& path) {
  return platform::Files().CreateFileA(path, access::GenericWrite, kShareRead, kCreateAlways, kNormalAttributes);
}

// Writes the report into an open file, runs `beforeClose` and closes the file. True when every
// byte was written.
template <typename BeforeClose>
bool WriteToFile(Handle file, BeforeClose beforeClose) {
  bool ok = false;
  {
    PlatformFileBuf buf(file);
    std::ostream out(&buf);
    ok = WriteReport(out);
    beforeClose();
    out.flush();
    ok = ok && !buf.Failed();
  }
  platform::Sys().CloseHandle(file);
  return ok;
}

}  // namespace

bool WriteReport(std::ostream& out) {
  // Every process that loads a system DLL would read its version resource again otherwise.
  VersionCacheScope versions;
  ReportLines w(out);
  WriteHead(w);
  WriteKernelAndProcesses(w);
  WriteStartup(w);
  WriteBho(w);
  WritePorts(w);
  WriteServices(w);
  out.flush();
  return static_cast<bool>(out);
}

void WriteDiagnosticReport() {
  const std::string path = FileDialog(true, "Export Report", "*.log", kReportFileName, "", "");
  if (path.empty()) return;
  if (FileExists(path)) {
    const int answer = ui::MessageBox("File has been existed. Are you sure to overwrite?", "Tolvexa",
                                      ui::mb::YesNo | ui::mb::DefButton2 | ui::mb::IconExclamation);
    if (answer != ui::mb::IdYes) return;
    std::string old = path;
    DeleteFileByMode(old, kNormalDelete, true);  // a failure says so; the report is written all the same
  }

  BeginToolRun("Tolvexa - Generate Report", 6);
  ui::DoEvents();
  const Handle file = CreateReportFile(path);
  if (file == kInvalidHandle) {
    ui::Current().CloseProgress();
    ui::Current().EnableMainWindow(true);
    ui::MessageBox("Write report file :" + path + " error!", "Tolvexa", ui::mb::IconExclamation);
    return;
  }
  const bool ok = WriteToFile(file, [] {
    ToolStep(6);
    EndToolRun();
  });
  if (!ok) ui::MessageBox("Write report file :" + path + " error!", "Tolvexa", ui::mb::IconExclamation);
}

ReportFileResult WriteReportFile(const std::string& path, bool replaceExisting) {
  if (FileExists(path)) {
    if (!replaceExisting) return ReportFileResult::Exists;
    std::string old = path;
    DeleteFileByMode(old, kNormalDelete, false);
  }
  const Handle file = CreateReportFile(path);
  if (file == kInvalidHandle) return ReportFileResult::CannotCreate;
  return WriteToFile(file, [] {}) ? ReportFileResult::Written : ReportFileResult::WriteFailed;
}

}  // namespace tv
