#include "cli/Interrupt.h"

#include <csignal>

#include "platform/StopRequest.h"
#include "platform/StopSignal.h"
#include "output/StagedOutputFile.h"

namespace salvora::cli {
namespace {

void OnSignal(int sig) {
  if (platform::StopRequested()) {
    // The process ends here: the file being written must not stay behind as a hidden temporary.
    StagedOutputFile::RemoveTemporaryOnSignal();
    platform::EndBySignal(sig);
    return;
  }
  platform::RequestStop();
}

}  // namespace

void InstallInterruptHandler() {
  // A wait for a read or a lock is broken off, and the waiter sees the request to stop.
  platform::OnStopSignal(OnSignal);
}

bool Interrupted() { return platform::StopRequested(); }
void ResetInterrupt() { platform::ClearStopRequest(); }

}  // namespace salvora::cli
