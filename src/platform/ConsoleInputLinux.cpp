#include "platform/ConsoleInput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace salvora::platform {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

int WaitForInput(int milliseconds) {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  const int ready = ::poll(&input, 1, milliseconds);
  if (ready < 0 && errno == EINTR) return 0;
  return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

}  // namespace salvora::platform
