// Files of the offline backend: Windows paths of one drive mapped onto a host folder, each
// component found without regard to letter case (NTFS mounted from Linux keeps the disk's own
// case, and the registry names files in whatever case its writer chose), with the results and
// errors of the Win32 file functions.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "platform/offline/offline_internal.h"

namespace tv::offline {

namespace {

constexpr std::uint32_t kReadBits = 0x80000000u | 0x1u | 0x10000000u;          // GENERIC_READ, FILE_READ_DATA, GENERIC_ALL
constexpr std::uint32_t kWriteBits = 0x40000000u | 0x2u | 0x4u | 0x10000000u;  // GENERIC_WRITE, FILE_WRITE/APPEND_DATA
constexpr std::uint32_t kBackupSemantics = 0x02000000u;
constexpr std::uint32_t kErrFileExists = 80, kErrAlreadyExists = 183, kErrSharing = 32, kErrDirNotEmpty = 145,
                        kErrNegativeSeek = 131, kErrDirectory = 267, kErrResourceTypeNotFound = 1813,
                        kErrInvalidFunction = 1, kErrNotSupported = 50, kErrDiskFull = 112;
constexpr const char* kAttribName = "system.ntfs_attrib";

std::uint32_t ErrorOfErrno(int e) {
  switch (e) {
    case ENOENT: return err::FileNotFound;
    case ENOTDIR: return err::PathNotFound;
    case EEXIST: return kErrAlreadyExists;
    case ENOTEMPTY: return kErrDirNotEmpty;
    case ENOSPC: return kErrDiskFull;
    case EBUSY:
    case ETXTBSY: return kErrSharing;
    case EBADF: return err::InvalidHandle;
    default: return err::AccessDenied;  // EACCES, EPERM, EROFS, EISDIR ...
  }
}

bool Fail(std::uint32_t e) {
  SetLastErrorValue(e);
  return false;
}

class XattrSource final : public AttributeSource {
 public:
  std::optional<Bytes> Read(const std::string& hostPath) override {
    std::uint8_t buf[16];
    ssize_t n = ::getxattr(hostPath.c_str(), kAttribName, buf, sizeof buf);
    if (n < 0) return std::nullopt;
    return Bytes(buf, buf + n);
  }
  bool Write(const std::string& hostPath, std::uint32_t attributes) override {
    std::uint8_t b[4] = {std::uint8_t(attributes), std::uint8_t(attributes >> 8), std::uint8_t(attributes >> 16),
                         std::uint8_t(attributes >> 24)};
    return ::setxattr(hostPath.c_str(), kAttribName, b, sizeof b, 0) == 0;
  }
};

struct FileObject final : HandleObject {
  int fd = -1;
  std::string host;
  std::uint32_t access = 0, share = 0;
  std::uint64_t pos = 0;
  bool directory = false;
  const char* Kind() const override { return "file"; }
  ~FileObject() override {
    if (fd >= 0) ::close(fd);
  }
};

struct FindObject final : HandleObject {
  std::vector<FindData> entries;
  std::size_t pos = 0;
  const char* Kind() const override { return "find"; }
};

// A path taken apart: the drive-relative components after ".", ".." and trailing dots and
// blanks were dealt with, the way Windows normalises a path.
bool SplitWindowsPath(const std::string& input, const std::string& drive, std::vector<std::string>& parts) {
  std::string path = input;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.rfind("\\\\?\\", 0) == 0) path = path.substr(4);
  if (path.rfind("\\\\", 0) == 0) return false;  // devices and network paths
  if (path.size() < 2 || path[1] != ':') return false;  // relative to a folder that is not on this disk
  if (std::toupper(static_cast<unsigned char>(path[0])) != std::toupper(static_cast<unsigned char>(drive[0])))
    return false;
  parts.clear();
  for (std::string part : SplitBackslash(path.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (!part.empty()) parts.push_back(part);
  }
  return true;
}

// Whether the last call that set an error on this thread was a file call (for the forwarding
// system interface of HostFiles::Over).
thread_local bool t_filesSpokeLast = false;
struct Speak {
  Speak() { t_filesSpokeLast = true; }
};

}  // namespace

std::optional<std::uint32_t> ParseNtfsAttrib(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size != 4) return std::nullopt;
  return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
         (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
}

AttributeSource& NtfsAttributeSource() {
  static XattrSource source;
  return source;
}

// ---------------------------------------------------------------- inside ----
struct HostFiles::Impl {
  std::string root, drive;
  AttributeSource* attributes = nullptr;
  std::unique_ptr<HandleTable> ownTable;
  HandleTable* table = nullptr;

