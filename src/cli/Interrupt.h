#pragma once

// Ctrl-C as a cancel request: the first SIGINT (or SIGTERM) sets a flag that the progress
// callbacks turn into the cancel answer, so the running operation stops cleanly and says what it
// saved. A second one ends the process at once.
namespace salvora::cli {

void InstallInterruptHandler();
bool Interrupted();
void ResetInterrupt();

}  // namespace salvora::cli
