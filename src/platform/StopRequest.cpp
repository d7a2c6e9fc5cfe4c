#include "platform/StopRequest.h"

#include <csignal>

namespace salvora::platform {
namespace {

volatile std::sig_atomic_t gStop = 0;

}  // namespace

void RequestStop() { gStop = 1; }
bool StopRequested() { return gStop != 0; }
void ClearStopRequest() { gStop = 0; }

}  // namespace salvora::platform
