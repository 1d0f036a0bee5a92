// Hive files: an empty hive written from the published layout of the format (base block, one
// bin with the root key and its security record), and the hives of a disk opened with hivex
// and committed back safely.
#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/offline/offline_internal.h"

namespace tv::offline {

namespace {

constexpr std::uint32_t kBlock = 0x1000;
constexpr std::int32_t kErrRegistryIoFailed = 1016, kErrDiskFull = 112;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
void Put64(Bytes& b, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t FileTimeNow() {
  return static_cast<std::uint64_t>(std::time(nullptr)) * 10000000ull + 116444736000000000ull;
}

// A self-relative security descriptor: owner Administrators, group SYSTEM, a DACL that grants
// Everyone full access to the key and, by inheritance, to the keys created below it.
Bytes SecurityDescriptor() {
  const std::uint8_t everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  const std::uint8_t admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
  const std::uint8_t system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  const std::uint32_t aceSize = 8 + sizeof everyone, aclSize = 8 + aceSize;
  Bytes sd(20 + aclSize, 0);
  sd[0] = 1;                 // revision
  Put16(sd, 2, 0x8004);      // self-relative, DACL present
  Put32(sd, 4, 20 + aclSize);                      // owner
  Put32(sd, 8, 20 + aclSize + sizeof admins);      // group
  Put32(sd, 12, 0);                                // no SACL
  Put32(sd, 16, 20);                               // DACL
  sd[20] = 2;                                      // ACL revision
  Put16(sd, 22, aclSize);
  Put16(sd, 24, 1);                                // one ACE
  sd[28] = 0;                                      // ACCESS_ALLOWED_ACE_TYPE
  sd[29] = 0x02;                                   // CONTAINER_INHERIT_ACE
  Put16(sd, 30, aceSize);
  Put32(sd, 32, 0xF003F);                          // KEY_ALL_ACCESS
  std::memcpy(&sd[36], everyone, sizeof everyone);
  sd.insert(sd.end(), admins, admins + sizeof admins);
  sd.insert(sd.end(), system, system + sizeof system);
  return sd;
}

std::uint32_t Align8(std::uint32_t n) { return (n + 7) & ~7u; }

int WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return 0;
}

std::int32_t ErrorOfErrno(int e) {
  if (e == EACCES || e == EPERM || e == EROFS) return static_cast<std::int32_t>(err::AccessDenied);
  if (e == ENOSPC) return kErrDiskFull;
  return kErrRegistryIoFailed;
}

bool CopyFile(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::uint8_t buf[1 << 16];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (WriteAll(out, buf, static_cast<std::size_t>(n)) != 0) {
      ok = false;
      break;
    }
  }
  if (ok && ::fsync(out) != 0) ok = false;
  if (::close(out) != 0) ok = false;
  ::close(in);
  return ok;
}

void SyncFolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

bool WriteEmptyHive(const std::string& hostPath, std::string& error) {
  const std::string rootName = "$$$PROTO.HIV";
  const Bytes sd = SecurityDescriptor();
  const std::uint64_t now = FileTimeNow();
  Bytes file(2 * kBlock, 0);

  // Base block.
  std::memcpy(&file[0], "regf", 4);
  Put32(file, 0x04, 1);  // sequence numbers: equal, the hive is consistent
  Put32(file, 0x08, 1);
  Put64(file, 0x0C, now);
  Put32(file, 0x14, 1);  // format version 1.3, as Windows XP writes and every later Windows reads
  Put32(file, 0x18, 3);
  Put32(file, 0x1C, 0);  // primary file
  Put32(file, 0x20, 1);  // direct memory load
  Put32(file, 0x24, 0x20);    // root cell, relative to the first bin
  Put32(file, 0x28, kBlock);  // size of the bins
  Put32(file, 0x2C, 1);       // clustering factor
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 0x1FC; i += 4) sum ^= Get32(&file[i]);
  if (sum == 0) sum = 1;
  if (sum == 0xFFFFFFFFu) sum = 0xFFFFFFFEu;
  Put32(file, 0x1FC, sum);

  // The bin and its cells: the root key, its security record, and free space.
  const std::size_t bin = kBlock;
  std::memcpy(&file[bin], "hbin", 4);
  Put32(file, bin + 4, 0);        // offset of this bin
  Put32(file, bin + 8, kBlock);   // its size
  Put64(file, bin + 0x14, now);

  const std::uint32_t nkAt = 0x20;
  const std::uint32_t nkSize = Align8(4 + 76 + static_cast<std::uint32_t>(rootName.size()));
  const std::uint32_t skAt = nkAt + nkSize;
  const std::uint32_t skSize = Align8(4 + 20 + static_cast<std::uint32_t>(sd.size()));
  const std::uint32_t freeAt = skAt + skSize;

