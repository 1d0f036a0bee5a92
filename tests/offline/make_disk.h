// Renders a simulated machine as the folder tree of a Windows disk: real hive files written
// through hivex and the machine's files in place, so that `tolvexa --offline DIR` can examine
// what `tolvexa --machine FILE` shows. Used by scripts/make-offline-disk and by the tests that
// compare the two.
#pragma once
#include <string>

#include "platform/sim/sim_machine.h"

namespace tv::offtest {

enum class DiskLayout {
  Xp,    // WINDOWS\system32\config, Documents and Settings\USER\NTUSER.DAT
  Win7,  // Windows\System32\config, Users\USER\NTUSER.DAT
};

struct DiskSummary {
  std::string user;             // the profile folder's name
  std::string softwareHive, systemHive, defaultHive, userHive;  // host paths
  std::size_t keys = 0;         // keys written into the hives
  std::size_t files = 0;        // files and folders placed
  std::size_t skipped = 0;      // registry trees and files that have no place on the disk
};

// The user SID the disk's profile gets.
inline constexpr const char* kDiskUserSid = "S-1-5-21-1004336348-1177238915-682003330-1003";

// Writes the disk of `state` below `dir`, which must not exist yet or be an empty folder.
//   HKLM\SOFTWARE -> the SOFTWARE hive, HKCR -> its Classes key;
//   HKLM\SYSTEM -> the SYSTEM hive, CurrentControlSet as ControlSet00N with Select\Current = N
//     (N = 1 unless the machine's own Select\Current names another set);
//   HKCU -> the user's NTUSER.DAT, HKU\.DEFAULT -> DEFAULT;
//   version, system root, profile list, shell folders, environment and code page, where the
//     machine's registry does not give them itself, from the machine's system values;
//   the files of the system drive, in their letter case (a folder that exists already in another
//     case is reused), a version resource as a small PE image that carries it (the file's own
//     contents after it), read-only as a file without write permission, hidden and system in
//     ntfs-3g's attribute when the folder is on such a mount.
// Everything else (processes, handles, ports, other drives, other roots) has no place on a disk
// and is left out. False, with a one-line reason, when something cannot be written.
bool MakeOfflineDisk(const sim::MachineState& state, const std::string& dir, DiskLayout layout,
                     DiskSummary& summary, std::string& error);

}  // namespace tv::offtest