  // Folder listings by host folder: the names under their folded form. Checked against the
  // folder's change time on every use, and dropped when this file system changes the folder.
  struct Listing {
    struct timespec mtime {};
    std::unordered_map<std::u16string, std::string> names;
  };
  std::mutex mu;
  std::unordered_map<std::string, Listing> listings;

  // The version resource read last (the size query and the copy come in pairs).
  std::string versionPath;
  struct timespec versionTime {};
  Bytes versionBytes;

  // Platform::Over: the system interface that knows this file system's handles.
  class ForwardSystem;
  std::unique_ptr<ForwardSystem> forward;

  struct Resolved {
    std::string host;       // host path (existing part in the disk's case, the rest as given)
    bool exists = false;    // the whole path exists
    bool parentExists = false;
    bool isRoot = false;
    std::string lastName;   // the last component as given
    std::string parentHost;
  };

  void Forget(const std::string& hostDir) {
    std::lock_guard<std::mutex> lock(mu);
    listings.erase(hostDir);
  }
  static std::string ParentOf(const std::string& host) {
    auto slash = host.find_last_of('/');
    return slash == std::string::npos ? host : host.substr(0, slash);
  }

  // The name in `dir` that equals `name` without regard to case; "" when there is none.
  std::string Lookup(const std::string& dir, const std::string& name) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    std::lock_guard<std::mutex> lock(mu);
    Listing& l = listings[dir];
    if (l.names.empty() || l.mtime.tv_sec != st.st_mtim.tv_sec || l.mtime.tv_nsec != st.st_mtim.tv_nsec) {
      l.names.clear();
      l.mtime = st.st_mtim;
      if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
          std::string n = e->d_name;
          if (n == "." || n == "..") continue;
          l.names.emplace(FoldName(n), n);
        }
        ::closedir(d);
      }
    }
    auto it = l.names.find(FoldName(name));
    return it == l.names.end() ? std::string() : it->second;
  }

  bool Resolve(const std::string& windowsPath, Resolved& r) {
    std::vector<std::string> parts;
    if (!SplitWindowsPath(windowsPath, drive, parts)) return false;
    r = {};
    r.host = root;
    r.isRoot = parts.empty();
    r.exists = true;
    r.parentExists = true;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const bool last = i + 1 == parts.size();
      if (last) {
        r.parentHost = r.host;
        r.lastName = parts[i];
      }
      if (!r.exists) {
        r.host += "/" + parts[i];
        continue;
      }
      std::string exact = r.host + "/" + parts[i];
      struct stat st {};
      if (::stat(exact.c_str(), &st) == 0) {
        r.host = exact;
        continue;
      }
      std::string found = Lookup(r.host, parts[i]);
      if (!found.empty()) {
        r.host += "/" + found;
        continue;
      }
      r.host = exact;
      r.exists = false;
      r.parentExists = last;
    }
    if (r.exists) {
      struct stat st {};
      r.exists = ::stat(r.host.c_str(), &st) == 0;
    }
    return true;
  }

  std::uint32_t AttributesOf(const std::string& host, const struct stat& st, bool isRoot) {
    if (isRoot) return fattr::Directory | fattr::Hidden | fattr::System;
    const bool dir = S_ISDIR(st.st_mode);
    if (attributes) {
      if (auto raw = attributes->Read(host)) {
        if (auto a = ParseNtfsAttrib(raw->data(), raw->size())) {
          std::uint32_t v = *a & 0xFFFFu;
          if (dir) v |= fattr::Directory;
          else v &= ~fattr::Directory;
          if (v == 0) v = fattr::Normal;
          return v;
        }
      }
    }
    if (dir) return fattr::Directory;
    std::uint32_t v = fattr::Archive;
    if (!(st.st_mode & S_IWUSR)) v |= fattr::ReadOnly;
    return v;
  }

  std::uint32_t AttributesAt(const Resolved& r) {
    struct stat st {};
    if (!r.exists || ::stat(r.host.c_str(), &st) != 0) return fattr::Invalid;
    return AttributesOf(r.host, st, r.isRoot);
  }

  // Sharing with this file system's own open handles to the same file.
  bool SharingConflict(const std::string& host, bool wantRead, bool wantWrite, bool wantDelete, std::uint32_t share) {
    bool conflict = false;
    table->ForEach([&](Handle, const HandleObject& o) {
      auto* f = dynamic_cast<const FileObject*>(&o);
      if (!f || f->host != host) return;
      const bool oldRead = (f->access & kReadBits) != 0, oldWrite = (f->access & kWriteBits) != 0;
      if ((wantRead && !(f->share & 1)) || (wantWrite && !(f->share & 2)) || (wantDelete && !(f->share & 4)) ||
          (oldRead && !(share & 1)) || (oldWrite && !(share & 2)))
        conflict = true;
    });
    return conflict;
  }

  FileObject* FileOf(Handle h) { return table->GetAs<FileObject>(h); }
};

