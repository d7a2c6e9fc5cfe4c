#pragma once

#include <cstdio>

// The terminal the program was started from.
namespace salvora::platform {

bool IsTerminal(std::FILE* stream);
// Waits up to milliseconds for a line on standard input: 1 ready, 0 not yet (or interrupted by a
// signal), -1 error.
int WaitForInput(int milliseconds);

}  // namespace salvora::platform
