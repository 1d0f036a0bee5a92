// File deletion modes.
#include "tools/file_delete.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "base/object_names.h"
#include "base/paths.h"
#include "base/platform_ops.h"
#include "platform/api.h"
#include "platform/layouts.h"
#include "sysconfig/driver.h"
#include "ui/ui.h"

namespace tv {

namespace {

constexpr std::uint32_t kDelayUntilReboot = 4;
constexpr std::uint32_t kShareAll = 7;  // read, write, delete
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kBackupSemantics = 0x02000000;  // lets a folder be opened
constexpr std::uint32_t kDuplicateCloseSource = 1, kDuplicateSameAccess = 2;
constexpr std::uint32_t kHandleTableInitialSize = 131072;

void Warn(const std::string& text) { ui::MessageBox(text, "Tolvexa", ui::mb::IconExclamation); }

// The driver's request carries the address of the NT path in this process, as UTF-16 text.
std::u16string Utf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0;
    std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + n > s.size()) break;
    cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

// The form in which two names of one file are compared: "\" separators, no "\\?\" or "\??\"
// prefix, lower case.
std::string ComparableName(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  if (name.rfind("\\\\?\\", 0) == 0 || name.rfind("\\??\\", 0) == 0) name.erase(0, 4);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::vector<layout::SystemHandleEntry> ReadHandleTable(bool& ok) {
  std::vector<std::uint8_t> buf;
  ok = NtSuccess(QuerySystemInformationGrowing(sysinfo::Handle, kHandleTableInitialSize, buf));
  std::vector<layout::SystemHandleEntry> entries;
  if (!ok || buf.size() < layout::kHandleEntriesOffset) return entries;
  std::uint32_t count = 0;
  std::memcpy(&count, buf.data(), sizeof(count));
  const std::size_t fits = (buf.size() - layout::kHandleEntriesOffset) / sizeof(layout::SystemHandleEntry);
  entries.resize(std::min<std::size_t>(count, fits));
  if (!entries.empty())
    std::memcpy(entries.data(), buf.data() + layout::kHandleEntriesOffset,
                entries.size() * sizeof(layout::SystemHandleEntry));
  return entries;
}

// Closes, in their owners, the handles other processes hold on the file at `path`: the system
// handle table names every file handle; a duplicate of each tells its object name, and those
// naming this file are closed by a duplicate that closes its source. Name queries are
// time-limited (a synchronous pipe can block them for good). Returns the handles closed.
std::size_t CloseHandlesHeldOnFile(const std::string& path) {
  FileApi& files = platform::Files();
  ProcessApi& processes = platform::Processes();
  NtApi& nt = platform::Nt();

  // A handle of our own tells the type number of files in the table and the name the system
  // gives this file. An open for the attributes alone is refused by no sharing; should it fail
  // all the same, the file's folder gives the type and the path as written is the name.
  std::set<std::string> names{ComparableName(path)};
  Handle own = files.CreateFileA(path, 0, kShareAll, kOpenExisting, kBackupSemantics);
  Handle probe = own != kInvalidHandle ? own : files.CreateFileA(FolderOf(path), 0, kShareAll, kOpenExisting,
                                                                 kBackupSemantics);
  bool ok = false;
  const std::vector<layout::SystemHandleEntry> entries = ReadHandleTable(ok);
  const std::uint32_t self = platform::Sys().GetCurrentProcessId() & 0xFFFF;
  int fileType = -1;
  for (const auto& e : entries)
    if (probe != kInvalidHandle && e.UniqueProcessId == self && e.HandleValue == (probe & 0xFFFF)) {
      fileType = e.ObjectTypeIndex;
      break;
    }
  if (own != kInvalidHandle) {
    // On a time-out the worker keeps the handle and closes it when the query returns.
    if (std::optional<std::string> name = GetHandleObjectNameTimed(own, kNameQueryTimeoutMs)) {
      names.insert(ComparableName(*name));
      CloseHandleEx(own);
    }
  } else if (probe != kInvalidHandle) {
    CloseHandleEx(probe);
  }
  if (!ok || fileType < 0) return 0;

  std::map<std::uint32_t, Handle> owners;  // 0: the owner cannot be opened
  std::size_t closed = 0;
  for (const auto& e : entries) {
    const std::uint32_t owner = e.UniqueProcessId;
    if (e.ObjectTypeIndex != fileType || owner == self || IsKnownBlockingHandle(owner, e)) continue;
    auto [it, added] = owners.emplace(owner, kNullHandle);
    if (added) it->second = OpenProcessByForce(access::ProcessDupHandle, false, owner);
    const Handle process = it->second;
    if (process == kNullHandle) continue;
    Handle dup = kNullHandle;
    if (!NtSuccess(nt.NtDuplicateObject(process, e.HandleValue, kCurrentProcess, &dup, 0, 0, kDuplicateSameAccess)) ||
        dup == kNullHandle)
      continue;
    std::optional<std::string> name = GetHandleObjectNameTimed(dup, kNameQueryTimeoutMs);
    if (!name) {
      RememberBlockingHandle(owner, e, dup);  // the worker closes the duplicate
      continue;
    }
    CloseHandleEx(dup);  // a copy of ours would keep the file locked as well
    if (!names.count(ComparableName(*name))) continue;
    Handle copy = kNullHandle;
    if (processes.DuplicateHandle(process, e.HandleValue, kCurrentProcess, &copy, 0, false,
                                  kDuplicateCloseSource | kDuplicateSameAccess)) {
      ++closed;
      if (copy != kNullHandle) CloseHandleEx(copy);
    }
  }
  for (const auto& [pid, process] : owners)
    if (process != kNullHandle) CloseHandleEx(process);
  return closed;
}

// The file's length as its folder lists it (no open needed); 0 when it is not listed.
std::uint64_t ListedLength(const std::string& path) {
  FileApi& files = platform::Files();
  FindData found;
  Handle find = files.FindFirstFileA(path, found);
  if (find == kInvalidHandle) return 0;
  files.FindClose(find);
  return found.size;
}

// Three passes over the first `length` bytes: 0x00, 0x7F, 0x00, each written from the first byte
// in blocks of at most kWipeBlockSize and flushed. False when a pass could not be written whole.
bool OverwriteThreeTimes(Handle h, std::uint64_t length) {
  FileApi& files = platform::Files();
  std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(length, kWipeBlockSize)));
  for (std::uint8_t pattern : {std::uint8_t(0x00), std::uint8_t(0x7F), std::uint8_t(0x00)}) {
    std::fill(block.begin(), block.end(), pattern);
    if (files.SetFilePointer(h, 0, 0) != 0) return false;
    for (std::uint64_t done = 0; done < length;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - done, kWipeBlockSize));
      std::uint32_t written = 0;
      if (!files.WriteFile(h, block.data(), n, &written) || written != n) return false;
      done += n;
    }
    if (!files.FlushFileBuffers(h)) return false;
  }
  return true;
}

}  // namespace

