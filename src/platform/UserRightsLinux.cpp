#include "platform/UserRights.h"

#include <unistd.h>

namespace salvora::platform {

bool MayReadDisks() { return ::geteuid() == 0; }

}  // namespace salvora::platform
