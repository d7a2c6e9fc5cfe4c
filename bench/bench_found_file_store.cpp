// Found-file store at scan scale: 1,000,000 records filed under 10,000 folders.
// Run: build/default/bench/bench_found_file_store   (resident memory is in the counters)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scan/ExtensionLists.h"
#include "scan/FoundFileStore.h"

namespace {
using namespace salvora;
namespace fs = std::filesystem;

constexpr uint32_t kRecords = 1000000;
constexpr uint32_t kFolders = 10000;
constexpr uint32_t kRootId = 2;
constexpr uint32_t kBigFolderChildren = 100000;

// Resident and peak resident memory of this process in MiB.
double StatusMiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    if (key == field) {
      double kb = 0;
      in >> kb;
      return kb / 1024.0;
    }
    std::getline(in, key);
  }
  return 0;
}

struct Scratch {
  std::string dir;
  Scratch() {
    char pattern[] = "/tmp/salvora-bench-XXXXXX";
    dir = ::mkdtemp(pattern);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

Scratch& Dir() {
  static Scratch scratch;
  return scratch;
}

const char* kExtensions[] = {"jpg", "png", "mp3", "txt", "doc", "mov", "pdf", "zip"};

// 10,000 folders at the top; the first 100,000 files go into the first folder, so that one listing
// is large, and the rest are spread over the other folders in turn.
void Fill(FoundFileStore& store) {
  for (uint32_t i = 0; i < kFolders; ++i) {
    uint32_t n = 0;
    FoundFileRecord* r = store.AppendRecord(n);
    uint32_t id = 1000 + i;
    r->SetRecordNumber(n);
    r->SetObjectId(id);
    r->SetFolder(true);
    r->SetContentCheck(1);
    std::string name = "DIR" + std::to_string(i);
    r->SetName(name);
    store.AddRelation(kRootId, 0, n, id, name.c_str());
  }
  for (uint32_t k = 0; k < kRecords - kFolders; ++k) {
    uint32_t n = 0;
    FoundFileRecord* r = store.AppendRecord(n);
    r->SetRecordNumber(n);
    r->SetObjectId(50000 + k);
    r->SetContentCheck(1);
    r->SetFileSize(k);
    std::string name = "FILE" + std::to_string(k) + "." + kExtensions[k % 8];
    r->SetName(name);
    uint32_t folder = k < kBigFolderChildren ? 0 : 1 + k % (kFolders - 1);
    store.AddRelation(1000 + folder, 1, n, 50000 + k, nullptr);
  }
}

const std::string kLog = "Pro_Fat_2048_20261279 5";

void BM_Append1MRecordsUnder10kFolders(benchmark::State& state) {
  for (auto _ : state) {
    FoundFileStore store;
    if (store.OpenLogIn(Dir().dir + "/append", kLog) != 0) state.SkipWithError("open failed");
    Fill(store);
    benchmark::DoNotOptimize(store.Flush());
    state.counters["rss_MiB_open_store"] = StatusMiB("VmRSS:");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
  std::error_code ec;
  fs::remove_all(Dir().dir + "/append", ec);
}
BENCHMARK(BM_Append1MRecordsUnder10kFolders)->Unit(benchmark::kMillisecond)->Iterations(1);

// The shared 1,000,000-record store for the queries, built once.
FoundFileStore& Shared() {
  static FoundFileStore* store = [] {
    auto* s = new FoundFileStore;
    s->OpenLogIn(Dir().dir + "/shared", kLog);
    Fill(*s);
    s->Flush();
    return s;
  }();
  return *store;
}

void BM_ReopenLog(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    FoundFileStore store;
    benchmark::DoNotOptimize(store.OpenLogIn(Dir().dir + "/shared", kLog));
  }
}
BENCHMARK(BM_ReopenLog)->Unit(benchmark::kMillisecond);

void BM_ListFolderOf100kChildren(benchmark::State& state) {
  FoundFileStore& store = Shared();
  for (auto _ : state) {
    std::vector<FoundFileRecord> out;
    benchmark::DoNotOptimize(store.ListChildren(MakeRelationKey(1, 1000), out));
    if (out.size() != kBigFolderChildren) state.SkipWithError("wrong listing");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kBigFolderChildren);
}
BENCHMARK(BM_ListFolderOf100kChildren)->Unit(benchmark::kMillisecond);

void BM_CountFilesOfRoot(benchmark::State& state) {
  FoundFileStore& store = Shared();
  for (auto _ : state) {
    int count = 0;
    benchmark::DoNotOptimize(store.CountFiles(MakeRelationKey(0, kRootId), count));
    if (count != int(kRecords - kFolders)) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
BENCHMARK(BM_CountFilesOfRoot)->Unit(benchmark::kMillisecond);

void BM_SearchPictures1M(benchmark::State& state) {
  FoundFileStore& store = Shared();
  for (auto _ : state) {
    std::vector<FoundFileRecord> out;
    benchmark::DoNotOptimize(store.SearchByExtension(PictureExtensions, out));
    if (out.size() != (kRecords - kFolders) / 4) state.SkipWithError("wrong search");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
BENCHMARK(BM_SearchPictures1M)->Unit(benchmark::kMillisecond);

void BM_FullPathOfEveryFileInAFolder(benchmark::State& state) {
  FoundFileStore& store = Shared();
  std::vector<FoundFileRecord> children;
  store.ListChildren(MakeRelationKey(1, 1000 + 17), children);
  for (auto _ : state) {
    std::string path;
    for (const auto& r : children) store.GetFullPath(r, path, 260);
    benchmark::DoNotOptimize(path);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(children.size()));
}
BENCHMARK(BM_FullPathOfEveryFileInAFolder)->Unit(benchmark::kMillisecond);

// Resident memory with the 1,000,000-record store open and queried.
void BM_ResidentMemoryOfOpen1MStore(benchmark::State& state) {
  Shared();
  for (auto _ : state) benchmark::DoNotOptimize(Shared().Count());
  FoundFileStore& store = Shared();
  size_t numbers = 0;
  for (const auto& [key, list] : store.Relations()) numbers += list.size();
  state.counters["relation_numbers"] = double(numbers);
  state.counters["folder_infos"] = double(store.Folders().size());
  state.counters["rss_MiB"] = StatusMiB("VmRSS:");
  state.counters["peak_rss_MiB"] = StatusMiB("VmHWM:");
}
BENCHMARK(BM_ResidentMemoryOfOpen1MStore)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
