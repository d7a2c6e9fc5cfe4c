// Classification of the first 16 KiB of a source, as the engine factory does it, and of the input
// as a whole volume (backup boot sectors and layouts that must fit the source).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/FatBootSector.h"
#include "ntfs/NtfsBootSector.h"
#include "recovery/EngineFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The probe is exactly 16 KiB; short inputs are looked at both as they are and padded.
  salvora::ByteView raw(data, size);
  salvora::EngineFactory::Classify(raw);
  std::vector<uint8_t> probe(data, data + std::min(size, salvora::EngineFactory::kProbeBytes));
  probe.resize(salvora::EngineFactory::kProbeBytes);
  salvora::ByteView view(probe.data(), probe.size());
  salvora::EngineFactory::Classify(view);
  salvora::platform::MemorySource source(std::vector<uint8_t>(data, data + size));
  salvora::ProbeResult result;
  salvora::EngineFactory::ClassifyVolume(view, source, 0, size, result);
  salvora::FatBootSector fat(raw);
  volatile uint32_t sink = fat.ClusterCountForProbe() + fat.RootDirSectors() + fat.FatSize();
  salvora::NtfsBootSector ntfs(raw);
  sink = sink + uint32_t(ntfs.MftCluster()) + uint32_t(ntfs.ClustersPerFileRecord());
  (void)sink;
  return 0;
}
