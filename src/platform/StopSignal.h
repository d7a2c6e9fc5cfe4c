#pragma once

// The user's request to stop the program (Ctrl-C, a termination request).
namespace salvora::platform {

// Calls handler with the signal's number on each request. A blocking read or wait in progress is
// broken off rather than restarted, so its caller can look at the request.
void OnStopSignal(void (*handler)(int));
// Ends the process as the signal would have without a handler. For use inside the handler.
void EndBySignal(int signal);

}  // namespace salvora::platform
