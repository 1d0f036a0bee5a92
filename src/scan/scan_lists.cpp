// Table operations and list files.
#include "scan/scan_lists.h"

#include <algorithm>
#include <cstring>

#include "base/paths.h"
#include "base/record_text.h"
#include "fileinfo/version.h"
#include "platform/api.h"
#include "scan/risk.h"

namespace tv {

namespace {

constexpr std::size_t kObjectAt = 0, kKeyPathAt = 260, kValueNameAt = 1284, kGroupAt = 1540, kEntryKindAt = 1796,
                      kCategoryAt = 1800, kRiskLevelAt = 1804, kResultAt = 1808;
static_assert(kGroupAt + kGroupWidth == kEntryKindAt && kResultAt + 4 == kListRecordSize);

constexpr std::uint32_t kCreateAlways = 2, kOpenExisting = 3, kMoveReplaceExisting = 1;
constexpr std::uint32_t kReadChunk = 1u << 20;

void Put32(char* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

std::int32_t Get32(const char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return static_cast<std::int32_t>(u);
}

// The N bytes of a field on file.
template <std::size_t N>
void EncodeField(const FixedText<N>& field, char* out) {
  if (field.fileBytes().size() == N) {  // unchanged since it was read: the same bytes again
    std::memcpy(out, field.fileBytes().data(), N);
    return;
  }
  if (!field.assigned()) {
    std::memset(out, 0, N);
    return;
  }
  std::string ansi = platform::Sys().Utf8ToAnsi(field.text());
  if (ansi.size() > N) {
    std::size_t cut = N;
    // In the UTF-8 code page a character is never split: the cut backs off to its start.
    if (platform::Sys().GetACP() == 65001)
      while (cut > 0 && (static_cast<unsigned char>(ansi[cut]) & 0xC0) == 0x80) --cut;
    ansi.resize(cut);
  }
  std::memcpy(out, ansi.data(), ansi.size());
  std::memset(out + ansi.size(), ' ', N - ansi.size());
}

template <std::size_t N>
void DecodeField(const char* in, FixedText<N>& field) {
  std::string bytes(in, N);
  std::string utf8 = platform::Sys().AnsiToUtf8(bytes);
  field.SetFromFile(std::move(bytes), std::move(utf8));
}

const char* ListFileName(std::int32_t kind) {
  switch (kind) {
    case kTrustList: return "trust.lst";
    case kBlackList: return "black.lst";
    case kStartupItemList: return "startup.lst";
    default: return nullptr;
  }
}

// Writes all of `bytes` into a new file at `path` and flushes it. False on any failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FileApi& files = platform::Files();
  Handle h = files.CreateFileA(path, access::GenericWrite, 0, kCreateAlways, fattr::Normal);
  if (h == kInvalidHandle || h == kNullHandle) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() - done, kReadChunk));
    std::uint32_t written = 0;
    ok = files.WriteFile(h, bytes.data() + done, n, &written) && written > 0;
    done += written;
  }
  if (ok) ok = files.FlushFileBuffers(h);
  platform::Sys().CloseHandle(h);
  return ok;
}

// The whole records of the file at `path`; false when it cannot be opened or read.
bool ReadRecords(const std::string& path, std::string& bytes) {
  FileApi& files = platform::Files();
  Handle h = files.CreateFileA(path, access::GenericRead, 1 /*share read*/, kOpenExisting, 0);
  if (h == kInvalidHandle || h == kNullHandle) return false;
  const std::uint64_t size = files.GetFileSize(h);
  bool ok = size != ~std::uint64_t(0);
  const std::uint64_t wanted = ok ? size / kListRecordSize * kListRecordSize : 0;
  bytes.assign(static_cast<std::size_t>(wanted), '\0');
  for (std::uint64_t done = 0; ok && done < wanted;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted - done, kReadChunk));
    std::uint32_t read = 0;
    ok = files.ReadFile(h, bytes.data() + done, n, &read) && read > 0;
    done += read;
  }
  platform::Sys().CloseHandle(h);
  return ok;
}

}  // namespace

std::string ListFilePath(std::int32_t kind) {
  const char* name = ListFileName(kind);
  if (!name) return {};
  std::string folder = Folders().AppDir;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder + name;
}

std::string EncodeListRecords(const ScanTable& table) {
  std::string bytes(table.size() * kListRecordSize, '\0');
  char* p = bytes.data();
  for (const ScanItem& item : table) {
    EncodeField(item.Object, p + kObjectAt);
    EncodeField(item.KeyPath, p + kKeyPathAt);
    EncodeField(item.ValueName, p + kValueNameAt);
    EncodeField(item.Group, p + kGroupAt);
    Put32(p + kEntryKindAt, item.EntryKind);
    Put32(p + kCategoryAt, item.Category);
    Put32(p + kRiskLevelAt, item.RiskLevel);
    Put32(p + kResultAt, item.Result);
    p += kListRecordSize;
  }
  return bytes;
}

