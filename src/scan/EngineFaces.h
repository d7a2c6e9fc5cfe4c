#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scan/ContentVerdict.h"
#include "scan/FoundFileIdentity.h"
#include "scan/FoundFileRecord.h"
#include "scan/IScanLog.h"
#include "scan/ScanSessionEntry.h"
#include "scan/SharedSource.h"

namespace salvora {

class ISweepEngine;
class FoundFileStore;

// What an opened file-system engine knows of its volume: the advanced scan sweeps in the
// sectors the boot sector declares and drops an engine that could not open its volume.
struct VolumeFacts {
  bool opened = false;
  uint32_t sectorSize = 0;    // declared by the boot sector; 0 when none
  uint32_t clusterBytes = 0;  // 0 when none
  uint64_t dataStart = 0;     // first sector of cluster numbering, relative to the volume
};

class IVolumeFacts {
 public:
  virtual VolumeFacts Volume() const = 0;

 protected:
  ~IVolumeFacts() = default;
};

// A scan that keeps its own sessions and may be continued (the advanced scan).
class ISavedScanState {
 public:
  virtual bool HasResumeState() const = 0;
  virtual void DiscardResumeState() = 0;
  virtual bool ScanStarted() const = 0;
  virtual ResumePosition LastPosition() const = 0;
  virtual ResumePosition ResumePoint() const = 0;

 protected:
  ~ISavedScanState() = default;
};

// An engine whose records come from several logs: which log holds a record's verdict, and which
// engines found the same file.
class IRecordLogs {
 public:
  virtual FoundFileStore* StoreOf(const FoundFileRecord& record) = 0;
  virtual EngineSet FoundBy(const FoundFileRecord& record) = 0;
  // The verdict carving kept for the same bytes as a copy of the record, when it measured them.
  virtual std::optional<ContentVerdict> CarvedCheckOfCopy(const FoundFileRecord& record,
                                                          const std::string& copyPath) = 0;

 protected:
  ~IRecordLogs() = default;
};

// Where a record's data starts on the source, for records that do not say it themselves (read
// from the structure the record came from).
class IDataPlacement {
 public:
  virtual bool FirstDataSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector) = 0;

 protected:
  ~IDataPlacement() = default;
};

// A scan that can leave out the content checks its caller will not show (a listing without
// verdicts): carving then takes a photo the file-system pass already places as that file, without
// decoding it. The listing is the same; only those files' verdicts are left to be made later.
class IScanVerdicts {
 public:
  virtual void SetVerdictsWanted(bool wanted) = 0;

 protected:
  ~IScanVerdicts() = default;
};

// The capabilities an engine has beyond the fixed interface, each null when it lacks it. An
// engine fills them in as it is built, so callers reach them without asking its class.
struct EngineFaces {
  IScanLog* log = nullptr;
  IVolumeFacts* volume = nullptr;
  ISweepEngine* sweep = nullptr;
  ISavedScanState* saved = nullptr;
  IRecordLogs* records = nullptr;
  IDataPlacement* placement = nullptr;
  IOpensShared* shared = nullptr;
  IScanVerdicts* verdicts = nullptr;
};

}  // namespace salvora
