// File system of the simulated machine: case-insensitive DOS paths, attributes, contents,
// find-first/next, version information and control devices.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/sim/sim_internal.h"

namespace tv::sim {

namespace {
constexpr std::uint32_t kReadBits = 0x80000000u | 0x1u | 0x10000000u;               // GENERIC_READ, FILE_READ_DATA, GENERIC_ALL
constexpr std::uint32_t kWriteBits = 0x40000000u | 0x2u | 0x4u | 0x10000000u;       // GENERIC_WRITE, FILE_WRITE/APPEND_DATA
constexpr std::uint32_t kDeleteBits = 0x00010000u | 0x10000000u;                    // DELETE, GENERIC_ALL
constexpr std::uint32_t kBackupSemantics = 0x02000000u;
constexpr std::uint32_t kErrFileExists = 80, kErrAlreadyExists = 183, kErrSharing = 32, kErrDirNotEmpty = 145,
                        kErrNotSameDevice = 17, kErrNegativeSeek = 131, kErrDirectory = 267,
                        kErrResourceTypeNotFound = 1813, kErrInvalidFunction = 1;

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string ParentOf(const std::string& canonical) {
  auto pos = canonical.find_last_of('\\');
  if (pos == std::string::npos) return "";
  if (pos == 2) return canonical.substr(0, 3);  // "C:\"
  return canonical.substr(0, pos);
}

std::string DriveOf(const std::string& canonical) { return canonical.size() >= 2 ? canonical.substr(0, 2) : ""; }
}  // namespace

// ------------------------------------------------------------- paths ----
std::string SimMachine::Impl::CanonicalPath(const std::string& input) const {
  std::string path = input;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.rfind("\\\\?\\", 0) == 0) path = path.substr(4);
  if (path.rfind("\\\\", 0) == 0) return "";  // devices and network paths
  std::string drive, rest;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    drive = Upper(path.substr(0, 2));
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') {  // "C:x" is relative to the drive's root here
      rest = "\\" + rest;
    }
  } else {
    const std::string& app = st.appPath;
    if (app.size() < 2 || app[1] != ':') return "";
    drive = Upper(app.substr(0, 2));
    if (!path.empty() && path[0] == '\\') {
      rest = path;
    } else {
      std::string cwd = app.substr(2);
      auto pos = cwd.find_last_of('\\');
      cwd = pos == std::string::npos ? "" : cwd.substr(0, pos);
      rest = cwd + "\\" + path;
    }
  }
  std::vector<std::string> parts;
  for (std::string part : SplitPath(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (!part.empty()) parts.push_back(part);
  }
  std::string out = drive + "\\";
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

File* SimMachine::Impl::FileAt(const std::string& canonical) {
  if (canonical.empty()) return nullptr;
  bool stale = fileKeys.size() != st.files.size();
  if (!stale)
    for (std::size_t i = 0; i < st.files.size(); ++i)
      if (fileOriginal[i] != st.files[i].path) {
        stale = true;
        break;
      }
  if (stale) {
    fileKeys.clear();
    fileOriginal.clear();
    fileIndex.clear();
    for (std::size_t i = 0; i < st.files.size(); ++i) {
      fileOriginal.push_back(st.files[i].path);
      fileKeys.push_back(Lower(CanonicalPath(st.files[i].path)));
      fileIndex.emplace(fileKeys.back(), i);
    }
  }
  auto it = fileIndex.find(Lower(canonical));
  return it == fileIndex.end() ? nullptr : &st.files[it->second];
}

bool SimMachine::Impl::IsDirectory(const std::string& canonical) {
  if (canonical.empty()) return false;
  if (canonical.size() == 3) {
    for (const auto& [d, dev] : st.dosDevices)
      if (IEquals(d, canonical.substr(0, 2))) return true;
    return false;
  }
  if (File* f = FileAt(canonical)) return (f->attributes & fattr::Directory) != 0;
  const std::string prefix = Lower(canonical) + "\\";
  FileAt(canonical);  // refreshes the keys
  for (const auto& k : fileKeys)
    if (k.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

std::uint32_t SimMachine::Impl::AttributesOf(const std::string& canonical) {
  if (canonical.size() == 3) return IsDirectory(canonical) ? 0x16u : fattr::Invalid;
  if (File* f = FileAt(canonical)) return f->attributes == 0 ? fattr::Normal : f->attributes;
  return IsDirectory(canonical) ? fattr::Directory : fattr::Invalid;
}

std::string SimMachine::Impl::NativePathOf(const std::string& dosPath) {
  std::string p = dosPath;
  if (IStartsWith(p, "\\??\\")) p = p.substr(4);
  if (IStartsWith(p, "\\SystemRoot\\")) p = st.windowsDir + p.substr(11);
  if (p.size() >= 2 && p[1] == ':') {
    for (const auto& [d, dev] : st.dosDevices)
      if (IEquals(d, p.substr(0, 2))) return dev + p.substr(2);
  }
  return p;
}

std::string SimMachine::Impl::DosPathOfNative(const std::string& ntPath) {
  if (IStartsWith(ntPath, "\\??\\")) return ntPath.substr(4);
  if (IStartsWith(ntPath, "\\DosDevices\\")) return ntPath.substr(12);
  if (IStartsWith(ntPath, "\\SystemRoot\\")) return st.windowsDir + ntPath.substr(11);
  for (const auto& [d, dev] : st.dosDevices) {
    if (IStartsWith(ntPath, dev) && (ntPath.size() == dev.size() || ntPath[dev.size()] == '\\'))
      return Upper(d) + (ntPath.size() == dev.size() ? "\\" : ntPath.substr(dev.size()));
  }
  return "";
}

bool SimMachine::Impl::HeldElsewhere(const std::string& canonical, std::uint32_t access, bool below) {
  const bool wantRead = (access & kReadBits) != 0, wantWrite = (access & kWriteBits) != 0,
             wantDelete = (access & kDeleteBits) != 0;
  if (!wantRead && !wantWrite && !wantDelete) return false;
  const std::string key = Lower(canonical);
  auto refuses = [&](const std::string& objectName, std::uint32_t share) {
    const std::string dos = DosPathOfNative(objectName);
    if (dos.empty()) return false;
    const std::string k = Lower(CanonicalPath(dos));
    if (k != key && !(below && k.rfind(key + "\\", 0) == 0)) return false;
    return (wantRead && !(share & 1)) || (wantWrite && !(share & 2)) || (wantDelete && !(share & 4));
  };
  for (const auto& fh : st.handles)
    if (fh.type == st.fileObjectType && refuses(fh.objectName, fh.shareMode)) return true;
  for (const auto& [h, o] : handles)
    if (o.kind == HKind::Object && o.objectType == st.fileObjectType && refuses(o.path, o.share)) return true;
  return false;
}

// ------------------------------------------------------- attributes ----
std::uint32_t SimMachine::Impl::GetFileAttributesA(const std::string& path) {
  auto g = Enter("GetFileAttributesA");
  std::string c = CanonicalPath(path);
  std::uint32_t a = c.empty() ? fattr::Invalid : AttributesOf(c);
  if (a == fattr::Invalid) {
    SetError(c.empty() || !IsDirectory(ParentOf(c)) ? err::PathNotFound : err::FileNotFound);
  } else {
    SetError(0);
  }
  return a;
}

bool SimMachine::Impl::SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  auto g = Enter("SetFileAttributesA");
  std::string c = CanonicalPath(path);
  File* f = FileAt(c);
  if (!f) {
    if (IsDirectory(c)) {  // an implied folder becomes an explicit one
      st.files.push_back({c, fattr::Directory | (attributes & 0x27u), {}, {}, false});
      SetError(0);
      return true;
    }
    SetError(err::FileNotFound);
    return false;
  }
  std::uint32_t keep = f->attributes & fattr::Directory;
  std::uint32_t a = attributes & ~(fattr::Directory | fattr::Normal);
  f->attributes = keep | a;
  SetError(0);
  return true;
}

// ------------------------------------------------------- open, read, write ----
Handle SimMachine::Impl::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                     std::uint32_t disposition, std::uint32_t flagsAndAttributes) {
  auto g = Enter("CreateFileA");
  if (IStartsWith(path, "\\\\.\\")) {
    for (const auto& d : st.devices)
      if (IEquals(d.link, path)) {
        HandleObj o;
        o.kind = HKind::Device;
        o.path = d.link;
        o.access = access;
        o.share = share;
        SetError(0);
        return NewHandle(o);
      }
    SetError(err::FileNotFound);
    return kInvalidHandle;
  }
  std::string c = CanonicalPath(path);
  if (c.empty() || !IsDirectory(c.substr(0, 3))) {
    SetError(err::PathNotFound);
    return kInvalidHandle;
  }
  if (disposition < 1 || disposition > 5) {
    SetError(err::InvalidParameter);
    return kInvalidHandle;
  }
  const bool wantWrite = (access & kWriteBits) != 0;
  const bool wantRead = (access & kReadBits) != 0;
  File* f = FileAt(c);
  const bool isDir = IsDirectory(c);
  if (isDir) {
    if (disposition == 1) {
      SetError(kErrFileExists);
      return kInvalidHandle;
    }
    if (!(flagsAndAttributes & kBackupSemantics) || disposition == 2 || disposition == 5) {
      SetError(err::AccessDenied);
      return kInvalidHandle;
    }
    HandleObj o;
    o.kind = HKind::File;
    o.path = c;
    o.access = access;
    o.share = share;
    SetError(0);
    return NewHandle(o);
  }
  if (f) {
    if (f->denyOpen) {
      SetError(err::AccessDenied);
      return kInvalidHandle;
    }
    if (disposition == 1) {
      SetError(kErrFileExists);
      return kInvalidHandle;
    }
    if ((f->attributes & fattr::ReadOnly) && (wantWrite || disposition == 2 || disposition == 5)) {
      SetError(err::AccessDenied);
      return kInvalidHandle;
    }
    if (disposition == 2 && (f->attributes & (fattr::Hidden | fattr::System)) &
                                ~(flagsAndAttributes & (fattr::Hidden | fattr::System))) {
      SetError(err::AccessDenied);  // CREATE_ALWAYS over a hidden/system file without those attributes
      return kInvalidHandle;
    }
    if (disposition == 5 && !wantWrite) {
      SetError(err::InvalidParameter);
      return kInvalidHandle;
    }
    // Sharing with the tool's own open handles to the same file.
    const std::string key = Lower(c);
    for (const auto& [h, o] : handles) {
      if (o.kind != HKind::File || Lower(o.path) != key) continue;
      const bool oldRead = (o.access & kReadBits) != 0, oldWrite = (o.access & kWriteBits) != 0;
      if ((wantRead && !(o.share & 1)) || (wantWrite && !(o.share & 2)) || (oldRead && !(share & 1)) ||
          (oldWrite && !(share & 2))) {
        SetError(kErrSharing);
        return kInvalidHandle;
      }
    }
    if (HeldElsewhere(c, access, false)) {
      SetError(kErrSharing);
      return kInvalidHandle;
    }
    if (disposition == 2 || disposition == 5) f->contents.clear();
    SetError((disposition == 2 || disposition == 4) ? kErrAlreadyExists : 0);
  } else {
    if (disposition == 3 || disposition == 5) {
      SetError(IsDirectory(ParentOf(c)) ? err::FileNotFound : err::PathNotFound);
      return kInvalidHandle;
    }
    if (!IsDirectory(ParentOf(c))) {
      SetError(err::PathNotFound);
      return kInvalidHandle;
    }
    std::uint32_t attrs = flagsAndAttributes & (fattr::ReadOnly | fattr::Hidden | fattr::System | fattr::Archive);
    st.files.push_back({c, attrs ? attrs | fattr::Archive : fattr::Archive, {}, {}, false});
    SetError(0);
  }
  HandleObj o;
  o.kind = HKind::File;
  o.path = c;
  o.access = access;
  o.share = share;
  return NewHandle(o);
}

bool SimMachine::Impl::ReadFile(Handle h, void* buffer, std::uint32_t size, std::uint32_t* read) {
  auto g = Enter("ReadFile");
  if (read) *read = 0;
  HandleObj* o = Get(h, HKind::File);
  if (!o) {
    SetError(err::InvalidHandle);
    return false;
  }
  File* f = FileAt(o->path);
  if (!f || (f->attributes & fattr::Directory) || !(o->access & kReadBits)) {
    SetError(err::AccessDenied);
    return false;
  }
  std::uint64_t avail = o->pos < f->contents.size() ? f->contents.size() - o->pos : 0;
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(avail, size));
  if (n) std::memcpy(buffer, f->contents.data() + o->pos, n);
  o->pos += n;
  if (read) *read = n;
  SetError(0);
  return true;
}

