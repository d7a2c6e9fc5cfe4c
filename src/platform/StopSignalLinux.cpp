#include "platform/StopSignal.h"

#include <signal.h>

namespace salvora::platform {

void OnStopSignal(void (*handler)(int)) {
  // Without SA_RESTART: a wait for a read or a lock is broken off.
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void EndBySignal(int signal) {
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace salvora::platform
