// Deep NTFS scan over a file table of 20,016 records: 250 chains of folders 8 levels deep and
// 17,766 files (half deleted, some non-resident) in the deepest folders, so every file reads 8
// ancestors. The sweep hands every FILE record to OnFileRecord; then the folder pass runs.
// Run: build/default/bench/bench_deep_ntfs   (records per second in the counters; parentCache:0
// reads every ancestor from the source, parentCache:1 keeps the last 4,096 parent records)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/ntfs/NtfsRecordBuilder.h"
#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/FileRecord.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/SectorSweep.h"

namespace {
using namespace salvora;
namespace fs = std::filesystem;

constexpr uint32_t kChains = 250;
constexpr uint32_t kDepth = 8;
constexpr uint32_t kFirstFolder = 16;
constexpr uint32_t kRecords = 20016;
constexpr uint64_t kTable = 2048;  // sector of record 0

struct Scratch {
  std::string dir;
  std::string image;
  Scratch() {
    char pattern[] = "/tmp/salvora-bench-deepntfs-XXXXXX";
    dir = ::mkdtemp(pattern);
    ::setenv("SALVORA_DATA_DIR", (dir + "/data").c_str(), 1);
    image = dir + "/mft.img";
    std::vector<uint8_t> bytes((kTable + 2 * uint64_t(kRecords) + 2048) * 512, 0);
    auto put = [&](uint32_t n, const std::vector<uint8_t>& r) {
      std::copy(r.begin(), r.end(), bytes.begin() + (kTable + 2 * n) * 512);
    };
    const uint32_t folders = kChains * kDepth;
    for (uint32_t i = 0; i < folders; ++i) {
      uint32_t n = kFirstFolder + i;
      uint32_t parent = i % kDepth == 0 ? 5 : n - 1;
      put(n, test::RecordBuilder(n, 3).FileName("F" + std::to_string(i), parent).Build());
    }
    for (uint32_t n = kFirstFolder + folders; n < kRecords; ++n) {
      uint32_t chain = n % kChains;
      uint32_t parent = kFirstFolder + chain * kDepth + kDepth - 1;
      test::RecordBuilder b(n, n % 2 == 0 ? 0 : 1);
      b.FileName("file" + std::to_string(n) + ".txt", parent, 100);
      if (n % 4 == 0) b.NonResidentData({0x11, 4, 0x40}, 16384, 16000);
      else b.ResidentData("some resident text");
      put(n, b.Build());
    }
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

void BM_DeepNtfsSweepAndFolderPass(benchmark::State& state) {
  Scratch scratch;
  uint64_t records = 0;
  uint64_t found = 0;
  for (auto _ : state) {
    CProfessionalNtfsRecovery engine;
    engine.SetParentCacheEnabled(state.range(0) != 0);
    if (engine.OpenImageFile(scratch.image, u'E') != 0) {
      state.SkipWithError("open failed");
      return;
    }
    ScanLogCatalogue::Instance().NewSession();
    engine.BeginScan("");
    SectorReader reader;
    reader.OpenFile(scratch.image);
    SectorSweep sweep(reader, 512);
    sweep.Run(0, reader.TotalSectors(), 0, [&](const uint8_t* s, size_t left, uint64_t address, uint64_t&) {
      if (left < 1024 || !IsFileRecord(ByteView(s, left), 1024)) return 0;
      ++records;
      return engine.OnFileRecord(s, left, address);
    });
    engine.FolderPass();
    found = engine.GetFoundCount();
  }
  state.counters["records/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
  state.counters["found"] = double(found);
}
BENCHMARK(BM_DeepNtfsSweepAndFolderPass)->ArgName("parentCache")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
