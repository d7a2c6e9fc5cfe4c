#pragma once

#include "scan/IFileRecoveryParse.h"
#include "scan/ScanSessionEntry.h"

// What the command line and the desktop program may ask of an advanced scan's saved progress,
// whatever engine they hold: only the advanced scan keeps one, and this is the one place that
// knows which engine that is.
namespace salvora {

struct SavedScan {
  bool advanced = false;   // the engine is the advanced scan (the rest are meaningless otherwise)
  bool resumable = false;  // an interrupted scan of its source was found when it was opened
  bool started = false;    // the last Scan got past the file-system pass, so it was saved
  ResumePosition last;     // where the last Scan stopped
  ResumePosition resumeAt; // where a resumed scan goes on
};

SavedScan SavedScanOf(IFileRecoveryParse& engine);
// Forgets the interrupted scan and deletes its session, so the next Scan starts afresh.
void DiscardSavedScan(IFileRecoveryParse& engine);

}  // namespace salvora
