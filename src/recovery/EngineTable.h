#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ByteView.h"
#include "platform/RawSource.h"
#include "scan/IFileRecoveryParse.h"
#include "scan/FoundFileIdentity.h"
#include "scan/ISweepEngine.h"
#include "scan/ScanCheckpoint.h"
#include "scan/SourceIdentity.h"

namespace salvora {

struct ProbeResult;

// What the first 16 KiB of a source hold. Other: a file system of a registered entry.
enum class SourceKind { Ntfs, Fat, Ext, Unknown, Exfat, Other };

// A probe area and where it came from, for the entries' backup-copy searches.
struct ProbeInput {
  ByteView probe;
  platform::RawSource* source = nullptr;
  uint64_t startByte = 0;
  uint64_t volumeBytes = 0;
  int sectorSize = 512;
};

// One engine the scan knows: the one place a file system is named above its own folder. The
// factory probes with the entries in table order, the advanced scan offers each swept sector to
// the entries in table order (carving takes what none claims), and browsing, merging and
// checkpoints find an engine's records by its kinds and its log by its prefix. Every field may be
// left empty for an engine without that part.
struct EngineEntry {
  const char* name = nullptr;   // "fat": the command line's fast-fat and deep-fat
  const char* title = nullptr;  // "FAT": what the probe reports
  SourceKind kind = SourceKind::Other;

  // The volume's primary boot structure in the probe area (first match in table order wins).
  bool (*recognises)(ByteView probe) = nullptr;
  // Decides which copy describes a recognised volume (sets result's kind and boot); true once
  // decided. Without it a recognised primary is the volume's.
  bool (*settle)(const ProbeInput& input, ProbeResult& result) = nullptr;
  // When no entry recognised the primary: a backup copy inside the probe area, then one that
  // must be read from the source (the end of the volume). True and result set when found.
  bool (*copyInProbe)(const ProbeInput& input, ProbeResult& result) = nullptr;
  bool (*copyOnSource)(const ProbeInput& input, ProbeResult& result) = nullptr;

  // The engines, unopened: the fast one (walks the volume's tables; hands out IScanLog and
  // IVolumeFacts) and the sweep one (rebuilds from swept sectors; hands out ISweepEngine).
  std::unique_ptr<IFileRecoveryParse> (*makeFast)() = nullptr;
  std::unique_ptr<IFileRecoveryParse> (*makeSweep)() = nullptr;
  // What a swept sector is to the sweep engine (kUnclaimed: not its). available runs from the
  // sector to the end of what is in memory.
  SweptKind (*claims)(ByteView available, size_t sectorSize) = nullptr;
  // The bytes a claimed sector needs in memory (read afresh when the chunk cuts it off); nullptr
  // or 0: the sector alone.
  size_t (*claimBytes)(int sectorSize) = nullptr;
  // The codes claims gives, for the replay of a resumed scan's sectors.
  std::vector<SweptKind> sweptKinds;
  // The first sector and size of the volume's clusters, read from its boot sector, for carving's
  // search of a file's second piece. False when the boot sector is not this file system's.
  bool (*clusterGrid)(ByteView boot, uint64_t volumeStart, int sectorSize, uint64_t& firstSector,
                      uint32_t& clusterBytes) = nullptr;

  // Record kinds (FoundFileRecord::EngineKind) of its two engines; UINT32_MAX for none.
  uint32_t fastKind = UINT32_MAX;
  uint32_t sweepKind = UINT32_MAX;
  // The prefix of its sweep engine's log in a session ("Pro_Fat_"); the fast logs share "Fast_".
  const char* sweepLogPrefix = nullptr;
  // Its sweep log's slot (2 to 4) in checkpoints of versions 2 and 3, which had fixed slots; -1
  // for an engine that came after them.
  int oldCheckpointSlot = -1;
  // The free space of an unmounted volume of its file system (the desktop's disk list), and
  // whether that figure identifies a saved scan's source (else its first sectors do).
  FreeClusterCounter countFree = nullptr;
  bool freeIdentifiesSource = false;
  // Whether its records point at their data by first cluster (FoundFileRecord's cluster fields);
  // otherwise the sweep engine places them (IDataPlacement) and a fast record and a sweep record
  // read from one sector with one record number are one find.
  bool clusterRecords = false;
};

// The entries in table order: the built-in ones, then those registered.
std::vector<const EngineEntry*> Engines();
// Adds an entry after the others (a file system whose folder is linked in, or a test's); the
// entry must outlive its use. Returns true so that it can initialise a namespace-scope constant.
bool RegisterEngine(const EngineEntry& entry);
// Takes a registered entry out again (tests).
void UnregisterEngine(const EngineEntry& entry);

// The entry whose engines make records of this kind; nullptr for none (carving's kind).
const EngineEntry* EngineOfKind(uint32_t recordKind);
// The entry the deep-sector log's code belongs to; nullptr for none.
const EngineEntry* EngineOfSweptKind(SweptKind kind);
// Live or deleted (a fast engine's record), lost (a sweep engine's) or carved.
FindState StateOf(const FoundFileRecord& record);
// The sweep logs' prefixes in the slots of old checkpoints, from the entries that had one.
ScanCheckpoint::OldSlots OldCheckpointSlots();
// "fast-fat", "deep-ntfs", "file-type"; "unknown" for a kind no entry makes.
std::string RecordKindName(uint32_t recordKind);
// The record kinds of every engine, fast ones first, then the sweep ones, then carving's.
std::vector<uint32_t> RecordKinds();

}  // namespace salvora