// Routes CloseHandle and GetLastError of the file system's handles; the rest goes to `base`.
class HostFiles::Impl::ForwardSystem final : public SystemApi {
 public:
  ForwardSystem(SystemApi* base, HostFiles& files) : base_(base), files_(files) {}
  bool GetVersionExA(OsVersionInfo& out) override { return Other().GetVersionExA(out); }
  std::string GetWindowsDirectoryA() override { return Other().GetWindowsDirectoryA(); }
  std::string GetSystemDirectoryA() override { return Other().GetSystemDirectoryA(); }
  std::string GetTempPathA() override { return Other().GetTempPathA(); }
  std::string GetModuleFileNameA(Handle module) override { return Other().GetModuleFileNameA(module); }
  std::string GetEnvironmentVariableA(const std::string& name) override { return Other().GetEnvironmentVariableA(name); }
  std::uint32_t GetTickCount() override { return Other().GetTickCount(); }
  void Sleep(std::uint32_t ms) override { Other().Sleep(ms); }
  std::uint32_t GetCurrentProcessId() override { return Other().GetCurrentProcessId(); }
  std::uint32_t GetCurrentThreadId() override { return Other().GetCurrentThreadId(); }
  std::uint32_t GetLastError() override {
    return t_filesSpokeLast ? LastErrorValue() : base_->GetLastError();
  }
  std::vector<std::string> GetLogicalDriveStringsA() override { return Other().GetLogicalDriveStringsA(); }
  std::string QueryDosDeviceA(const std::string& drive) override { return Other().QueryDosDeviceA(drive); }
  bool CloseHandle(Handle h) override {
    if (files_.CloseFileHandle(h)) {
      t_filesSpokeLast = true;
      return true;
    }
    return Other().CloseHandle(h);
  }
  Handle CreateEventA(bool manualReset, bool initialState) override {
    return Other().CreateEventA(manualReset, initialState);
  }
  std::uint32_t GetACP() override { return Other().GetACP(); }
  std::string AnsiToUtf8(const std::string& ansi) override { return Other().AnsiToUtf8(ansi); }
  std::string Utf8ToAnsi(const std::string& utf8) override { return Other().Utf8ToAnsi(utf8); }
  void GetLocalTime(SystemTime& out) override { Other().GetLocalTime(out); }
  std::string GetDateFormatA(std::uint32_t flags, const SystemTime& date) override {
    return Other().GetDateFormatA(flags, date);
  }
  std::string GetTimeFormatA(std::uint32_t flags, const SystemTime& time) override {
    return Other().GetTimeFormatA(flags, time);
  }
  void GlobalMemoryStatus(MemoryStatus& out) override { Other().GlobalMemoryStatus(out); }
  bool sndPlaySoundA(const std::string& path, std::uint32_t flags) override {
    return Other().sndPlaySoundA(path, flags);
  }

