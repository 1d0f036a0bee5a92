// The two scans that match files against the black list (the suspect start-up items of the last
// Smart Scan or memory scan): the memory scan looks at the file of every module of every
// process and of every kernel module, the system scan at every .exe, .dll, .sys and .com file
// below a folder. Neither rates files itself.
#pragma once
#include <cstdint>
#include <string>

#include "scan/scan_engine.h"

namespace tv {

// Objects looked at so far in the running walk (the scanned-count label).
std::int32_t& ScanCounter();

// The file masks of the system scan, in the order they are walked.
inline constexpr const char* kScanMasks[] = {"*.exe", "*.dll", "*.sys", "*.com"};

// Reports `path` as a threat once for every black-list item whose Object names it (letter case
// ignored, duplicates included): only a file that a plain directory lookup finds (not hidden or
// system) and that has neither a company name nor a copyright text.
void MatchBlackList(const std::string& path, ScanProgress& progress = DefaultScanProgress());

// Takes the process snapshot (forced paths and the owners of open handles) and matches the
// kernel modules (for the first process) and the modules of every other process. ScanCounter()
// counts every module of the whole scan.
void ScanMemory(ScanProgress& progress = DefaultScanProgress());

// The files of the four masks below `folder` (the folder's own files mask by mask, then its
// sub-folders in listing order; folders whose name starts with "." are passed over): counted
// into `counter` by CountFiles, matched by ScanFolderTree (which also counts them into
// `counter` and shows each one).
void CountFiles(const std::string& folder, std::int32_t& counter, ScanProgress& progress = DefaultScanProgress());
void ScanFolderTree(const std::string& folder, std::int32_t& counter, ScanProgress& progress = DefaultScanProgress());

// The memory scan as the scan window runs it (the threat list emptied, the start-up items
// collected and rated, ScanMemory, the threat list cut to its threats, "Scan Memory completed").
void RunMemoryScan(ScanProgress& progress = DefaultScanProgress());
// The system scan of `folder` as the scan window runs it: count, then match against the black
// list as it stands. Threats are stored from the first place of the threat list on; the list is
// not cut (the system scan shows no rows of its own there).
void RunSystemScan(const std::string& folder, ScanProgress& progress = DefaultScanProgress());

}  // namespace tv
