#include "fatfamily/FatFragmentClaims.h"

#include <algorithm>
#include <iterator>

namespace salvora {
namespace {

void AddCluster(std::vector<FatFragmentClaims::Run>& runs, uint32_t c) {
  if (!runs.empty() && runs.back().first + runs.back().count == c) ++runs.back().count;
  else runs.push_back({c, 1});
}

uint64_t Taken(const std::vector<FatFragmentClaims::Run>& runs) {
  uint64_t n = 0;
  for (const auto& r : runs) n += r.count;
  return n;
}

}  // namespace

FatFragmentClaims::FatFragmentClaims(uint32_t maxCluster, FreeTest isFree, uint32_t skipBudget)
    : maxCluster_(maxCluster), isFree_(std::move(isFree)), skipBudget_(skipBudget) {}

bool FatFragmentClaims::Claimed(uint32_t c, uint32_t& claimEnd) const {
  auto it = claims_.upper_bound(c);
  if (it == claims_.begin()) return false;
  --it;
  if (c >= it->second) return false;
  claimEnd = it->second;
  return true;
}

void FatFragmentClaims::Claim(uint32_t first, uint32_t count) {
  if (count > 0) claims_[first] = first + count;
}

void FatFragmentClaims::Reserve(const File& file, bool shared) {
  std::vector<Run> runs{{file.first, 1}};
  uint32_t end = 0;
  for (uint32_t c = file.first + 1; runs[0].count < file.clusters && c <= maxCluster_; ++c) {
    if (firstOwners_.count(c) || Claimed(c, end) || !isFree_(c)) break;
    ++runs[0].count;
  }
  Claim(file.first, runs[0].count);
  if (!shared) runs_[file.id] = std::move(runs);
}

bool FatFragmentClaims::Complete(const File& file, std::vector<Run>& runs) {
  uint64_t have = Taken(runs), skipped = 0;
  uint64_t c = uint64_t(runs.back().first) + runs.back().count;
  std::vector<Run> added;
  bool wrapped = false;
  while (have < file.clusters) {
    // An allocator that searches on from its last cluster goes on at the volume's start.
    if (c > maxCluster_ && !wrapped) {
      c = 2;
      wrapped = true;
    }
    if (c > maxCluster_ || (wrapped && c >= file.first) || skipped > skipBudget_) return false;
    if (++work_ > kWorkBudget) return false;
    uint32_t end = 0;
    if (Claimed(uint32_t(c), end)) {
      skipped += end - c;
      c = end;
      continue;
    }
    if (!isFree_(uint32_t(c))) {
      ++skipped;
      ++c;
      continue;
    }
    AddCluster(added, uint32_t(c++));
    ++have;
  }
  for (const Run& r : added) {
    Claim(r.first, r.count);
    AddCluster(runs, r.first);
    runs.back().count += r.count - 1;
  }
  return true;
}

void FatFragmentClaims::Place(std::vector<File> files) {
  std::erase_if(files, [&](const File& f) { return f.first < 2 || f.first > maxCluster_ || f.clusters == 0; });
  std::sort(files.begin(), files.end(),
            [](const File& a, const File& b) { return a.first != b.first ? a.first < b.first : a.id < b.id; });
  for (const File& f : files) ++firstOwners_[f.first];
  NoteLastWriters(files);
  for (const File& f : files) {
    uint32_t end = 0;
    if (Claimed(f.first, end)) continue;
    auto last = lastWriter_.find(f.first);
    if (last == lastWriter_.end()) {
      Reserve(f, firstOwners_[f.first] > 1);
      continue;
    }
    for (const File& owner : files)
      if (owner.first == f.first && owner.id == last->second) Reserve(owner, false);
  }
  for (const File& f : files) {
    auto it = runs_.find(f.id);
    if (it == runs_.end() || Taken(it->second) >= f.clusters) continue;
    if (!Complete(f, it->second)) runs_.erase(it);
  }
}

// Files are sorted by first cluster, so the files sharing one are neighbours.
void FatFragmentClaims::NoteLastWriters(const std::vector<File>& files) {
  for (size_t i = 0; i < files.size();) {
    size_t j = i + 1, latest = i;
    bool tie = false;
    for (; j < files.size() && files[j].first == files[i].first; ++j) {
      if (files[j].written > files[latest].written) {
        latest = j;
        tie = false;
      } else if (files[j].written == files[latest].written) {
        tie = true;
      }
    }
    if (j - i > 1 && !tie) lastWriter_[files[i].first] = files[latest].id;
    i = j;
  }
}

const std::vector<FatFragmentClaims::Run>* FatFragmentClaims::RunsOf(uint32_t id) const {
  auto it = runs_.find(id);
  return it == runs_.end() ? nullptr : &it->second;
}

std::vector<FatFragmentClaims::Run> FatFragmentClaims::FreeOnly(const File& file) const {
  std::vector<Run> runs;
  uint64_t have = 0, skipped = 0;
  for (uint64_t c = file.first; have < file.clusters; ++c) {
    if (c > maxCluster_ || skipped > skipBudget_) return {};
    if (c == file.first || isFree_(uint32_t(c))) {
      AddCluster(runs, uint32_t(c));
      ++have;
    } else {
      ++skipped;
    }
  }
  return runs;
}

}  // namespace salvora
