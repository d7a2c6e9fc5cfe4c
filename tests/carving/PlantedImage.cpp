#include "carving/PlantedImage.h"

#include <filesystem>

#include "support/TestSupport.h"

namespace salvora::test {

std::vector<uint8_t> SampleFrom(const std::string& set, const std::string& ext) {
  std::string name = "sample." + ext;
  if (set == "media") {
    if (ext == "mpeg") name = "sample.mpg";
    if (ext == "tif") name = "sample-ii.tif";
    if (ext == "fla") name = "sample.doc";
  }
  std::string path = std::string(SALVORA_FIXTURE_DIR) + "/" + set + "/" + name;
  return std::filesystem::exists(path) ? ReadFileBytes(path) : std::vector<uint8_t>{};
}

std::vector<uint8_t> MediaSample(const std::string& ext) {
  for (const char* set : kSampleSets) {
    auto bytes = SampleFrom(set, ext);
    if (!bytes.empty()) return bytes;
  }
  return {};
}

void PlantedImage::Zeros(uint64_t sectors) { bytes_.resize(bytes_.size() + sectors * sectorSize_, 0); }

void PlantedImage::Random(uint64_t sectors) {
  size_t at = bytes_.size();
  bytes_.resize(at + sectors * sectorSize_);
  for (size_t i = at; i < bytes_.size(); i += 4) {
    uint32_t v = rng_();
    for (int b = 0; b < 4 && i + b < bytes_.size(); ++b) bytes_[i + b] = uint8_t(v >> (8 * b));
  }
}

const PlantedFile& PlantedImage::Plant(const std::string& ext, std::vector<uint8_t> bytes) {
  PlantedFile file{ext, Sectors(), std::move(bytes)};
  bytes_.insert(bytes_.end(), file.bytes.begin(), file.bytes.end());
  bytes_.resize((bytes_.size() + sectorSize_ - 1) / sectorSize_ * sectorSize_, 0);
  files_.push_back(std::move(file));
  return files_.back();
}

void PlantedImage::Write(const std::string& path) const { WriteFileBytes(path, bytes_); }

}  // namespace salvora::test