 private:
  SystemApi& Other() {
    t_filesSpokeLast = false;
    return *base_;
  }
  SystemApi* base_;
  HostFiles& files_;
};

// ------------------------------------------------------------- public ----
HostFiles::HostFiles(std::string root, std::string drive, AttributeSource* attributes) : impl_(new Impl) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  impl_->root = root;
  impl_->drive = drive.empty() ? "C:" : drive.substr(0, 1) + ":";
  impl_->drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(impl_->drive[0])));
  impl_->attributes = attributes ? attributes : &NtfsAttributeSource();
  impl_->ownTable = std::make_unique<HandleTable>();
  impl_->table = impl_->ownTable.get();
}

HostFiles::HostFiles(std::string root, std::string drive, AttributeSource* attributes, HandleTable& handles)
    : HostFiles(std::move(root), std::move(drive), attributes) {
  impl_->ownTable.reset();
  impl_->table = &handles;
}

HostFiles::~HostFiles() = default;

Platform HostFiles::Over(const Platform& base) {
  impl_->forward = std::make_unique<Impl::ForwardSystem>(base.system, *this);
  Platform p = base;
  p.files = this;
  p.system = impl_->forward.get();
  return p;
}

std::string HostFiles::HostPath(const std::string& windowsPath) {
  Impl::Resolved r;
  return impl_->Resolve(windowsPath, r) ? r.host : std::string();
}
const std::string& HostFiles::Root() const { return impl_->root; }
const std::string& HostFiles::Drive() const { return impl_->drive; }
std::uint32_t HostFiles::LastError() const { return LastErrorValue(); }

bool HostFiles::CloseFileHandle(Handle h) {
  HandleObject* o = impl_->table->Get(h);
  if (!dynamic_cast<FileObject*>(o)) return false;
  impl_->table->Close(h);
  SetLastErrorValue(0);
  return true;
}

std::size_t HostFiles::OpenHandleCount() const {
  std::size_t n = 0;
  impl_->table->ForEach([&](Handle, const HandleObject& o) {
    if (dynamic_cast<const FileObject*>(&o) || dynamic_cast<const FindObject*>(&o)) ++n;
  });
  return n;
}

// ------------------------------------------------------- attributes ----
std::uint32_t HostFiles::GetFileAttributesA(const std::string& path) {
  Speak s;
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) {
    SetLastErrorValue(err::PathNotFound);
    return fattr::Invalid;
  }
  const std::uint32_t a = impl_->AttributesAt(r);
  SetLastErrorValue(a != fattr::Invalid ? 0 : r.parentExists ? err::FileNotFound : err::PathNotFound);
  return a;
}

bool HostFiles::SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  Speak s;
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) return Fail(err::PathNotFound);
  struct stat st {};
  if (!r.exists || ::stat(r.host.c_str(), &st) != 0) return Fail(r.parentExists ? err::FileNotFound : err::PathNotFound);
  if (r.isRoot) return Fail(err::AccessDenied);
  const bool dir = S_ISDIR(st.st_mode);
  std::uint32_t a = attributes & 0x3127u;  // read-only, hidden, system, archive, temporary, offline, not indexed
  if (dir) a |= fattr::Directory;
  if (a == 0) a = fattr::Normal;
  const bool stored = impl_->attributes->Write(r.host, a);
  // The read-only bit also goes to the permissions, where a mount without the attribute keeps it.
  if (!dir) {
    mode_t mode = st.st_mode & 07777;
    mode_t want = (attributes & fattr::ReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    if (want != mode && ::chmod(r.host.c_str(), want) != 0 && !stored) return Fail(ErrorOfErrno(errno));
  }
  SetLastErrorValue(0);
  return true;
}

