// The one routine that changes, loads and saves the scan tables, the list file format shared by
// "trust.lst", "black.lst" and "startup.lst", and the trust list operations the windows and the
// command line use.
//
// List file: the items of a table in order, 1812-byte records, no header, little-endian:
//   0 Object (260 bytes), 260 KeyPath (1024), 1284 ValueName (256), 1540 Group (256), each ANSI
//   text in the system code page, blank-padded (NUL bytes where a field was never assigned);
//   1796 EntryKind, 1800 Category, 1804 RiskLevel, 1808 Result (32-bit each).
// Reading takes file length / 1812 records (rounded down); trailing bytes are ignored.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/scan_item.h"
#include "ui/ui.h"

namespace tv {

inline constexpr std::size_t kListRecordSize = 1812;

enum ListOperation : std::int32_t { kListAdd = 1, kListRemove = 2, kListSave = 3, kListLoad = 4 };

// Kind 1 to 4, operation 1 to 4:
//  add: appends `item`; remove: removes the item at `index` (0-based; an index outside the table
//  changes nothing); save (kinds 1, 2): writes the table to its file; load (kinds 1 to 3): reads
//  the table from its file, unless the file is missing, unreadable or shorter than one record.
// The start-up item list is never saved; the threat list has no file. Returns 2 after adding to
// the trust list, else 0. Every add to or removal from the trust list is saved at once.
std::int32_t UpdateList(std::int32_t kind, std::int32_t op, const ScanItem& item = {}, std::size_t index = 0);

// "trust.lst", "black.lst", "startup.lst" in the program's folder; "" for other kinds.
std::string ListFilePath(std::int32_t kind);

// The file form of a table and back (ANSI through the platform's code page).
std::string EncodeListRecords(const ScanTable& table);
ScanTable DecodeListRecords(const std::string& bytes);

// Writes the table of `kind` to its file: into a temporary file beside it ("<name>.tmp"), which
// then replaces the old file in one rename. A failure at any step leaves the old file as it
// was. True when the file now holds the table.
bool SaveList(std::int32_t kind);
// Reads the table of `kind` from its file. True when the table was replaced.
bool LoadList(std::int32_t kind);

// --- the trust list ---
// Loads "trust.lst" into the trust list (start-up).
bool LoadTrustList();
// Saves the trust list; windows that change TrustList() directly call it after each change.
bool SaveTrustList();
// A file chosen by hand: Object = the path as given (trimmed, letter case kept), RiskLevel =
// its rating in category 64 (0, 1 or 2), every other field empty.
ScanItem TrustItemForFile(const std::string& path);
// Adds an item (a threat moved to the trust list, or a file chosen by hand); saved. Returns 2,
// the ScanResult of a threat moved to the trust list.
std::int32_t AddToTrustList(const ScanItem& item);
// Removes the items at the given indices (0-based, any order; out of range ignored); saved.
// Returns the number removed.
std::size_t RemoveFromTrustList(const std::vector<std::size_t>& indices);

// Rows of the trust list manager, row i for item i: Object; Risk Level (the English word),
// Location, Publisher (company), Version (file version); icon RiskLevel + 1; status "N Item(s)".
ui::ListContent TrustListRows();

}  // namespace tv
