#include "cli/BootNotice.h"

namespace salvora::cli {

std::string BootNotice(const ProbeResult& probe, const std::string& label, bool fast) {
  switch (probe.boot) {
    case BootCopy::kBackup:
      return "the boot sector of " + label + " is damaged; scanning from its backup copy at sector " +
             std::to_string(probe.bootOffset / uint64_t(probe.sectorSize));
    case BootCopy::kDoesNotFit:
      return "the boot sector of " + label + " describes a file system larger than the source" +
             (fast ? "; the advanced scan (without --fast) searches the whole source for files"
                   : "; searching the whole source for files instead");
    case BootCopy::kNone:
    case BootCopy::kPrimary:
      break;
  }
  return "";
}

}  // namespace salvora::cli
