// The record of the threat scan and of the trust list, its codes, and the four process-wide
// tables of such records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// A fixed-width text field of a scan record: at most N characters in memory, N bytes of ANSI
// text on file. An assigned value is written blank-padded; a field never assigned is written as
// N NUL bytes. A field read from a list file keeps the bytes it was read from until it is
// assigned again, so that a table saves back byte for byte what it loaded.
//
// Readers use str(): the value cut at its first NUL and without surrounding blanks ("" for a
// field never assigned or holding only NUL padding).
template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t kWidth = N;

  FixedText() = default;
  FixedText(std::string_view value) { Assign(value); }  // NOLINT: assignable from text
  FixedText& operator=(std::string_view value) {
    Assign(value);
    return *this;
  }
  FixedText& operator=(const std::string& value) { return *this = std::string_view(value); }
  FixedText& operator=(const char* value) { return *this = std::string_view(value); }

  const std::string& str() const { return value_; }
  bool empty() const { return value_.empty(); }
  bool assigned() const { return assigned_; }
  // The text as assigned (UTF-8, cut to N characters), or as read from a file.
  const std::string& text() const { return text_; }
  // The N bytes a list file held for this field, while the field is unchanged since; else "".
  const std::string& fileBytes() const { return fileBytes_; }

  // A field read from a file: its N raw bytes and their UTF-8 form.
  void SetFromFile(std::string bytes, std::string utf8);

  // Same reader value, and both assigned or both never assigned.
  friend bool operator==(const FixedText& a, const FixedText& b) {
    return a.assigned_ == b.assigned_ && a.value_ == b.value_;
  }

 private:
  void Assign(std::string_view value);
  std::string text_, value_, fileBytes_;
  bool assigned_ = false;
};

// The rating of a start-up item's file; its text is scan text 10 + level.
enum RiskLevel : std::int32_t {
  kRiskNone = 0,       // not a threat, never reported (image 1)
  kRiskNormal = 1,     // "Normal"
  kRiskUnknown = 2,    // "Unknown"
  kRiskPotential = 3,  // "Potential"
  kRiskDangerous = 4,  // "Dangerous"
};

// The kind of start-up location an item was found in.
enum ScanCategory : std::int32_t {
  kCatStartupValue = 0,               // Run-type keys and every value not listed below
  kCatShellExecuteHooks = 1,          // ...\Explorer\ShellExecuteHooks (in-process server of the class)
  kCatSharedTaskScheduler = 2,        // ...\Explorer\SharedTaskScheduler
  kCatUserinit = 3,                   // "Userinit" of Winlogon, each path of its list
  kCatAppInitDlls = 4,                // "Appinit_Dlls" of ...\Windows NT\CurrentVersion\Windows
  kCatShellServiceObjectDelayLoad = 5,
  kCatImageFileExecutionOptions = 6,  // a sub-key of Image File Execution Options (Object: its name)
  kCatWinlogonShell = 7,              // "Shell" or "UIHost" of Winlogon
  kCatBootExecute = 8,                // "BootExecute" of Session Manager
  kCatBrowserHelperObject = 9,
  kCatService = 16,                   // service or driver
  kCatPolicyRun = 32,                 // "load"/"run" of ...\Windows NT\CurrentVersion\Windows, Policies\Explorer "Run"
  kCatTrustedByHand = 64,             // a file added to the trust list by hand
};

// What the scan window did with an item.
enum ScanResult : std::int32_t {
  kResultNotProcessed = 0,
  kResultCleanFailed = 1,
  kResultDone = 2,  // cleaned, or moved to the trust list
};

// Selects one of the four tables.
enum ListKind : std::int32_t {
  kTrustList = 1,
  kBlackList = 2,
  kStartupItemList = 3,
  kThreatList = 4,
};

// Field widths in characters (bytes on file).
inline constexpr std::size_t kObjectWidth = 260, kKeyPathWidth = 1024, kValueNameWidth = 256, kGroupWidth = 256;

struct ScanItem {
  FixedText<kObjectWidth> Object;        // the file's full path (category 6: the sub-key name);
                                         // lower-cased and trimmed once the item has been rated
  FixedText<kKeyPathWidth> KeyPath;      // key of the start-up entry, with the full root name
  FixedText<kValueNameWidth> ValueName;  // value name (EntryKind 0) or sub-key name (EntryKind 1)
  FixedText<kGroupWidth> Group;          // last component of the key, "BHOGroup", "ServiceGroup"
  std::int32_t EntryKind = 0;            // 0: a registry value; 1: a registry key
  std::int32_t Category = 0;             // ScanCategory
  std::int32_t RiskLevel = 0;            // tv::RiskLevel
  std::int32_t Result = 0;               // ScanResult

  friend bool operator==(const ScanItem&, const ScanItem&) = default;
};

// The four process-wide tables. They are 0-based: item i of a table is row i of the list view
// that shows it (the first row is item 0), and an empty vector is an empty table.
using ScanTable = std::vector<ScanItem>;
ScanTable& TrustList();
ScanTable& BlackList();
ScanTable& StartupItemList();
ScanTable& ThreatList();
// The table of a kind; nullptr for a kind outside 1..4.
ScanTable* TableOf(std::int32_t kind);

// Where an item was found, as the result lists show it: KeyPath + " {" + ValueName + "}" for a
// value, KeyPath + "\" + ValueName for a key (an item added by hand shows " {}").
std::string LocationText(const ScanItem& item);
// The risk text of the scan window (scan texts 11 to 14, in the interface language); "" for 0.
std::string RiskText(std::int32_t level);
// The English words of the trust list manager: "Normal" ... "Dangerous"; "" for 0.
std::string RiskWord(std::int32_t level);

// Lower case of a UTF-8 text (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters).
std::string LowerText(std::string_view s);

}  // namespace tv
