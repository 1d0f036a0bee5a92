// The Smart Scan: collects every start-up item, rates it, reports the suspects that are not
// trusted, and cleans a threat on request. The scan window and the command line drive it and
// show what it reports through ScanProgress.
#pragma once
#include <cstdint>
#include <string>

#include "scan/scan_item.h"
#include "ui/ui.h"

namespace tv {

// What a scan shows while it runs. The scan window implements it with its labels, progress bar,
// status bar and result list; the command line with its output. Every call has a default that
// shows nothing, except DoEvents (ui::DoEvents) and Alert (PlayAlertSound).
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;
  virtual void SetPhase(const std::string& text) { (void)text; }          // "Scanning: "
  virtual void SetCurrentObject(const std::string& text) { (void)text; }  // the object being looked at
  virtual void SetScannedCount(std::int32_t count) { (void)count; }
  virtual void SetFoundCount(std::int32_t count) { (void)count; }
  virtual void SetProgressMax(std::int32_t maximum) { (void)maximum; }
  virtual void SetProgressValue(std::int32_t value) { (void)value; }
  virtual void SetStatus(const std::string& text) { (void)text; }
  // One threat: the item (as stored in the threat list) and its row. Smart Scan rows: text =
  // Object, cells Risk Level, Result ("Not Proceesed"), Location; black-list scan rows: text =
  // the path, cell Action ("Clean"). Icon: RiskLevel + 1.
  virtual void AddResultRow(const ScanItem& item, const ui::ListRow& row) { (void)item, (void)row; }
  // Lets pending window events run (the Stop button sets ScanStopped()).
  virtual void DoEvents() { ui::DoEvents(); }
  // Once per threat reported.
  virtual void Alert();
};
// A ScanProgress with every default.
ScanProgress& DefaultScanProgress();

// True while no scan runs and once a stop was asked for; every scan loop tests it once per
// item and ends when it is set. True at program start.
bool& ScanStopped();
// Threats of the current scan: the items 0 .. ThreatCount() - 1 of the threat list.
std::int32_t& ThreatCount();

// Counts one more threat and stores a copy of `item` as threat ThreatCount() - 1 (over what the
// threat list held in that place, or appended). Returns the stored copy.
ScanItem& RecordThreat(const ScanItem& item);

// Rebuilds the start-up item list from the registry start-up entries, the browser helper
// objects and the services and drivers (boot, system and automatic ones, and running manual
// or disabled ones), rates every item and rebuilds the black list from the rated items that are
// not on the trust list (exact comparison of the stored paths).
void CollectStartupItems(ScanProgress& progress = DefaultScanProgress());
// Rates the start-up item list again and reports every item rated Unknown or worse whose path
// is not on the trust list (letter case ignored) as a threat: into the threat list and as a
// result row. The black list then holds this scan's threats.
void SmartScan(ScanProgress& progress = DefaultScanProgress());

// Removes one threat: its file (plain delete, then forced), then its start-up entry (the
// Winlogon and Session Manager values are restored to the values Windows ships with, other
// values are deleted, keys are deleted with their sub-keys when a plain delete fails).
// Returns kResultDone when both parts succeeded (a file already gone counts as success), else
// kResultCleanFailed. Unless `quiet`, a failure of each part shows its warning.
std::int32_t CleanThreat(const std::string& object, const std::string& keyPath, const std::string& valueName,
                         const std::string& group, std::int32_t entryKind, bool quiet);
std::int32_t CleanThreat(const ScanItem& item, bool quiet);

// 0: empties the threat list (a scan starts); 1: cuts it to ThreatCount() items; 3: empties it.
// Each then trims the working set. Other modes do nothing.
void ResetThreatList(std::int32_t mode);

// Plays the alert sound file (Folders().SoundFile) once, asynchronously.
void PlayAlertSound();

// The whole Smart Scan as the scan window runs it: ScanStopped() false; ThreatCount() 0; the
// threat list emptied; CollectStartupItems; pending events; SmartScan; the threat list cut to
// its threats; the phase and status "Smart Scan completed"; ScanStopped() true. Each distinct
// file's version resource is read once and its signature checked at most once in it.
void RunSmartScan(ScanProgress& progress = DefaultScanProgress());

}  // namespace tv