int DeleteFileByMode(std::string& path, int mode, bool showMessages) {
  if (path.empty()) return 0;
  FileApi& files = platform::Files();
  int result = 0;
  switch (mode) {
    case kNormalDelete:
      (void)files.SetFileAttributesA(path, 0);
      result = files.DeleteFileA(path) ? 1 : 0;
      break;
    case kSecureDelete:
      result = WipeFile(path) ? 1 : 0;
      break;
    case kRebootDelete:
      // Some systems record a missing file all the same; nothing would be deleted at the restart.
      result = (FileExists(path) && files.MoveFileExA(path, "", kDelayUntilReboot)) ? 1 : 0;
      break;
    case kForceDelete:
      result = ForceDeleteFile(path, showMessages);
      break;
    default:
      break;
  }
  if (showMessages && result != 1) Warn("Delete file :" + path + " error!");
  return result;
}

int WipeFile(const std::string& path) {
  FileApi& files = platform::Files();
  const std::uint32_t attributes = files.GetFileAttributesA(path);
  // A folder would only be renamed; it is left alone.
  if (attributes == fattr::Invalid || (attributes & fattr::Directory)) return 0;
  // A read-only file refuses the write passes: its attributes are cleared first.
  if (!files.SetFileAttributesA(path, 0)) return 0;

  Handle h = files.CreateFileA(path, access::GenericWrite, kShareAll, kOpenExisting, 0);
  if (h != kInvalidHandle) {
    const std::uint64_t length = files.GetFileSize(h);
    const bool overwritten = length != ~std::uint64_t(0) && OverwriteThreeTimes(h, length);
    platform::Sys().CloseHandle(h);
    if (!overwritten) return 0;  // contents that were not overwritten are not deleted
  } else if (ListedLength(path) != 0) {
    return 0;
  }

  std::mt19937 random(static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  const double r = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  const long n = std::lround(r * 10000000.0);
  const std::string renamed = FolderOf(path) + std::to_string(n) + ".tmp";
  // A failed rename (a file of that name is there already) must not delete that other file.
  if (!files.MoveFileExA(path, renamed, 0)) return 0;
  if (files.DeleteFileA(renamed)) return 1;
  (void)files.MoveFileExA(renamed, path, 0);  // the file stays where it was, overwritten
  return 0;
}

int ForceDeleteFile(std::string& path, bool showMessages) {
  if (!FileExists(path)) {
    if (showMessages) Warn("Can't found file");
    return 0;
  }
  FileApi& files = platform::Files();
  if (!files.SetFileAttributesA(path, 0)) {
    if (showMessages) Warn("delete file failed");
    return 0;
  }
  const std::string dosPath = path;
  ClsDriver& driver = CompanionDriver();
  if (driver.DeviceHandle() != kInvalidHandle) {
    path = "\\??\\" + path;
    std::u16string nt = Utf16(path);
    nt.push_back(u'\0');
    const char16_t* address = nt.data();
    driver.IoControl(kForceDeleteControlCode, &address, sizeof(address), nullptr, 1);
    if (!FileExists(dosPath)) return 1;
  }
  // Without the driver (or when it left the file): the ordinary delete, and when other processes
  // hold the file open, the same after their handles are closed.
  if (files.DeleteFileA(dosPath) && !FileExists(dosPath)) return 1;
  // No closing of handles can make DeleteFileA remove a folder: their owners keep them.
  if (files.GetFileAttributesA(dosPath) & fattr::Directory) return 0;
  if (CloseHandlesHeldOnFile(dosPath) > 0) (void)files.DeleteFileA(dosPath);
  return FileExists(dosPath) ? 0 : 1;
}

OpenFileNames ParseOpenFileNames(const std::string& dialogText) {
  OpenFileNames result;
  std::string text = dialogText;
  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  auto fail = [&] {
    ui::MessageBox("cann't get file", "Tolvexa", ui::mb::Ok);
    return result;
  };
  const auto nul = text.find('\0');
  // One full path: no NUL before the last two characters, or nothing but NULs after the path
  // (the rest of the dialog's buffer).
  if (nul == std::string::npos || nul + 2 >= text.size() ||
      text.find_first_not_of('\0', nul) == std::string::npos) {
    const std::string one = nul == std::string::npos ? text : text.substr(0, nul);
    const auto slash = one.find_last_of('\\');
    if (slash == std::string::npos || slash + 1 == one.size()) return fail();  // no folder, or no name
    result.directory = one.substr(0, slash + 1);
    result.names.push_back(one.substr(slash + 1));
    return result;
  }
  // A folder, then the names, each ended by a NUL, and one more NUL.
  result.directory = text.substr(0, nul);
  if (result.directory.empty()) return fail();
  if (result.directory.back() != '\\') result.directory += '\\';
  for (std::size_t start = nul + 1; start < text.size();) {
    const auto end = text.find('\0', start);
    if (end == std::string::npos) return fail();  // the list is not ended: its last name may be cut
    if (end == start) break;                        // the empty piece that ends the list
    result.names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

}  // namespace tv
