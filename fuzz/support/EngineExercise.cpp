#include "EngineExercise.h"

#include <cstdint>
#include <string>
#include <vector>

namespace salvora::fuzz {
namespace {

constexpr int kMaxDepth = 24;
constexpr size_t kMaxRecords = 4096;
constexpr uint64_t kMaxPreviewBytes = 1u << 20;

void Walk(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth, size_t& visited) {
  if (depth > kMaxDepth || visited > kMaxRecords) return;
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  int count = 0;
  engine.CountFiles(folder, depth, count);
  for (const auto& child : children) {
    if (++visited > kMaxRecords) return;
    std::string path;
    engine.GetFullPath(&child, path, 260);
    if (child.IsFolder()) Walk(engine, &child, depth + 1, visited);
  }
}

}  // namespace

void ExerciseFoundTree(IFileRecoveryParse& engine) {
  size_t visited = 0;
  Walk(engine, nullptr, 0, visited);
  std::vector<FoundFileRecord> found;
  engine.SearchByExtension("*.jpg|*.png|*.txt|*.bin|*.mov|*.avi|*.mp3|", found);
  size_t previews = 0;
  for (const auto& r : found) {
    if (r.FileSize() > kMaxPreviewBytes || ++previews > 16) continue;
    std::vector<uint8_t> buffer(4096);
    int size = int(buffer.size());
    std::string temp;
    engine.ReadForPreview(&r, temp, buffer.data(), size, nullptr, nullptr);
  }
}

void ExerciseUsageMap(IFileRecoveryParse& engine) {
  if (engine.BuildUsageBitmap() != 0) return;
  uint64_t position = 0;
  for (int i = 0; i < 4096; ++i) {
    uint64_t length = 1;
    engine.NextUnusedRange(position, length);
    if (length == 0) break;
    position += length;
  }
}

}  // namespace salvora::fuzz
