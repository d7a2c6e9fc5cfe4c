#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/SourceArgument.h"
#include "platform/SameDevice.h"
#include "scan/IFileRecoveryParse.h"

// What the scan and recover commands share: opening the engines the factory picks for a source
// (one for an image, a volume or a stretch; one per volume and gap for a whole disk), scanning
// each in a session of its own with progress on stderr, and walking the found trees.
namespace salvora::cli {

struct FoundItem {
  FoundFileRecord record;
  std::string path;   // "/" joined names from the top; folders end with "/"
  int depth = 0;      // of the record's folder level (0 = top)
  size_t source = 0;  // index into EngineSession::sources()
};

// Whether to go on with an interrupted advanced scan.
enum class ResumeMode { Ask, Resume, Fresh };

struct ScanSource {
  std::string label;         // what the user named, or "volume:K" of a disk's part
  char16_t letter = 0;       // the records' source letter
  platform::SourceSpan span;  // the file or device read, for the checks of what is written
  std::string owner;          // what its session folders name as their source
  std::string refusal;        // why a saved scan of it was passed over, if one was
  std::unique_ptr<IFileRecoveryParse> engine;
};

class EngineSession {
 public:
  // Opens the engines for text. false with a one-line message.
  bool Open(const std::string& text, bool fast, std::string& error);
  // Scans every source in turn, in a new session folder. 0, -9527 (Ctrl-C) or the first error.
  // Without verdicts wanted, the scan leaves out the checks only a listing's verdicts need.
  int Scan(ResumeMode resume, bool verdictsWanted = true);
  // Every record below each root, as the browser lists them, depth-first, source by source.
  // 0 or the first listing error (what was listed stays).
  int Walk(std::vector<FoundItem>& items);
  // Records whose extension occurs in text, from every source, with their folder paths.
  int Search(const std::string& text, std::vector<FoundItem>& items);

  std::vector<ScanSource>& sources() { return sources_; }
  // The source whose medium holds path, or nullptr.
  const ScanSource* SourceHolding(const std::string& path) const;
  // The files and devices read, for the checks of what is written.
  std::vector<std::string> SourcePaths() const;
  // Says on stderr which saved scans were passed over because their folders hold another
  // source's logs; false when the user asked to resume one of them.
  bool CheckSavedScans(ResumeMode resume) const;

 private:
  bool AddSource(std::string label, char16_t letter, const SourceArgument& spec, bool fast, std::string& error);
  int WalkFolder(size_t source, const FoundFileRecord* folder, int depth, const std::string& prefix,
                 std::vector<FoundItem>& items);

  std::vector<ScanSource> sources_;
};

// FILETIME as "YYYY-MM-DD HH:MM:SS" as it stands (FAT keeps local time), "-" for 0.
std::string FormatRecordTime(uint64_t fileTime);
// Splits arguments into positionals and options; options with values take the next argument.
bool ParseOptions(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued, std::vector<std::string>& positional,
                  std::vector<std::pair<std::string, std::string>>& options, std::string& error);
// The 64-bit key the recovery selection is ordered by: source letter, engine, record number.
uint64_t SelectionKey(const FoundFileRecord& record);

}  // namespace salvora::cli
