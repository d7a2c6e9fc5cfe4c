#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

namespace salvora::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int sig) {
  if (gInterrupted) {
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