bool SimMachine::Impl::WriteFile(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  auto g = Enter("WriteFile");
  if (written) *written = 0;
  HandleObj* o = Get(h, HKind::File);
  if (!o) {
    SetError(err::InvalidHandle);
    return false;
  }
  File* f = FileAt(o->path);
  if (!f || (f->attributes & fattr::Directory) || !(o->access & kWriteBits)) {
    SetError(err::AccessDenied);
    return false;
  }
  if (f->contents.size() < o->pos + size) f->contents.resize(o->pos + size);
  if (size) std::memcpy(f->contents.data() + o->pos, buffer, size);
  o->pos += size;
  if (written) *written = size;
  SetError(0);
  return true;
}

std::uint64_t SimMachine::Impl::GetFileSize(Handle h) {
  auto g = Enter("GetFileSize");
  HandleObj* o = Get(h, HKind::File);
  File* f = o ? FileAt(o->path) : nullptr;
  if (!f) {
    SetError(err::InvalidHandle);
    return ~std::uint64_t(0);
  }
  SetError(0);
  return f->contents.size();
}

std::uint64_t SimMachine::Impl::SetFilePointer(Handle h, std::int64_t distance, std::uint32_t method) {
  auto g = Enter("SetFilePointer");
  HandleObj* o = Get(h, HKind::File);
  File* f = o ? FileAt(o->path) : nullptr;
  if (!f) {
    SetError(err::InvalidHandle);
    return ~std::uint64_t(0);
  }
  std::int64_t base = method == 0 ? 0 : method == 1 ? static_cast<std::int64_t>(o->pos)
                                                    : static_cast<std::int64_t>(f->contents.size());
  if (method > 2) {
    SetError(err::InvalidParameter);
    return ~std::uint64_t(0);
  }
  if (base + distance < 0) {
    SetError(kErrNegativeSeek);
    return ~std::uint64_t(0);
  }
  o->pos = static_cast<std::uint64_t>(base + distance);
  SetError(0);
  return o->pos;
}

