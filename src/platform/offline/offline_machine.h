// A Windows installation examined from outside: a folder that holds the root of drive C: (a
// mounted NTFS partition, or a tree made for tests) answers the platform interfaces the way the
// installed system would answer them if it ran, as far as that is possible without running it.
//   * Files: Windows paths of the drive map onto the folder, each component found without regard
//     to letter case; attributes come from ntfs-3g's "system.ntfs_attrib" extended attribute when
//     the mount offers it; version information is the RT_VERSION resource of the PE file.
//   * Registry: HKLM\SOFTWARE and HKLM\SYSTEM from the hive files of System32\config (with
//     CurrentControlSet following Select\Current), HKCU from the user's NTUSER.DAT, HKU with that
//     user, HKCR as Windows merges it (the user's classes over SOFTWARE\Classes). Changes are
//     written back to the hive files at once: the first change of a hive copies it beside itself
//     as "<hive>.tolvexa-backup", every change is committed through a temporary file and a
//     rename, and a change that cannot be written leaves the file as it was and fails.
//   * System values (version, folders, environment, code page) come from the hives.
//   * What only a running system has (processes, threads, modules in memory, windows, open
//     handles, endpoints, the service control manager, the trust service) answers like a
//     machine on which none of it exists.
// Linux build only (hivex and the host file system).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"

namespace tv::offline {

// ------------------------------------------------------------------ handles ----
// The handles the backend hands out. One table serves every interface of a machine, so that
// CloseHandle (SystemApi) closes files, snapshots and events alike.
class HandleTable;

// ----------------------------------------------------------- file attributes ----
// The value of ntfs-3g's "system.ntfs_attrib": the NTFS attribute word, 4 bytes little-endian.
// nullopt when the bytes are not that.
std::optional<std::uint32_t> ParseNtfsAttrib(const std::uint8_t* data, std::size_t size);

// Where the Windows attributes of host files are kept. The default reads and writes the
// extended attribute; tests put their own in place.
class AttributeSource {
 public:
  virtual ~AttributeSource() = default;
  // The raw bytes of the attribute of `hostPath`; nullopt when the file system keeps none.
  virtual std::optional<Bytes> Read(const std::string& hostPath) = 0;
  // Stores the attribute word; false when the file system cannot keep it.
  virtual bool Write(const std::string& hostPath, std::uint32_t attributes) = 0;
};
AttributeSource& NtfsAttributeSource();

// ------------------------------------------------------------------- files ----
// A FileApi over a host folder that stands for one drive. Usable on its own (benchmarks run
// engine code over a real directory tree with it): see Over().
class HostFiles final : public FileApi {
 public:
  // `root`: the host folder of the drive's root; `drive`: "C:".
  HostFiles(std::string root, std::string drive = "C:", AttributeSource* attributes = nullptr);
  HostFiles(std::string root, std::string drive, AttributeSource* attributes, HandleTable& handles);
  ~HostFiles() override;
  HostFiles(const HostFiles&) = delete;
  HostFiles& operator=(const HostFiles&) = delete;

  // `base` with this file system in place of its files. CloseHandle and GetLastError of the
  // result know the handles and errors of this file system and pass everything else to `base`.
  Platform Over(const Platform& base);

  // The host path of a Windows path of this drive, every existing component found without
  // regard to letter case and the missing rest appended as given; "" for paths of other drives,
  // devices and network shares.
  std::string HostPath(const std::string& windowsPath);
  const std::string& Root() const;
  const std::string& Drive() const;
  std::uint32_t LastError() const;
  bool CloseFileHandle(Handle h);  // a handle of this file system; false for any other
  std::size_t OpenHandleCount() const;

  std::uint32_t GetFileAttributesA(const std::string& path) override;
  bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override;
  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                     std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) override;
  std::uint64_t GetFileSize(Handle h) override;
  std::uint64_t SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) override;
  bool FlushFileBuffers(Handle h) override;
  bool DeleteFileA(const std::string& path) override;
  bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override;
  bool CreateDirectoryA(const std::string& path) override;
  bool RemoveDirectoryA(const std::string& path) override;
  Handle FindFirstFileA(const std::string& pattern, FindData& out) override;
  bool FindNextFileA(Handle find, FindData& out) override;
  bool FindClose(Handle find) override;
  std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) override;
  bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size, void* buffer) override;
  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* bytesReturned) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The RT_VERSION resource (the raw VS_VERSIONINFO bytes) of a PE image, read from the host file
// through a walk of its resource directory; empty when the file is no PE image or has none.
Bytes ReadVersionResource(const std::string& hostPath);

// ------------------------------------------------------------------ hives ----
// Writes a hive file that holds nothing but its root key (with a security record that grants
// everyone full access), in the format of the hives of Windows XP and later. False, with the
// reason, when the file cannot be written.
bool WriteEmptyHive(const std::string& hostPath, std::string& error);

// The suffix of the copy a hive gets before its first change.
inline constexpr const char* kHiveBackupSuffix = ".tolvexa-backup";

// ------------------------------------------------------------------ machine ----
struct UserProfile {
  std::string sid;          // "S-1-5-21-...-1003"
  std::string name;         // the profile folder's name ("Admin")
  std::string profilePath;  // "C:\\Documents and Settings\\Admin", expanded
  bool hasUserHive = false; // NTUSER.DAT is there
};

class OfflineMachine {
 public:
  ~OfflineMachine();
  OfflineMachine(const OfflineMachine&) = delete;
  OfflineMachine& operator=(const OfflineMachine&) = delete;

  // Opens the installation below `root`. `user`: the profile to load as the current user
  // (folder name or SID, any letter case); empty: the only profile that has an NTUSER.DAT.
  // nullptr with a one-line reason when the folder holds no installation, a hive cannot be
  // read, the user is unknown, or several profiles qualify and none was named. Nothing on the
  // disk is changed by opening it.
  static std::unique_ptr<OfflineMachine> Open(const std::string& root, const std::string& user, std::string& error);

  Platform platform();
  HostFiles& Files();
  const std::vector<UserProfile>& Profiles() const;
  const UserProfile* User() const;  // nullptr when no profile is loaded
  // How often the hive file of that name ("SOFTWARE", "SYSTEM", "NTUSER.DAT", "UsrClass.dat",
  // "DEFAULT") was opened so far.
  std::size_t HiveOpenCount(const std::string& name) const;
  std::size_t OpenHandleCount() const;  // handles of every kind held open right now

 private:
  OfflineMachine();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tv::offline
