#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "scan/ContainFailure.h"

namespace salvora {

// Calls work(i, state) for every i below count, on up to one thread per core (the caller's among
// them), each thread taking the next index and making its state once with makeState(). For
// independent checks whose answers go to slots of their own; work must contain its own failures
// (ContainFailure), as nothing is caught here.
template <typename MakeState, typename Work>
void ForEachOnEveryCore(size_t count, MakeState makeState, Work work) {
  std::atomic<size_t> next{0};
  auto run = [&] {
    auto state = makeState();
    for (size_t i = next++; i < count; i = next++) work(i, state);
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> helpers;
  // A thread the system will not start leaves its share to the others.
  for (size_t t = 1; t < std::min(cores, count); ++t)
    if (!ContainFailure([&] { helpers.emplace_back(run); return true; }, [] { return false; })) break;
  run();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace salvora
