#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/SourceSpec.h"
#include "scan/IFileRecoveryParse.h"

// What the scan and recover commands share: opening the engine the factory picks for a source,
// scanning it in a session of its own with progress on stderr, and walking the found tree.
namespace salvora::cli {

struct FoundItem {
  FoundFileRecord record;
  std::string path;   // "/" joined names from the top; folders end with "/"
  int depth = 0;      // of the record's folder level (0 = top)
};

class EngineSession {
 public:
  // Opens the engine for text (an image path or disk:N[:START:COUNT]). false with a message.
  bool Open(const std::string& text, bool fast, std::string& error);
  // Runs Scan(null) in a new session folder. 0, -9527 (Ctrl-C) or the engine's error.
  int Scan();
  // Every record below the root, as the browser lists them (folders first met, then their
  // children), in depth-first order. 0 or the first listing error (what was listed stays).
  int Walk(std::vector<FoundItem>& items);

  IFileRecoveryParse& engine() { return *engine_; }

 private:
  int WalkFolder(const FoundFileRecord* folder, int depth, const std::string& prefix,
                 std::vector<FoundItem>& items);

  std::unique_ptr<IFileRecoveryParse> engine_;
};

// FILETIME as "YYYY-MM-DD HH:MM:SS" as it stands (FAT keeps local time), "-" for 0.
std::string FormatRecordTime(uint64_t fileTime);
// Splits "--fast SOURCE [--to DIR]"-style arguments: options with values go to the map.
bool ParseOptions(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued, std::vector<std::string>& positional,
                  std::vector<std::pair<std::string, std::string>>& options, std::string& error);

}  // namespace salvora::cli
