// Every fuzz target's entry function, run in the normal suite (and so under the sanitizers of the
// asan preset) over the inputs kept from earlier findings (tests/fuzz/regressions/<target>/) and
// over the seeds its script makes from the fixtures and the shared images.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

#define SALVORA_FUZZ_TARGET(name) extern "C" int name##_entry(const uint8_t* data, size_t size);
#include "FuzzTargets.inc"
#undef SALVORA_FUZZ_TARGET

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  int (*entry)(const uint8_t*, size_t);
};

void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

const Target kTargets[] = {
#define SALVORA_FUZZ_TARGET(name) {#name, &name##_entry},
#include "FuzzTargets.inc"
#undef SALVORA_FUZZ_TARGET
};

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

void Replay(const Target& target, const std::vector<fs::path>& inputs) {
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.string());
    const auto bytes = test::ReadFileBytes(input.string());
    // libFuzzer never hands over a null pointer, even for an empty input.
    const uint8_t none = 0;
    EXPECT_EQ(target.entry(bytes.empty() ? &none : bytes.data(), bytes.size()), 0);
  }
}

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, KeptFindingsAndSeedsRunClean) {
  const Target& target = GetParam();
  Replay(target, FilesIn(fs::path(SALVORA_SOURCE_DIR) / "tests/fuzz/regressions" / target.name));
  const fs::path script = fs::path(SALVORA_SOURCE_DIR) / "fuzz/seeds" / (std::string(target.name) + ".sh");
  if (!fs::exists(script)) return;
  test::TempDir seeds;
  ASSERT_EQ(test::RunCommand("cd '" SALVORA_SOURCE_DIR "' && bash '" + script.string() + "' '" + seeds.path() +
                             "' '" SALVORA_FIXTURE_DIR "' '" SALVORA_SHARED_TESTDATA "' >/dev/null 2>&1"), 0);
  Replay(target, FilesIn(seeds.path()));
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace salvora