bool SimMachine::Impl::FlushFileBuffers(Handle h) {
  auto g = Enter("FlushFileBuffers");
  HandleObj* o = Get(h, HKind::File);
  if (!o) {
    SetError(err::InvalidHandle);
    return false;
  }
  if (!(o->access & kWriteBits)) {
    SetError(err::AccessDenied);
    return false;
  }
  SetError(0);
  return true;
}

// ------------------------------------------------ delete, move, folders ----
bool SimMachine::Impl::DeleteFileA(const std::string& path) {
  auto g = Enter("DeleteFileA");
  std::string c = CanonicalPath(path);
  File* f = FileAt(c);
  if (!f) {
    SetError(IsDirectory(c) ? err::AccessDenied
                            : (IsDirectory(ParentOf(c)) ? err::FileNotFound : err::PathNotFound));
    return false;
  }
  if ((f->attributes & (fattr::Directory | fattr::ReadOnly)) || f->denyOpen) {
    SetError(err::AccessDenied);
    return false;
  }
  const std::string key = Lower(c);
  for (const auto& [h, o] : handles)
    if (o.kind == HKind::File && Lower(o.path) == key && !(o.share & 4)) {
      SetError(kErrSharing);
      return false;
    }
  if (HeldElsewhere(c, kDeleteBits, false)) {
    SetError(kErrSharing);
    return false;
  }
  st.files.erase(st.files.begin() + (f - st.files.data()));
  SetError(0);
  return true;
}

