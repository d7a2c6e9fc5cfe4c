#pragma once

namespace salvora::platform {

// Whether the program runs with the rights that reading whole disks usually needs (root, an
// elevated administrator).
bool MayReadDisks();

}  // namespace salvora::platform
