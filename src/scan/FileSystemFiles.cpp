#include "scan/FileSystemFiles.h"

#include <algorithm>
#include <string>

#include "scan/FoundFileIdentity.h"

namespace salvora {
namespace {

uint32_t CodeOf(std::string_view extension) { return extension.empty() ? 0 : ExtensionCode("." + std::string(extension)); }

}  // namespace

FileSystemFiles::FileSystemFiles(std::string_view carvedExtension) : carved_(CodeOf(carvedExtension)) {}

void FileSystemFiles::Add(uint64_t firstSector, uint64_t size, std::string_view name) {
  if (files_.size() >= kMostFiles) return;
  if (carved_ == 0 || SameFileByExtension(ExtensionCode(name), carved_)) files_.push_back({firstSector, size});
}

void FileSystemFiles::Seal() {
  std::stable_sort(files_.begin(), files_.end(), [](const File& a, const File& b) { return a.sector < b.sector; });
  sealed_ = files_.size();
}

std::pair<const FileSystemFiles::File*, const FileSystemFiles::File*> FileSystemFiles::At(uint64_t firstSector) const {
  const File* begin = files_.data();
  const File* end = begin + sealed_;
  auto bySector = [](const File& f, uint64_t s) { return f.sector < s; };
  const File* first = std::lower_bound(begin, end, firstSector, bySector);
  const File* last = first;
  while (last != end && last->sector == firstSector) ++last;
  return {first, last};
}

bool FileSystemFiles::Holds(uint64_t firstSector, uint64_t size) const {
  const auto [first, last] = At(firstSector);
  return std::any_of(first, last, [&](const File& f) { return f.size == size; });
}

}  // namespace salvora
