#pragma once

#include <functional>
#include <memory>

#include "carving/ByteSource.h"
#include "scan/FileLayout.h"
#include "storage/SectorReader.h"

namespace salvora {

// The bytes of a file laid out in extents (FileLayout) on a source, as a ByteSource: what the
// content checks read to judge a candidate layout before it is chosen. Whole sectors are read in
// pieces of at most 64 KiB that never cross an extent's end; a read fault ends the bytes there.
class LayoutByteSource : public ByteSource {
 public:
  LayoutByteSource(SectorReader& reader, int sectorSize, const FileLayout& layout);

  uint64_t Limit() const override { return layout_.TotalBytes(); }
  const uint8_t* Window(uint64_t offset, size_t& available) override;

 private:
  SectorReader& reader_;
  uint64_t sectorSize_;
  const FileLayout& layout_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t loadedAt_ = 0;  // file offset of the buffer's first byte
  size_t loadedBytes_ = 0;
};

// Copies the file's bytes extent by extent in pieces (see CopySectorRun). 0 or the first error.
int CopyLayout(SectorReader& reader, int sectorSize, const FileLayout& layout,
               const std::function<int(const uint8_t*, size_t)>& sink);

}  // namespace salvora