bool SimMachine::Impl::MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) {
  auto g = Enter("MoveFileExA");
  std::string src = CanonicalPath(from);
  if (src.empty()) {
    SetError(err::PathNotFound);
    return false;
  }
  if (flags & 4) {  // MOVEFILE_DELAY_UNTIL_REBOOT: recorded where the session manager reads it at boot
    if (!FileAt(src) && !IsDirectory(src)) {  // the source is opened first: it must exist
      SetError(IsDirectory(ParentOf(src)) ? err::FileNotFound : err::PathNotFound);
      return false;
    }
    std::string dst;
    if (!to.empty()) {
      std::string d = CanonicalPath(to);
      if (d.empty()) {
        SetError(err::PathNotFound);
        return false;
      }
      dst = std::string((flags & 1) ? "!" : "") + "\\??\\" + d;
    }
    RegKey* k = CreatePath(reg::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    RegValue* v = nullptr;
    for (auto& x : k->values)
      if (IEquals(x.name, "PendingFileRenameOperations")) v = &x;
    if (!v) {
      k->values.push_back({"PendingFileRenameOperations", reg::MultiSz, {}});
      v = &k->values.back();
    }
    v->type = reg::MultiSz;
    while (!v->data.empty() && v->data.back() == 0) v->data.pop_back();
    if (!v->data.empty()) v->data.push_back(0);  // end of the last string
    std::string entry = "\\??\\" + src;
    v->data.insert(v->data.end(), entry.begin(), entry.end());
    v->data.push_back(0);
    v->data.insert(v->data.end(), dst.begin(), dst.end());
    v->data.push_back(0);
    v->data.push_back(0);
    SetError(0);
    return true;
  }
  if (to.empty()) {
    SetError(err::InvalidParameter);
    return false;
  }
  std::string dst = CanonicalPath(to);
  File* f = FileAt(src);
  const bool srcDir = IsDirectory(src);
  if (!f && !srcDir) {
    SetError(IsDirectory(ParentOf(src)) ? err::FileNotFound : err::PathNotFound);
    return false;
  }
  if (dst.empty() || !IsDirectory(ParentOf(dst))) {
    SetError(err::PathNotFound);
    return false;
  }
  if (!IEquals(DriveOf(src), DriveOf(dst)) && !(flags & 2)) {
    SetError(kErrNotSameDevice);
    return false;
  }
  const std::string srcKey = Lower(src);
  for (const auto& [h, o] : handles) {
    std::string k = Lower(o.path);
    if (o.kind == HKind::File && (k == srcKey || k.rfind(srcKey + "\\", 0) == 0) && !(o.share & 4)) {
      SetError(kErrSharing);
      return false;
    }
  }
  if (HeldElsewhere(src, kDeleteBits, true)) {
    SetError(kErrSharing);
    return false;
  }
  if (!IEquals(src, dst)) {
    File* existing = FileAt(dst);
    if (existing || IsDirectory(dst)) {
      if (!(flags & 1) || srcDir || IsDirectory(dst)) {
        SetError(kErrAlreadyExists);
        return false;
      }
      if (existing->attributes & fattr::ReadOnly) {
        SetError(err::AccessDenied);
        return false;
      }
      st.files.erase(st.files.begin() + (existing - st.files.data()));
    }
  }
  for (auto& file : st.files) {
    std::string k = Lower(CanonicalPath(file.path));
    if (k == srcKey) file.path = dst;
    else if (k.rfind(srcKey + "\\", 0) == 0) file.path = dst + CanonicalPath(file.path).substr(src.size());
  }
  SetError(0);
  return true;
}

bool SimMachine::Impl::CreateDirectoryA(const std::string& path) {
  auto g = Enter("CreateDirectoryA");
  std::string c = CanonicalPath(path);
  if (c.empty()) {
    SetError(err::PathNotFound);
    return false;
  }
  if (AttributesOf(c) != fattr::Invalid) {
    SetError(kErrAlreadyExists);
    return false;
  }
  if (!IsDirectory(ParentOf(c))) {
    SetError(err::PathNotFound);
    return false;
  }
  st.files.push_back({c, fattr::Directory, {}, {}, false});
  SetError(0);
  return true;
}

bool SimMachine::Impl::RemoveDirectoryA(const std::string& path) {
  auto g = Enter("RemoveDirectoryA");
  std::string c = CanonicalPath(path);
  if (c.size() <= 3) {
    SetError(c.empty() ? err::PathNotFound : err::AccessDenied);
    return false;
  }
  File* f = FileAt(c);
  if (!f && !IsDirectory(c)) {
    SetError(err::FileNotFound);
    return false;
  }
  if (f && !(f->attributes & fattr::Directory)) {
    SetError(kErrDirectory);
    return false;
  }
  const std::string prefix = Lower(c) + "\\";
  for (const auto& k : fileKeys)
    if (k.rfind(prefix, 0) == 0) {
      SetError(kErrDirNotEmpty);
      return false;
    }
  if (f->attributes & fattr::ReadOnly) {
    SetError(err::AccessDenied);
    return false;
  }
  st.files.erase(st.files.begin() + (f - st.files.data()));
  SetError(0);
  return true;
}

// -------------------------------------------------------------- find ----
Handle SimMachine::Impl::FindFirstFileA(const std::string& pattern, FindData& out) {
  auto g = Enter("FindFirstFileA");
  std::string p = pattern;
  std::replace(p.begin(), p.end(), '/', '\\');
  auto pos = p.find_last_of('\\');
  std::string folderPart = pos == std::string::npos ? "" : p.substr(0, pos + 1);
  std::string namePart = pos == std::string::npos ? p : p.substr(pos + 1);
  if (folderPart.empty() && p.size() >= 2 && p[1] == ':') {  // "C:*"
    folderPart = p.substr(0, 2) + "\\";
    namePart = p.substr(2);
  }
  std::string folder = CanonicalPath(folderPart.empty() ? "." : folderPart);
  if (folder.empty() || !IsDirectory(folder)) {
    SetError(err::PathNotFound);
    return kInvalidHandle;
  }
  if (namePart.empty()) {
    SetError(err::FileNotFound);
    return kInvalidHandle;
  }
  auto list = std::make_shared<FindDataList>();
  if (!HasWildcard(namePart)) {
    std::string c = CanonicalPath(folder + "\\" + namePart);
    std::uint32_t a = AttributesOf(c);
    if (a == fattr::Invalid || c.size() <= 3) {
      SetError(err::FileNotFound);
      return kInvalidHandle;
    }
    File* f = FileAt(c);
    list->entries.push_back({a, f ? f->contents.size() : 0, f ? FileNameOf(CanonicalPath(f->path)) : FileNameOf(c)});
  } else {
    std::map<std::string, FindData> children;  // by upper-case name: the order NTFS lists them in
    const std::string prefix = folder.size() == 3 ? Lower(folder) : Lower(folder) + "\\";
    FileAt(folder);
    for (std::size_t i = 0; i < st.files.size(); ++i) {
      const std::string& k = fileKeys[i];
      if (k.size() <= prefix.size() || k.compare(0, prefix.size(), prefix) != 0) continue;
      std::string canon = CanonicalPath(st.files[i].path);
      std::string rest = canon.substr(prefix.size());
      auto slash = rest.find('\\');
      std::string name = slash == std::string::npos ? rest : rest.substr(0, slash);
      std::string key = Upper(name);
      if (slash == std::string::npos) {
        const File& f = st.files[i];
        children[key] = {f.attributes == 0 ? fattr::Normal : f.attributes,
                         (f.attributes & fattr::Directory) ? 0 : f.contents.size(), name};
      } else if (!children.count(key)) {
        children[key] = {fattr::Directory, 0, name};
      }
    }
    if (folder.size() > 3) {
      for (const char* dot : {".", ".."})
        if (WildcardMatch(namePart, dot)) list->entries.push_back({fattr::Directory, 0, dot});
    }
    for (auto& [k, fd] : children)
      if (WildcardMatch(namePart, fd.fileName)) list->entries.push_back(fd);
  }
  if (list->entries.empty()) {
    SetError(err::FileNotFound);
    return kInvalidHandle;
  }
  out = list->entries[0];
  list->pos = 1;
  HandleObj o;
  o.kind = HKind::Find;
  o.path = pattern;
  o.find = list;
  SetError(0);
  return NewHandle(o);
}

bool SimMachine::Impl::FindNextFileA(Handle find, FindData& out) {
  auto g = Enter("FindNextFileA");
  HandleObj* o = Get(find, HKind::Find);
  if (!o) {
    SetError(err::InvalidHandle);
    return false;
  }
  if (o->find->pos >= o->find->entries.size()) {
    SetError(err::NoMoreFiles);
    return false;
  }
  out = o->find->entries[o->find->pos++];
  SetError(0);
  return true;
}

bool SimMachine::Impl::FindClose(Handle find) {
  auto g = Enter("FindClose");
  if (!Get(find, HKind::Find)) {
    SetError(err::InvalidHandle);
    return false;
  }
  Close(find);
  SetError(0);
  return true;
}

// ------------------------------------------------- version information ----
// Like the 32-bit version.dll: the size reported is twice the resource plus 4 bytes, and the
// copy is followed by the "FE2X" signature when the buffer has room for it.
std::uint32_t SimMachine::Impl::GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) {
  auto g = Enter("GetFileVersionInfoSizeA");
  if (handle) *handle = 0;
  std::string c = CanonicalPath(path);
  File* f = FileAt(c);
  if (!f || (f->attributes & fattr::Directory)) {
    SetError(err::FileNotFound);
    return 0;
  }
  if (f->denyOpen) {
    SetError(err::AccessDenied);
    return 0;
  }
  if (f->versionResource.empty()) {
    SetError(kErrResourceTypeNotFound);
    return 0;
  }
  SetError(0);
  return static_cast<std::uint32_t>(f->versionResource.size() * 2 + 4);
}

