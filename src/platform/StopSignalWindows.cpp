#include "platform/StopSignal.h"

#include <csignal>

namespace salvora::platform {

// The C runtime calls the handler from the console's control thread for Ctrl-C and Ctrl-Break.
void OnStopSignal(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
  std::signal(SIGBREAK, handler);
}

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace salvora::platform