ScanTable DecodeListRecords(const std::string& bytes) {
  ScanTable table(bytes.size() / kListRecordSize);
  const char* p = bytes.data();
  for (ScanItem& item : table) {
    DecodeField(p + kObjectAt, item.Object);
    DecodeField(p + kKeyPathAt, item.KeyPath);
    DecodeField(p + kValueNameAt, item.ValueName);
    DecodeField(p + kGroupAt, item.Group);
    item.EntryKind = Get32(p + kEntryKindAt);
    item.Category = Get32(p + kCategoryAt);
    item.RiskLevel = Get32(p + kRiskLevelAt);
    item.Result = Get32(p + kResultAt);
    p += kListRecordSize;
  }
  return table;
}

bool SaveList(std::int32_t kind) {
  if (kind != kTrustList && kind != kBlackList) return false;
  const std::string path = ListFilePath(kind);
  const std::string temp = path + ".tmp";
  FileApi& files = platform::Files();
  if (!WriteWholeFile(temp, EncodeListRecords(*TableOf(kind)))) {
    (void)files.DeleteFileA(temp);
    return false;
  }
  // A read-only list would refuse to be replaced; the old save deleted it whatever its
  // attributes, so the new file may take its place as well.
  const std::uint32_t attributes = files.GetFileAttributesA(path);
  if (attributes != fattr::Invalid && (attributes & fattr::ReadOnly))
    (void)files.SetFileAttributesA(path, attributes & ~fattr::ReadOnly);
  if (!files.MoveFileExA(temp, path, kMoveReplaceExisting)) {
    (void)files.DeleteFileA(temp);
    return false;
  }
  return true;
}

bool LoadList(std::int32_t kind) {
  ScanTable* table = TableOf(kind);
  if (!table || kind == kThreatList) return false;
  std::string bytes;
  if (!ReadRecords(ListFilePath(kind), bytes) || bytes.empty()) return false;
  *table = DecodeListRecords(bytes);
  return true;
}

std::int32_t UpdateList(std::int32_t kind, std::int32_t op, const ScanItem& item, std::size_t index) {
  ScanTable* table = TableOf(kind);
  if (!table || op < kListAdd || op > kListLoad) return 0;
  switch (op) {
    case kListAdd:
      table->push_back(item);
      if (kind == kTrustList) {
        (void)SaveTrustList();
        return kResultDone;
      }
      return 0;
    case kListRemove:
      if (index < table->size()) {
        table->erase(table->begin() + static_cast<std::ptrdiff_t>(index));
        if (kind == kTrustList) (void)SaveTrustList();
      }
      return 0;
    case kListSave:
      if (kind == kTrustList || kind == kBlackList) (void)SaveList(kind);
      return 0;
    case kListLoad:
      if (kind != kThreatList) (void)LoadList(kind);
      return 0;
  }
  return 0;
}

bool LoadTrustList() { return LoadList(kTrustList); }

bool SaveTrustList() { return SaveList(kTrustList); }

ScanItem TrustItemForFile(const std::string& path) {
  ScanItem item;
  item.Object = TrimBlanks(CutAtFirstNul(path));
  std::string rated = item.Object.str();
  item.RiskLevel = GetRiskLevel(rated, kCatTrustedByHand);
  return item;
}

std::int32_t AddToTrustList(const ScanItem& item) { return UpdateList(kTrustList, kListAdd, item); }

std::size_t RemoveFromTrustList(const std::vector<std::size_t>& indices) {
  ScanTable& list = TrustList();
  std::vector<bool> drop(list.size(), false);
  std::size_t removed = 0;
  for (std::size_t i : indices)
    if (i < list.size() && !drop[i]) {
      drop[i] = true;
      ++removed;
    }
  if (removed == 0) return 0;
  ScanTable kept;
  kept.reserve(list.size() - removed);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (!drop[i]) kept.push_back(std::move(list[i]));
  list = std::move(kept);
  (void)SaveTrustList();
  return removed;
}

ui::ListContent TrustListRows() {
  ui::ListContent content;
  for (const ScanItem& item : TrustList()) {
    ui::ListRow row;
    row.text = item.Object.str();
    row.icon = item.RiskLevel + 1;
    const VersionStrings v = ReadVersionStrings(row.text);
    row.subItems = {RiskWord(item.RiskLevel), LocationText(item), v.Company, v.Version};
    content.rows.push_back(std::move(row));
  }
  content.status = std::to_string(content.rows.size()) + " Item(s)";
  return content;
}

}  // namespace tv