bool SimMachine::Impl::GetFileVersionInfoA(const std::string& path, std::uint32_t, std::uint32_t size, void* buffer) {
  auto g = Enter("GetFileVersionInfoA");
  std::string c = CanonicalPath(path);
  File* f = FileAt(c);
  if (!f || (f->attributes & fattr::Directory) || f->denyOpen || f->versionResource.empty() || !buffer) {
    SetError(!f ? err::FileNotFound : f->denyOpen ? err::AccessDenied : kErrResourceTypeNotFound);
    return false;
  }
  const Bytes& r = f->versionResource;
  std::size_t n = std::min<std::size_t>(r.size(), size);
  std::memcpy(buffer, r.data(), n);
  if (size >= r.size() + 4) std::memcpy(static_cast<std::uint8_t*>(buffer) + r.size(), "FE2X", 4);
  SetError(0);
  return true;
}

// ------------------------------------------------------ control devices ----
bool SimMachine::Impl::DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                       void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
  auto g = Enter("DeviceIoControl");
  if (bytesReturned) *bytesReturned = 0;
  HandleObj* o = Get(device);
  if (!o) {
    SetError(err::InvalidHandle);
    return false;
  }
  if (o->kind != HKind::Device) {
    SetError(kErrInvalidFunction);
    return false;
  }
  Device* d = nullptr;
  for (auto& x : st.devices)
    if (IEquals(x.link, o->path)) d = &x;
  if (!d) {
    SetError(err::InvalidHandle);
    return false;
  }
  DeviceRequest r;
  r.code = code;
  if (in && inSize) r.input.assign(static_cast<const std::uint8_t*>(in), static_cast<const std::uint8_t*>(in) + inSize);
  r.outSize = outSize;
  d->requests.push_back(std::move(r));
  if (d->failWith) {
    SetError(d->failWith);
    return false;
  }
  std::uint32_t n = 0;
  if (out && !d->reply.empty()) {
    n = static_cast<std::uint32_t>(std::min<std::size_t>(d->reply.size(), outSize));
    std::memcpy(out, d->reply.data(), n);
  }
  if (bytesReturned) *bytesReturned = n;
  SetError(0);
  return true;
}

}  // namespace tv::sim
