#include "platform/ConsoleInput.h"

#include <io.h>
#include <windows.h>

namespace salvora::platform {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int WaitForInput(int milliseconds) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return -1;
  const DWORD waited = WaitForSingleObject(input, DWORD(milliseconds));
  if (waited == WAIT_OBJECT_0) return 1;
  return waited == WAIT_TIMEOUT ? 0 : -1;
}

}  // namespace salvora::platform
