#pragma once

// A process-wide request to stop, set from a signal handler (Ctrl-C). Waits the platform layer
// makes (a read the system breaks off for a signal, a lock held by another program) give up
// when it is set instead of waiting again.
namespace salvora::platform {

// Safe to call from a signal handler.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

}  // namespace salvora::platform
