// The version resource of a PE image, read the way the loader finds resources: the image's
// resource directory (data directory 2) walked from the type RT_VERSION (16) to its first name
// and first language, whose data entry names the bytes by their relative virtual address,
// mapped to a file offset through the section table. Every read is bounded by the file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/offline/offline_machine.h"

namespace tv::offline {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kMaxResource = 1u << 20;  // a VS_VERSIONINFO is at most 64 KiB; be generous
constexpr std::uint32_t kMaxSections = 96;        // the loader's own limit

class Reader {
 public:
  explicit Reader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
  }
  ~Reader() {
    if (fd_ >= 0) ::close(fd_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  bool Read(std::uint64_t offset, void* out, std::size_t n) const {
    if (fd_ < 0 || offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r <= 0) return false;
      done += static_cast<std::size_t>(r);
    }
    return true;
  }
  bool U16(std::uint64_t offset, std::uint32_t& v) const {
    std::uint8_t b[2];
    if (!Read(offset, b, 2)) return false;
    v = b[0] | (b[1] << 8);
    return true;
  }
  bool U32(std::uint64_t offset, std::uint32_t& v) const {
    std::uint8_t b[4];
    if (!Read(offset, b, 4)) return false;
    v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    return true;
  }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

struct Section {
  std::uint32_t virtualAddress = 0, virtualSize = 0, rawSize = 0, rawOffset = 0;
};

// File offset of `rva` (with `length` bytes after it inside the same section); false when no
// section holds it in its raw data.
bool RvaToOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint32_t length, std::uint64_t& offset) {
  for (const Section& s : sections) {
    const std::uint32_t extent = s.virtualSize ? std::max(s.virtualSize, s.rawSize) : s.rawSize;
    if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
    const std::uint64_t inSection = rva - s.virtualAddress;
    if (inSection + length > s.rawSize) return false;  // past the bytes the file holds
    offset = static_cast<std::uint64_t>(s.rawOffset) + inSection;
    return true;
  }
  return false;
}

// The entry of a resource directory at `dir` (offset in the file) whose id is `id`, or the first
// entry when `id` is 0. Returns the entry's OffsetToData field.
bool FindEntry(const Reader& r, std::uint64_t dir, std::uint32_t id, std::uint32_t& target) {
  std::uint32_t named = 0, ids = 0;
  if (!r.U16(dir + 12, named) || !r.U16(dir + 14, ids)) return false;
  const std::uint32_t total = named + ids;
  for (std::uint32_t i = 0; i < total; ++i) {
    std::uint32_t nameField = 0, data = 0;
    if (!r.U32(dir + 16 + 8ull * i, nameField) || !r.U32(dir + 20 + 8ull * i, data)) return false;
    const bool byName = (nameField & 0x80000000u) != 0;
    if (id == 0 || (!byName && nameField == id)) {
      target = data;
      return true;
    }
  }
  return false;
}

}  // namespace

Bytes ReadVersionResource(const std::string& hostPath) {
  Reader r(hostPath);
  std::uint8_t mz[2];
  if (!r.Read(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return {};
  std::uint32_t peOffset = 0;
  if (!r.U32(0x3C, peOffset)) return {};
  std::uint8_t sig[4];
  if (!r.Read(peOffset, sig, 4) || std::memcmp(sig, "PE\0\0", 4) != 0) return {};
  const std::uint64_t coff = peOffset + 4ull;
  std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!r.U16(coff + 2, sectionCount) || !r.U16(coff + 16, optionalSize)) return {};
  const std::uint64_t optional = coff + 20;
  if (!r.U16(optional, magic)) return {};
  std::uint32_t dirCountAt = 0, dirsAt = 0;
  if (magic == 0x10B) {
    dirCountAt = 92;
    dirsAt = 96;
  } else if (magic == 0x20B) {
    dirCountAt = 108;
    dirsAt = 112;
  } else {
    return {};
  }
  std::uint32_t dirCount = 0;
  if (!r.U32(optional + dirCountAt, dirCount) || dirCount < 3 || dirsAt + 3 * 8 > optionalSize) return {};
  std::uint32_t resourceRva = 0, resourceSize = 0;
  if (!r.U32(optional + dirsAt + 16, resourceRva) || !r.U32(optional + dirsAt + 20, resourceSize)) return {};
  if (resourceRva == 0 || resourceSize == 0 || sectionCount == 0 || sectionCount > kMaxSections) return {};

  std::vector<Section> sections(sectionCount);
  const std::uint64_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = table + 40ull * i;
    Section& s = sections[i];
    if (!r.U32(at + 8, s.virtualSize) || !r.U32(at + 12, s.virtualAddress) || !r.U32(at + 16, s.rawSize) ||
        !r.U32(at + 20, s.rawOffset))
      return {};
  }
  std::uint64_t base = 0;
  if (!RvaToOffset(sections, resourceRva, 16, base)) return {};

  // Type, name, language: three levels, each entry pointing at the next directory.
  std::uint32_t entry = 0;
  if (!FindEntry(r, base, kRtVersion, entry) || !(entry & 0x80000000u)) return {};
  const std::uint64_t names = base + (entry & 0x7FFFFFFFu);
  if (!FindEntry(r, names, 0, entry) || !(entry & 0x80000000u)) return {};
  const std::uint64_t languages = base + (entry & 0x7FFFFFFFu);
  if (!FindEntry(r, languages, 0, entry) || (entry & 0x80000000u)) return {};
  std::uint32_t dataRva = 0, dataSize = 0;
  if (!r.U32(base + entry, dataRva) || !r.U32(base + entry + 4, dataSize)) return {};
  if (dataSize == 0 || dataSize > kMaxResource) return {};
  std::uint64_t dataOffset = 0;
  if (!RvaToOffset(sections, dataRva, dataSize, dataOffset)) return {};
  Bytes out(dataSize);
  if (!r.Read(dataOffset, out.data(), out.size())) return {};
  return out;
}

}  // namespace tv::offline
