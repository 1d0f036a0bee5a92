// The process snapshot: one record per running process, built from the toolhelp list and
// completed by the hidden-process search (owners of open handles, identifier probe).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tv {

// Field widths in characters; longer values are cut to the width when stored.
inline constexpr std::size_t kImageNameWidth = 260;
inline constexpr std::size_t kProcessPathWidth = 260;
inline constexpr std::size_t kCompanyWidth = 128;
inline constexpr std::size_t kDescriptionWidth = 256;
inline constexpr std::size_t kVersionWidth = 64;

// Texts the path routes return in place of a path.
inline constexpr const char* kPathMsgHooked = "Can't get pathname,Process handle was Hooked";
inline constexpr const char* kPathMsgSsdtHooked =
    "Can't get pathname,Process handle was SSDT Hooked, or Inline Hooked";

// Fixed texts of the idle and system processes.
inline constexpr const char* kIdleProcessName = "System Idle Process";
inline constexpr const char* kSystemProcessName = "System";
inline constexpr const char* kKernelPathText = "NT OS Kernel";

struct ProcessRecord {
  std::string ImageName;
  std::string PathName;
  std::int32_t PID = 0;
  bool Rootkit = false;
  std::string Company;
  std::string Description;
  std::string Version;
};

// The ordered snapshot, records counted from 0. Keeps the set of listed identifiers beside the
// records so that "is this PID listed already" costs one hash lookup.
class ProcessList {
 public:
  void Clear();
  // Appends the record (its text fields cut to their widths) and returns it.
  ProcessRecord& Append(ProcessRecord rec);
  bool Contains(std::int32_t pid) const { return pids_.count(pid) != 0; }

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const ProcessRecord& operator[](std::size_t i) const { return records_[i]; }
  const std::vector<ProcessRecord>& records() const { return records_; }
  std::vector<ProcessRecord>::const_iterator begin() const { return records_.begin(); }
  std::vector<ProcessRecord>::const_iterator end() const { return records_.end(); }
  // Records whose Rootkit flag is set.
  std::size_t HiddenCount() const;

 private:
  std::vector<ProcessRecord> records_;
  std::unordered_set<std::int32_t> pids_;
};

// The process-wide snapshot (rebuilt by each refresh, read by the views afterwards).
ProcessList& GetProcessList();

// Run at the end of both refreshes; the process list view installs its display here.
std::function<void()>& ProcessListShowHook();

// Rebuilds the list from the toolhelp snapshot; byForce reads the paths through the forced open.
void EnumProcesses(bool byForce);
// Documented route: a DOS path or one of the two messages.
std::string GetProcessPath(std::uint32_t pid);
// Native route: a DOS path or "".
std::string GetProcessPathNt(std::uint32_t pid);
// Forced route: a DOS path or kPathMsgHooked.
std::string GetProcessPathByForce(std::uint32_t pid);
// Owner of every handle of the system, in table order (one entry per handle).
std::vector<std::uint32_t> EnumHandleOwnerPids();
// Every identifier 4..65536 (step 4) that the native open accepts.
std::vector<std::uint32_t> EnumPidsByProbe();
// True when the module list of the process cannot be read.
bool HasNoModules(std::uint32_t pid);
// Appends a Rootkit record unless the list already holds the PID.
void AddHiddenProcess(std::uint32_t pid);

// The normal refresh (toolhelp + handle owners) and the forced one (+ identifier probe); both
// end by running ProcessListShowHook().
void RefreshProcessList();
void RefreshProcessListByForce();

// Shared text helpers of the process engine.
std::string CutToWidth(const std::string& s, std::size_t width);  // by characters (UTF-8 aware)
std::string TrimTrailingBlanks(const std::string& s);
std::string CutAtNul(const std::string& s);

}  // namespace tv
