#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "scan/ScanLogCatalogue.h"

namespace salvora::bench {

// Times a fresh fast scan of image by Engine (logs under dataDir); counts the records found.
// image is empty when it could not be made: makeHint then says with what.
template <class Engine>
void TimeFastScan(benchmark::State& state, const std::string& image, const std::string& dataDir,
                  const char* makeHint) {
  if (image.empty()) {
    state.SkipWithError(makeHint);
    return;
  }
  setenv("SALVORA_DATA_DIR", dataDir.c_str(), 1);
  uint64_t found = 0;
  for (auto _ : state) {
    Engine engine;
    if (engine.OpenImageFile(image, 0) != 0) {
      state.SkipWithError("open failed");
      return;
    }
    ScanLogCatalogue::Instance().NewSession();
    if (engine.Scan(nullptr) != 0) {
      state.SkipWithError("scan failed");
      return;
    }
    found = engine.GetFoundCount();
  }
  state.counters["records"] = double(found);
}

// Times The Sleuth Kit's recursive listing of deleted names, `fls -r -d -p [flsOptions] image`.
inline void TimeFlsDeleted(benchmark::State& state, const std::string& image, const std::string& flsOptions) {
  if (image.empty() || std::system("command -v fls >/dev/null 2>&1") != 0) {
    state.SkipWithError("fls (sleuthkit) or the image is missing");
    return;
  }
  const std::string cmd = "fls -r -d -p " + flsOptions + " '" + image + "' > /dev/null";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("fls failed");
}

}  // namespace salvora::bench
