// The content check's entropy reading per core, beside libjpeg-turbo decoding the same photos at
// an eighth of the size (what the check used to run, and the decode speed the card bench's floor
// is stated in). Both read the same bytes from memory on one thread; the ratio of their
// bytes_per_second is the figure to watch.
// Run from the checkout: build/default/bench/bench_jpeg_entropy
// The photos are bench/make-camera-card.py's (build/bench-cards/photos, or
// $SALVORA_CARD_DIR/photos); SALVORA_BENCH_PHOTOS sets how many are read (default 12, ~100 MB).
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "carving/ByteSource.h"
#include "carving/JpegEntropyScan.h"

namespace {
using namespace salvora;
namespace fs = std::filesystem;

const std::vector<std::vector<uint8_t>>& Photos() {
  static const std::vector<std::vector<uint8_t>> photos = [] {
    const char* dir = std::getenv("SALVORA_CARD_DIR");
    const fs::path folder = fs::path(dir ? dir : "build/bench-cards") / "photos";
    const char* count = std::getenv("SALVORA_BENCH_PHOTOS");
    const size_t wanted = count ? size_t(std::atoi(count)) : 12;
    std::vector<fs::path> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
      if (entry.path().extension() == ".JPG") names.push_back(entry.path());
    std::sort(names.begin(), names.end());
    std::vector<std::vector<uint8_t>> loaded;
    for (size_t i = 0; i < names.size() && loaded.size() < wanted; ++i) {
      std::ifstream in(names[i], std::ios::binary);
      loaded.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return loaded;
  }();
  return photos;
}

uint64_t TotalBytes() {
  uint64_t total = 0;
  for (const auto& p : Photos()) total += p.size();
  return total;
}

void EntropyReading(benchmark::State& state) {
  if (Photos().empty()) return state.SkipWithError("no photos: run bench/compare-camera-card.sh once");
  int whole = 0;
  for (auto _ : state) {
    whole = 0;
    for (const auto& photo : Photos()) {
      MemoryByteSource source(photo.data(), photo.size());
      whole += ReadEntropyData(source).outcome == EntropyPass::Outcome::Whole;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * TotalBytes()));
  state.counters["whole"] = whole;
}

void LibjpegEighth(benchmark::State& state) {
  if (Photos().empty()) return state.SkipWithError("no photos: run bench/compare-camera-card.sh once");
  std::vector<JSAMPLE> row;
  for (auto _ : state) {
    for (const auto& photo : Photos()) {
      jpeg_decompress_struct info;
      jpeg_error_mgr errors;
      info.err = jpeg_std_error(&errors);
      jpeg_create_decompress(&info);
      jpeg_mem_src(&info, photo.data(), photo.size());
      jpeg_read_header(&info, TRUE);
      info.scale_num = 1;
      info.scale_denom = 8;
      info.dct_method = JDCT_IFAST;
      info.do_fancy_upsampling = FALSE;
      jpeg_start_decompress(&info);
      row.resize(size_t(info.output_width) * size_t(info.output_components));
      JSAMPROW rows[1] = {row.data()};
      while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, rows, 1);
      jpeg_finish_decompress(&info);
      jpeg_destroy_decompress(&info);
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * TotalBytes()));
}

BENCHMARK(EntropyReading)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(LibjpegEighth)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
