// The diagnostic report: everything the lists show (kernel modules, processes with their
// modules, start-up entries, browser helper objects, endpoints, services and drivers) gathered
// afresh into one ANSI text file that a user can send to someone who helps clean the machine.
#pragma once
#include <ostream>
#include <string>

namespace tv {

// Proposed name of the report in the save dialog.
inline constexpr const char* kReportFileName = "TolvexaReport.log";

// Gathers every list afresh and writes the report to `out` as it goes: lines in the system's
// ANSI code page, each ending in CR LF, fields joined by "  ,  ". Moves the progress bar from 1
// to 5 (one step per section) and lets pending window events run between sections and after
// each process. Returns false when the stream failed.
bool WriteReport(std::ostream& out);

// "Generate Report": asks for the file (the save dialog, then the overwrite question when it
// exists), then writes it with the progress window shown and the main window disabled.
void WriteDiagnosticReport();

// The report written to a file without dialogs (the command line). An existing file is replaced
// only with `replaceExisting`.
enum class ReportFileResult { Written, Exists, CannotCreate, WriteFailed };
ReportFileResult WriteReportFile(const std::string& path, bool replaceExisting);

}  // namespace tv
