#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "output/StagedOutputFile.h"

namespace salvora::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int sig) {
  if (gInterrupted) {
    // The process ends here: the file being written must not stay behind as a hidden temporary.
    StagedOutputFile::RemoveTemporaryOnSignal();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    return;
  }
  gInterrupted = 1;
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return gInterrupted != 0; }
void ResetInterrupt() { gInterrupted = 0; }

}  // namespace salvora::cli
