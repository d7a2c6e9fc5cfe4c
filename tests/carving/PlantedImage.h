#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Raw images made of real sample files planted at sector boundaries, each padded with zeros to
// its last sector, with other files and random bytes between them.
namespace salvora::test {

// The two sets of real sample files: "media" from the classification fixtures (small files) and
// "carve" from the carving fixtures (files of several pieces, so that reading ahead is exercised).
inline const char* const kSampleSets[] = {"carve", "media"};

// A real sample file of a format from one set, or empty when that set has none. The media set
// names some formats differently: its MPEG program stream is sample.mpg, its TIFF sample-ii.tif,
// and its compound document (carved as fla) sample.doc.
std::vector<uint8_t> SampleFrom(const std::string& set, const std::string& ext);
// From the carve set, else the media set.
std::vector<uint8_t> MediaSample(const std::string& ext);

struct PlantedFile {
  std::string ext;             // the sample's extension
  uint64_t sector = 0;         // first sector
  std::vector<uint8_t> bytes;  // the file as planted
};

class PlantedImage {
 public:
  explicit PlantedImage(int sectorSize = 512, uint32_t seed = 1953) : sectorSize_(sectorSize), rng_(seed) {}

  // Appends zero or random sectors.
  void Zeros(uint64_t sectors);
  void Random(uint64_t sectors);
  // Appends a file at the next sector boundary, its last sector padded with zeros.
  const PlantedFile& Plant(const std::string& ext, std::vector<uint8_t> bytes);

  uint64_t Sectors() const { return bytes_.size() / sectorSize_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  const std::vector<PlantedFile>& Files() const { return files_; }
  int SectorSize() const { return sectorSize_; }
  // Writes the image to path.
  void Write(const std::string& path) const;

 private:
  int sectorSize_;
  std::mt19937 rng_;
  std::vector<uint8_t> bytes_;
  std::vector<PlantedFile> files_;
};

}  // namespace salvora::test
