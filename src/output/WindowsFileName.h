#pragma once

#include <string>
#include <string_view>

namespace salvora {

// A name Windows will create as it is: the characters it forbids (< > : " / \ | ? * and control
// characters) become "_", a trailing dot or space becomes "_" (Windows would drop it, and two
// names would meet), and a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$),
// alone or before an extension ("aux.txt"), gets a leading "_". Every other name is unchanged.
std::string WindowsSafeName(std::string_view name);

}  // namespace salvora
