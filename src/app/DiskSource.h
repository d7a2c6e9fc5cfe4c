#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/ImageDestination.h"
#include "storage/SectorReader.h"
#include "storage/VolumeEntry.h"

namespace salvora::app {

// One scan source as the disk list shows it: a volume, a free stretch or a whole blank disk.
using DiskSourceEntry = VolumeEntry;

// Where the main window gets its scan sources from (the disk discovery of the machine).
class IDiskSource {
 public:
  virtual ~IDiskSource() = default;
  // Discovers afresh and lists every entry, disks ascending, each disk's entries by start.
  // 1 on success, 0 when discovery failed (entries then empty). Where the space of a volume is
  // not known (used and free 0), the window counts it on a worker.
  virtual int ListAll(std::vector<DiskSourceEntry>& entries) = 0;
  virtual bool IsRemovableDisk(uint32_t diskNumber) = 0;
  // Discovers afresh and reports the entries of old that are gone (no entry of the same disk
  // number and start sector any more).
  virtual void FindRemoved(const std::vector<DiskSourceEntry>& old, std::vector<DiskSourceEntry>& removed);
  // Opens the disk of entry read-only for reading its volume's own structures (the free-space
  // count of an unmounted volume): the disk discovery saw, even if the disks were numbered anew
  // since; 0 or a platform error. Runs on a worker thread, beside the other calls.
  virtual int OpenDiskReader(const DiskSourceEntry& entry, SectorReader& reader);
  // What the machine's disks look like now (names, sizes and partitions), cheap enough to compare
  // every few seconds: a change means a disk came, went or got its medium.
  virtual std::string DevicesSignature();
  // The byte length of a whole disk; 0 or a platform error.
  virtual int QueryDiskLength(uint32_t diskNumber, uint64_t& bytes);
  // What the image command needs to know about a destination path for an image of source
  // (a whole-disk source is an entry of kind WholeDisk).
  virtual DestinationFacts DestinationFactsFor(const std::string& path, const DiskSourceEntry& source);
};

// The machine's disks.
std::unique_ptr<IDiskSource> MakeSystemDiskSource();

}  // namespace salvora::app
