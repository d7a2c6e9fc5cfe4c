#pragma once

// The exception contract. Engines, the store and the sweep answer with result codes
// (ErrorCodes.h) and throw nothing of their own; what can still leave them is the library's (an
// allocation that fails). The places that must outlive such a failure run their step through
// ContainFailure, which turns it into onFailure's answer: one sector of the sweep (the sector is
// passed over), and one task of a worker (a file to recover, a preview) in the desktop program and
// the command line alike. Nowhere else catches.
namespace salvora {

template <class Step, class OnFailure>
auto ContainFailure(Step&& step, OnFailure&& onFailure) noexcept -> decltype(step()) {
  try {
    return step();
  } catch (...) {
    return onFailure();
  }
}

}  // namespace salvora
