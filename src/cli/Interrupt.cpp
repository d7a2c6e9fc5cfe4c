#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "platform/StopRequest.h"

namespace salvora::cli {
namespace {

void OnSignal(int sig) {
  if (platform::StopRequested()) {
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    return;
  }
  platform::RequestStop();
}

}  // namespace

void InstallInterruptHandler() {
  // Without SA_RESTART: a wait for a read or a lock is broken off, and the waiter sees the
  // request to stop.
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return platform::StopRequested(); }
void ResetInterrupt() { platform::ClearStopRequest(); }

}  // namespace salvora::cli
