// What lives inside a process and in the kernel: modules, threads, kernel modules, and the seek
// of a module name across every process. Each enumeration fills one process-wide list; the
// Show* builders turn a list into the rows and the status text of the module window.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace tv {

inline constexpr std::size_t kModuleNameWidth = 256;
inline constexpr std::size_t kModulePathWidth = 1024;
inline constexpr std::size_t kOwnerProcessWidth = 260;

// Addresses are kept at the build's pointer width.
struct ModuleRecord {
  std::string ModuleName;
  std::string PathName;
  std::uintptr_t BaseAddress = 0;
  std::uint32_t BaseSize = 0;
  std::string Company;
  std::string Description;
  std::string Version;
};

struct ThreadRecord {
  std::uint32_t TID = 0;
  std::int32_t Priority = 0;
  std::int32_t BasePriority = 0;
  std::uintptr_t AffinityMask = 0;
  std::int32_t ExitStatus = 0;
  std::uintptr_t TebBaseAddress = 0;
  std::uintptr_t StartAddress = 0;
  std::uint32_t Spare = 0;
};

struct SeekRecord {
  std::string ModuleName;
  std::string PathName;
  std::uintptr_t BaseAddress = 0;
  std::uint32_t BaseSize = 0;
  std::string OwnerProcess;
  std::int32_t OwnerPID = 0;
  std::string Company;  // the seek leaves these three empty
  std::string Description;
  std::string Version;
};

// The four process-wide lists (records in list order, counted from 0).
std::vector<ModuleRecord>& ModuleList();
std::vector<ThreadRecord>& ThreadList();
std::vector<ModuleRecord>& KernelModuleList();
std::vector<SeekRecord>& SeekList();

// Modules of a process: the toolhelp module snapshot, or EnumModulesByPsapi when it cannot be
// taken. ModuleList is always rebuilt from nothing.
void EnumModules(std::uint32_t pid);
void EnumModulesByPsapi(std::uint32_t pid);
// Kernel modules with drive-letter paths; returns their number.
std::size_t EnumKernelModules();
// Threads of the process, found by probing every thread identifier 0..65536 in steps of 4.
void EnumThreads(std::uint32_t pid);
// Rebuilds the process snapshot and records, per process, the first module whose file name or
// full path equals `name` (letter case ignored). The idle process at the head of the snapshot
// is searched through the kernel modules. Returns the number of hits.
std::size_t SeekModule(const std::string& name);

// "0x" and the upper-case hexadecimal value, padded with zeros to `digits` (at least 1);
// a wider value is never cut.
std::string FormatHex(std::uintptr_t value, int digits);
// "StateTerminated" (0), "StateWait" (259) or the decimal value.
std::string ThreadStatusText(std::int32_t exitStatus);

// Rows and status text of the module window for each list.
ui::ListContent ShowModuleList();
ui::ListContent ShowThreadList();
ui::ListContent ShowKernelModuleList();
ui::ListContent ShowSeekList();

// Columns of the module window: key, caption (with its access-key ampersand) and width in the
// window's scale unit. The seek's "PathName" column has width 0: the window sizes it to the
// list's width less 300.
struct ModuleColumn {
  std::string key, caption;
  int width = 0;
};
const std::vector<ModuleColumn>& ModuleColumns();  // module and kernel-module lists
const std::vector<ModuleColumn>& ThreadColumns();
const std::vector<ModuleColumn>& SeekColumns();
// A caption without its access-key ampersand ("&OwnerPID" -> "OwnerPID").
std::string CaptionText(const std::string& caption);

}  // namespace tv