  std::size_t c = bin + nkAt;
  Put32(file, c, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nkSize)));  // allocated
  std::memcpy(&file[c + 4], "nk", 2);
  Put16(file, c + 6, 0x2C);  // hive entry, cannot be deleted, name in ASCII
  Put64(file, c + 8, now);
  Put32(file, c + 0x20, 0xFFFFFFFFu);  // no subkey list
  Put32(file, c + 0x24, 0xFFFFFFFFu);  // no volatile subkey list
  Put32(file, c + 0x2C, 0xFFFFFFFFu);  // no value list
  Put32(file, c + 0x30, skAt);         // security record
  Put32(file, c + 0x34, 0xFFFFFFFFu);  // no class name
  Put16(file, c + 0x4C, static_cast<std::uint32_t>(rootName.size()));
  std::memcpy(&file[c + 0x50], rootName.data(), rootName.size());

  c = bin + skAt;
  Put32(file, c, static_cast<std::uint32_t>(-static_cast<std::int32_t>(skSize)));
  std::memcpy(&file[c + 4], "sk", 2);
  Put32(file, c + 8, skAt);   // the only record: its own neighbour both ways
  Put32(file, c + 12, skAt);
  Put32(file, c + 16, 1);     // one key refers to it
  Put32(file, c + 20, static_cast<std::uint32_t>(sd.size()));
  std::memcpy(&file[c + 24], sd.data(), sd.size());

  Put32(file, bin + freeAt, kBlock - freeAt);  // one free cell up to the end of the bin

  const std::string tmp = hostPath + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || WriteAll(fd, file.data(), file.size()) != 0 || ::fsync(fd) != 0) {
    error = std::string("cannot write ") + tmp + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  ::close(fd);
  if (::rename(tmp.c_str(), hostPath.c_str()) != 0) {
    error = std::string("cannot write ") + hostPath + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

// ------------------------------------------------------------------ Hive ----
Hive::Hive(std::string name, std::string hostPath) : name_(std::move(name)), path_(std::move(hostPath)) {}

Hive::~Hive() {
  if (h_) hivex_close(h_);
}

bool Hive::Load(std::string& error) {
  if (h_) {
    hivex_close(h_);
    h_ = nullptr;
  }
  // A hive cut short still opens in hivex when the cut falls between two bins, and then loses
  // every key beyond it: the base block says how long the bins are, so check that first.
  std::uint8_t base[0x30];
  struct stat st {};
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open hive " + path_ + ": " + std::strerror(errno);
    return false;
  }
  const ssize_t got = ::pread(fd, base, sizeof base, 0);
  const bool statted = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof base) || std::memcmp(base, "regf", 4) != 0 || !statted) {
    error = "not a registry hive: " + path_;
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) < kBlock + static_cast<std::uint64_t>(Get32(base + 0x28))) {
    error = "registry hive is truncated: " + path_;
    return false;
  }
  dirty_ = Get32(base + 4) != Get32(base + 8);
  h_ = hivex_open(path_.c_str(), HIVEX_OPEN_WRITE);
  if (!h_) {
    error = "cannot read registry hive " + path_ + ": " + std::strerror(errno);
    return false;
  }
  ++opens_;
  ++generation_;
  return true;
}

std::size_t Hive::Root() const { return h_ ? hivex_root(h_) : 0; }

std::int32_t Hive::Commit() {
  std::int32_t status = 0;
  const std::string backup = path_ + kHiveBackupSuffix;
  const std::string tmp = path_ + ".tolvexa-new";
  struct stat st {};
  if (dirty_) {
    // Windows left changes of this hive in its log files (a system that was hibernated or shut
    // down with fast start-up): writing the hive now would be undone, or worse, when Windows
    // replays the logs at its next start.
    status = kErrRegistryIoFailed;
  } else if (::stat(path_.c_str(), &st) != 0) {
    status = ErrorOfErrno(errno);
  } else if (!(st.st_mode & 0222)) {
    status = static_cast<std::int32_t>(err::AccessDenied);  // a read-only hive stays as it is
  } else if (::access(backup.c_str(), F_OK) != 0) {
    const std::string partial = backup + ".tmp";
    if (!CopyFile(path_, partial) || ::rename(partial.c_str(), backup.c_str()) != 0) {
      status = ErrorOfErrno(errno);
      ::unlink(partial.c_str());
    }
  }
  if (status == 0) {
    if (hivex_commit(h_, tmp.c_str(), 0) != 0) {
      status = ErrorOfErrno(errno);
    } else {
      int fd = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
      const bool synced = fd >= 0 && ::fsync(fd) == 0;
      if (fd >= 0) ::close(fd);
      // The new file takes the old one's permissions where the mount keeps them (ntfs-3g
      // without its permissions option does not: that is no reason to fail).
      if (synced) (void)::chmod(tmp.c_str(), st.st_mode & 07777);
      if (!synced || ::rename(tmp.c_str(), path_.c_str()) != 0) status = ErrorOfErrno(errno);
    }
    if (status == 0) SyncFolderOf(path_);
  }
  if (status != 0) {
    ::unlink(tmp.c_str());
    std::string why;
    --opens_;  // reading the unchanged file back is not another use of the hive
    Load(why);
  }
  return status;
}

// ----------------------------------------------------------- value data ----
Bytes ToInterfaceData(std::uint32_t type, const char* raw, std::size_t len) {
  if (type != reg::Sz && type != reg::ExpandSz && type != reg::MultiSz)
    return Bytes(reinterpret_cast<const std::uint8_t*>(raw), reinterpret_cast<const std::uint8_t*>(raw) + len);
  std::u16string units(len / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                     (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
  const std::string utf8 = Utf16ToUtf8(units);
  return Bytes(utf8.begin(), utf8.end());
}

Bytes FromInterfaceData(std::uint32_t type, const void* data, std::uint32_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (type != reg::Sz && type != reg::ExpandSz && type != reg::MultiSz) return Bytes(p, p + size);
  std::u16string units = Utf8ToUtf16(std::string(reinterpret_cast<const char*>(p), size));
  // Text handed over without its terminating NUL is stored with one, as the ANSI function does.
  if (!units.empty() && units.back() != u'\0') units.push_back(u'\0');
  Bytes out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

}  // namespace tv::offline