// ------------------------------------------------------- open, read, write ----
Handle HostFiles::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flagsAndAttributes) {
  Speak s;
  if (path.rfind("\\\\.\\", 0) == 0) {  // no control devices on a disk that is not running
    SetLastErrorValue(err::FileNotFound);
    return kInvalidHandle;
  }
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) {
    SetLastErrorValue(err::PathNotFound);
    return kInvalidHandle;
  }
  if (disposition < 1 || disposition > 5) {
    SetLastErrorValue(err::InvalidParameter);
    return kInvalidHandle;
  }
  const bool wantWrite = (access & kWriteBits) != 0;
  const bool wantRead = (access & kReadBits) != 0;
  struct stat st {};
  const bool exists = r.exists && ::stat(r.host.c_str(), &st) == 0;
  auto obj = std::make_unique<FileObject>();
  obj->access = access;
  obj->share = share;
  if (exists && S_ISDIR(st.st_mode)) {
    if (disposition == 1) {
      SetLastErrorValue(kErrFileExists);
      return kInvalidHandle;
    }
    if (!(flagsAndAttributes & kBackupSemantics) || disposition == 2 || disposition == 5) {
      SetLastErrorValue(err::AccessDenied);
      return kInvalidHandle;
    }
    obj->fd = ::open(r.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (obj->fd < 0) {
      SetLastErrorValue(ErrorOfErrno(errno));
      return kInvalidHandle;
    }
    obj->host = r.host;
    obj->directory = true;
    SetLastErrorValue(0);
    return impl_->table->Add(std::move(obj));
  }
  int flags = O_CLOEXEC | (wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY);
  std::uint32_t errorAfter = 0;
  if (exists) {
    if (disposition == 1) {
      SetLastErrorValue(kErrFileExists);
      return kInvalidHandle;
    }
    const std::uint32_t a = impl_->AttributesOf(r.host, st, false);
    if ((a & fattr::ReadOnly) && (wantWrite || disposition == 2 || disposition == 5)) {
      SetLastErrorValue(err::AccessDenied);
      return kInvalidHandle;
    }
    if (disposition == 5 && !wantWrite) {
      SetLastErrorValue(err::InvalidParameter);
      return kInvalidHandle;
    }
    if (impl_->SharingConflict(r.host, wantRead, wantWrite, false, share)) {
      SetLastErrorValue(kErrSharing);
      return kInvalidHandle;
    }
    if (disposition == 2 || disposition == 5) {
      if (!wantWrite) flags = (flags & ~O_ACCMODE) | O_RDWR;
      flags |= O_TRUNC;
    }
    if (disposition == 2 || disposition == 4) errorAfter = kErrAlreadyExists;
  } else {
    if (!r.parentExists) {
      SetLastErrorValue(err::PathNotFound);
      return kInvalidHandle;
    }
    if (disposition == 3 || disposition == 5) {
      SetLastErrorValue(err::FileNotFound);
      return kInvalidHandle;
    }
    flags |= O_CREAT | O_EXCL;
  }
  obj->fd = ::open(r.host.c_str(), flags, 0666);
  if (obj->fd < 0) {
    SetLastErrorValue(ErrorOfErrno(errno));
    return kInvalidHandle;
  }
  if (!exists) {
    impl_->Forget(r.parentHost);
    const std::uint32_t attrs = flagsAndAttributes & (fattr::ReadOnly | fattr::Hidden | fattr::System);
    if (attrs) impl_->attributes->Write(r.host, attrs | fattr::Archive);
  }
  obj->host = r.host;
  SetLastErrorValue(errorAfter);
  return impl_->table->Add(std::move(obj));
}

