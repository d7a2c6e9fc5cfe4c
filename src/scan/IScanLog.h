#pragma once

#include "scan/FoundFileStore.h"

namespace salvora {

// An engine whose finds go to a scan log: the advanced scan's checkpoints flush that log and note
// its length, and a resumed scan cuts it back. The fast engines and the sweep engines have one.
class IScanLog {
 public:
  // The log this engine writes; nullptr while it has none.
  virtual FoundFileStore* Store() noexcept = 0;

 protected:
  ~IScanLog() = default;
};

}  // namespace salvora
