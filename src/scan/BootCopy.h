#pragma once

namespace salvora {

// Which copy of a volume's boot sector describes the volume.
enum class BootCopy {
  kNone,        // no boot sector of the file system
  kPrimary,     // the volume's first sector
  kBackup,      // the primary is damaged; the file system's backup copy is intact
  kDoesNotFit,  // a boot sector whose tables or data area lie past the end of the source
};

}  // namespace salvora