bool HostFiles::ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) {
  Speak s;
  if (read) *read = 0;
  FileObject* f = impl_->FileOf(h);
  if (!f) return Fail(err::InvalidHandle);
  if (f->directory || !(f->access & kReadBits)) return Fail(err::AccessDenied);
  std::uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(f->fd, static_cast<std::uint8_t*>(buffer) + done, size - done,
                        static_cast<off_t>(f->pos + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrorOfErrno(errno));
    }
    if (n == 0) break;
    done += static_cast<std::uint32_t>(n);
  }
  f->pos += done;
  if (read) *read = done;
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  Speak s;
  if (written) *written = 0;
  FileObject* f = impl_->FileOf(h);
  if (!f) return Fail(err::InvalidHandle);
  if (f->directory || !(f->access & kWriteBits)) return Fail(err::AccessDenied);
  std::uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(f->fd, static_cast<const std::uint8_t*>(buffer) + done, size - done,
                         static_cast<off_t>(f->pos + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      f->pos += done;
      if (written) *written = done;
      return Fail(ErrorOfErrno(errno));
    }
    done += static_cast<std::uint32_t>(n);
  }
  f->pos += done;
  if (written) *written = done;
  SetLastErrorValue(0);
  return true;
}

std::uint64_t HostFiles::GetFileSize(Handle h) {
  Speak s;
  FileObject* f = impl_->FileOf(h);
  struct stat st {};
  if (!f || ::fstat(f->fd, &st) != 0) {
    SetLastErrorValue(err::InvalidHandle);
    return ~std::uint64_t(0);
  }
  SetLastErrorValue(0);
  return f->directory ? 0 : static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t HostFiles::SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) {
  Speak s;
  FileObject* f = impl_->FileOf(h);
  if (!f) {
    SetLastErrorValue(err::InvalidHandle);
    return ~std::uint64_t(0);
  }
  if (method > 2) {
    SetLastErrorValue(err::InvalidParameter);
    return ~std::uint64_t(0);
  }
  std::int64_t base = 0;
  if (method == 1) base = static_cast<std::int64_t>(f->pos);
  if (method == 2) {
    struct stat st {};
    if (::fstat(f->fd, &st) != 0) {
      SetLastErrorValue(err::InvalidHandle);
      return ~std::uint64_t(0);
    }
    base = st.st_size;
  }
  if (base + distance < 0) {
    SetLastErrorValue(kErrNegativeSeek);
    return ~std::uint64_t(0);
  }
  f->pos = static_cast<std::uint64_t>(base + distance);
  SetLastErrorValue(0);
  return f->pos;
}

bool HostFiles::FlushFileBuffers(Handle h) {
  Speak s;
  FileObject* f = impl_->FileOf(h);
  if (!f) return Fail(err::InvalidHandle);
  if (!(f->access & kWriteBits)) return Fail(err::AccessDenied);
  if (::fsync(f->fd) != 0) return Fail(ErrorOfErrno(errno));
  SetLastErrorValue(0);
  return true;
}

