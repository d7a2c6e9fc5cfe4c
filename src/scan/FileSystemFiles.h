#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace salvora {

// The files a file-system pass found, by where their data starts: what the sweep meets again in
// free space. A carved file that starts where one of them starts, with an extension of the same
// file (SameFileByExtension) and the same size, is that file, laid out as the file system says:
// carving need not read it to decide where it lies.
class FileSystemFiles {
 public:
  FileSystemFiles() = default;
  // Keeps only the files a carved file of this extension ("jpg") can be.
  explicit FileSystemFiles(std::string_view carvedExtension);

  // Files kept at most: past it (a volume of very many deleted entries) the others are not kept,
  // and carving reads them as it reads any file.
  static constexpr size_t kMostFiles = size_t(1) << 18;

  // A file of `size` bytes whose data starts at the absolute `firstSector`, named `name`.
  void Add(uint64_t firstSector, uint64_t size, std::string_view name);
  // Orders what was added; lookups before it find nothing added since.
  void Seal();

  // Whether a file of this size, of the kept kind, starts there.
  bool Holds(uint64_t firstSector, uint64_t size) const;
  size_t Count() const { return files_.size(); }

 private:
  struct File {
    uint64_t sector = 0;
    uint64_t size = 0;
  };
  // The files starting at firstSector: [first, last).
  std::pair<const File*, const File*> At(uint64_t firstSector) const;

  std::vector<File> files_;
  size_t sealed_ = 0;
  uint32_t carved_ = 0;  // 0: every file is kept
};

}  // namespace salvora
