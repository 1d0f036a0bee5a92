// Run-time texts of the windows (column captions, status words, scan texts, captions), filled
// once at start-up by one of two loaders and read by index afterwards.
#pragma once
#include <array>
#include <string>

namespace tv {

// The interface language; "Default" selects the English texts.
std::string& Language();

std::array<std::string, 24>& MainText();
std::array<std::string, 32>& ColumnText();
std::array<std::string, 21>& ScanText();
std::array<std::string, 3>& MemoryScanColumnText();
std::array<std::string, 4>& SmartScanColumnText();
std::array<std::string, 13>& MessageText();
std::array<std::string, 8>& AddressText();
std::array<std::string, 5>& AboutText();
// Caption tables: only the Chinese loader fills them.
std::array<std::string, 7>& TrayMenuText();
std::array<std::string, 11>& ProcessMenuText();
std::array<std::string, 3>& RegistryMenuText();
std::array<std::string, 1>& KernelMenuText();
std::array<std::string, 8>& ServiceMenuText();
std::array<std::string, 9>& ScanMenuText();
std::array<std::string, 19>& MainButtonText();
std::array<std::string, 5>& ScanButtonText();
std::string& UiFontName();

// Program version shown in the about text and written to the installation values.
inline constexpr int kAppMajor = 1, kAppMinor = 0, kAppRevision = 0;

// Empties every table (start-up state; tests use it to start clean).
void ClearTextTables();
void LoadEnglishText();
void LoadChineseText();
// The loader chosen by Language(): English for "Default", Chinese for anything else.
void LoadTextTables();

}  // namespace tv