// ------------------------------------------------ delete, move, folders ----
bool HostFiles::DeleteFileA(const std::string& path) {
  Speak s;
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) return Fail(err::PathNotFound);
  struct stat st {};
  if (!r.exists || ::stat(r.host.c_str(), &st) != 0) return Fail(r.parentExists ? err::FileNotFound : err::PathNotFound);
  if (S_ISDIR(st.st_mode)) return Fail(err::AccessDenied);
  if (impl_->AttributesOf(r.host, st, false) & fattr::ReadOnly) return Fail(err::AccessDenied);
  if (impl_->SharingConflict(r.host, false, false, true, 7)) return Fail(kErrSharing);
  if (::unlink(r.host.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  impl_->Forget(Impl::ParentOf(r.host));
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) {
  Speak s;
  // A move at the next start would be carried out by the installed system's session manager;
  // the disk is examined from outside, so the request is refused rather than left pending.
  if (flags & 4) return Fail(kErrNotSupported);
  if (to.empty()) return Fail(err::InvalidParameter);
  Impl::Resolved src, dst;
  if (!impl_->Resolve(from, src)) return Fail(err::PathNotFound);
  if (!src.exists) return Fail(src.parentExists ? err::FileNotFound : err::PathNotFound);
  if (!impl_->Resolve(to, dst) || !dst.parentExists) return Fail(err::PathNotFound);
  if (src.isRoot) return Fail(err::AccessDenied);
  std::string target = dst.host;
  if (dst.exists && dst.host == src.host) {
    target = dst.parentHost + "/" + dst.lastName;  // the same file under another letter case
  } else if (dst.exists) {
    struct stat st {};
    struct stat sst {};
    ::stat(src.host.c_str(), &sst);
    if (::stat(dst.host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || S_ISDIR(sst.st_mode) || !(flags & 1)))
      return Fail(kErrAlreadyExists);
    if (impl_->AttributesOf(dst.host, st, false) & fattr::ReadOnly) return Fail(err::AccessDenied);
  }
  if (impl_->SharingConflict(src.host, false, false, true, 7)) return Fail(kErrSharing);
  if (::rename(src.host.c_str(), target.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  impl_->Forget(Impl::ParentOf(src.host));
  impl_->Forget(Impl::ParentOf(target));
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::CreateDirectoryA(const std::string& path) {
  Speak s;
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) return Fail(err::PathNotFound);
  if (r.exists) return Fail(kErrAlreadyExists);
  if (!r.parentExists) return Fail(err::PathNotFound);
  if (::mkdir(r.host.c_str(), 0777) != 0) return Fail(ErrorOfErrno(errno));
  impl_->Forget(r.parentHost);
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::RemoveDirectoryA(const std::string& path) {
  Speak s;
  Impl::Resolved r;
  if (!impl_->Resolve(path, r)) return Fail(err::PathNotFound);
  if (r.isRoot) return Fail(err::AccessDenied);
  struct stat st {};
  if (!r.exists || ::stat(r.host.c_str(), &st) != 0) return Fail(err::FileNotFound);
  if (!S_ISDIR(st.st_mode)) return Fail(kErrDirectory);
  if (impl_->AttributesOf(r.host, st, false) & fattr::ReadOnly) return Fail(err::AccessDenied);
  if (::rmdir(r.host.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  impl_->Forget(Impl::ParentOf(r.host));
  SetLastErrorValue(0);
  return true;
}

// -------------------------------------------------------------- find ----
Handle HostFiles::FindFirstFileA(const std::string& pattern, FindData& out) {
  Speak s;
  std::string p = pattern;
  std::replace(p.begin(), p.end(), '/', '\\');
  auto pos = p.find_last_of('\\');
  std::string folder = pos == std::string::npos ? p.substr(0, 2) + "\\" : p.substr(0, pos + 1);
  std::string name = pos == std::string::npos ? (p.size() >= 2 ? p.substr(2) : std::string()) : p.substr(pos + 1);
  Impl::Resolved dir;
  struct stat st {};
  if (!impl_->Resolve(folder, dir) || !dir.exists || ::stat(dir.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastErrorValue(err::PathNotFound);
    return kInvalidHandle;
  }
  if (name.empty()) {
    SetLastErrorValue(err::FileNotFound);
    return kInvalidHandle;
  }
  auto list = std::make_unique<FindObject>();
  auto entryOf = [&](const std::string& host, const std::string& shown) -> std::optional<FindData> {
    struct stat est {};
    if (::stat(host.c_str(), &est) != 0) return std::nullopt;
    FindData fd;
    fd.attributes = impl_->AttributesOf(host, est, false);
    fd.size = S_ISDIR(est.st_mode) ? 0 : static_cast<std::uint64_t>(est.st_size);
    fd.fileName = shown;
    return fd;
  };
  if (name.find_first_of("*?") == std::string::npos) {
    Impl::Resolved r;
    if (impl_->Resolve(folder + name, r) && r.exists && !r.isRoot) {
      auto slash = r.host.find_last_of('/');
      if (auto fd = entryOf(r.host, r.host.substr(slash + 1))) list->entries.push_back(*fd);
    }
  } else {
    if (!dir.isRoot) {
      for (const char* dot : {".", ".."})
        if (WildcardMatch(name, dot)) list->entries.push_back({fattr::Directory, 0, dot});
    }
    std::vector<std::pair<std::u16string, std::string>> names;
    if (DIR* d = ::opendir(dir.host.c_str())) {
      while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == ".." || !WildcardMatch(name, n)) continue;
        names.emplace_back(FoldName(n), n);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());  // NTFS lists a folder by upper-cased name
    for (const auto& [key, n] : names)
      if (auto fd = entryOf(dir.host + "/" + n, n)) list->entries.push_back(*fd);
  }
  if (list->entries.empty()) {
    SetLastErrorValue(err::FileNotFound);
    return kInvalidHandle;
  }
  out = list->entries[0];
  list->pos = 1;
  SetLastErrorValue(0);
  return impl_->table->Add(std::move(list));
}

bool HostFiles::FindNextFileA(Handle find, FindData& out) {
  Speak s;
  auto* f = impl_->table->GetAs<FindObject>(find);
  if (!f) return Fail(err::InvalidHandle);
  if (f->pos >= f->entries.size()) return Fail(err::NoMoreFiles);
  out = f->entries[f->pos++];
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::FindClose(Handle find) {
  Speak s;
  if (!impl_->table->GetAs<FindObject>(find)) return Fail(err::InvalidHandle);
  impl_->table->Close(find);
  SetLastErrorValue(0);
  return true;
}

// ------------------------------------------------- version information ----
std::uint32_t HostFiles::GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) {
  Speak s;
  if (handle) *handle = 0;
  Impl::Resolved r;
  struct stat st {};
  if (!impl_->Resolve(path, r) || !r.exists || ::stat(r.host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    SetLastErrorValue(err::FileNotFound);
    return 0;
  }
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (impl_->versionPath != r.host || impl_->versionTime.tv_sec != st.st_mtim.tv_sec ||
      impl_->versionTime.tv_nsec != st.st_mtim.tv_nsec) {
    impl_->versionPath = r.host;
    impl_->versionTime = st.st_mtim;
    impl_->versionBytes = ReadVersionResource(r.host);
  }
  if (impl_->versionBytes.empty()) {
    SetLastErrorValue(::access(r.host.c_str(), R_OK) == 0 ? kErrResourceTypeNotFound : err::AccessDenied);
    return 0;
  }
  SetLastErrorValue(0);
  return static_cast<std::uint32_t>(impl_->versionBytes.size());
}

bool HostFiles::GetFileVersionInfoA(const std::string& path, std::uint32_t, std::uint32_t size, void* buffer) {
  if (buffer == nullptr) return Fail(err::InvalidParameter);
  if (GetFileVersionInfoSizeA(path, nullptr) == 0) return false;
  Speak s;
  std::lock_guard<std::mutex> lock(impl_->mu);
  const Bytes& b = impl_->versionBytes;
  std::memcpy(buffer, b.data(), std::min<std::size_t>(b.size(), size));
  SetLastErrorValue(0);
  return true;
}

bool HostFiles::DeviceIoControl(Handle device, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t,
                                std::uint32_t* bytesReturned) {
  Speak s;
  if (bytesReturned) *bytesReturned = 0;
  return Fail(impl_->FileOf(device) ? kErrInvalidFunction : err::InvalidHandle);
}

}  // namespace tv::offline
